#include "device_config/encoder.h"

#include <limits>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "device_config/device_config.h"
#include "device_config/json_schema.h"
#include "wire/container.h"

namespace ravelin {

namespace {

// Present only when the value has the kind that announces it; its range is
// checked here, after the kind has been accepted.
std::optional<std::uint32_t> optionalU32(const json& root, std::string_view key) {
  const json* value = findMember(root, key);
  if (value == nullptr || !value->is_number_integer()) return std::nullopt;
  return requireU32(root, key);
}

std::optional<std::string> optionalString(const json& root, std::string_view key) {
  const json* value = findMember(root, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

// Both elements must be strings once the pair is taken; the library's type
// error names the wrong kind.
std::optional<std::pair<std::string, std::string>> optionalEdid(const json& root) {
  const json* edid = findMember(root, "display_edid");
  if (edid == nullptr || !edid->is_array() || edid->size() != 2) return std::nullopt;
  std::string first = (*edid)[0].get<std::string>();
  std::string second = (*edid)[1].get<std::string>();
  return std::pair{std::move(first), std::move(second)};
}

CadPose requirePose(const json& object) {
  CadPose pose;
  pose.plus_x = requireFloatArray<3>(object, "plus_x");
  pose.plus_z = requireFloatArray<3>(object, "plus_z");
  pose.position = requireFloatArray<3>(object, "position");
  return pose;
}

std::optional<CadFromCal> parseCadFromCal(const json& root) {
  const json* cv = findMember(root, "cv");
  if (cv == nullptr) return std::nullopt;
  checkAllowedKeys(*cv, {"cad_from_cal"}, "device_config.cv");
  const json* member = findMember(*cv, "cad_from_cal");
  if (member == nullptr) return std::nullopt;
  const json& cadFromCal = *member;
  checkAllowedKeys(cadFromCal, {"method", "plus_x", "plus_z", "position"},
                   "device_config.cv.cad_from_cal");
  CadFromCal result;
  result.method = requireString(cadFromCal, "method");
  result.pose = requirePose(cadFromCal);
  return result;
}

void readDeviceSection(const json& device, DeviceConfig& config) {
  config.eye_target_width_in_pixels = requireU32(device, "eye_target_width_in_pixels");
  config.eye_target_height_in_pixels = requireU32(device, "eye_target_height_in_pixels");
  config.num_windows = requireU32(device, "num_windows");
  config.first_eye = requireString(device, "first_eye");
  config.last_eye = requireString(device, "last_eye");
  config.hidden_area_mesh = optionalU32(device, "hidden_area_mesh");
}

void readIdentity(const json& root, DeviceConfig& config) {
  config.device_class = requireString(root, "device_class");
  config.device_pid = requireU32(root, "device_pid");
  config.device_serial_number = requireString(root, "device_serial_number");
  config.device_vid = requireU32(root, "device_vid");
}

// In flag-bit order, which is also the order in which their faults are reported.
void readOptionalFields(const json& root, DeviceConfig& config) {
  config.display_frequency = optionalU32(root, "display_frequency");
  config.display_edid = optionalEdid(root);
  config.expected_bases = optionalU32(root, "expected_bases");
  config.expected_controllers = optionalU32(root, "expected_controllers");
  config.manufacturer = optionalString(root, "manufacturer");
  config.model_number = optionalString(root, "model_number");
  config.revision = optionalU32(root, "revision");
}

// The order of these steps decides which fault a document with several gets.
DeviceConfig parseDeviceConfig(const json& root) {
  if (!isDeviceConfigJson(root)) {
    throw std::runtime_error("JSON is not a recognized device_config shape");
  }
  const json& device = root.at("device");
  const json& head = root.at("head");
  const json& eyes = root.at("tracking_to_eye_transform");
  if (eyes.size() != 2) {
    throw std::runtime_error(
        "device_config requires exactly two tracking_to_eye_transform entries");
  }
  checkAllowedKeys(
      root,
      {"cv", "device", "device_class", "device_pid", "device_serial_number", "device_vid",
       "display_frequency", "display_edid", "expected_bases", "expected_controllers", "head", "imu",
       "manufacturer", "model_number", "revision", "tracking_to_eye_transform"},
      "device_config root");
  checkAllowedKeys(device,
                   {"eye_target_width_in_pixels", "eye_target_height_in_pixels", "num_windows",
                    "first_eye", "last_eye", "hidden_area_mesh"},
                   "device_config.device");
  checkAllowedKeys(head, {"plus_x", "plus_z", "position"}, "device_config.head");

  DeviceConfig config;
  config.eyes[0] = parseEyeTransform(eyes[0]);
  config.eyes[1] = parseEyeTransform(eyes[1]);
  config.cad_from_cal = parseCadFromCal(root);
  readDeviceSection(device, config);
  readIdentity(root, config);
  readOptionalFields(root, config);
  config.head = requirePose(head);
  return config;
}

bool hasBothDisplaySerialNumbers(const DeviceConfig& config) {
  return config.eyes[0].display_serial_number && config.eyes[1].display_serial_number;
}

std::uint32_t optionalFlagsOf(const DeviceConfig& config) {
  std::uint32_t flags = 0;
  const auto announce = [&flags](bool present, std::uint32_t bit) {
    if (present) flags |= bit;
  };
  announce(config.display_frequency.has_value(), OptionalFlags::DISPLAY_FREQUENCY);
  announce(config.display_edid.has_value(), OptionalFlags::DISPLAY_EDID);
  announce(config.expected_bases.has_value(), OptionalFlags::EXPECTED_BASES);
  announce(config.expected_controllers.has_value(), OptionalFlags::EXPECTED_CONTROLLERS);
  announce(config.manufacturer.has_value(), OptionalFlags::MANUFACTURER);
  announce(config.model_number.has_value(), OptionalFlags::MODEL_NUMBER);
  announce(config.revision.has_value(), OptionalFlags::REVISION);
  announce(hasBothDisplaySerialNumbers(config), OptionalFlags::DISPLAY_SERIAL_NUMBERS);
  announce(config.cad_from_cal.has_value(), OptionalFlags::CAD_FROM_CAL);
  return flags;
}

template <typename T>
void appendIfPresent(Bytes& out, const std::optional<T>& value) {
  if (!value) return;
  if constexpr (std::is_same_v<T, std::string>) {
    appendString(out, *value);
  } else {
    appendLE(out, *value);
  }
}

void appendOptionalFields(Bytes& out, const DeviceConfig& config) {
  appendLE(out, optionalFlagsOf(config));
  appendIfPresent(out, config.display_frequency);
  if (config.display_edid) {
    appendString(out, config.display_edid->first);
    appendString(out, config.display_edid->second);
  }
  appendIfPresent(out, config.expected_bases);
  appendIfPresent(out, config.expected_controllers);
  appendIfPresent(out, config.manufacturer);
  appendIfPresent(out, config.model_number);
  appendIfPresent(out, config.revision);
  if (hasBothDisplaySerialNumbers(config)) {
    appendString(out, *config.eyes[0].display_serial_number);
    appendString(out, *config.eyes[1].display_serial_number);
  }
  if (config.cad_from_cal) {
    appendString(out, config.cad_from_cal->method);
    appendRecord(out, config.cad_from_cal->pose);
  }
}

void appendBody(Bytes& out, const DeviceConfig& config) {
  appendLE(out, kDeviceConfigSchemaMajor);
  appendLE(out, kDeviceConfigSchemaMinor);
  appendLE(out, config.hidden_area_mesh ? DeviceFlags::HIDDEN_AREA_MESH : 0U);
  appendLE(out, config.eye_target_width_in_pixels);
  appendLE(out, config.eye_target_height_in_pixels);
  appendLE(out, config.num_windows);
  appendString(out, config.first_eye);
  appendString(out, config.last_eye);
  appendIfPresent(out, config.hidden_area_mesh);
  appendString(out, config.device_class);
  appendLE(out, config.device_pid);
  appendString(out, config.device_serial_number);
  appendLE(out, config.device_vid);
  appendOptionalFields(out, config);
  appendRecord(out, config.head);
  appendEyeTransform(out, config.eyes[0].transform);
  appendEyeTransform(out, config.eyes[1].transform);
}

}  // namespace

void appendString(Bytes& out, std::string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::runtime_error("device config string longer than 4 GiB");
  }
  appendLE(out, static_cast<std::uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

void appendEyeTransform(Bytes& out, const EyeTransform& eye) {
  appendRecord(out, eye);
}

Bytes encodeDeviceConfig(const json& document) {
  const DeviceConfig config = parseDeviceConfig(document);
  Bytes blob(Header::kWireSize, 0);
  appendBody(blob, config);
  sealBlob(blob, kDeviceConfigMagic);
  return blob;
}

}  // namespace ravelin
