#include "cli/json_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cli/file_io.h"
#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using testing::PrintTo;

// The same value with the same type everywhere: the library's == calls an
// integer equal to a float of its value.
bool identical(const json& a, const json& b) {
  if (a.type() != b.type() || a.size() != b.size()) return false;
  if (a.is_object()) {
    for (auto member = a.begin(), other = b.begin(); member != a.end(); ++member, ++other) {
      if (member.key() != other.key() || !identical(*member, *other)) return false;
    }
    return true;
  }
  if (a.is_array()) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (!identical(a[i], b[i])) return false;
    }
    return true;
  }
  return a == b;
}

struct TextCase {
  const char* name;
  std::string text;
};

// The document, or the library's error for the text.
struct Outcome {
  std::optional<json> document;
  std::string error;
};

template <typename Parse>
Outcome outcomeOf(Parse&& parse) {
  try {
    return {parse(), {}};
  } catch (const json::exception& error) {
    return {std::nullopt, error.what()};
  }
}

class ParseJsonDocumentTest : public ::testing::TestWithParam<TextCase> {};

// Whether the quick reader takes the text or leaves it to the library, the
// document or the error is the library's own.
TEST_P(ParseJsonDocumentTest, GivesWhatTheLibraryGives) {
  const std::string& text = GetParam().text;
  const Outcome expected = outcomeOf([&] {
    return json::parse(text, nullptr, /*allow_exceptions=*/true, /*ignore_comments=*/true);
  });
  const Outcome parsed = outcomeOf([&] { return parseJsonDocument(text); });
  EXPECT_EQ(parsed.error, expected.error);
  ASSERT_EQ(parsed.document.has_value(), expected.document.has_value());
  if (parsed.document) {
    EXPECT_TRUE(identical(*parsed.document, *expected.document))
        << parsed.document->dump() << " != " << expected.document->dump();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseJsonDocumentTest,
    ::testing::Values(
        TextCase{"Integers",
                 "[0, -0, 7, -7, 9223372036854775807, -9223372036854775808, "
                 "18446744073709551615]"},
        TextCase{"IntegersBeyondTheirType",
                 "[18446744073709551616, -9223372036854775809, "
                 "123456789012345678901234567890]"},
        TextCase{"Floats",
                 "[0.1, -0.0, 1e5, 1E+2, 2.5e-3, 179769313486231570e291, "
                 "0.30000000000000004, 4.9e-324, 2.2250738585072011e-308]"},
        TextCase{"FloatsBeyondDouble", "[1e400, -1e400, 1e-400]"},
        TextCase{"Whitespace", " \t\r\n{ \"a\" :\n[ 1 ,\t2 ] , \"b\":{ } }\r\n"},
        TextCase{"LiteralsAndEmpties", "{\"t\":true,\"f\":false,\"n\":null,\"o\":{},\"a\":[]}"},
        TextCase{"DuplicateKeysKeepTheLast", "{\"b\":1,\"a\":2,\"b\":{\"c\":3}}"},
        TextCase{"ScalarDocument", "\"text\""},
        TextCase{"EscapesAndUtf8",
                 "{\"q\\\"k\":\"tab\\t\\u00e9\\ud83d\\ude00\",\"c\":\"caf\xc3\xa9\"}"},
        TextCase{"Comments", "[1, // one\n 2 /* two */]"},
        TextCase{"ByteOrderMark", "\xef\xbb\xbf[1]"}, TextCase{"Empty", ""},
        TextCase{"TrailingComma", "[1,]"}, TextCase{"LeadingZero", "[01]"},
        TextCase{"BareMinus", "[-]"}, TextCase{"FractionWithoutDigits", "[1.]"},
        TextCase{"ExponentWithoutDigits", "[1e+]"}, TextCase{"PlusSign", "[+1]"},
        TextCase{"ShortLiteral", "[tru]"}, TextCase{"UnterminatedString", "[\"abc"},
        TextCase{"ControlCharacterInString", "[\"a\x01\"]"},
        TextCase{"InvalidUtf8InString", "[\"\xff\"]"}, TextCase{"MissingColon", "{\"a\" 1}"},
        TextCase{"TextAfterTheDocument", "[1] [2]"}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
