#include "cli/json_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace ravelin {

namespace {

using json = nlohmann::json;

constexpr unsigned kIndentStep = 4;

// Printable ASCII other than the quote and the backslash stands for itself.
bool needsNoEscaping(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

class IndentedWriter {
 public:
  explicit IndentedWriter(std::string& text)
      : text_(text),
        library_(nlohmann::detail::output_adapter<char>(text), ' ', json::error_handler_t::strict) {
  }

  void write(const json& value, unsigned indent) {
    switch (value.type()) {
      case json::value_t::object:
        writeObject(value.get_ref<const json::object_t&>(), indent);
        break;
      case json::value_t::array:
        writeArray(value.get_ref<const json::array_t&>(), indent);
        break;
      case json::value_t::string:
        writeString(value.get_ref<const json::string_t&>());
        break;
      case json::value_t::number_integer:
        writeInteger(value.get<json::number_integer_t>());
        break;
      case json::value_t::number_unsigned:
        writeInteger(value.get<json::number_unsigned_t>());
        break;
      case json::value_t::number_float:
        writeFloat(value.get<json::number_float_t>());
        break;
      case json::value_t::boolean:
        text_ += value.get<bool>() ? "true" : "false";
        break;
      case json::value_t::null:
        text_ += "null";
        break;
      default:  // binary and discarded values, which no parse or decode makes
        library_.dump(value, /*pretty_print=*/true, /*ensure_ascii=*/false, kIndentStep, indent);
        break;
    }
  }

 private:
  void writeObject(const json::object_t& members, unsigned indent) {
    if (members.empty()) {
      text_ += "{}";
      return;
    }
    text_ += "{\n";
    const unsigned inner = indent + kIndentStep;
    bool first = true;
    for (const auto& [key, member] : members) {
      if (!first) text_ += ",\n";
      first = false;
      text_.append(inner, ' ');
      writeString(key);
      text_ += ": ";
      write(member, inner);
    }
    closeContainer('}', indent);
  }

  void writeArray(const json::array_t& elements, unsigned indent) {
    if (elements.empty()) {
      text_ += "[]";
      return;
    }
    text_ += "[\n";
    const unsigned inner = indent + kIndentStep;
    bool first = true;
    for (const json& element : elements) {
      if (!first) text_ += ",\n";
      first = false;
      text_.append(inner, ' ');
      write(element, inner);
    }
    closeContainer(']', indent);
  }

  void closeContainer(char bracket, unsigned indent) {
    text_ += '\n';
    text_.append(indent, ' ');
    text_ += bracket;
  }

  void writeString(const std::string& string) {
    if (!needsNoEscaping(string)) {
      library_.dump(json(string), /*pretty_print=*/false, /*ensure_ascii=*/false, 0);
      return;
    }
    text_ += '"';
    text_ += string;
    text_ += '"';
  }

  template <typename Integer>
  void writeInteger(Integer number) {
    std::array<char, 24> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    text_.append(digits.data(), written.ptr);
  }

  void writeFloat(double number) {
    if (!std::isfinite(number)) {
      text_ += "null";
      return;
    }
    std::array<char, 64> text{};
    char* end = nlohmann::detail::to_chars(text.data(), text.data() + text.size(), number);
    text_.append(text.data(), end);
  }

  std::string& text_;
  nlohmann::detail::serializer<json> library_;
};

}  // namespace

void appendIndentedJson(const json& value, std::string& text) {
  IndentedWriter(text).write(value, 0);
}

}  // namespace ravelin
