#include "cli/verification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/support/case_name.h"
#include "tests/support/console.h"

namespace ravelin {
namespace {

using testing::errorLine;
using testing::PrintTo;
using testing::warningLine;

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PrecisionCase {
  const char* name;
  double decoded;
  double source;
  bool loss;
};

class IsPrecisionLossTest : public ::testing::TestWithParam<PrecisionCase> {};

TEST_P(IsPrecisionLossTest, ToleratesOnlySinglePrecisionStorage) {
  EXPECT_EQ(isPrecisionLoss(GetParam().decoded, GetParam().source), GetParam().loss);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsPrecisionLossTest,
    ::testing::Values(PrecisionCase{"ExactFloatOfPointOne", 0.10000000149011612, 0.1, true},
                      PrecisionCase{"RoundedFloatOfPointOne", 0.100000001, 0.1, true},
                      PrecisionCase{"WholeNumberThreeUnitsAway", 123456792.0, 123456789.0, true},
                      PrecisionCase{"AbsoluteTermNearZero", 0.0, 1e-13, true},
                      PrecisionCase{"OneUlpOfOneIsTooMuch", 1.0, 1.0000002, false},
                      PrecisionCase{"RealChange", 2.5, 2.0, false},
                      PrecisionCase{"SignMatters", -0.5, 0.5, false},
                      PrecisionCase{"NaNDecoded", kNaN, 1.0, false},
                      PrecisionCase{"NaNSource", 1.0, kNaN, false},
                      PrecisionCase{"SourceBeyondFloatRange", 1.0, 1e300, false},
                      PrecisionCase{"OverflowIsNoPrecisionLoss",
                                    std::numeric_limits<double>::infinity(), 1e300, false}),
    testing::ByCaseName());

struct VerdictCase {
  const char* name;
  json entry;
  bool acceptable;
};

class IsAcceptableDifferenceTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(IsAcceptableDifferenceTest, JudgesOneEntry) {
  const json exactDecoded = {
      {"f", 0.10000000149011612}, {"one", 1.0}, {"s", 5}, {"kept", {{"__plus_x", 1}}}};
  const json source = {{"f", 0.1}, {"one", 1.0000002}, {"s", "five"}, {"__note", "n"}};
  EXPECT_EQ(isAcceptableDifference(GetParam().entry, exactDecoded, source), GetParam().acceptable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsAcceptableDifferenceTest,
    ::testing::Values(
        VerdictCase{
            "ReplaceWithPrecisionLoss", {{"op", "replace"}, {"path", "/f"}, {"value", 0.1}}, true},
        VerdictCase{"ReplaceBeyondTolerance", {{"op", "replace"}, {"path", "/one"}}, false},
        VerdictCase{"ReplaceStringByNumber", {{"op", "replace"}, {"path", "/s"}}, false},
        VerdictCase{"ReplaceOfAnAbsentMember", {{"op", "replace"}, {"path", "/nothing"}}, false},
        VerdictCase{"ReplaceWithMalformedPointer", {{"op", "replace"}, {"path", "f"}}, false},
        VerdictCase{"ReplaceWithMarkerIsStillJudgedByValue",
                    {{"op", "replace"}, {"path", "/kept/__plus_x"}},
                    false},
        VerdictCase{"AddWithMarker", {{"op", "add"}, {"path", "/__note"}, {"value", "n"}}, true},
        VerdictCase{
            "RemoveWithMarkerInsideAName", {{"op", "remove"}, {"path", "/a/my__plus_y"}}, true},
        VerdictCase{"AddWithoutMarker", {{"op", "add"}, {"path", "/serial"}}, false},
        VerdictCase{"RemoveWithoutMarker", {{"op", "remove"}, {"path", "/serial"}}, false},
        VerdictCase{"OtherOperation", {{"op", "move"}, {"path", "/__note"}}, false},
        VerdictCase{"MissingMembers", json::object(), false}),
    testing::ByCaseName());

struct Report {
  std::string out;
  std::string err;
};

Report report(const json& decoded, const json& source) {
  CaptureStdout();
  CaptureStderr();
  printDiffReport(decoded, source, json::diff(decoded, source));
  return {GetCapturedStdout(), GetCapturedStderr()};
}

TEST(PrintDiffReport, SameDigitsAfterRoundingGiveTheShortLine) {
  const Report r = report({{"f", 0.100000001}}, {{"f", 0.1}});
  EXPECT_EQ(r.out, warningLine("DIFF - float precision loss @ /f"));
  EXPECT_EQ(r.err, "");
}

TEST(PrintDiffReport, AWholeNumberNeighbourGivesTheLongLine) {
  const Report r = report({{"big", 123456792.0}}, {{"big", 123456789.0}});
  EXPECT_EQ(r.out, warningLine("DIFF - precision loss @ /big:\n\toriginal value = 123456789.0\n"
                               "\tafter ->bin->json = 123456792.0\n"
                               "\toriginal value rounded = 123456792, 123456792, abs error = 3\n"
                               "\tNote, precision loss during binary serialization is expected "
                               "for some fields."));
}

TEST(PrintDiffReport, AReplaceOfAnotherKindShowsBothValues) {
  const Report r = report({{"s", 5}}, {{"s", "five"}});
  EXPECT_EQ(r.err, errorLine(" DIFF - op replace @ path /s:\n\toriginal = \"five\" \n"
                             "\tafter binary serialization = 5 "));
  EXPECT_EQ(r.out, "");
}

TEST(PrintDiffReport, AddsWithAMarkerAreWarningsEverythingElseIsAnError) {
  const Report r = report({{"kb", 1}, {"__note_old", 2}}, {{"__note", "hi"}});
  EXPECT_EQ(r.out, warningLine(" DIFF - op add @ path /__note\n\top details = "
                               "{\"op\":\"add\",\"path\":\"/__note\",\"value\":\"hi\"}"));
  EXPECT_EQ(r.err, errorLine(" DIFF - op remove @ path /__note_old\n\top details = "
                             "{\"op\":\"remove\",\"path\":\"/__note_old\"}") +
                       errorLine(" DIFF - op remove @ path /kb\n\top details = "
                                 "{\"op\":\"remove\",\"path\":\"/kb\"}"));
}

TEST(PrintDiffReport, AnAddWithoutMarkerIsAnError) {
  const Report r = report(json::object(), {{"serial", "A1"}});
  EXPECT_EQ(r.err, errorLine(" DIFF - op add @ path /serial\n\top details = "
                             "{\"op\":\"add\",\"path\":\"/serial\",\"value\":\"A1\"}"));
}

TEST(PrintDiffReport, MissingValuesAreNamedNotFatal) {
  CaptureStdout();
  CaptureStderr();
  printDiffReport(json::object(), json::object(),
                  json::array({{{"op", "replace"}, {"path", "/x"}}}));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(GetCapturedStderr(),
            errorLine(" DIFF - op replace @ path /x:\n\toriginal = no such field in original JSON "
                      "\n\tafter binary serialization = no such field in binary serialized data "));
}

TEST(PrintDiffReport, UndecodableTextIsShownRatherThanThrown) {
  const Report r = report({{"serial", "\xff"}}, {{"serial", "A"}});
  EXPECT_NE(r.err.find("after binary serialization = \"\xef\xbf\xbd\""), std::string::npos);
}

}  // namespace
}  // namespace ravelin
