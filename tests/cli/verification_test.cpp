#include "cli/verification.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/file_io.h"
#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PrintTo;

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
  PatchEntry entry;
  bool acceptable;
};

const json kPointOne = 0.1;

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
        VerdictCase{"ReplaceWithPrecisionLoss", {"replace", "/f", &kPointOne}, true},
        VerdictCase{"ReplaceBeyondTolerance", {"replace", "/one", nullptr}, false},
        VerdictCase{"ReplaceStringByNumber", {"replace", "/s", nullptr}, false},
        VerdictCase{"ReplaceOfAnAbsentMember", {"replace", "/nothing", nullptr}, false},
        VerdictCase{"ReplaceWithMalformedPointer", {"replace", "f", nullptr}, false},
        VerdictCase{
            "ReplaceWithMarkerIsStillJudgedByValue", {"replace", "/kept/__plus_x", nullptr}, false},
        VerdictCase{"AddWithMarker", {"add", "/__note", &kPointOne}, true},
        VerdictCase{"RemoveWithMarkerInsideAName", {"remove", "/a/my__plus_y", nullptr}, true},
        VerdictCase{"AddWithoutMarker", {"add", "/serial", &kPointOne}, false},
        VerdictCase{"RemoveWithoutMarker", {"remove", "/serial", nullptr}, false},
        VerdictCase{"OtherOperation", {"move", "/__note", nullptr}, false}),
    testing::ByCaseName());

// The entries as json::diff would hold them.
json collectedPatch(const json& decoded, const json& source) {
  json patch = json::array();
  forEachPatchEntry(decoded, source, [&](const PatchEntry& entry) {
    json object = {{"op", entry.op}, {"path", entry.path}};
    if (entry.value != nullptr) object["value"] = *entry.value;
    patch.push_back(object);
  });
  return patch;
}

struct PatchCase {
  const char* name;
  json decoded;
  json source;
};

class ForEachPatchEntryTest : public ::testing::TestWithParam<PatchCase> {};

TEST_P(ForEachPatchEntryTest, VisitsTheEntriesOfTheLibraryDiffInItsOrder) {
  EXPECT_EQ(collectedPatch(GetParam().decoded, GetParam().source),
            json::diff(GetParam().decoded, GetParam().source));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForEachPatchEntryTest,
    ::testing::Values(
        PatchCase{"EqualNumbersOfOtherKinds", {{"n", 1}, {"f", 2.0}}, {{"n", 1U}, {"f", 2}}},
        PatchCase{"RootOfAnotherKind", json::array({1}), {{"a", 1}}},
        PatchCase{"SurplusRemovedFromTheLastElementDown", {{"a", {1, 2, 3, 4}}}, {{"a", {1, 9}}}},
        PatchCase{"SurplusAppended", {{"a", {1}}}, {{"a", {1, {{"k", 2}}, 3}}}},
        PatchCase{"MembersRemovedThenAdded",
                  {{"b", 1}, {"c", {{"x", true}}}, {"gone", 0}},
                  {{"a", "new"}, {"b", 2}, {"c", {{"x", false}, {"y", nullptr}}}}},
        PatchCase{"NamesEscapedInPaths",
                  {{"a/b", 1}, {"m~n", {{"~/", 1}}}},
                  {{"a/b", 2}, {"m~n", {{"~/", 2}}}, {"new/~", 3}}},
        PatchCase{"NestedArraysOfObjects",
                  {{"cameras", {{{"w", 1}, {"i", json::array()}}, {{"w", 2}}}}},
                  {{"cameras", {{{"w", 1}, {"i", {1}}}}}}}),
    testing::ByCaseName());

std::vector<LogLine> report(const json& decoded, const json& source) {
  std::vector<LogLine> lines;
  forEachPatchEntry(decoded, source, [&](const PatchEntry& entry) {
    lines.push_back(describeDifference(entry, decoded, source));
  });
  return lines;
}

LogLine warning(const std::string& text) {
  return {LogLevel::WARNING, text};
}
LogLine error(const std::string& text) {
  return {LogLevel::ERROR, text};
}

TEST(DescribeDifference, SameDigitsAfterRoundingGiveTheShortLine) {
  EXPECT_THAT(report({{"f", 0.100000001}}, {{"f", 0.1}}),
              ElementsAre(warning("DIFF - float precision loss @ /f")));
}

TEST(DescribeDifference, AWholeNumberNeighbourGivesTheLongLine) {
  EXPECT_THAT(report({{"big", 123456792.0}}, {{"big", 123456789.0}}),
              ElementsAre(warning("DIFF - precision loss @ /big:\n\toriginal value = 123456789.0\n"
                                  "\tafter ->bin->json = 123456792.0\n"
                                  "\toriginal value rounded = 123456792, 123456792, abs error = 3\n"
                                  "\tNote, precision loss during binary serialization is expected "
                                  "for some fields.")));
}

TEST(DescribeDifference, AReplaceOfAnotherKindShowsBothValues) {
  EXPECT_THAT(report({{"s", 5}}, {{"s", "five"}}),
              ElementsAre(error(" DIFF - op replace @ path /s:\n\toriginal = \"five\" \n"
                                "\tafter binary serialization = 5 ")));
}

TEST(DescribeDifference, AddsWithAMarkerAreWarningsEverythingElseIsAnError) {
  EXPECT_THAT(report({{"kb", 1}, {"__note_old", 2}}, {{"__note", "hi"}}),
              ElementsAre(error(" DIFF - op remove @ path /__note_old\n\top details = "
                                "{\"op\":\"remove\",\"path\":\"/__note_old\"}"),
                          error(" DIFF - op remove @ path /kb\n\top details = "
                                "{\"op\":\"remove\",\"path\":\"/kb\"}"),
                          warning(" DIFF - op add @ path /__note\n\top details = "
                                  "{\"op\":\"add\",\"path\":\"/__note\",\"value\":\"hi\"}")));
}

TEST(DescribeDifference, AnAddWithoutMarkerIsAnError) {
  EXPECT_THAT(report(json::object(), {{"serial", "A1"}}),
              ElementsAre(error(" DIFF - op add @ path /serial\n\top details = "
                                "{\"op\":\"add\",\"path\":\"/serial\",\"value\":\"A1\"}")));
}

TEST(DescribeDifference, MissingValuesAreNamedNotFatal) {
  EXPECT_EQ(describeDifference({"replace", "/x", nullptr}, json::object(), json::object()),
            error(" DIFF - op replace @ path /x:\n\toriginal = no such field in original JSON "
                  "\n\tafter binary serialization = no such field in binary serialized data "));
}

TEST(DescribeDifference, UndecodableTextIsShownRatherThanThrown) {
  const std::vector<LogLine> lines = report({{"serial", "\xff"}}, {{"serial", "A"}});
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_THAT(lines[0].text, HasSubstr("after binary serialization = \"\xef\xbf\xbd\""));
}

struct JudgementCase {
  const char* name;
  json decoded;
  json source;
  int verdict;
};

class JudgeRoundTripTest : public ::testing::TestWithParam<JudgementCase> {};

TEST_P(JudgeRoundTripTest, GivesTheVerdictOfItsWorstDifference) {
  std::size_t reported = 0;
  const int verdict =
      judgeRoundTrip(GetParam().source, GetParam().decoded, [&](const LogLine&) { ++reported; });
  EXPECT_EQ(verdict, GetParam().verdict);
  json rounded = GetParam().decoded;
  roundJsonFloats(rounded);
  EXPECT_EQ(reported, json::diff(rounded, GetParam().source).size());
}

// The decoded side is exact: 0.1 as a float, which the judgement rounds to
// the nine digits decode writes.
INSTANTIATE_TEST_SUITE_P(Table, JudgeRoundTripTest,
                         ::testing::Values(JudgementCase{"Equal",
                                                         {{"f", 0.10000000149011612}},
                                                         {{"f", 0.100000001}},
                                                         kExitSuccess},
                                           JudgementCase{"OnlyPrecisionLoss",
                                                         {{"big", 123456792.0}},
                                                         {{"big", 123456789.0}},
                                                         kExitVerifyWarnings},
                                           JudgementCase{"LossAndARealChange",
                                                         {{"big", 123456792.0}, {"s", 5}},
                                                         {{"big", 123456789.0}, {"s", 6}},
                                                         kExitVerifyMismatch}),
                         testing::ByCaseName());

}  // namespace
}  // namespace ravelin
