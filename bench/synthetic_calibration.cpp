#include "bench/synthetic_calibration.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace ravelin::bench {

using json = nlohmann::json;

namespace {

constexpr std::size_t kCamerasPerScale = 256;
constexpr std::size_t kImusPerScale = 64;

// A fixed pseudo-random sequence, so every run measures the same document.
class ValueSource {
 public:
  explicit ValueSource(bool measured) : measured_(measured) {}

  double next() {
    state_ = state_ * 1103515245U + 12345U;
    const int sixteenths = static_cast<int>((state_ >> 16) % 4096U) - 2048;
    // The measured form keeps the same magnitude and adds an irrational tail.
    return measured_ ? sixteenths / 16.0 + std::sqrt(2.0) * (state_ & 0xFFFFU) / 65536.0
                     : sixteenths / 16.0;
  }

  json array(std::size_t count) {
    json values = json::array();
    for (std::size_t i = 0; i < count; ++i) values.push_back(next());
    return values;
  }

  void fill(json& object, std::initializer_list<const char*> keys) {
    for (const char* key : keys) object[key] = next();
  }

 private:
  std::uint32_t state_ = 1;
  bool measured_;
};

json pose(ValueSource& values) {
  return {{"plus_x", values.array(3)}, {"plus_z", values.array(3)}, {"position", values.array(3)}};
}

// Even-numbered sensors use the matrix form, odd ones the CAD form, which
// carries the units annotation that decoding adds.
json extrinsics(ValueSource& values, std::size_t index) {
  if (index % 2 == 0) return values.array(16);
  json cadForm = pose(values);
  cadForm["__units"] = "mm";
  return cadForm;
}

json kbIntrinsics(ValueSource& values) {
  json intrinsics{{"cameraModel", "kb"}};
  values.fill(intrinsics, {"fx", "fy", "cx", "cy", "k1", "k2", "k3", "k4"});
  return intrinsics;
}

json kbSplineIntrinsics(ValueSource& values) {
  json intrinsics{{"cameraModel", "kb_spline"}, {"gridSize", {5, 5}}};
  values.fill(intrinsics, {"fx", "fy", "cx", "cy", "k1", "k2", "k3"});
  intrinsics["nodeSpacing"] = values.array(2);
  intrinsics["sU"] = values.array(25);
  intrinsics["sV"] = values.array(25);
  return intrinsics;
}

json camera(ValueSource& values, std::size_t index, bool splineIntrinsics) {
  const std::string number = std::to_string(index);
  json result{{"width", 1280},
              {"height", 800},
              {"hardwareIdentifier", "camera-module-" + number},
              {"sourceCamera", "cam" + number},
              {"parent", "rig"},
              {"serial", "CS-" + number},
              {"cropRegion", {{"x", 16}, {"y", -8}}},
              {"preRotateClockwiseByDeg", 90.0}};
  result["extrinsics"] = extrinsics(values, index);
  result["intrinsics"] = json::array({kbIntrinsics(values)});
  if (splineIntrinsics) result["intrinsics"].push_back(kbSplineIntrinsics(values));
  result["extrinsicsOffset"] = values.array(6);
  result["focalLengthThermalModel"] = {{"slope", values.next()}, {"offset", values.array(2)}};
  result["temperature"] = {{"min", values.next()}, {"max", values.next()}};
  result["imageCircleDiameterInDeg"] = values.next();
  result["mtf50"] = {{"center", values.next()}, {"temp", values.next()}};
  return result;
}

json imu(ValueSource& values, std::size_t index) {
  const std::string number = std::to_string(index);
  json result{{"hardwareIdentifier", "imu-module-" + number},
              {"sourceImu", "imu" + number},
              {"parent", "rig"},
              {"is_accel_in_device_frame", true},
              {"is_bias_additive", index % 2 == 0},
              {"is_bias_metric", true},
              {"is_bias_prescaled", false},
              {"samplingRateInHz", 1000.0},
              {"isGyroAndAccelDataSynchronized", true}};
  for (const char* key : {"bias_accel", "bias_gyro", "scaleFactors_accel", "scaleFactors_gyro"}) {
    result[key] = values.array(3);
  }
  result["scaleFactorsCrossAxis_accel"] = values.array(6);
  result["scaleFactorsCrossAxis_gyro"] = values.array(6);
  values.fill(result, {"meters_per_accel_unit", "imuToCamTimeOffset",
                       "gyroNoiseDensityStdDegsPerSecPerSqrtHz",
                       "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz", "gyroBiasStdPerMinute",
                       "accelBiasStdPerMinute"});
  result["extrinsics"] = extrinsics(values, index);
  result["extrinsicsOffset"] = values.array(6);
  result["temperature"] = {{"min", values.next()}, {"max", values.next()}};
  return result;
}

json poses(ValueSource& values, std::size_t count) {
  json list = json::array();
  for (std::size_t i = 0; i < count; ++i) list.push_back(pose(values));
  return list;
}

}  // namespace

json makeSyntheticCalibration(std::size_t scale) {
  return makeSyntheticCalibration({kCamerasPerScale * scale, kImusPerScale * scale});
}

json makeSyntheticCalibration(const SyntheticShape& shape) {
  ValueSource values(shape.measuredValues);
  const std::size_t cameraCount = shape.cameras;
  const std::size_t imuCount = shape.imus;
  json document{{"cameras", json::array()}, {"imus", json::array()}};
  for (std::size_t i = 0; i < cameraCount; ++i) {
    document["cameras"].push_back(camera(values, i, shape.splineIntrinsics));
  }
  for (std::size_t i = 0; i < imuCount; ++i) document["imus"].push_back(imu(values, i));
  document["cad"] = {{"__alignment_method", "CamPositionsAndIMUPosition"},
                     {"__units", "mm"},
                     {"__head", pose(values)},
                     {"cameras", poses(values, cameraCount)},
                     {"imus", poses(values, imuCount)}};
  document["metadata"] = {{"dataset_duration_in_sec", 42.5},
                          {"extrinsicsMethod", "independent"},
                          {"pixel_coordinates_convention", "float"},
                          {"rig_json_version", 3},
                          {"created_by", "synthetic benchmark generator"},
                          {"device_serial", "BENCH-0001"},
                          {"date", "2026-01-01"},
                          {"hardwareIdentifier", "bench-rig"}};
  return document;
}

}  // namespace ravelin::bench
