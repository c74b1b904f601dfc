#pragma once

// The device config blob's records and its in-memory form. Each record lists
// its fields in wire order through forEachField and describes them in
// kFields, so the encoder, the decoder and the inspector walk one
// description of the layout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "wire/cad_pose.h"
#include "wire/container.h"
#include "wire/fields.h"

namespace ravelin {

constexpr std::uint16_t kDeviceConfigSchemaMajor = 1;
constexpr std::uint16_t kDeviceConfigSchemaMinor = 0;

struct DeviceFlags {
  static constexpr std::uint32_t HIDDEN_AREA_MESH = 0x1;
};

inline constexpr std::array<FlagBit, 1> kDeviceFlagBits = {{
    {DeviceFlags::HIDDEN_AREA_MESH, "HIDDEN_AREA_MESH"},
}};

// The optional fields follow OptionalFlags in the order of these bits.
struct OptionalFlags {
  static constexpr std::uint32_t DISPLAY_FREQUENCY = 0x001;
  static constexpr std::uint32_t DISPLAY_EDID = 0x002;
  static constexpr std::uint32_t EXPECTED_BASES = 0x004;
  static constexpr std::uint32_t EXPECTED_CONTROLLERS = 0x008;
  static constexpr std::uint32_t MANUFACTURER = 0x010;
  static constexpr std::uint32_t MODEL_NUMBER = 0x020;
  static constexpr std::uint32_t REVISION = 0x040;
  static constexpr std::uint32_t DISPLAY_SERIAL_NUMBERS = 0x080;
  static constexpr std::uint32_t CAD_FROM_CAL = 0x100;
};

inline constexpr std::array<FlagBit, 9> kOptionalFlagBits = {{
    {OptionalFlags::DISPLAY_FREQUENCY, "DISPLAY_FREQUENCY"},
    {OptionalFlags::DISPLAY_EDID, "DISPLAY_EDID"},
    {OptionalFlags::EXPECTED_BASES, "EXPECTED_BASES"},
    {OptionalFlags::EXPECTED_CONTROLLERS, "EXPECTED_CONTROLLERS"},
    {OptionalFlags::MANUFACTURER, "MANUFACTURER"},
    {OptionalFlags::MODEL_NUMBER, "MODEL_NUMBER"},
    {OptionalFlags::REVISION, "REVISION"},
    {OptionalFlags::DISPLAY_SERIAL_NUMBERS, "DISPLAY_SERIAL_NUMBERS"},
    {OptionalFlags::CAD_FROM_CAL, "CAD_FROM_CAL"},
}};

// Every distortion model the blob carries is a B-spline; its JSON says so.
inline constexpr std::array kBsplineDistortion = {JsonConstant{"type", "DISTORT_BSPLINE"}};

using Vec8 = std::array<float, 8>;
using Vec16 = std::array<float, 16>;
using Mat3 = std::array<float, 9>;  // row-major

struct Distortion {
  static constexpr std::size_t kWireSize = 44;
  static constexpr std::string_view kTypeName = "10Distortion";

  float center_x = 0;
  float center_y = 0;
  Vec8 coeffs{};
  float r2max = 0;

  template <typename Self, typename Visit>
  static constexpr void forEachField(Self& r, Visit&& visit) {
    visit(r.center_x, r.center_y, r.coeffs, r.r2max);
  }
  static constexpr std::array kFields = {field("center_x"), field("center_y"), field("coeffs"),
                                         field("r2max")};
  static constexpr auto kJsonConstants = kBsplineDistortion;
};

constexpr std::uint16_t kDefaultSplineControlPoints = 16;

// In memory the u16 is followed by alignment padding; on the wire r2max
// starts right after it, at offset 74.
struct InverseDistortion {
  static constexpr std::size_t kWireSize = 78;
  static constexpr std::string_view kTypeName = "17InverseDistortion";

  float center_x = 0;
  float center_y = 0;
  Vec16 coeffs{};
  std::uint16_t nSplineCtrlPts = kDefaultSplineControlPoints;
  float r2max = 0;

  template <typename Self, typename Visit>
  static constexpr void forEachField(Self& r, Visit&& visit) {
    visit(r.center_x, r.center_y, r.coeffs, r.nSplineCtrlPts, r.r2max);
  }
  static constexpr std::array kFields = {field("center_x"), field("center_y"), field("coeffs"),
                                         field("nSplineCtrlPts"), field("r2max")};
  static constexpr auto kJsonConstants = kBsplineDistortion;
};

struct EyeTransform {
  static constexpr std::size_t kWireSize = 290;
  static constexpr std::string_view kTypeName = "12EyeTransform";

  Distortion distortion;
  Distortion distortion_red;
  Distortion distortion_blue;
  Mat3 eye_to_head{};
  float grow_for_undistort = 0;
  Mat3 intrinsics{};
  InverseDistortion inverse_distortion;
  float undistort_r2_cutoff = 0;

  template <typename Self, typename Visit>
  static constexpr void forEachField(Self& r, Visit&& visit) {
    visit(r.distortion, r.distortion_red, r.distortion_blue, r.eye_to_head, r.grow_for_undistort,
          r.intrinsics, r.inverse_distortion, r.undistort_r2_cutoff);
  }
  static constexpr std::array kFields = {field("distortion"),         field("distortion_red"),
                                         field("distortion_blue"),    matrix("eye_to_head", 3),
                                         field("grow_for_undistort"), matrix("intrinsics", 3),
                                         field("inverse_distortion"), field("undistort_r2_cutoff")};
};

static_assert(wireSizeOf(Distortion{}) == Distortion::kWireSize);
static_assert(wireSizeOf(InverseDistortion{}) == InverseDistortion::kWireSize);
static_assert(wireSizeOf(EyeTransform{}) == EyeTransform::kWireSize);

// The head is stored as the pose record the calibration blob uses for its CAD poses.
using HeadPose = CadPose;

struct CadFromCal {
  std::string method;
  CadPose pose;
};

// The display serial number travels apart from the fixed record (body item 22).
struct EyeEntry {
  EyeTransform transform;
  std::optional<std::string> display_serial_number;
};

// Which optional fields are present decides the flag words; they are not stored.
struct DeviceConfig {
  std::uint32_t eye_target_width_in_pixels = 0;
  std::uint32_t eye_target_height_in_pixels = 0;
  std::uint32_t num_windows = 0;
  std::string first_eye;
  std::string last_eye;
  std::optional<std::uint32_t> hidden_area_mesh;

  std::string device_class;
  std::uint32_t device_pid = 0;
  std::string device_serial_number;
  std::uint32_t device_vid = 0;

  std::optional<std::uint32_t> display_frequency;
  std::optional<std::pair<std::string, std::string>> display_edid;
  std::optional<std::uint32_t> expected_bases;
  std::optional<std::uint32_t> expected_controllers;
  std::optional<std::string> manufacturer;
  std::optional<std::string> model_number;
  std::optional<std::uint32_t> revision;
  std::optional<CadFromCal> cad_from_cal;

  HeadPose head;
  std::array<EyeEntry, 2> eyes;
};

}  // namespace ravelin
