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
    writeContainer(members, '{', '}', indent, [this](const auto& member, unsigned inner) {
      writeString(member.first);
      text_ += ": ";
      write(member.second, inner);
    });
  }

  void writeArray(const json::array_t& elements, unsigned indent) {
    writeContainer(elements, '[', ']', indent,
                   [this](const json& element, unsigned inner) { write(element, inner); });
  }

  // One item to a line, indented one step further than the brackets.
  template <typename Items, typename WriteItem>
  void writeContainer(const Items& items, char open, char close, unsigned indent,
                      WriteItem&& writeItem) {
    text_ += open;
    if (items.empty()) {
      text_ += close;
      return;
    }
    const unsigned inner = indent + kIndentStep;
    bool first = true;
    for (const auto& item : items) {
      text_ += first ? "\n" : ",\n";
      first = false;
      text_.append(inner, ' ');
      writeItem(item, inner);
    }
    text_ += '\n';
    text_.append(indent, ' ');
    text_ += close;
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
