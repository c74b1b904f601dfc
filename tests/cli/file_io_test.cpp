#include "cli/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "console/log.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using ::testing::ElementsAre;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::infoLine;
using testing::PrintTo;
using testing::readText;
using testing::successLine;
using testing::TempDir;
using ::testing::ThrowsMessage;
using testing::writeText;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

TEST(CheckInputExists, AcceptsFilesAndDirectoriesAndReportsAbsence) {
  TempDir dir;
  writeText(dir / "present.json", "{}");
  EXPECT_TRUE(checkInputExists(dir / "present.json", "JSON"));
  EXPECT_TRUE(checkInputExists(dir.path(), "JSON"));

  CaptureStderr();
  EXPECT_FALSE(checkInputExists(dir / "absent.bin", "Input binary"));
  EXPECT_EQ(GetCapturedStderr(),
            errorLine("Input binary '" + (dir / "absent.bin").string() + "' does not exist."));
}

// Nothing is made before the contents are complete: the writer makes it.
TEST(CheckOutputWritable, LeavesMissingAncestorsToTheWriter) {
#ifdef TEST_EMULATOR
  GTEST_SKIP() << "qemu's user-mode /proc does not name a new directory's unnamed file";
#endif
  TempDir dir;
  const fs::path out = dir / "a" / "b" / "cal.json";
  EXPECT_TRUE(checkOutputWritable(out, false, "Output JSON"));
  EXPECT_FALSE(fs::exists(dir / "a"));

  CaptureStdout();
  writeFile(Bytes{'{', '}'}, out);
  GetCapturedStdout();
  EXPECT_EQ(readText(out), "{}");
}

TEST(CheckOutputWritable, RefusesAnExistingFileUnlessForced) {
  TempDir dir;
  const fs::path out = dir / "cal.bin";
  writeText(out, "old");

  CaptureStdout();
  CaptureStderr();
  EXPECT_TRUE(checkOutputWritable(out, true, "Output binary"));
  EXPECT_EQ(GetCapturedStdout() + GetCapturedStderr(), "");
  EXPECT_EQ(readText(out), "old");

  CaptureStderr();
  EXPECT_FALSE(checkOutputWritable(out, false, "Output binary"));
  EXPECT_EQ(GetCapturedStderr(), errorLine("Output binary '" + out.string() +
                                           "' already exists. Use --force to overwrite."));
}

TEST(GetFileSize, ReportsTheSizeOrZeroWithAnError) {
  TempDir dir;
  writeText(dir / "five", "12345");
  CaptureStdout();
  EXPECT_EQ(getFileSize(dir / "five"), 5U);
  EXPECT_EQ(GetCapturedStdout(), infoLine("Got file size 5"));

  CaptureStderr();
  EXPECT_EQ(getFileSize(dir / "absent"), 0U);
  EXPECT_THAT(GetCapturedStderr(), HasSubstr("Error getting file size of " +
                                             (dir / "absent").string() + ": No such file"));
}

TEST(ReadFile, ReadsFullChunksAndTheShortLastChunk) {
  TempDir dir;
  std::string content(10000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  writeText(dir / "blob", content);

  CaptureStdout();
  const Bytes bytes = readFile(dir / "blob");
  EXPECT_EQ(GetCapturedStdout(), successLine("Successfully read 10000 bytes from file"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
}

TEST(ReadFile, EmptyFileGivesNoBytes) {
  TempDir dir;
  writeText(dir / "empty", "");
  CaptureStdout();
  EXPECT_TRUE(readFile(dir / "empty").empty());
  EXPECT_EQ(GetCapturedStdout(), successLine("Successfully read 0 bytes from file"));
}

TEST(ReadFile, UnopenablePathsFailWithThePathAndTheReason) {
  TempDir dir;
  const std::pair<fs::path, std::string> cases[] = {{dir / "absent", "No such file or directory"},
                                                    {dir.path(), "Is a directory"}};
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path);
    CaptureStderr();
    EXPECT_THAT([&file = path] { readFile(file); },
                ThrowsMessage<std::runtime_error>("Failed to open file: " + path.string()));
    EXPECT_EQ(GetCapturedStderr(),
              errorLine("Failed to open file: " + path.string() + " ") + errorLine(reason));
  }
}

TEST(WriteFile, ReplacesTheTargetWholeAndKeepsItsMode) {
  TempDir dir;
  const fs::path out = dir / "cal.bin";
  writeText(out, "an older and longer content");
  ::chmod(out.c_str(), 0640);

  CaptureStdout();
  writeFile(Bytes{'n', 'e', 'w'}, out);
  EXPECT_EQ(GetCapturedStdout(),
            successLine("Successfully wrote data to location " + out.string()));
  EXPECT_EQ(readText(out), "new");
  EXPECT_EQ(fs::status(out).permissions(), fs::perms(0640));
  EXPECT_THAT(testing::entryNames(dir.path()), ElementsAre("cal.bin"));
}

TEST(WriteFile, ADirectoryAsTargetFailsToOpen) {
  TempDir dir;
  CaptureStderr();
  EXPECT_THAT(
      [&] { writeFile(Bytes{1}, dir.path()); },
      ThrowsMessage<std::runtime_error>("Failed to open file for writing: " + dir.path().string()));
  EXPECT_EQ(GetCapturedStderr(),
            errorLine("Failed to open file for writing: " + dir.path().string()) +
                errorLine("Is a directory"));
}

// Runs in a forked child: a file-size limit makes the write itself fail part
// way, as a full disk would. Exits 42 when writeFile threw the expected error.
[[noreturn]] void writeBeyondAFileSizeLimit(const fs::path& out) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{4096, 4096};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const std::string expected = "Failed to write data to file: " + out.string();
  try {
    writeFile(Bytes(100000, 0xAB), out);
  } catch (const std::runtime_error& e) {
    std::_Exit(expected == e.what() ? 42 : 1);
  }
  std::_Exit(0);
}

TEST(WriteFileDeathTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const fs::path out = dir / "cal.bin";
  writeText(out, "precious");
  EXPECT_EXIT(writeBeyondAFileSizeLimit(out), ::testing::ExitedWithCode(42), "");
  EXPECT_EQ(readText(out), "precious");
  EXPECT_THAT(testing::entryNames(dir.path()), ElementsAre("cal.bin"));
}

TEST(WriteJsonFile, WritesIndentedUnescapedTextWithoutFinalNewline) {
  TempDir dir;
  json value = {{"int", 3}, {"float", 3.0}, {"name", "caf\xc3\xa9"}, {"list", {1, 2}}};
  writeJsonFile(value, dir / "out.json");
  EXPECT_EQ(readText(dir / "out.json"),
            "{\n    \"float\": 3.0,\n    \"int\": 3,\n    \"list\": [\n        1,\n        2\n"
            "    ],\n    \"name\": \"caf\xc3\xa9\"\n}");
}

// The text is the library's own dump with an indent of 4, whatever the
// document holds: escapes and UTF-8 in keys and strings, empty and nested
// containers, the integer extremes, floats in both notations, a negative
// zero and numbers that print as null.
TEST(RenderJsonDocument, WritesWhatTheLibraryWrites) {
  const double kInfinity = std::numeric_limits<double>::infinity();
  const std::vector<json> documents = {
      {{"quote\"key\\", "tab\tnew\nline\x01\x1f\x7f"}, {"caf\xc3\xa9", "\xf0\x9f\x98\x80"}},
      {{"empty", json::object()},
       {"none", json::array()},
       {"nested", {json::array(), {{"a", {}}}}}},
      json::array({true, false, nullptr, 0, -1, std::numeric_limits<std::int64_t>::min(),
                   std::numeric_limits<std::uint64_t>::max(), 0.5, -0.0, 1e-5, 1e20, -2.5e-300,
                   std::nan(""), kInfinity}),
      "top-level string",
      42.125,
  };
  for (const json& document : documents) {
    json rounded = document;
    roundJsonFloats(rounded);
    json rendered = document;
    EXPECT_EQ(renderJsonDocument(rendered), rounded.dump(4));
  }
}

TEST(WriteJsonFile, RoundsTheCallersValueInPlace) {
  TempDir dir;
  json value = {{"x", 1234.5678901234}};
  writeJsonFile(value, dir / "out.json");
  EXPECT_EQ(value["x"].get<double>(), 1234.56789);
  EXPECT_EQ(readText(dir / "out.json"), "{\n    \"x\": 1234.56789\n}");
}

TEST(WriteJsonFile, InvalidUtf8FailsBeforeTouchingTheExistingFile) {
  TempDir dir;
  const fs::path out = dir / "out.json";
  writeText(out, "old");
  json value = {{"serial", "\xff\xfe"}};
  EXPECT_THROW(writeJsonFile(value, out), json::type_error);
  EXPECT_EQ(readText(out), "old");
  EXPECT_THAT(testing::entryNames(dir.path()), ElementsAre("out.json"));
}

TEST(WriteJsonFile, ADirectoryAsTargetIsReportedNotIgnored) {
  TempDir dir;
  json value = json::object();
  CaptureStderr();
  EXPECT_THAT(
      [&] { writeJsonFile(value, dir.path()); },
      ThrowsMessage<std::runtime_error>("Failed to open file for writing: " + dir.path().string()));
  GetCapturedStderr();
}

TEST(LoadJsonFile, IgnoresCommentsAndRejectsTrailingCommas) {
  TempDir dir;
  writeText(dir / "commented.json", "// head\n{ /* inline */ \"a\": 1 // tail\n}");
  EXPECT_EQ(loadJsonFile(dir / "commented.json"), json({{"a", 1}}));

  writeText(dir / "comma.json", "{\"a\": 1,}");
  EXPECT_THROW(loadJsonFile(dir / "comma.json"), json::parse_error);
}

struct RoundingCase {
  const char* name;
  double input;
  double expected;
};

class RoundJsonFloatsTest : public ::testing::TestWithParam<RoundingCase> {};

TEST_P(RoundJsonFloatsTest, KeepsNineSignificantDigits) {
  json value = GetParam().input;
  roundJsonFloats(value);
  ASSERT_TRUE(value.is_number_float());
  const double got = value.get<double>();
  if (std::isnan(GetParam().expected)) {
    EXPECT_TRUE(std::isnan(got));
  } else {
    EXPECT_EQ(got, GetParam().expected);
    EXPECT_EQ(std::signbit(got), std::signbit(GetParam().expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, RoundJsonFloatsTest,
    ::testing::Values(
        RoundingCase{"ThousandsKeepFiveDecimals", 1234.5678901234, 1234.56789},
        RoundingCase{"FloatOfPointOne", static_cast<double>(0.1F), 0.100000001},
        RoundingCase{"SmallNegative", -0.000123456789012, -0.000123456789},
        RoundingCase{"TieGoesToEvenBelow", 100000000.5, 100000000.0},
        RoundingCase{"TieGoesToEvenAbove", 100000001.5, 100000002.0},
        RoundingCase{"WholeNumber", 3.0, 3.0}, RoundingCase{"Zero", 0.0, 0.0},
        // Float32 values, which decode rounds by their decimal exponent: just
        // above and below powers of ten, and both sides of the largest one
        // whose rounding factor a double holds exactly.
        RoundingCase{"FloatJustAboveAPowerOfTen", -1000.00006103515625, -1000.00006},
        RoundingCase{"FloatJustBelowAPowerOfTen", 999.99993896484375, 999.999939},
        RoundingCase{"FloatJustAboveATenThousandth", 0.00010000000474974513, 0.000100000005},
        RoundingCase{"FloatNearestATenThousandth", static_cast<double>(1e-4F), 9.99999975e-05},
        RoundingCase{"LargestFloatBelowABillion", 999999936.0, 999999936.0},
        RoundingCase{"FloatOfABillion", 1e9, 1e9}, RoundingCase{"NegativeZero", -0.0, -0.0},
        // The factor overflows: the value is narrowed to single precision, which gives zero.
        RoundingCase{"FactorOverflows", 1e-310, 0.0},
        RoundingCase{"FactorOverflowsKeepingTheSign", -1e-310, -0.0},
        RoundingCase{"Infinity", std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()},
        RoundingCase{"NaN", std::nan(""), std::nan("")}),
    testing::ByCaseName());

TEST(RoundJsonFloats, LeavesIntegersAndOtherKindsAloneAndRecurses) {
  json value = {{"i", 123456789012LL},
                {"u", 18446744073709551615ULL},
                {"nested", {{"list", {0.123456789012, "text", true, nullptr}}}}};
  roundJsonFloats(value);
  EXPECT_TRUE(value["i"].is_number_integer());
  EXPECT_EQ(value["i"].get<long long>(), 123456789012LL);
  EXPECT_TRUE(value["u"].is_number_unsigned());
  EXPECT_EQ(value["nested"]["list"], json({0.123456789, "text", true, nullptr}));
}

}  // namespace
}  // namespace ravelin
