#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using json = nlohmann::json;
using ::testing::EndsWith;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::runRavelin;
using testing::successLine;
using testing::TempDir;
using testing::warningLine;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

class DiffCommand : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const json& document) {
    const std::string path = (dir_ / name).string();
    testing::writeText(path, document.dump(2));
    return path;
  }

  // The example calibration's blob, as encode writes it.
  std::string exampleBlob() {
    const std::string source = write("example.json", loadExample("calibration.json"));
    const std::string blob = (dir_ / "example.bin").string();
    EXPECT_EQ(runRavelin({"encode", "--json", source, "--bin", blob}).exitCode, kExitSuccess);
    return blob;
  }

  TempDir dir_;
  const json example_ = loadExample("calibration.json");
};

TEST_F(DiffCommand, ADocumentAndItsBlobAreIdentical) {
  const std::string older = write("old.json", example_);
  const std::string newer = exampleBlob();
  const ProcessResult result = runRavelin({"diff", "--old", older, "--new", newer});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(result.out, successLine("Diff of " + older + " and " + newer + ": identical"));
  EXPECT_EQ(result.err, "");
}

TEST_F(DiffCommand, ListsEachChangeAndSumsThemUp) {
  json within = example_;
  within["metadata"]["date"] = "2025-06-01";
  within["metadata"]["created_by"] = "station-7";
  const std::string older = write("old.json", example_);
  const std::string newer = write("new.json", within);
  const ProcessResult result = runRavelin({"diff", "--old", older, "--new", newer});
  EXPECT_EQ(result.exitCode, kExitWithinTolerance);
  EXPECT_EQ(result.out,
            warningLine("/metadata/created_by: \"factory-cal-station-12\" -> \"station-7\"") +
                warningLine("/metadata/date: \"2024-03-18\" -> \"2025-06-01\"") +
                warningLine("Diff of " + older + " and " + newer + ": 2 changes within tolerance"));

  json beyond = within;
  beyond["cameras"][0]["intrinsics"][0]["fx"] = 279.78;
  const ProcessResult strict = runRavelin(
      {"diff", "--old", older, "--new", write("beyond.json", beyond), "--tolerance-px", "0.1"});
  EXPECT_EQ(strict.exitCode, kExitBeyondTolerance);
  EXPECT_THAT(strict.err, HasSubstr(errorLine("/cameras/0/intrinsics/0/fx: 279.5 -> 279.78: "
                                              "+0.28 px (+0.1 %)")));
  EXPECT_THAT(strict.err, EndsWith(": 3 changes beyond tolerance, 2 within\x1b[0m\n"));
}

// One line of the command, with standard input when it reads "-".
struct RefusalCase {
  const char* name;
  std::vector<std::string> arguments;  // "OLD", "NEW" and "CONFIG" stand for files
  int exitCode;
  std::string lastError;  // "OLD" and "NEW" stand for the paths
};

const RefusalCase kRefusals[] = {
    {"NoNewInput",
     {"diff", "--old", "OLD"},
     kExitUsage,
     "diff requires --old <file> and --new <file>"},
    {"BothFromStandardInput",
     {"diff", "--old", "-", "--new", "-"},
     kExitUsage,
     "diff cannot read both --old and --new from standard input ('-')"},
    {"ToleranceNotANumber",
     {"diff", "--old", "OLD", "--new", "NEW", "--tolerance-px", "0.5px"},
     kExitUsage,
     "--tolerance-px takes a number of pixels, not '0.5px'"},
    {"MissingInput",
     {"diff", "--old", "OLD", "--new", "OLD.missing"},
     kExitPathRefused,
     "New input 'OLD.missing' does not exist."},
    {"ReportIsTheInput",
     {"diff", "--old", "OLD", "--new", "NEW", "--json", "NEW", "--force"},
     kExitPathRefused,
     "Output JSON 'NEW' is the same file as New input 'NEW'. Refusing to overwrite the input."},
    {"DifferentKinds",
     {"diff", "--old", "OLD", "--new", "CONFIG"},
     kExitException,
     "Unhandled exception: Inputs of different kinds"},
    {"NotJson",
     {"diff", "--old", "NOTJSON", "--new", "NEW"},
     kExitException,
     "Unhandled exception: [json.exception.parse_error.101] parse error at line 1, column 2: "
     "syntax error while parsing value - invalid literal; last read: 'no'"},
};

class DiffRefuses : public DiffCommand, public ::testing::WithParamInterface<RefusalCase> {};

std::string substituted(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

TEST_P(DiffRefuses, WithItsExitCodeAndLine) {
  const RefusalCase& tested = GetParam();
  const std::string older = write("old.json", example_);
  const std::string newer = write("new.json", example_);
  const std::string config = write("config.json", loadExample("device_config.json"));
  const std::string notJson = (dir_ / "notes.txt").string();
  testing::writeText(notJson, "not json");
  const auto place = [&](std::string text) {
    text = substituted(text, "NOTJSON", notJson);
    text = substituted(text, "CONFIG", config);
    text = substituted(text, "OLD", older);
    return substituted(text, "NEW", newer);
  };
  std::vector<std::string> arguments;
  for (const std::string& word : tested.arguments) arguments.push_back(place(word));
  const ProcessResult result = runRavelin(arguments);
  EXPECT_EQ(result.exitCode, tested.exitCode) << result.err;
  EXPECT_THAT(result.err, EndsWith(errorLine(place(tested.lastError))));
}

INSTANTIATE_TEST_SUITE_P(Lines, DiffRefuses, ::testing::ValuesIn(kRefusals), testing::ByCaseName());

TEST_F(DiffCommand, ACorruptBlobIsAChangeAndStillCompared) {
  const std::string blob = exampleBlob();
  Bytes bytes = testing::readBytes(blob);
  bytes[12] ^= 0xFF;  // the stored CRC
  testing::writeBytes(blob, bytes);
  json moved = example_;
  moved["cameras"][1]["extrinsics"]["position"][0] = 56.6875;
  ProcessOptions standardInput;
  standardInput.input = moved.dump();
  const ProcessResult result = runRavelin({"diff", "--old", blob, "--new", "-"}, standardInput);
  EXPECT_EQ(result.exitCode, kExitBeyondTolerance);
  EXPECT_EQ(
      result.err,
      errorLine("Stored and computed CRC32 of " + blob + " do not match: the blob is corrupt") +
          errorLine("the old blob's stored CRC-32 does not match its body: it is corrupt, "
                    "and compared all the same") +
          errorLine("/cameras/1/extrinsics: moved by 2 mm (tolerance 0.5 mm)") +
          errorLine("Diff of " + blob + " and -: 2 changes beyond tolerance, 0 within"));
}

// The report on standard output holds every change the log lines list.
TEST_F(DiffCommand, WritesTheReportAloneOnStandardOutput) {
  json changed = example_;
  changed["cameras"][0]["intrinsics"][0]["cy"] = 240.5;
  changed["imus"][0]["bias_accel"][1] = -0.25;
  changed["cad"]["imus"][0]["position"][2] = 33.0;
  const std::string older = write("old.json", example_);
  const std::string newer = write("new.json", changed);
  const ProcessResult result = runRavelin({"diff", "--old", older, "--new", newer, "--json", "-"});
  EXPECT_EQ(result.exitCode, kExitBeyondTolerance);
  const json report = json::parse(result.out);
  EXPECT_EQ(report["verdict"], "beyond");
  std::size_t reported = report["changes"].size();
  for (const char* list : {"cameras", "imus"}) {
    for (const json& entry : report[list]) reported += entry["changes"].size();
  }
  const auto logged =
      static_cast<std::size_t>(std::count(result.err.begin(), result.err.end(), '\n'));
  EXPECT_EQ(reported, logged - 1);  // less the summary
  EXPECT_EQ(reported, 5u) << result.err;

  const std::string file = (dir_ / "report.json").string();
  testing::writeText(file, "{}");
  EXPECT_EQ(runRavelin({"diff", "--old", older, "--new", newer, "--json", file}).exitCode,
            kExitPathRefused);
  EXPECT_EQ(
      runRavelin({"diff", "--old", older, "--new", newer, "--json", file, "--force"}).exitCode,
      kExitBeyondTolerance);
  EXPECT_EQ(json::parse(testing::readText(file)), report);
}

}  // namespace
}  // namespace ravelin
