#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "cli/command_line.h"
#include "cli/file_io.h"
#include "device_config/device_config.h"
#include "tests/calibration/blob_builder.h"
#include "tests/calibration/sample_blob.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::errorLine;
using ::testing::HasSubstr;
using testing::infoLine;
using ::testing::Not;
using testing::PrintTo;
using testing::runRavelin;
using testing::successLine;
using testing::TempDir;

namespace fs = std::filesystem;

std::string crcLinesFor(const Bytes& blob) {
  const auto stored = ByteCursor(blob.data() + 12, blob.data() + 16).read<std::uint32_t>();
  const std::uint32_t computed = crc32(blob.data() + 16, blob.size() - 16);
  return "Error in calculate crc32. Calculated " +
         std::to_string(static_cast<std::int32_t>(computed)) + " but expected " +
         std::to_string(static_cast<std::int32_t>(stored)) + " ";
}

class DecodeCommand : public ::testing::Test {
 protected:
  DecodeCommand() : bin_(dir_ / "cal.bin"), json_(dir_ / "cal.json") {}

  testing::ProcessResult decode(const Bytes& blob, std::vector<std::string> extra = {}) {
    testing::writeBytes(bin_, blob);
    std::vector<std::string> arguments = {"decode", "--bin", bin_.string(), "--json",
                                          json_.string()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return runRavelin(arguments);
  }

  TempDir dir_;
  fs::path bin_;
  fs::path json_;
};

TEST_F(DecodeCommand, WritesRoundedJsonAndReportsSuccess) {
  const Bytes blob = testing::sampleCalibrationBlob();
  const auto result = decode(blob);
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            successLine("Successfully read " + std::to_string(blob.size()) + " bytes from file") +
                infoLine("MAGIC: 0X43414C42") + infoLine("MAJOR VERSION: 1, MINOR VERSION: 0") +
                infoLine("Body Size: " + std::to_string(blob.size() - 16)) +
                successLine("Stored and computed CRC32 codes match!!") +
                successLine("Finished decoding calibration binary file. Deserialized contents "
                            "saved to " +
                            json_.string()));

  const std::string text = testing::readText(json_);
  EXPECT_THAT(text, HasSubstr("\"fx\": 0.100000001,"));
  EXPECT_THAT(text, Not(HasSubstr("0.10000000149011612")));
  EXPECT_THAT(text, HasSubstr("{\n    \"cad\": {\n        \"__alignment_method\""));
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(json::parse(text)["metadata"]["date"], "2024-01-01");
}

TEST_F(DecodeCommand, CrcMismatchStillWritesJsonAndExitsZero) {
  Bytes blob = testing::sampleCalibrationBlob();
  blob[blob.size() - 9] = '2';  // last character of the metadata date, before the end marker
  const auto result = decode(blob);
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.err, errorLine(crcLinesFor(blob)) +
                            errorLine("Finished decoding calibration binary file. Deserialized "
                                      "contents saved to " +
                                      json_.string() +
                                      ".Stored and computed CRC32 codes did not match. "
                                      "Indicates file corruption."));
  EXPECT_THAT(result.out, Not(HasSubstr("Finished decoding")));
  EXPECT_EQ(json::parse(testing::readText(json_))["metadata"]["date"], "2024-01-02");
}

TEST_F(DecodeCommand, QuietCrcMismatchPrintsNothing) {
  Bytes blob = testing::sampleCalibrationBlob();
  blob[18] ^= 0x01;  // the first TLV's reserved bytes: ignored by the walk, covered by the CRC
  const auto result = decode(blob, {"--quiet"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(fs::exists(json_));
}

// The blob is built when its case runs: a fault in an encoder then fails
// these cases instead of aborting the test program while it registers them.
struct CommandFault {
  std::string name;
  Bytes (*blob)();
  std::string lastErrorLine;
};

Bytes truncatedSample() {
  Bytes blob = testing::sampleCalibrationBlob();
  blob.pop_back();
  return blob;
}

Bytes sampleWithMajorVersionTwo() {
  Bytes blob = testing::sampleCalibrationBlob();
  storeLE(blob, 4, std::uint16_t{2});
  return blob;
}

// Blob strings are bytes; the JSON writer refuses text that is not UTF-8, so
// the decode fails before anything is written.
Bytes calibrationWithInvalidUtf8() {
  return testing::calibrationBlob(
      testing::block(BlockId::META_STRINGS, {0x01, 0x02, 0x00, 'a', 0xFF}));
}

Bytes deviceConfigWithInvalidUtf8() {
  json document = loadJsonFile(fs::path(PROJECT_SOURCE_DIR) / "examples" / "device_config.json");
  document["device_class"] = "a\xFF";
  return encodeDeviceConfig(document);
}

class DecodeCommandFault : public DecodeCommand,
                           public ::testing::WithParamInterface<CommandFault> {};

TEST_P(DecodeCommandFault, ExitsTenAndWritesNothing) {
  const auto result = decode(GetParam().blob());
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, ::testing::EndsWith(errorLine(GetParam().lastErrorLine)));
  EXPECT_THAT(result.out, Not(HasSubstr("Finished decoding")));
  EXPECT_EQ(testing::entryNames(dir_.path()), std::set<std::string>{"cal.bin"});
}

TEST_P(DecodeCommandFault, LeavesAnExistingOutputIntactUnderForce) {
  testing::writeText(json_, "previous contents");
  const auto result = decode(GetParam().blob(), {"--force"});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(testing::readText(json_), "previous contents");
  EXPECT_EQ(testing::entryNames(dir_.path()), (std::set<std::string>{"cal.bin", "cal.json"}));
}

// A blob that decode cannot decode passes neither check nor inspect: check
// fails as decode does, inspect calls it damaged.
TEST_P(DecodeCommandFault, FailsCheckAsItFailsDecodeAndInspectCallsItDamaged) {
  testing::writeBytes(bin_, GetParam().blob());
  const auto check = runRavelin({"check", "--bin", bin_.string()});
  EXPECT_EQ(check.exitCode, kExitException);
  EXPECT_THAT(check.err, ::testing::EndsWith(errorLine(GetParam().lastErrorLine)));
  EXPECT_EQ(runRavelin({"inspect", "--bin", bin_.string()}).exitCode, kExitBlobDamaged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeCommandFault,
    ::testing::Values(
        CommandFault{"Empty", [] { return Bytes{}; }, "Unhandled exception: unknown binary format"},
        CommandFault{"ThreeBytes",
                     [] {
                       return Bytes{0x42, 0x4C, 0x41};
                     },
                     "Unhandled exception: unknown binary format"},
        CommandFault{"OtherMagic", [] { return Bytes(16, 0); },
                     "Unhandled exception: unknown binary format"},
        CommandFault{"BodyTruncated", truncatedSample, "Unhandled exception: blob body truncated"},
        CommandFault{"MajorVersion", sampleWithMajorVersionTwo,
                     "Unhandled exception: unsupported major version"},
        CommandFault{"HeaderOnlyMagic",
                     [] {
                       return Bytes{0x42, 0x4C, 0x41, 0x43};
                     },
                     "Unhandled exception: blob truncated while reading 6Header"},
        CommandFault{
            "PayloadOverrun",
            [] { return testing::calibrationBlob(testing::blockWithSize(9, 9, Bytes(8, 0))); },
            "Unhandled exception: payload overruns buffer"},
        CommandFault{"KbTruncated",
                     [] {
                       return testing::calibrationBlob(
                           testing::block(BlockId::INTRINSICS_KB, Bytes(31, 0)));
                     },
                     "Unhandled exception: blob truncated while reading 12KbIntrinsics"},
        CommandFault{"InvalidUtf8InCalibrationString", calibrationWithInvalidUtf8,
                     "Unhandled exception: [json.exception.type_error.316] invalid UTF-8 byte "
                     "at index 1: 0xFF"},
        CommandFault{"InvalidUtf8InDeviceConfigString", deviceConfigWithInvalidUtf8,
                     "Unhandled exception: [json.exception.type_error.316] invalid UTF-8 byte "
                     "at index 1: 0xFF"}),
    testing::ByCaseName());

TEST_F(DecodeCommand, ShortBlobNamesThePathInTheMagicError) {
  const auto result = decode({0x42, 0x4C, 0x41});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err, errorLine("Unrecognized binary magic in " + bin_.string()) +
                            errorLine("Unhandled exception: unknown binary format"));
}

TEST_F(DecodeCommand, DashWritesExactlyTheJsonToStandardOutput) {
  const Bytes blob = testing::sampleCalibrationBlob();
  ASSERT_EQ(decode(blob).exitCode, kExitSuccess);
  const std::string fileText = testing::readText(json_);

  const auto result = runRavelin({"decode", "--bin", bin_.string(), "--json", "-"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, fileText);
  EXPECT_THAT(result.err, HasSubstr(infoLine("MAGIC: 0X43414C42")));
  EXPECT_THAT(result.err,
              ::testing::EndsWith(successLine(
                  "Finished decoding calibration binary file. Deserialized contents saved to -")));
  EXPECT_FALSE(fs::exists(fs::current_path() / "-"));
}

TEST_F(DecodeCommand, DashOutputOfAFailedDecodeLeavesStandardOutputEmpty) {
  testing::writeBytes(bin_, testing::calibrationBlob(testing::blockWithSize(9, 9, {})));
  const auto result = runRavelin({"decode", "--bin", bin_.string(), "--json", "-"});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.out, "");
  EXPECT_THAT(result.err, HasSubstr("tlv size: 9\n"));
}

}  // namespace
}  // namespace ravelin
