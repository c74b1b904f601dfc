#pragma once

// Small compact calibrations for the encoder tests: the least a document,
// camera or IMU needs, so that each test adds only what it is about.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "wire/byte_io.h"

namespace ravelin::testing {

using json = nlohmann::json;

inline json unitPose() {
  return {{"plus_x", {1.0, 0.0, 0.0}}, {"plus_z", {0.0, 0.0, 1.0}}, {"position", {0.0, 0.0, 0.0}}};
}

inline json identityMatrix() {
  return json::array(
      {1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0});
}

// No cameras, no IMUs, no CAD poses and no metadata strings.
inline json emptyDocument() {
  return {{"cameras", json::array()},
          {"imus", json::array()},
          {"cad", {{"__head", unitPose()}}},
          {"metadata", {{"dataset_duration_in_sec", 1.5}, {"rig_json_version", 3}}}};
}

inline json matrixCamera() {
  return {{"width", 640},
          {"height", 480},
          {"extrinsics", identityMatrix()},
          {"intrinsics", json::array()},
          {"hardwareIdentifier", ""},
          {"sourceCamera", ""}};
}

inline json cadCamera() {
  json camera = matrixCamera();
  camera["extrinsics"] = unitPose();
  return camera;
}

inline json kbIntrinsics() {
  return {{"cameraModel", "kb"}, {"fx", 280.5}, {"fy", 281.25}, {"cx", 320.0},  {"cy", 240.0},
          {"k1", 0.5},           {"k2", -0.25}, {"k3", 0.125},  {"k4", -0.0625}};
}

inline json kbSplineIntrinsics() {
  json spline = kbIntrinsics();
  spline.erase("k4");
  spline["cameraModel"] = "kb_spline";
  spline["gridSize"] = {5, 5};
  spline["nodeSpacing"] = {160.0, 120.0};
  spline["sU"] = std::vector<double>(25, 0.25);
  spline["sV"] = std::vector<double>(25, -0.5);
  return spline;
}

inline json matrixImu() {
  return {{"bias_accel", {0.0, 0.0, 0.0}},
          {"bias_gyro", {0.0, 0.0, 0.0}},
          {"scaleFactors_accel", {1.0, 1.0, 1.0}},
          {"scaleFactors_gyro", {1.0, 1.0, 1.0}},
          {"scaleFactorsCrossAxis_accel", {0.0, 0.0, 0.0, 0.0, 0.0, 0.0}},
          {"scaleFactorsCrossAxis_gyro", {0.0, 0.0, 0.0, 0.0, 0.0, 0.0}},
          {"meters_per_accel_unit", 1.0},
          {"imuToCamTimeOffset", 0.0},
          {"extrinsics", identityMatrix()},
          {"hardwareIdentifier", ""},
          {"sourceImu", ""}};
}

inline Bytes bytes(std::initializer_list<int> values) {
  Bytes result;
  for (int value : values) result.push_back(static_cast<std::uint8_t>(value));
  return result;
}

inline Bytes floatBytes(float value) {
  Bytes result;
  appendLE(result, value);
  return result;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes result;
  for (const Bytes& part : parts) result.insert(result.end(), part.begin(), part.end());
  return result;
}

}  // namespace ravelin::testing
