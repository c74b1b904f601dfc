#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using json = nlohmann::json;
using ::testing::EndsWith;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::infoLine;
using testing::ProcessResult;
using testing::readBytes;
using testing::readText;
using testing::runRavelin;
using testing::successLine;
using testing::TempDir;
using testing::warningLine;
using testing::writeText;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

class EncodeAndVerify : public ::testing::Test {
 protected:
  ProcessResult encode(const json& document, std::vector<std::string> extra = {}) {
    writeText(source_, document.dump(2));
    std::vector<std::string> arguments = {"encode", "--json", source_, "--bin", blob_};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return runRavelin(arguments);
  }

  ProcessResult verify(const json& document) {
    writeText(source_, document.dump(2));
    return runRavelin({"verify", "--json", source_, "--bin", blob_});
  }

  // Encodes `stored` into the blob, then verifies the blob against `source`.
  ProcessResult verifyAgainst(const json& stored, const json& source) {
    const ProcessResult encoded = encode(stored);
    EXPECT_EQ(encoded.exitCode, 0) << encoded.err;
    return verify(source);
  }

  TempDir dir_;
  std::string source_ = (dir_ / "source.json").string();
  std::string blob_ = (dir_ / "out.bin").string();
};

TEST_F(EncodeAndVerify, TheDeviceConfigExampleRoundTripsCleanly) {
  const ProcessResult result = encode(loadExample("device_config.json"), {"--verify"});
  const std::size_t size = readBytes(blob_).size();
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(
      result.out,
      successLine("Successfully encoded device config binary (" + std::to_string(size) +
                  " bytes)") +
          successLine("Successfully wrote data to location " + blob_) +
          successLine("Successfully wrote device config binary to " + blob_) +
          infoLine("Verifying binary serialization -> deserialization results in input JSON") +
          successLine("Successfully read " + std::to_string(size) + " bytes from file") +
          successLine("Decoded and source JSON match"));
  EXPECT_EQ(result.err, "");
}

TEST_F(EncodeAndVerify, QuietModePrintsNothingAtAll) {
  const ProcessResult result = encode(loadExample("device_config.json"), {"--verify", "--quiet"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out + result.err, "");
}

TEST_F(EncodeAndVerify, SinglePrecisionLossIsOnlyAWarning) {
  json document = loadExample("device_config.json");
  document["tracking_to_eye_transform"][0]["grow_for_undistort"] = 0.1;
  const ProcessResult result = encode(document, {"--verify"});
  EXPECT_EQ(result.exitCode, kExitVerifyWarnings);
  EXPECT_THAT(
      result.out,
      EndsWith(warningLine("DIFF - float precision loss @ "
                           "/tracking_to_eye_transform/0/grow_for_undistort") +
               warningLine("Decoded and source JSON only differ by warning-level fields.")));
  EXPECT_EQ(result.err, "");
}

TEST_F(EncodeAndVerify, AValueOneFloatStepAwayIsARealDifference) {
  json stored = loadExample("device_config.json");
  stored["head"]["position"][0] = 1.0;
  json source = stored;
  source["head"]["position"][0] = 1.0000002;
  const ProcessResult result = verifyAgainst(stored, source);
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_EQ(result.err, errorLine(" DIFF - op replace @ path /head/position/0:\n\toriginal = "
                                  "1.0000002 \n\tafter binary serialization = 1.0 ") +
                            errorLine("Decoded and source JSON do not match. Printing diff errors "
                                      "and warnings"));
}

TEST_F(EncodeAndVerify, AStringInPlaceOfANumberIsARealDifference) {
  json stored = loadExample("device_config.json");
  json source = stored;
  source["device_pid"] = "4660";
  const ProcessResult result = verifyAgainst(stored, source);
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_THAT(result.err,
              HasSubstr(" DIFF - op replace @ path /device_pid:\n\toriginal = \"4660\" "));
}

TEST_F(EncodeAndVerify, AnAddedNoteIsAWarningLevelDifference) {
  json stored = loadExample("device_config.json");
  json source = stored;
  source["head"]["__note"] = "measured on the bench";
  const ProcessResult result = verifyAgainst(stored, source);
  EXPECT_EQ(result.exitCode, kExitVerifyWarnings);
  EXPECT_THAT(result.out,
              HasSubstr(warningLine(" DIFF - op add @ path /head/__note\n\top details = "
                                    "{\"op\":\"add\",\"path\":\"/head/__note\",\"value\":"
                                    "\"measured on the bench\"}")));
}

TEST_F(EncodeAndVerify, DistortionTypesMissingFromTheSourceAreRealDifferences) {
  json source = loadExample("device_config.json");
  for (json& eye : source["tracking_to_eye_transform"]) {
    for (const char* key :
         {"distortion", "distortion_red", "distortion_blue", "inverse_distortion"}) {
      eye[key].erase("type");
    }
  }
  const ProcessResult result = verifyAgainst(source, source);
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_THAT(result.err, HasSubstr(" DIFF - op remove @ path "
                                    "/tracking_to_eye_transform/0/distortion/type\n"));
}

TEST_F(EncodeAndVerify, ACrcMismatchIsReportedButTheContentsDecide) {
  const json document = loadExample("device_config.json");
  ASSERT_EQ(encode(document).exitCode, 0);
  Bytes blob = readBytes(blob_);
  blob[12] ^= 0xFF;  // the stored CRC
  testing::writeBytes(blob_, blob);
  const ProcessResult result = verify(document);
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_THAT(result.err, HasSubstr("Device config CRC mismatch: expected "));
  EXPECT_THAT(result.err, EndsWith(errorLine("Finished decoding " + blob_ +
                                             " but computed and stored CRC32 did not match. "
                                             "Indicates file corruption.")));
  EXPECT_THAT(result.out, EndsWith(successLine("Decoded and source JSON match")));
}

TEST_F(EncodeAndVerify, TheJsonMustBeOfTheBlobsKind) {
  ASSERT_EQ(encode(loadExample("device_config.json")).exitCode, 0);
  const ProcessResult result = verify({{"cameras", json::array()}});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err, errorLine("JSON is not a recognized device_config format. Exiting") +
                            errorLine("Unhandled exception: Input JSON not a device_config"));
}

TEST_F(EncodeAndVerify, AnUnknownBlobIsRefused) {
  testing::writeBytes(blob_, Bytes{'a', 'b', 'c'});
  const ProcessResult result = verify(loadExample("device_config.json"));
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err, errorLine("Unable to identify binary format of " + blob_) +
                            errorLine("Unhandled exception: unknown binary format"));
}

TEST_F(EncodeAndVerify, ADeviceConfigShapeWinsOverACalibrationShape) {
  json document = loadExample("device_config.json");
  document["cameras"] = json::array();
  const ProcessResult result = encode(document);
  EXPECT_EQ(result.exitCode, kExitException);  // "cameras" is no device config key
  EXPECT_THAT(result.err,
              HasSubstr("device config unsupported key 'cameras' in device_config root"));
}

TEST_F(EncodeAndVerify, AFailedEncodeLeavesTheExistingOutputAlone) {
  writeText(blob_, "previous blob");
  json document = loadExample("device_config.json");
  document["device_pid"] = -1;
  const ProcessResult result = encode(document, {"--force"});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err, errorLine("Unhandled exception: device config integer out of range: "
                                  "device_pid"));
  EXPECT_EQ(readText(blob_), "previous blob");
}

TEST_F(EncodeAndVerify, ForceReplacesTheExistingOutput) {
  writeText(blob_, "previous blob");
  const ProcessResult result = encode(loadExample("device_config.json"), {"--force"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_NE(readText(blob_), "previous blob");
}

TEST_F(EncodeAndVerify, ASyntaxErrorEndsInTheLastResortHandler) {
  writeText(source_, "{\"device\": {},}");
  const ProcessResult result = runRavelin({"encode", "--json", source_, "--bin", blob_});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, HasSubstr("Unhandled exception: [json.exception.parse_error.101]"));
  EXPECT_FALSE(std::filesystem::exists(blob_));
}

TEST_F(EncodeAndVerify, TheCalibrationExampleRoundTripsCleanly) {
  const ProcessResult result = encode(loadExample("calibration.json"), {"--verify"});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_THAT(result.out,
              HasSubstr(successLine("Successfully wrote calibration binary to " + blob_) +
                        infoLine("Verifying binary serialization -> deserialization "
                                 "results in input JSON")));
  EXPECT_THAT(result.out, EndsWith(successLine("Stored and computed CRC32 codes match!!") +
                                   successLine("Decoded and source JSON match")));
  EXPECT_EQ(result.err, "");
}

TEST_F(EncodeAndVerify, TheKb4SpellingDoesNotSurviveTheRoundTrip) {
  json document = loadExample("calibration.json");
  document["cameras"][0]["intrinsics"][0]["cameraModel"] = "kb4";
  const ProcessResult result = encode(document, {"--verify"});
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_THAT(result.err, HasSubstr(errorLine(
                              " DIFF - op replace @ path /cameras/0/intrinsics/0/cameraModel:\n"
                              "\toriginal = \"kb4\" \n\tafter binary serialization = \"kb\" ")));
}

TEST_F(EncodeAndVerify, NotesMissingAfterDecodingOnlyWarnAndTheBlobStays) {
  json document = loadExample("calibration.json");
  document["cameras"][1]["__note"] = "lens swapped after drop test";
  document["metadata"]["__note"] = "station 12";
  const ProcessResult result = encode(document, {"--verify"});
  EXPECT_EQ(result.exitCode, kExitVerifyWarnings);
  EXPECT_THAT(result.out, HasSubstr(warningLine(" DIFF - op add @ path /cameras/1/__note\n\top "
                                                "details = {\"op\":\"add\",\"path\":"
                                                "\"/cameras/1/__note\",\"value\":\"lens "
                                                "swapped after drop test\"}")));
  EXPECT_THAT(result.out, EndsWith(warningLine("Decoded and source JSON only differ by "
                                               "warning-level fields.")));
  EXPECT_TRUE(std::filesystem::exists(blob_));
}

TEST_F(EncodeAndVerify, AJsonOfNeitherKindIsRefused) {
  const ProcessResult result = encode({{"device", json::object()}, {"imus", json::array()}});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err,
            errorLine("Provided JSON does not contain a valid cameras section!! You either passed "
                      "in the wrong file or there is something wrong with the calibration") +
                errorLine("Input JSON " + source_ +
                          " is neither compact calibration nor device_config format. Exiting.") +
                errorLine("Unhandled exception: Unsupported JSON format for encoding"));
  EXPECT_FALSE(std::filesystem::exists(blob_));
}

TEST_F(EncodeAndVerify, ADeviceObjectAloneIsTriedAsACalibration) {
  json document = loadExample("calibration.json");
  document["device"] = json::object();
  const ProcessResult result = encode(document);
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, HasSubstr("Successfully encoded calibration binary"));
}

TEST_F(EncodeAndVerify, ACalibrationBlobNeedsACalibrationJson) {
  ASSERT_EQ(encode(loadExample("calibration.json")).exitCode, kExitSuccess);
  const ProcessResult result = verify(loadExample("device_config.json"));
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err,
            errorLine("Provided JSON does not contain a valid cameras section!! You either passed "
                      "in the wrong file or there is something wrong with the calibration") +
                errorLine("JSON is not in compact calibration format. Exiting") +
                errorLine("Unhandled exception: Input calibration JSON not in compact format"));
}

}  // namespace
}  // namespace ravelin
