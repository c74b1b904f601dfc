#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/encoder.h"
#include "cli/command_line.h"
#include "tests/calibration/encode_test_documents.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::runRavelin;
using testing::TempDir;

const std::string kExample = std::string(PROJECT_SOURCE_DIR) + "/examples/calibration.json";

std::string infoLine(const std::string& text) {
  return "[INFO] " + text + "\x1b[0m\n";
}

// The lines must appear in this order, each exactly once.
void expectLinesInOrder(const std::string& output, const std::vector<std::string>& lines) {
  std::size_t from = 0;
  for (const std::string& line : lines) {
    const std::size_t at = output.find(line, from);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << line << "\nin:\n" << output;
    EXPECT_EQ(output.find(line, at + line.size()), std::string::npos) << "repeated: " << line;
    from = at + line.size();
  }
}

std::string sizeLine(const char* encoding, std::size_t size) {
  return infoLine(std::string(encoding) + " encoding " + std::to_string(size + 8) + " bytes");
}

TEST(CompareEncodings, PrintsGenericSizesPlusEightAndTheBlobAsItIs) {
  TempDir dir;
  const json document = testing::emptyDocument();
  const std::string text = document.dump();
  testing::writeText(dir / "cal.json", text);
  const auto result = runRavelin({"compare-encodings", "--json", (dir / "cal.json").string()});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  expectLinesInOrder(result.out, {infoLine("Got file size " + std::to_string(text.size())),
                                  infoLine((dir / "cal.json").string() + " " +
                                           std::to_string(text.size()) + " bytes"),
                                  sizeLine("MessagePack", json::to_msgpack(document).size()),
                                  sizeLine("BSON", json::to_bson(document).size()),
                                  sizeLine("UBJSON", json::to_ubjson(document).size()),
                                  sizeLine("CBOR", json::to_cbor(document).size()),
                                  infoLine("Custom compact encoding 90 bytes")});
}

TEST(CompareEncodings, MeasuresTheBundledExample) {
  const auto result = runRavelin({"compare-encodings", "--json", kExample});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  const json document = json::parse(testing::readText(kExample));
  EXPECT_THAT(
      result.out,
      HasSubstr(infoLine("Custom compact encoding " +
                         std::to_string(encodeCompactCalibration(document).size()) + " bytes")));
  EXPECT_EQ(result.err, "");
}

TEST(CompareEncodings, SizeLinesPrecedeAnEncoderFault) {
  TempDir dir;
  json document = testing::emptyDocument();
  document["metadata"].erase("rig_json_version");
  testing::writeText(dir / "cal.json", document.dump());
  const auto result = runRavelin({"compare-encodings", "--json", (dir / "cal.json").string()});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.out, HasSubstr("CBOR encoding"));
  EXPECT_THAT(result.out, Not(HasSubstr("Custom compact encoding")));
  EXPECT_THAT(result.err, HasSubstr("Unhandled exception: missing required key "
                                    "'rig_json_version' in metadata"));
}

std::string crcMismatchLine(const json& document) {
  Bytes blob = encodeCompactCalibration(document);
  const auto stored = static_cast<std::int32_t>(crc32(blob.data() + 16, blob.size() - 16));
  blob[blob.size() / 2] ^= 0xFFU;
  const auto computed = static_cast<std::int32_t>(crc32(blob.data() + 16, blob.size() - 16));
  return "Error in calculate crc32. Calculated " + std::to_string(computed) + " but expected " +
         std::to_string(stored) + " ";
}

TEST(TestCrc, ShowsTheDecodersCrcMismatchAndExitsZero) {
  TempDir dir;
  const json empty = testing::emptyDocument();
  testing::writeText(dir / "empty.json", empty.dump());
  const json example = json::parse(testing::readText(kExample));
  const struct {
    std::string path;
    json document;
  } cases[] = {{(dir / "empty.json").string(), empty}, {kExample, example}};
  for (const auto& c : cases) {
    const auto result = runRavelin({"test-crc", "--json", c.path});
    EXPECT_EQ(result.exitCode, kExitSuccess) << c.path << "\n" << result.err;
    const std::size_t size = encodeCompactCalibration(c.document).size();
    EXPECT_THAT(result.out,
                HasSubstr(infoLine("Custom compact encoding " + std::to_string(size) + " bytes")));
    EXPECT_THAT(result.err, HasSubstr(crcMismatchLine(c.document))) << c.path;
    EXPECT_THAT(result.out, Not(HasSubstr("CRC32 codes match")));
  }
}

class DiagnosticGate : public ::testing::TestWithParam<const char*> {};

TEST_P(DiagnosticGate, RefusesADeviceConfigDocument) {
  TempDir dir;
  const json deviceConfig = {{"device", {{"serial", "X1"}}},
                             {"tracking_to_eye_transform", json::array()}};
  testing::writeText(dir / "config.json", deviceConfig.dump());
  const auto result = runRavelin({GetParam(), "--json", (dir / "config.json").string()});
  EXPECT_EQ(result.exitCode, kExitException);
  expectLinesInOrder(
      result.err,
      {"Provided JSON does not contain a valid cameras section!!",
       "JSON is not in compact format. This tool does not support any other format. Exiting",
       "Unhandled exception: Input calibration JSON not in compact format"});
  EXPECT_THAT(result.out, Not(HasSubstr("encoding")));
}

INSTANTIATE_TEST_SUITE_P(BothCommands, DiagnosticGate,
                         ::testing::Values("compare-encodings", "test-crc"),
                         [](const auto& tested) {
                           std::string name = tested.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace ravelin
