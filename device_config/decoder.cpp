#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "console/log.h"
#include "device_config/device_config.h"
#include "device_config/format.h"
#include "wire/container.h"

namespace ravelin {

namespace {

[[noreturn]] void fail(const char* message) {
  throw std::runtime_error(message);
}

// Reads the body field by field; each read first checks that the field ends
// inside the body, so a short body fails at the first field that does not fit
// with the message of that field's kind.
class BodyReader {
 public:
  explicit BodyReader(ByteCursor body) : cursor_(body) {}

  bool atEnd() const { return cursor_.atEnd(); }

  template <WireScalar T>
  void read(T& value) {
    require(sizeof(T), "device config blob truncated (pod)");
    value = cursor_.read<T>();
  }

  template <std::size_t N>
  void read(std::array<float, N>& values) {
    require(sizeof(float) * N, "device config blob truncated (floats)");
    cursor_.readInto(values);
  }

  template <WireRecord R>
  void read(R& record) {
    R::forEachField(record, [this](auto&... fields) { (this->read(fields), ...); });
  }

  void read(std::string& text) {
    const auto length = readValue<std::uint32_t>();
    require(length, "device config blob truncated (string)");
    text = cursor_.readString(length);
  }

  template <typename T>
  T readValue() {
    T value{};
    read(value);
    return value;
  }

  template <typename T>
  std::optional<T> readIf(std::uint32_t flags, std::uint32_t bit) {
    if ((flags & bit) == 0) return std::nullopt;
    return readValue<T>();
  }

 private:
  void require(std::size_t size, const char* message) const {
    if (cursor_.remaining() < size) fail(message);
  }

  ByteCursor cursor_;
};

void readSchemaVersion(BodyReader& reader) {
  const auto major = reader.readValue<std::uint16_t>();
  const auto minor = reader.readValue<std::uint16_t>();
  if (major != kDeviceConfigSchemaMajor || minor != kDeviceConfigSchemaMinor) {
    fail("device config schema version unsupported");
  }
}

void readDeviceSection(BodyReader& reader, DeviceConfig& config) {
  const auto deviceFlags = reader.readValue<std::uint32_t>();
  reader.read(config.eye_target_width_in_pixels);
  reader.read(config.eye_target_height_in_pixels);
  reader.read(config.num_windows);
  reader.read(config.first_eye);
  reader.read(config.last_eye);
  config.hidden_area_mesh =
      reader.readIf<std::uint32_t>(deviceFlags, DeviceFlags::HIDDEN_AREA_MESH);
  reader.read(config.device_class);
  reader.read(config.device_pid);
  reader.read(config.device_serial_number);
  reader.read(config.device_vid);
}

void readOptionalFields(BodyReader& reader, DeviceConfig& config) {
  using Flags = OptionalFlags;
  const auto flags = reader.readValue<std::uint32_t>();
  config.display_frequency = reader.readIf<std::uint32_t>(flags, Flags::DISPLAY_FREQUENCY);
  if (flags & Flags::DISPLAY_EDID) {
    std::string first = reader.readValue<std::string>();
    std::string second = reader.readValue<std::string>();
    config.display_edid = std::pair{std::move(first), std::move(second)};
  }
  config.expected_bases = reader.readIf<std::uint32_t>(flags, Flags::EXPECTED_BASES);
  config.expected_controllers = reader.readIf<std::uint32_t>(flags, Flags::EXPECTED_CONTROLLERS);
  config.manufacturer = reader.readIf<std::string>(flags, Flags::MANUFACTURER);
  config.model_number = reader.readIf<std::string>(flags, Flags::MODEL_NUMBER);
  config.revision = reader.readIf<std::uint32_t>(flags, Flags::REVISION);
  for (EyeEntry& eye : config.eyes) {
    eye.display_serial_number = reader.readIf<std::string>(flags, Flags::DISPLAY_SERIAL_NUMBERS);
  }
  if (flags & Flags::CAD_FROM_CAL) {
    CadFromCal cadFromCal;
    reader.read(cadFromCal.method);
    reader.read(cadFromCal.pose);
    config.cad_from_cal = std::move(cadFromCal);
  }
}

DeviceConfig readBody(BodyReader& reader) {
  readSchemaVersion(reader);
  DeviceConfig config;
  readDeviceSection(reader, config);
  readOptionalFields(reader, config);
  reader.read(config.head);
  for (EyeEntry& eye : config.eyes) reader.read(eye.transform);
  if (!reader.atEnd()) fail("device config blob has unexpected trailing data");
  return config;
}

// Floats widen exactly; the rounding for display is the writer's business.
json floatsToJson(std::span<const float> values) {
  json array = json::array();
  for (float value : values) array.push_back(static_cast<double>(value));
  return array;
}

json matrixToJson(const Mat3& matrix) {
  const std::span<const float> values(matrix);
  return json::array({floatsToJson(values.subspan(0, 3)), floatsToJson(values.subspan(3, 3)),
                      floatsToJson(values.subspan(6, 3))});
}

json poseToJson(const CadPose& pose) {
  return {{"plus_x", floatsToJson(pose.plus_x)},
          {"plus_z", floatsToJson(pose.plus_z)},
          {"position", floatsToJson(pose.position)}};
}

constexpr const char* kDistortionType = "DISTORT_BSPLINE";

json distortionToJson(const Distortion& distortion) {
  return {{"center_x", static_cast<double>(distortion.center_x)},
          {"center_y", static_cast<double>(distortion.center_y)},
          {"coeffs", floatsToJson(distortion.coeffs)},
          {"r2max", static_cast<double>(distortion.r2max)},
          {"type", kDistortionType}};
}

json inverseDistortionToJson(const InverseDistortion& inverse) {
  return {{"center_x", static_cast<double>(inverse.center_x)},
          {"center_y", static_cast<double>(inverse.center_y)},
          {"coeffs", floatsToJson(inverse.coeffs)},
          {"nSplineCtrlPts", inverse.nSplineCtrlPts},
          {"r2max", static_cast<double>(inverse.r2max)},
          {"type", kDistortionType}};
}

json eyeToJson(const EyeEntry& entry) {
  const EyeTransform& eye = entry.transform;
  json object = {{"distortion", distortionToJson(eye.distortion)},
                 {"distortion_red", distortionToJson(eye.distortion_red)},
                 {"distortion_blue", distortionToJson(eye.distortion_blue)},
                 {"eye_to_head", matrixToJson(eye.eye_to_head)},
                 {"grow_for_undistort", static_cast<double>(eye.grow_for_undistort)},
                 {"intrinsics", matrixToJson(eye.intrinsics)},
                 {"inverse_distortion", inverseDistortionToJson(eye.inverse_distortion)},
                 {"undistort_r2_cutoff", static_cast<double>(eye.undistort_r2_cutoff)}};
  if (entry.display_serial_number) object["display_serial_number"] = *entry.display_serial_number;
  return object;
}

template <typename T>
void setIfPresent(json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

json deviceSectionToJson(const DeviceConfig& config) {
  json device = {{"eye_target_width_in_pixels", config.eye_target_width_in_pixels},
                 {"eye_target_height_in_pixels", config.eye_target_height_in_pixels},
                 {"num_windows", config.num_windows},
                 {"first_eye", config.first_eye},
                 {"last_eye", config.last_eye}};
  setIfPresent(device, "hidden_area_mesh", config.hidden_area_mesh);
  return device;
}

json toJson(const DeviceConfig& config) {
  json root = {{"device", deviceSectionToJson(config)},
               {"device_class", config.device_class},
               {"device_pid", config.device_pid},
               {"device_serial_number", config.device_serial_number},
               {"device_vid", config.device_vid},
               {"head", poseToJson(config.head)},
               {"tracking_to_eye_transform",
                json::array({eyeToJson(config.eyes[0]), eyeToJson(config.eyes[1])})}};
  setIfPresent(root, "display_frequency", config.display_frequency);
  if (config.display_edid) {
    root["display_edid"] = json::array({config.display_edid->first, config.display_edid->second});
  }
  setIfPresent(root, "expected_bases", config.expected_bases);
  setIfPresent(root, "expected_controllers", config.expected_controllers);
  setIfPresent(root, "manufacturer", config.manufacturer);
  setIfPresent(root, "model_number", config.model_number);
  setIfPresent(root, "revision", config.revision);
  if (config.cad_from_cal) {
    json cadFromCal = poseToJson(config.cad_from_cal->pose);
    cadFromCal["method"] = config.cad_from_cal->method;
    root["cv"] = {{"cad_from_cal", std::move(cadFromCal)}};
  }
  return root;
}

// Checks the header and returns the body, which must lie inside the blob.
ByteCursor openBody(ByteCursor blob, std::uint32_t& storedCrc) {
  if (blob.remaining() < Header::kWireSize) fail("device config blob too small");
  const Header header = readRecord<Header>(blob);
  if (header.magic != kDeviceConfigMagic) fail("device config magic mismatch");
  if (header.majorVersion != 1 || header.minorVersion != 0) {
    fail("device config version mismatch");
  }
  if (header.bodySize > blob.remaining()) fail("device config body truncated");
  storedCrc = header.crc32;
  return blob.take(header.bodySize);
}

bool crcMatches(std::uint32_t stored, const ByteCursor& body) {
  const std::uint32_t computed = crc32(body.position(), body.remaining());
  if (computed == stored) return true;
  logError("Device config CRC mismatch: expected %u got %u", stored, computed);
  return false;
}

}  // namespace

bool decodeDeviceConfig(const std::uint8_t* begin, const std::uint8_t* end, json& out,
                        bool verifyCrc) {
  std::uint32_t storedCrc = 0;
  const ByteCursor body = openBody(ByteCursor(begin, end), storedCrc);
  const bool crcOk = !verifyCrc || crcMatches(storedCrc, body);
  BodyReader reader(body);
  json decoded = toJson(readBody(reader));
  out = std::move(decoded);
  return crcOk;
}

}  // namespace ravelin
