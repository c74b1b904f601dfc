#include "calibration/record_json.h"

#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::string_view kUnknownName = "Unknown";

json floatToJson(float value) {
  return json(static_cast<double>(value));
}

// The members both Kannala-Brandt records share.
template <typename Intrinsics>
json kannalaBrandtToJson(const Intrinsics& k, const char* cameraModel) {
  return {{"cameraModel", cameraModel}, {"fx", floatToJson(k.fx)}, {"fy", floatToJson(k.fy)},
          {"cx", floatToJson(k.cx)},    {"cy", floatToJson(k.cy)}, {"k1", floatToJson(k.k1)},
          {"k2", floatToJson(k.k2)},    {"k3", floatToJson(k.k3)}};
}

}  // namespace

json floatArrayToJson(std::span<const float> values) {
  json array = json::array();
  for (const float value : values) array.push_back(floatToJson(value));
  return array;
}

std::string_view enumerationName(std::span<const std::string_view> names, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return kUnknownName;
  return names[static_cast<std::size_t>(index)];
}

json recordToJson(const CadPose& pose) {
  return {{"plus_x", floatArrayToJson(pose.plus_x)},
          {"plus_z", floatArrayToJson(pose.plus_z)},
          {"position", floatArrayToJson(pose.position)}};
}

json recordToJson(const ExtrinsicsMat& matrix) {
  return floatArrayToJson(matrix.values);
}

json recordToJson(const ImuBlockPayload& imu) {
  const auto flag = [&imu](ImuFlag bit) { return (imu.flags & bit) != 0; };
  return {
      {"bias_accel", floatArrayToJson(imu.bias_accel)},
      {"bias_gyro", floatArrayToJson(imu.bias_gyro)},
      {"scaleFactors_accel", floatArrayToJson(imu.scaleFactors_accel)},
      {"scaleFactors_gyro", floatArrayToJson(imu.scaleFactors_gyro)},
      {"scaleFactorsCrossAxis_accel", floatArrayToJson(imu.scaleFactorsCrossAxis_accel)},
      {"scaleFactorsCrossAxis_gyro", floatArrayToJson(imu.scaleFactorsCrossAxis_gyro)},
      {"meters_per_accel_unit", floatToJson(imu.meters_per_accel_unit)},
      {"imuToCamTimeOffset", floatToJson(imu.imuToCamTimeOffset)},
      {"is_accel_in_device_frame", flag(kAccelInDeviceFrame)},
      {"is_bias_additive", flag(kBiasAdditive)},
      {"is_bias_metric", flag(kBiasMetric)},
      {"is_bias_prescaled", flag(kBiasPrescaled)},
  };
}

json recordToJson(const ExtrinsicsOffsetPayload& offset) {
  return floatArrayToJson(offset.values);
}

json recordToJson(const CameraThermalLinear& thermal) {
  return {{"slope", floatToJson(thermal.slope)}, {"offset", floatArrayToJson(thermal.offset)}};
}

json recordToJson(const MetaDataPayload& meta) {
  return {
      {"dataset_duration_in_sec", floatToJson(meta.dataset_duration_in_sec)},
      {"extrinsicsMethod", enumerationName(kExtrinsicsMethodNames, meta.extrinsicsMethod)},
      {"pixel_coordinates_convention",
       enumerationName(kPixelConventionNames, meta.pixel_coordinates_convention)},
      {"rig_json_version", meta.rig_json_version},
  };
}

json recordToJson(const KbIntrinsics& k) {
  json object = kannalaBrandtToJson(k, "kb");
  object["k4"] = floatToJson(k.k4);
  return object;
}

json recordToJson(const KbSplineIntrinsics& k) {
  json object = kannalaBrandtToJson(k, "kb_spline");
  object["nodeSpacing"] = floatArrayToJson(k.nodeSpacing);
  object["sU"] = floatArrayToJson(k.sU);
  object["sV"] = floatArrayToJson(k.sV);
  object["gridSize"] = json::array({k.gridSize[0], k.gridSize[1]});
  return object;
}

json recordToJson(const CadBlockPayload& cad) {
  json cameras = json::array();
  for (const CadPose& pose : cad.cameras) cameras.push_back(recordToJson(pose));
  json imus = json::array();
  for (const CadPose& pose : cad.imus) imus.push_back(recordToJson(pose));
  return {{"__alignment_method", enumerationName(kAlignmentMethodNames, cad.alignmentMethod)},
          {"__units", enumerationName(kUnitNames, cad.units)},
          {"__head", recordToJson(cad.head)},
          {"cameras", std::move(cameras)},
          {"imus", std::move(imus)}};
}

void throwBlockSizeMismatch(std::string_view typeName, std::size_t recordSize,
                            std::size_t blockSize) {
  const std::string name(typeName);
  logError("Block of %zu bytes holds a %s record of %zu bytes", blockSize, name.c_str(),
           recordSize);
  throw std::runtime_error("Block type/size mismatch");
}

}  // namespace ravelin
