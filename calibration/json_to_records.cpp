#include "calibration/json_to_records.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

#include "calibration/json_values.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::string_view kCadSection = "cad";
constexpr std::string_view kMetadataSection = "metadata";

std::optional<std::size_t> indexOfName(std::span<const std::string_view> names,
                                       std::string_view name) {
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<std::size_t>(found - names.begin());
}

// Index of `name` in `names`, or -1 for a name that is not among them.
std::int8_t signedIndexOfName(std::span<const std::string_view> names, std::string_view name) {
  const auto index = indexOfName(names, name);
  return index ? static_cast<std::int8_t>(*index) : std::int8_t{-1};
}

// A CAD pose list that is absent or not an array holds no poses.
std::vector<CadPose> cadPoseList(const json& cad, std::string_view key) {
  std::vector<CadPose> poses;
  const json& list = memberOrNull(cad, key);
  if (!list.is_array()) return poses;
  poses.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    poses.push_back(cadPoseFromJson(list[i], indexedSection(kCadSection, key, i)));
  }
  return poses;
}

// fx, fy, cx, cy, k1, k2, k3: the coefficients both lens models share.
template <typename Intrinsics>
void readLensCoefficients(const json& intrinsics, std::string_view section, Intrinsics& out) {
  out.fx = requiredFloat(intrinsics, "fx", section);
  out.fy = requiredFloat(intrinsics, "fy", section);
  out.cx = requiredFloat(intrinsics, "cx", section);
  out.cy = requiredFloat(intrinsics, "cy", section);
  out.k1 = requiredFloat(intrinsics, "k1", section);
  out.k2 = requiredFloat(intrinsics, "k2", section);
  out.k3 = requiredFloat(intrinsics, "k3", section);
}

}  // namespace

CadPose cadPoseFromJson(const json& pose, std::string_view section) {
  CadPose result;
  result.plus_x = requiredArray<float, 3>(pose, "plus_x", section);
  result.plus_z = requiredArray<float, 3>(pose, "plus_z", section);
  result.position = requiredArray<float, 3>(pose, "position", section);
  return result;
}

CadBlockPayload cadBlockFromJson(const json& cad) {
  CadBlockPayload block;
  const auto alignment =
      indexOfName(kAlignmentMethodNames, cad.value("__alignment_method", std::string("Unknown")));
  block.alignmentMethod = static_cast<std::uint8_t>(alignment.value_or(0));
  block.units = cad.value("__units", std::string("mm")) == "m" ? 1 : 0;
  block.head = cadPoseFromJson(requiredMember(cad, "__head", kCadSection), "cad.__head");
  block.cameras = cadPoseList(cad, "cameras");
  block.imus = cadPoseList(cad, "imus");
  if (block.cameras.size() > UINT16_MAX || block.imus.size() > UINT16_MAX) {
    logError("CAD: counts exceed uint16_t limits (cams=%zu, imus=%zu)", block.cameras.size(),
             block.imus.size());
    throw std::runtime_error("CAD counts exceed uint16_t");
  }
  return block;
}

CameraBlockPayload cameraSizeFromJson(const json& camera, std::string_view section) {
  // An absent size reads as null, which the number conversion refuses by name.
  CameraBlockPayload size;
  size.width = toInteger<std::uint16_t>(memberOrNull(camera, "width"), {section, "width"});
  size.height = toInteger<std::uint16_t>(memberOrNull(camera, "height"), {section, "height"});
  return size;
}

ExtrinsicsMat extrinsicsMatFromJson(const json& object, std::string_view section) {
  return ExtrinsicsMat{requiredArray<float, 16>(object, "extrinsics", section)};
}

CameraThermalLinear thermalModelFromJson(const json& model, std::string_view section) {
  CameraThermalLinear thermal;
  thermal.slope = requiredFloat(model, "slope", section);
  thermal.offset = requiredArray<float, 2>(model, "offset", section, ArrayLength::AT_LEAST);
  return thermal;
}

KbIntrinsics kbIntrinsicsFromJson(const json& intrinsics, std::string_view section) {
  KbIntrinsics kb;
  readLensCoefficients(intrinsics, section, kb);
  kb.k4 = requiredFloat(intrinsics, "k4", section);
  return kb;
}

KbSplineIntrinsics kbSplineIntrinsicsFromJson(const json& intrinsics, std::string_view section) {
  constexpr std::size_t kGrid = KbSplineIntrinsics::kGridValues;
  KbSplineIntrinsics spline;
  readLensCoefficients(intrinsics, section, spline);
  spline.gridSize =
      requiredArray<std::int32_t, 2>(intrinsics, "gridSize", section, ArrayLength::AT_LEAST);
  spline.nodeSpacing =
      requiredArray<float, 2>(intrinsics, "nodeSpacing", section, ArrayLength::AT_LEAST);
  spline.sU = requiredArray<float, kGrid>(intrinsics, "sU", section, ArrayLength::AT_LEAST);
  spline.sV = requiredArray<float, kGrid>(intrinsics, "sV", section, ArrayLength::AT_LEAST);
  return spline;
}

ImuBlockPayload imuBlockFromJson(const json& imu, std::string_view section) {
  ImuBlockPayload payload;
  payload.bias_accel = requiredArray<float, 3>(imu, "bias_accel", section);
  payload.bias_gyro = requiredArray<float, 3>(imu, "bias_gyro", section);
  payload.scaleFactors_accel = requiredArray<float, 3>(imu, "scaleFactors_accel", section);
  payload.scaleFactors_gyro = requiredArray<float, 3>(imu, "scaleFactors_gyro", section);
  payload.scaleFactorsCrossAxis_accel =
      requiredArray<float, 6>(imu, "scaleFactorsCrossAxis_accel", section);
  payload.scaleFactorsCrossAxis_gyro =
      requiredArray<float, 6>(imu, "scaleFactorsCrossAxis_gyro", section);
  // These two are missed in the library's own words ("key '...' not found").
  payload.meters_per_accel_unit =
      toFloat32(imu.at("meters_per_accel_unit"), {section, "meters_per_accel_unit"});
  payload.imuToCamTimeOffset =
      toFloat32(imu.at("imuToCamTimeOffset"), {section, "imuToCamTimeOffset"});
  for (const FlagBit& bit : kImuFlagBits) {
    if (imu.value(std::string(bit.name), false)) {
      payload.flags = static_cast<std::uint8_t>(payload.flags | bit.mask);
    }
  }
  return payload;
}

ExtrinsicsOffsetPayload::ExtrinsicsOffsetPayload(const json& offset) {
  const std::vector<float> numbers = convertElements<float>(offset, {{}, "extrinsicsOffset"});
  if (numbers.size() != values.size()) {
    throw std::runtime_error("extrinsics offset vector should have 6 elements");
  }
  std::copy(numbers.begin(), numbers.end(), values.begin());
}

MetaDataPayload metaDataFromJson(const json& metadata) {
  // A section that is not an object is refused in the library's words.
  if (!metadata.is_object()) static_cast<void>(metadata["dataset_duration_in_sec"]);
  MetaDataPayload payload;
  payload.dataset_duration_in_sec =
      requiredFloat(metadata, "dataset_duration_in_sec", kMetadataSection);
  const auto method = metadata.value("extrinsicsMethod", std::string("Unknown"));
  payload.extrinsicsMethod = signedIndexOfName(kExtrinsicsMethodNames, method);
  if (payload.extrinsicsMethod < 0) {
    logError("Unknown or missing extrinsicsMethod in calibration methadata -- %s", method.c_str());
  }
  const auto convention = metadata.value("pixel_coordinates_convention", std::string("Unknown"));
  payload.pixel_coordinates_convention = signedIndexOfName(kPixelConventionNames, convention);
  if (payload.pixel_coordinates_convention < 0) {
    logError("Unknow or missing pixel coordinate convention in metadata -- %s", convention.c_str());
  }
  payload.rig_json_version =
      toInteger<std::uint16_t>(requiredMember(metadata, "rig_json_version", kMetadataSection),
                               {kMetadataSection, "rig_json_version"});
  return payload;
}

}  // namespace ravelin
