#include "cli/json_reader.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

namespace ravelin {

namespace {

using json = nlohmann::json;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Printable ASCII other than the quote and the backslash; anything else in a
// string is left to the library (escapes, UTF-8, refused control characters).
bool isPlainStringCharacter(char c) {
  return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
}

class CommonJsonReader {
 public:
  CommonJsonReader(std::string_view text, JsonDocumentBuilder& builder)
      : next_(text.data()), end_(text.data() + text.size()), builder_(builder) {}

  bool readDocument() {
    skipWhitespace();
    if (!readValue()) return false;
    skipWhitespace();
    return next_ == end_;
  }

 private:
  bool readValue() {
    if (next_ == end_) return false;
    switch (*next_) {
      case '{':
        return readObject();
      case '[':
        return readArray();
      case '"':
        return readString() && builder_.string(scratch_);
      case 't':
        return readLiteral("true") && builder_.boolean(true);
      case 'f':
        return readLiteral("false") && builder_.boolean(false);
      case 'n':
        return readLiteral("null") && builder_.null();
      default:
        return readNumber();
    }
  }

  bool readObject() {
    builder_.start_object(kUnknownSize);
    return readContainer(
        '}', [this] { return readMember(); }, [this] { return builder_.end_object(); });
  }

  bool readArray() {
    builder_.start_array(kUnknownSize);
    return readContainer(
        ']', [this] { return readValue(); }, [this] { return builder_.end_array(); });
  }

  // The items between the opening bracket, where the reader stands, and `close`.
  template <typename ReadItem, typename End>
  bool readContainer(char close, ReadItem&& readItem, End&& end) {
    ++next_;
    skipWhitespace();
    if (consume(close)) return end();
    do {
      skipWhitespace();
      if (!readItem()) return false;
      skipWhitespace();
    } while (consume(','));
    return consume(close) && end();
  }

  bool readMember() {
    if (!readString() || !builder_.key(scratch_)) return false;
    skipWhitespace();
    if (!consume(':')) return false;
    skipWhitespace();
    return readValue();
  }

  // Leaves the string's characters in scratch_.
  bool readString() {
    if (!consume('"')) return false;
    const char* first = next_;
    while (next_ != end_ && isPlainStringCharacter(*next_)) ++next_;
    if (!consume('"')) return false;
    scratch_.assign(first, next_ - 1);
    return true;
  }

  bool readLiteral(std::string_view literal) {
    if (std::string_view(next_, static_cast<std::size_t>(end_ - next_)).substr(0, literal.size()) !=
        literal) {
      return false;
    }
    next_ += literal.size();
    return true;
  }

  // JSON's grammar, then the library's types: an integer without a minus is
  // unsigned, one with a minus signed, and either is a double once it
  // overflows its type; a fraction or an exponent makes a double, rounded as
  // strtod rounds. What does not convert cleanly is left to the library.
  bool readNumber() {
    const char* first = next_;
    consume('-');
    if (!consume('0')) {
      if (next_ == end_ || !isDigit(*next_)) return false;
      skipDigits();
    }
    bool integral = true;
    if (consume('.')) {
      if (!readDigits()) return false;
      integral = false;
    }
    if (consume('e') || consume('E')) {
      if (!consume('+')) consume('-');
      if (!readDigits()) return false;
      integral = false;
    }
    if (integral && *first == '-') {
      std::int64_t value = 0;
      if (convert(first, value)) return builder_.number_integer(value);
    } else if (integral) {
      std::uint64_t value = 0;
      if (convert(first, value)) return builder_.number_unsigned(value);
    }
    double value = 0;
    return convert(first, value) && builder_.number_float(value, scratch_);
  }

  template <typename Number>
  bool convert(const char* first, Number& value) const {
    const auto [last, error] = std::from_chars(first, next_, value);
    return error == std::errc() && last == next_;
  }

  bool readDigits() {
    if (next_ == end_ || !isDigit(*next_)) return false;
    skipDigits();
    return true;
  }

  void skipDigits() {
    while (next_ != end_ && isDigit(*next_)) ++next_;
  }

  void skipWhitespace() {
    while (next_ != end_ && (*next_ == ' ' || *next_ == '\n' || *next_ == '\r' || *next_ == '\t')) {
      ++next_;
    }
  }

  bool consume(char expected) {
    if (next_ == end_ || *next_ != expected) return false;
    ++next_;
    return true;
  }

  static constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);

  const char* next_;
  const char* end_;
  JsonDocumentBuilder& builder_;
  std::string scratch_;
};

}  // namespace

bool readCommonJson(std::string_view text, JsonDocumentBuilder& builder) {
  return CommonJsonReader(text, builder).readDocument();
}

}  // namespace ravelin
