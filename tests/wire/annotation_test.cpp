#include "wire/annotation.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using testing::PrintTo;

// Texts come from the blob as bytes: printable UTF-8 is shown as it is, and
// everything a terminal could obey or that is no UTF-8 at all as escapes.
struct EscapeCase {
  const char* name;
  std::string text;
  std::string shown;
};

class EscapedText : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapedText, ShowsWhatIsSafeOnATerminal) {
  EXPECT_EQ(escapedText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapedText,
    ::testing::Values(
        EscapeCase{"Printable", "cam-left 7f3a", "cam-left 7f3a"},
        EscapeCase{"QuoteAndBackslash", "a\"b\\c", R"(a\"b\\c)"},
        EscapeCase{"Whitespace", "\t\r\n", R"(\t\r\n)"},
        EscapeCase{"ControlAndDelete", std::string("\x00\x1b\x7f", 3), R"(\x00\x1b\x7f)"},
        EscapeCase{"TwoToFourByteCharacters", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
                   "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
        EscapeCase{"C1ControlButNotTheSpaceAfterIt", "\xc2\x9b\xc2\xa0", "\\xc2\\x9b\xc2\xa0"},
        EscapeCase{"Overlong", "\xc0\xaf\xe0\x80\xaf", R"(\xc0\xaf\xe0\x80\xaf)"},
        EscapeCase{"Surrogate", "\xed\xa0\x80", R"(\xed\xa0\x80)"},
        EscapeCase{"BeyondUnicode", "\xf4\x90\x80\x80", R"(\xf4\x90\x80\x80)"},
        EscapeCase{"CutShortAtTheEnd", "a\xe2\x82", R"(a\xe2\x82)"},
        EscapeCase{"LoneContinuationByte", "\x80z", R"(\x80z)"}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
