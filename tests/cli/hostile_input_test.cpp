// Hostile inputs within the limits, run as whole ravelin processes: JSON
// shapes that a parser rescanning each container as it closes could not
// finish, the worst shapes for memory at the input limits, and the blob whose
// decoded text is the densest there is.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "calibration/compact.h"
#include "cli/command_line.h"
#include "cli/file_io.h"
#include "tests/cli/hostile_blobs.h"
#include "tests/support/case_name.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::readText;
using testing::TempDir;
using testing::writeBytes;
using testing::writeText;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#if defined(TEST_EMULATOR)
constexpr bool kEmulated = true;
#else
constexpr bool kEmulated = false;
#endif
// AddressSanitizer and the emulator each slow ravelin down up to tenfold.
constexpr int kSlowdown = kSanitized || kEmulated ? 10 : 1;

const fs::path kExampleCalibration = fs::path(PROJECT_SOURCE_DIR) / "examples/calibration.json";
const fs::path kExampleBlob = fs::path(PROJECT_SOURCE_DIR) / "tests/golden/calibration.bin";

ProcessResult runIn(const TempDir& dir, const std::vector<std::string>& arguments,
                    std::chrono::seconds timeout) {
  ProcessOptions options;
  options.workingDirectory = dir.path();
  options.timeout = timeout * kSlowdown;
  return testing::runRavelin(arguments, options);
}

// `count` units, the i-th written by `unit(i)`, separated by commas.
std::string commaSeparated(std::size_t count, const std::function<std::string(std::size_t)>& unit) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i == 0 ? "" : ",") + unit(i);
  return text;
}

// The example calibration with one more member whose value is `count` units
// in brackets, as many as keep the text within `size` bytes.
std::string exampleWithArray(std::string_view unit, std::size_t size) {
  std::string text = readText(kExampleCalibration);
  text.resize(text.rfind('}'));
  text += ", \"x\": [";
  const std::size_t count = (size - text.size() - 2) / (unit.size() + 1);
  text += commaSeparated(count, [&](std::size_t) { return std::string(unit); }) + "]}";
  return text;
}

struct ParseCase {
  const char* name;
  std::function<std::string()> text;
};

class LinearParse : public ::testing::TestWithParam<ParseCase> {};

// Natively, the parser that rescanned took two minutes for the array and
// over half an hour for the object; the linear one takes 0.3 s (2 s under
// AddressSanitizer). The deadline, 10 s and ten times that under
// AddressSanitizer or an emulator, keeps a margin of ten either way.
TEST_P(LinearParse, FinishesHostileShapesWellWithinTheDeadline) {
  TempDir dir;
  writeText(dir / "hostile.json", GetParam().text());

  const ProcessResult result = runIn(dir, {"encode", "--json", "hostile.json", "--bin", "out.bin"},
                                     std::chrono::seconds(10));

  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, HasSubstr("Unhandled exception: Unsupported JSON format for encoding"));
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, LinearParse,
    ::testing::Values(ParseCase{"ArrayOfEmptyObjects",
                                [] {
                                  return "[" +
                                         commaSeparated(800'000, [](std::size_t) { return "{}"; }) +
                                         "]";
                                }},
                      ParseCase{"ObjectOfEmptyObjects",
                                [] {
                                  return "{" +
                                         commaSeparated(250'000,
                                                        [](std::size_t i) {
                                                          return "\"k" + std::to_string(i) +
                                                                 "\":{}";
                                                        }) +
                                         "}";
                                }}),
    testing::ByCaseName());

// A hundred thousand cameras, each the parent of the next and all in one
// place: rules that compared cameras pair by pair, or walked each chain of
// parents to its end, would take hours; the linear ones take 2 s (20 s under
// AddressSanitizer), and the deadline keeps a margin of ten or more.
TEST(HostileInput, CheckJudgesAHundredThousandChainedCamerasInLinearTime) {
  TempDir dir;
  const std::string cameras = commaSeparated(100'000, [](std::size_t i) {
    const std::string name = "c" + std::to_string(i);
    const std::string parent = i == 0 ? "head" : "c" + std::to_string(i - 1);
    return R"({"extrinsics":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1],"width":640,"height":480,)"
           R"("intrinsics":[],"hardwareIdentifier":")" +
           name + R"(","sourceCamera":")" + name + R"(","parent":")" + parent +
           R"(","mtf50":{"center":)" + std::to_string(i) + "}}";
  });
  writeText(dir / "rig.json",
            R"({"cameras":[)" + cameras +
                R"(],"imus":[],"cad":{"__head":{"plus_x":[1,0,0],"plus_z":[0,0,1],)"
                R"("position":[0,0,0]}},"metadata":{"dataset_duration_in_sec":1,)"
                R"("rig_json_version":3}})");
  ASSERT_LE(fs::file_size(dir / "rig.json"), kMaxJsonFileSize);

  const ProcessResult result =
      runIn(dir, {"check", "--json", "rig.json", "--quiet"}, std::chrono::seconds(30));

  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, kExitVerifyWarnings);
}

TEST(HostileInput, DecodeWritesTheDensestBlobAsJsonThatEncodeAndVerifyAccept) {
  TempDir dir;
  const Bytes blob = testing::densestTextBlob();
  ASSERT_LE(blob.size(), kMaxBlobFileSize);
  writeBytes(dir / "dense.bin", blob);

  const ProcessResult decoded = runIn(dir, {"decode", "--bin", "dense.bin", "--json", "dense.json"},
                                      std::chrono::seconds(30));
  ASSERT_EQ(decoded.exitCode, kExitSuccess) << decoded.err;
  const std::uintmax_t textSize = fs::file_size(dir / "dense.json");
  EXPECT_GT(textSize, 15 * blob.size());
  EXPECT_LE(textSize, kMaxJsonFileSize);

  const ProcessResult encoded =
      runIn(dir, {"encode", "--json", "dense.json", "--bin", "again.bin", "--verify"},
            std::chrono::seconds(30));
  EXPECT_EQ(encoded.exitCode, kExitSuccess) << encoded.err;
}

// The example calibration with its first camera's 16 extrinsics replaced by
// zeros, as many as keep the text within `size` bytes: against a blob with
// the usual 16, every surplus zero is an entry of the patch.
std::string exampleWithLongExtrinsics(std::size_t size) {
  const std::string example = readText(kExampleCalibration);
  const std::size_t start = example.find('[', example.find("\"extrinsics\""));
  const std::size_t end = example.find(']', start);
  const std::size_t count = (size - (example.size() - (end - start + 1)) - 2) / 2;
  return example.substr(0, start) + "[" +
         commaSeparated(count, [](std::size_t) { return std::string("0"); }) + "]" +
         example.substr(end + 1);
}

constexpr std::uint64_t kMemoryCeiling = 1ULL << 30;

// The inputs, each as large as its limit allows (give or take a unit).
void writeInput(const fs::path& path) {
  const std::string name = path.filename().string();
  if (name == "objects.json") writeText(path, exampleWithArray("{}", kMaxJsonFileSize));
  if (name == "long-extrinsics.json") writeText(path, exampleWithLongExtrinsics(kMaxJsonFileSize));
  if (name == "smallest.bin") writeBytes(path, testing::smallestBlocksBlob());
  const std::uintmax_t limit = path.extension() == ".bin" ? kMaxBlobFileSize : kMaxJsonFileSize;
  ASSERT_GT(fs::file_size(path), limit - limit / 1000) << name;
}

struct CeilingCase {
  const char* name;
  std::vector<std::string> inputs;
  std::vector<std::string> arguments;
  int exitCode;
};

class MemoryCeiling : public ::testing::TestWithParam<CeilingCase> {};

// Quiet, since some of these report millions of differences.
TEST_P(MemoryCeiling, PeaksBelowOneGibibyte) {
  if (kSanitized) GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space";
  if (kEmulated) GTEST_SKIP() << "the emulator takes address space of its own";
  TempDir dir;
  for (const std::string& input : GetParam().inputs)
    ASSERT_NO_FATAL_FAILURE(writeInput(dir / input));
  std::vector<std::string> argv{"prlimit", "--as=" + std::to_string(kMemoryCeiling), RAVELIN_EXE};
  argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  argv.push_back("--quiet");
  ProcessOptions options;
  options.workingDirectory = dir.path();
  options.timeout = std::chrono::minutes(10);

  const ProcessResult result = testing::runProcess(argv, options);

  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, MemoryCeiling,
    ::testing::Values(
        CeilingCase{"DecodeSmallestBlocks",
                    {"smallest.bin"},
                    {"decode", "--bin", "smallest.bin", "--json", "out.json"},
                    kExitSuccess},
        CeilingCase{"InspectSmallestBlocksAlsoAsJson",
                    {"smallest.bin"},
                    {"inspect", "--bin", "smallest.bin", "--json", "out.json"},
                    kExitSuccess},
        CeilingCase{"EncodeVerifyEmptyObjects",
                    {"objects.json"},
                    {"encode", "--json", "objects.json", "--bin", "out.bin", "--verify"},
                    kExitVerifyMismatch},
        CeilingCase{"VerifyEmptyObjectsAgainstSmallestBlocks",
                    {"objects.json", "smallest.bin"},
                    {"verify", "--json", "objects.json", "--bin", "smallest.bin"},
                    kExitVerifyMismatch},
        CeilingCase{"VerifyLongArrayAgainstTheExample",
                    {"long-extrinsics.json"},
                    {"verify", "--json", "long-extrinsics.json", "--bin", kExampleBlob.string()},
                    kExitVerifyMismatch},
        CeilingCase{"CompareEncodingsEmptyObjects",
                    {"objects.json"},
                    {"compare-encodings", "--json", "objects.json"},
                    kExitSuccess},
        // Every camera block of the blob the same: each a copy of the first.
        CeilingCase{"CheckSmallestBlocks",
                    {"smallest.bin"},
                    {"check", "--bin", "smallest.bin"},
                    kExitVerifyMismatch},
        CeilingCase{"TestCrcEmptyObjects",
                    {"objects.json"},
                    {"test-crc", "--json", "objects.json"},
                    kExitSuccess}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
