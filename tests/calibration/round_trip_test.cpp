#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "calibration/decoder.h"
#include "calibration/encoder.h"
#include "tests/calibration/encode_test_documents.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

// What a blob can give back of a number: float fields hold single precision.
void roundFloatsToSinglePrecision(json& value) {
  if (value.is_structured()) {
    for (json& element : value) roundFloatsToSinglePrecision(element);
  } else if (value.is_number_float()) {
    value = static_cast<double>(static_cast<float>(value.get<double>()));
  }
}

json bundledExample() {
  return json::parse(
      testing::readText(std::filesystem::path(PROJECT_SOURCE_DIR) / "examples/calibration.json"));
}

// The example with values that single precision cannot hold exactly, a
// second IMU in CAD form and every optional key of cameras and IMUs.
json richDocument() {
  json document = bundledExample();
  json& left = document["cameras"][0];
  left["intrinsics"][0]["fx"] = 279.123456789;
  left["preRotateClockwiseByDeg"] = -0.1;
  left["cropRegion"] = {{"x", -8}, {"y", 12}};
  json& right = document["cameras"][1];
  right["extrinsicsOffset"] = {0.1, 0.2, 0.3, -0.001, 0.002, 1e-7};
  right["focalLengthThermalModel"] = {{"slope", -0.0031}, {"offset", {280.1, 280.2}}};
  right["intrinsics"][1]["sU"][3] = 0.333;
  right["intrinsics"][1]["gridSize"] = {-5, 5};
  json second = document["imus"][0];
  second["extrinsics"] = {{"plus_x", {0.0, 1.0, 0.0}},
                          {"plus_z", {0.0, 0.0, 1.0}},
                          {"position", {1.1, -2.2, 3.3}},
                          {"__units", "mm"}};
  second["extrinsicsOffset"] = {0.5, 0.25, 0.125, 0.1, 0.01, 0.001};
  second["hardwareIdentifier"] = "imu-aux-\xC3\xA9";
  second["sourceImu"] = "imu1";
  second["parent"] = "";
  second["is_bias_metric"] = true;
  second["is_bias_prescaled"] = true;
  second["isGyroAndAccelDataSynchronized"] = false;
  second["gyroBiasStdPerMinute"] = 0.0123;
  document["imus"].push_back(second);
  document["metadata"]["dataset_duration_in_sec"] = 61.7;
  document["metadata"]["pixel_coordinates_convention"] = "float";
  return document;
}

TEST(RoundTrip, DecodingGivesBackTheSourceInSinglePrecision) {
  for (const json& source : {bundledExample(), richDocument()}) {
    json decoded;
    ASSERT_TRUE(decodeCalibration(encodeCompactCalibration(source), decoded, true));
    json expected = source;
    roundFloatsToSinglePrecision(expected);
    EXPECT_EQ(decoded, expected) << json::diff(decoded, expected).dump(2);
  }
}

TEST(RoundTrip, TheBundledExampleNeedsNoRounding) {
  const json source = bundledExample();
  json decoded;
  ASSERT_TRUE(decodeCalibration(encodeCompactCalibration(source), decoded, true));
  EXPECT_EQ(decoded, source) << json::diff(decoded, source).dump(2);
}

}  // namespace
}  // namespace ravelin
