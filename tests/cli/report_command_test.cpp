#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "wire/byte_io.h"

namespace ravelin {
namespace {

using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::runRavelin;
using ::testing::StartsWith;
using testing::TempDir;

const std::string kExamples = std::string(PROJECT_SOURCE_DIR) + "/examples/";
const std::string kGolden = std::string(PROJECT_SOURCE_DIR) + "/tests/golden/";

class ReportCommand : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string page_ = (dir_ / "page.html").string();
};

// The command line decides before anything is read.
struct UsageCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* message;
};

class ReportUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ReportUsage, PrintsTheMessageAndTheUsage) {
  const ProcessResult result = runRavelin(GetParam().arguments);
  EXPECT_EQ(result.exitCode, kExitUsage);
  EXPECT_EQ(result.err, errorLine(GetParam().message));
  EXPECT_THAT(result.out, StartsWith("Usage:"));
}

const char* const kMissing = "report requires --html <file> and --json <file> or --bin <file>";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportUsage,
    ::testing::Values(UsageCase{"NoOptions", {"report"}, kMissing},
                      UsageCase{"NoPage", {"report", "--json", "a.json"}, kMissing},
                      UsageCase{"NoInput", {"report", "--html", "a.html"}, kMissing},
                      UsageCase{
                          "BothInputs",
                          {"report", "--json", "a.json", "--bin", "a.bin", "--html", "a.html"},
                          "report takes --json <file> or --bin <file>, not both"},
                      UsageCase{"BothFromStandardInput",
                                {"report", "--json", "-", "--old", "-", "--html", "a.html"},
                                "report cannot read both --json and --old from standard input "
                                "('-')"}),
    testing::ByCaseName());

// Inputs and outputs, with the exit code each ends in.
struct ExitCase {
  const char* name;
  std::string input;  // "--json PATH" or "--bin PATH" in two words
  std::string path;
  int exitCode;
  std::vector<std::string> older{};  // "--old PATH", when the page compares
};

class ReportExit : public ReportCommand, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ReportExit, EndsWithItsCode) {
  const ExitCase& c = GetParam();
  std::vector<std::string> arguments{"report", c.input, c.path, "--html", page_};
  arguments.insert(arguments.end(), c.older.begin(), c.older.end());
  const ProcessResult result = runRavelin(arguments);
  EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
  EXPECT_EQ(std::filesystem::exists(page_), c.exitCode == kExitSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportExit,
    ::testing::Values(
        ExitCase{"CalibrationJson", "--json", kExamples + "calibration.json", kExitSuccess},
        ExitCase{"DeviceConfigBlob", "--bin", kGolden + "device_config.bin", kExitSuccess},
        ExitCase{"MissingInput", "--json", kExamples + "absent.json", kExitPathRefused},
        ExitCase{"NotJson", "--json", kGolden + "calibration.bin", kExitException},
        ExitCase{"JsonOfNoKind", "--json",
                 std::string(PROJECT_SOURCE_DIR) + "/schemas/device_config.schema.json",
                 kExitException},
        ExitCase{"NoKnownMagic", "--bin", kExamples + "calibration.json", kExitException},
        // A blob whose frame breaks cannot be decoded, so it has no page.
        ExitCase{"BrokenBlob", "--bin", kGolden + "inspect/calibration-sub-block-overrun.bin",
                 kExitException},
        ExitCase{"ComparedWithABlob",
                 "--json",
                 kExamples + "calibration.json",
                 kExitSuccess,
                 {"--old", kGolden + "calibration.bin"}},
        ExitCase{"MissingOlder",
                 "--json",
                 kExamples + "calibration.json",
                 kExitPathRefused,
                 {"--old", kExamples + "absent.json"}},
        ExitCase{"MalformedOlder",
                 "--json",
                 kExamples + "calibration.json",
                 kExitException,
                 {"--old", std::string(PROJECT_SOURCE_DIR) + "/man/ravelin.1"}},
        ExitCase{"OlderOfAnotherKind",
                 "--json",
                 kExamples + "calibration.json",
                 kExitException,
                 {"--old", kExamples + "device_config.json"}}),
    testing::ByCaseName());

TEST_F(ReportCommand, RefusesAnExistingPageWithoutForce) {
  testing::writeText(page_, "old");
  const std::string input = kExamples + "calibration.json";
  const ProcessResult refused = runRavelin({"report", "--json", input, "--html", page_});
  EXPECT_EQ(refused.exitCode, kExitPathRefused);
  EXPECT_EQ(testing::readText(page_), "old");
  const ProcessResult forced = runRavelin({"report", "--json", input, "--html", page_, "--force"});
  EXPECT_EQ(forced.exitCode, kExitSuccess) << forced.err;
  EXPECT_THAT(testing::readText(page_), StartsWith("<!DOCTYPE html>"));
}

TEST_F(ReportCommand, ReadsStandardInputAndWritesStandardOutput) {
  ProcessOptions options;
  options.inputPath = kGolden + "calibration.bin";
  const ProcessResult result = runRavelin({"report", "--bin", "-", "--html", "-"}, options);
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, StartsWith("<!DOCTYPE html>"));
  EXPECT_THAT(result.out, HasSubstr("From the blob - (1245 bytes)"));
  EXPECT_THAT(result.err, HasSubstr("Wrote the report of - to -"));
}

// A damaged but decodable blob gets its page, the mismatch on it; findings
// leave the exit code alone.
TEST_F(ReportCommand, ShowsACrcMismatchAndExitsZero) {
  Bytes blob = testing::readBytes(kGolden + "calibration.bin");
  blob[12] ^= 0xFF;
  const std::string damaged = (dir_ / "damaged.bin").string();
  testing::writeBytes(damaged, blob);
  const ProcessResult result = runRavelin({"report", "--bin", damaged, "--html", page_});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_THAT(testing::readText(page_), HasSubstr("CRC-32 does not match"));
}

}  // namespace
}  // namespace ravelin
