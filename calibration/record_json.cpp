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
JsonObject kannalaBrandtToJson(const Intrinsics& k, const char* cameraModel) {
  return JsonObject()
      .add("cameraModel", cameraModel)
      .add("cx", floatToJson(k.cx))
      .add("cy", floatToJson(k.cy))
      .add("fx", floatToJson(k.fx))
      .add("fy", floatToJson(k.fy))
      .add("k1", floatToJson(k.k1))
      .add("k2", floatToJson(k.k2))
      .add("k3", floatToJson(k.k3));
}

json poseList(const std::vector<CadPose>& poses) {
  json::array_t elements;
  elements.reserve(poses.size());
  for (const CadPose& pose : poses) elements.push_back(recordToJson(pose));
  return json(std::move(elements));
}

}  // namespace

json floatArrayToJson(std::span<const float> values) {
  json::array_t elements;
  elements.reserve(values.size());
  for (const float value : values) elements.emplace_back(static_cast<double>(value));
  return json(std::move(elements));
}

std::string_view enumerationName(std::span<const std::string_view> names, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return kUnknownName;
  return names[static_cast<std::size_t>(index)];
}

json recordToJson(const CadPose& pose) {
  return JsonObject()
      .add("plus_x", floatArrayToJson(pose.plus_x))
      .add("plus_z", floatArrayToJson(pose.plus_z))
      .add("position", floatArrayToJson(pose.position))
      .take();
}

json recordToJson(const ExtrinsicsMat& matrix) {
  return floatArrayToJson(matrix.values);
}

json recordToJson(const ImuBlockPayload& imu) {
  const auto flag = [&imu](ImuFlag bit) { return (imu.flags & bit) != 0; };
  return JsonObject()
      .add("bias_accel", floatArrayToJson(imu.bias_accel))
      .add("bias_gyro", floatArrayToJson(imu.bias_gyro))
      .add("imuToCamTimeOffset", floatToJson(imu.imuToCamTimeOffset))
      .add("is_accel_in_device_frame", flag(kAccelInDeviceFrame))
      .add("is_bias_additive", flag(kBiasAdditive))
      .add("is_bias_metric", flag(kBiasMetric))
      .add("is_bias_prescaled", flag(kBiasPrescaled))
      .add("meters_per_accel_unit", floatToJson(imu.meters_per_accel_unit))
      .add("scaleFactorsCrossAxis_accel", floatArrayToJson(imu.scaleFactorsCrossAxis_accel))
      .add("scaleFactorsCrossAxis_gyro", floatArrayToJson(imu.scaleFactorsCrossAxis_gyro))
      .add("scaleFactors_accel", floatArrayToJson(imu.scaleFactors_accel))
      .add("scaleFactors_gyro", floatArrayToJson(imu.scaleFactors_gyro))
      .take();
}

json recordToJson(const ExtrinsicsOffsetPayload& offset) {
  return floatArrayToJson(offset.values);
}

json recordToJson(const CameraThermalLinear& thermal) {
  return JsonObject()
      .add("offset", floatArrayToJson(thermal.offset))
      .add("slope", floatToJson(thermal.slope))
      .take();
}

json recordToJson(const MetaDataPayload& meta) {
  return JsonObject()
      .add("dataset_duration_in_sec", floatToJson(meta.dataset_duration_in_sec))
      .add("extrinsicsMethod", enumerationName(kExtrinsicsMethodNames, meta.extrinsicsMethod))
      .add("pixel_coordinates_convention",
           enumerationName(kPixelConventionNames, meta.pixel_coordinates_convention))
      .add("rig_json_version", meta.rig_json_version)
      .take();
}

json recordToJson(const KbIntrinsics& k) {
  return kannalaBrandtToJson(k, "kb").add("k4", floatToJson(k.k4)).take();
}

json recordToJson(const KbSplineIntrinsics& k) {
  return kannalaBrandtToJson(k, "kb_spline")
      .add("gridSize", json::array({k.gridSize[0], k.gridSize[1]}))
      .add("nodeSpacing", floatArrayToJson(k.nodeSpacing))
      .add("sU", floatArrayToJson(k.sU))
      .add("sV", floatArrayToJson(k.sV))
      .take();
}

json recordToJson(const CadBlockPayload& cad) {
  return JsonObject()
      .add("__alignment_method", enumerationName(kAlignmentMethodNames, cad.alignmentMethod))
      .add("__head", recordToJson(cad.head))
      .add("__units", enumerationName(kUnitNames, cad.units))
      .add("cameras", poseList(cad.cameras))
      .add("imus", poseList(cad.imus))
      .take();
}

void throwBlockSizeMismatch(std::string_view typeName, std::size_t recordSize,
                            std::size_t blockSize) {
  const std::string name(typeName);
  logError("Block of %zu bytes holds a %s record of %zu bytes", blockSize, name.c_str(),
           recordSize);
  throw std::runtime_error("Block type/size mismatch");
}

}  // namespace ravelin
