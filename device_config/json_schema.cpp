#include "device_config/json_schema.h"

#include <algorithm>
#include <stdexcept>

#include "device_config/device_config.h"
#include "wire/byte_io.h"

namespace ravelin {

namespace {

constexpr std::uint64_t kU32Max = 0xFFFFFFFFU;

[[noreturn]] void fail(std::string_view message, std::string_view key) {
  throw std::runtime_error(std::string(message).append(key));
}

float toFloat(const json& number) {
  return narrowToFloat32(number.get<double>());
}

float optionalFloat(const json& container, std::string_view key, float fallback) {
  const json* value = findMember(container, key);
  return value != nullptr && value->is_number() ? toFloat(*value) : fallback;
}

// Only the low 16 bits of any integer are kept; every other kind means the default.
std::uint16_t optionalControlPointCount(const json& container) {
  const json* value = findMember(container, "nSplineCtrlPts");
  if (value == nullptr || !value->is_number_integer()) return kDefaultSplineControlPoints;
  return static_cast<std::uint16_t>(value->get<std::uint64_t>());
}

void readMatrixRow(const json& row, std::string_view key, std::span<float, 3> out) {
  if (!row.is_array() || row.size() != out.size()) {
    fail("device config matrix row wrong size: ", key);
  }
  for (std::size_t col = 0; col < out.size(); ++col) {
    if (!row[col].is_number()) fail("device config matrix value not numeric: ", key);
    out[col] = toFloat(row[col]);
  }
}

}  // namespace

const json* findMember(const json& container, std::string_view key) {
  if (!container.is_object()) return nullptr;
  const auto it = container.find(key);
  return it == container.end() ? nullptr : &*it;
}

bool isDeviceConfigJson(const json& document) {
  return document.is_object() && document.contains("device") && document["device"].is_object() &&
         document.contains("tracking_to_eye_transform") &&
         document["tracking_to_eye_transform"].is_array();
}

void checkAllowedKeys(const json& value, std::initializer_list<std::string_view> allowed,
                      std::string_view context) {
  for (auto it = value.begin(); it != value.end(); ++it) {
    const std::string& key = it.key();
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      throw std::runtime_error("device config unsupported key '" + key + "' in " +
                               std::string(context));
    }
  }
}

std::string requireString(const json& container, std::string_view key) {
  const json* value = findMember(container, key);
  if (value == nullptr) fail("device config missing string field: ", key);
  if (!value->is_string()) fail("device config field not string: ", key);
  return value->get<std::string>();
}

std::uint32_t requireU32(const json& container, std::string_view key) {
  const json* value = findMember(container, key);
  if (value == nullptr) fail("device config missing u32 field: ", key);
  if (!value->is_number_integer()) fail("device config field not integer: ", key);
  // A negative integer wraps far above the range and is refused with it.
  const auto wide = value->get<std::uint64_t>();
  if (wide > kU32Max) fail("device config integer out of range: ", key);
  return static_cast<std::uint32_t>(wide);
}

float requireFloat(const json& container, std::string_view key) {
  const json* value = findMember(container, key);
  if (value == nullptr) fail("device config missing float field: ", key);
  if (!value->is_number()) fail("device config field not numeric: ", key);
  return toFloat(*value);
}

void requireFloatArray(const json& container, std::string_view key, std::span<float> out) {
  const json* value = findMember(container, key);
  if (value == nullptr || !value->is_array()) fail("device config missing array: ", key);
  if (value->size() != out.size()) fail("device config array wrong size for key: ", key);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (!(*value)[i].is_number()) fail("device config array entry not numeric for key: ", key);
    out[i] = toFloat((*value)[i]);
  }
}

Mat3 requireMatrix3x3(const json& container, std::string_view key) {
  const json* value = findMember(container, key);
  if (value == nullptr || !value->is_array()) fail("device config missing matrix: ", key);
  if (value->size() != 3) fail("device config matrix wrong outer size: ", key);
  Mat3 matrix{};
  for (std::size_t row = 0; row < 3; ++row) {
    readMatrixRow((*value)[row], key, std::span<float, 3>(matrix.data() + 3 * row, 3));
  }
  return matrix;
}

Distortion parseDistortion(const json& object, std::string_view context) {
  checkAllowedKeys(object, {"center_x", "center_y", "coeffs", "r2max", "type"}, context);
  Distortion distortion;
  distortion.center_x = requireFloat(object, "center_x");
  distortion.center_y = requireFloat(object, "center_y");
  distortion.coeffs = requireFloatArray<8>(object, "coeffs");
  distortion.r2max = optionalFloat(object, "r2max", 0.0F);
  return distortion;
}

InverseDistortion parseInverseDistortion(const json& object) {
  checkAllowedKeys(object, {"center_x", "center_y", "coeffs", "nSplineCtrlPts", "r2max", "type"},
                   "inverse_distortion");
  InverseDistortion inverse;
  inverse.center_x = requireFloat(object, "center_x");
  inverse.center_y = requireFloat(object, "center_y");
  inverse.coeffs = requireFloatArray<16>(object, "coeffs");
  inverse.r2max = optionalFloat(object, "r2max", 0.0F);
  inverse.nSplineCtrlPts = optionalControlPointCount(object);
  return inverse;
}

EyeEntry parseEyeTransform(const json& object) {
  checkAllowedKeys(
      object,
      {"display_serial_number", "distortion", "distortion_red", "distortion_blue", "eye_to_head",
       "grow_for_undistort", "intrinsics", "inverse_distortion", "undistort_r2_cutoff"},
      "tracking_to_eye_transform[]");
  EyeEntry entry;
  EyeTransform& eye = entry.transform;
  // at() on purpose: an absent model fails with the JSON library's own error.
  eye.distortion = parseDistortion(object.at("distortion"), "distortion");
  eye.distortion_red = parseDistortion(object.at("distortion_red"), "distortion_red");
  eye.distortion_blue = parseDistortion(object.at("distortion_blue"), "distortion_blue");
  eye.eye_to_head = requireMatrix3x3(object, "eye_to_head");
  eye.grow_for_undistort = requireFloat(object, "grow_for_undistort");
  eye.intrinsics = requireMatrix3x3(object, "intrinsics");
  eye.inverse_distortion = parseInverseDistortion(object.at("inverse_distortion"));
  eye.undistort_r2_cutoff = requireFloat(object, "undistort_r2_cutoff");
  const json* serial = findMember(object, "display_serial_number");
  if (serial != nullptr && serial->is_string())
    entry.display_serial_number = serial->get<std::string>();
  return entry;
}

}  // namespace ravelin
