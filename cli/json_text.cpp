#include "cli/json_text.h"

#include <stdexcept>

#include "wire/json_text.h"

namespace ravelin {

namespace {

using json = nlohmann::json;

void writeValue(const json& value, JsonTextWriter& writer) {
  switch (value.type()) {
    case json::value_t::object:
      writer.beginObject();
      for (const auto& [key, member] : value.get_ref<const json::object_t&>()) {
        writer.key(key);
        writeValue(member, writer);
      }
      writer.endObject();
      break;
    case json::value_t::array:
      writer.beginArray();
      for (const json& element : value.get_ref<const json::array_t&>()) writeValue(element, writer);
      writer.endArray();
      break;
    case json::value_t::string:
      writer.string(value.get_ref<const json::string_t&>());
      break;
    case json::value_t::number_integer:
      writer.integer(value.get<json::number_integer_t>());
      break;
    case json::value_t::number_unsigned:
      writer.integer(value.get<json::number_unsigned_t>());
      break;
    case json::value_t::number_float:
      writer.number(value.get<json::number_float_t>());
      break;
    case json::value_t::boolean:
      writer.boolean(value.get<bool>());
      break;
    case json::value_t::null:
      writer.null();
      break;
    case json::value_t::binary:
    case json::value_t::discarded:
      // No parse or decode makes these.
      throw std::logic_error("a binary or discarded value has no JSON text");
  }
}

}  // namespace

void appendIndentedJson(const json& value, std::string& text) {
  JsonTextWriter writer(text);
  writeValue(value, writer);
}

}  // namespace ravelin
