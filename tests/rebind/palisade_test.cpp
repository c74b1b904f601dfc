#include "rebind/palisade.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <optional>
#include <string>
#include <string_view>

#include "tests/rebind/case_names.h"
#include "tests/support/temp_dir.h"

namespace palisade {
namespace {

using cases::caseName;
using cases::PrintTo;

using namespace std::string_literals;

struct StripCase {
  const char* name;
  std::string text;
  std::string stripped;
};

class StripTrailingBlanksTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripTrailingBlanksTest, CutsOnlyTrailingSpaceTabLineFeedAndCarriageReturn) {
  EXPECT_EQ(stripTrailingBlanks(GetParam().text), GetParam().stripped);
}

INSTANTIATE_TEST_SUITE_P(Texts, StripTrailingBlanksTest,
                         ::testing::Values(StripCase{"AllFourMixed", "word \t\r\n\t \n", "word"},
                                           StripCase{"OnlyBlanks", " \t\r\n", ""},
                                           StripCase{"Empty", "", ""},
                                           StripCase{"LeadingKept", " \tword", " \tword"},
                                           StripCase{"InnerKept", "a \t b\n", "a \t b"},
                                           StripCase{"VerticalTabKept", "word\v", "word\v"},
                                           StripCase{"FormFeedKept", "word\f \n", "word\f"},
                                           StripCase{"NulKept", "word\0\n"s, "word\0"s}),
                         caseName<StripCase>);

struct StateCase {
  const char* name;
  std::string text;
  bool matches;
};

class IsCoreDeinitTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(IsCoreDeinitTest, MatchesTheWholeWordAfterStripping) {
  EXPECT_EQ(isCoreDeinit(GetParam().text), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Texts, IsCoreDeinitTest,
                         ::testing::Values(StateCase{"Bare", "CORE_DEINIT", true},
                                           StateCase{"CrLf", "CORE_DEINIT\r\n", true},
                                           StateCase{"TrailingVerticalTab", "CORE_DEINIT\v", false},
                                           StateCase{"LeadingTab", "\tCORE_DEINIT", false},
                                           StateCase{"InnerSpace", "CORE_ DEINIT", false},
                                           StateCase{"Prefix", "CORE_DEINI", false},
                                           StateCase{"Longer", "CORE_DEINITS", false},
                                           StateCase{"MixedCase", "Core_Deinit", false},
                                           StateCase{"SecondLine", "CORE_DEINIT\nCORE_INIT\n",
                                                     false}),
                         caseName<StateCase>);

// A file size limit cuts the write short, as a nearly full file system would.
TEST(WriteString, ReportsAShortWriteWithTheBytesItTook) {
  const ravelin::testing::TempDir dir;
  const std::filesystem::path path = dir / "bind";
  ravelin::testing::writeText(path, "");
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  const rlimit fiveBytes{5, previous.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &fiveBytes), 0);
  const std::optional<std::string> failure = writeString(path.c_str(), "vane-core.0");
  ::setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_EQ(failure, "Only 5 of 11 bytes written");
  EXPECT_EQ(ravelin::testing::readText(path), "vane-");
}

}  // namespace
}  // namespace palisade
