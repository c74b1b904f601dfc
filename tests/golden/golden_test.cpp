#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "calibration/encoder.h"
#include "cli/blob_dispatch.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::PrintTo;
using testing::readBytes;
using testing::readText;

struct GoldenCase {
  const char* name;
  Bytes (*encode)(const json&);
};

const fs::path kProject = PROJECT_SOURCE_DIR;

fs::path examplePath(const GoldenCase& c) {
  return kProject / "examples" / (std::string(c.name) + ".json");
}
fs::path goldenBlobPath(const GoldenCase& c) {
  return kProject / "tests" / "golden" / (std::string(c.name) + ".bin");
}
fs::path goldenJsonPath(const GoldenCase& c) {
  return kProject / "tests" / "golden" / (std::string(c.name) + ".decoded.json");
}

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {
 protected:
  void SetUp() override { quietMode = true; }
  void TearDown() override { quietMode = false; }
};

TEST_P(GoldenTest, EncodingTheExampleGivesTheCommittedBlob) {
  const Bytes blob = GetParam().encode(loadJsonFile(examplePath(GetParam())));
  EXPECT_EQ(blob, readBytes(goldenBlobPath(GetParam())));
}

TEST_P(GoldenTest, DecodingTheCommittedBlobGivesTheCommittedText) {
  const Bytes blob = readBytes(goldenBlobPath(GetParam()));
  const auto kind = detectBlobKind(blob);
  ASSERT_TRUE(kind.has_value());
  json decoded;
  EXPECT_TRUE(decodeBlob(*kind, blob, decoded));
  EXPECT_EQ(renderJsonDocument(decoded), readText(goldenJsonPath(GetParam())));
}

TEST_P(GoldenTest, TheProgramWritesTheCommittedBlob) {
  testing::TempDir dir;
  const fs::path out = dir / "out.bin";
  const auto result = testing::runRavelin(
      {"encode", "--quiet", "--json", examplePath(GetParam()).string(), "--bin", out.string()});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_EQ(readBytes(out), readBytes(goldenBlobPath(GetParam())));
}

// The verification runs on the bytes written, which nothing can read back.
TEST_P(GoldenTest, EncodingStandardInputToStandardOutputGivesTheCommittedBlob) {
  testing::ProcessOptions piped;
  piped.input = readText(examplePath(GetParam()));
  const auto result =
      testing::runRavelin({"encode", "--json", "-", "--bin", "-", "--verify"}, piped);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, readText(goldenBlobPath(GetParam())));
  EXPECT_THAT(result.err,
              ::testing::EndsWith(testing::successLine("Decoded and source JSON match")));
}

TEST_P(GoldenTest, DecodingStandardInputToStandardOutputGivesTheCommittedText) {
  testing::ProcessOptions piped;
  piped.input = readText(goldenBlobPath(GetParam()));
  const auto result = testing::runRavelin({"decode", "--bin", "-", "--json", "-"}, piped);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, readText(goldenJsonPath(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenTest,
                         ::testing::Values(GoldenCase{"calibration", encodeCompactCalibration},
                                           GoldenCase{"device_config", encodeDeviceConfig}),
                         testing::ByCaseName());

}  // namespace
}  // namespace ravelin
