#pragma once

// The calibration blob's vocabulary: block identifiers, the TLV frame, the
// fixed-layout payload records, the enumeration name tables shared by encoder
// and decoder, and the interface of the per-block decoders.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "wire/cad_pose.h"
#include "wire/container.h"

namespace ravelin {

using json = nlohmann::json;

enum class BlockId : std::uint16_t {
  CAD = 1,
  CAMERA_MAT = 2,
  CAMERA_CAD = 3,
  INTRINSICS_KB = 4,
  INTRINSICS_KB_SPLINE = 5,
  IMU_MAT = 7,
  IMU_CAD = 8,
  META = 9,
  EXTRINSICS_OFFSET = 10,
  CAMERA_STRINGS = 11,
  IMU_STRINGS = 12,
  META_STRINGS = 13,
  CAMERA_THERMAL_LINEAR = 14,
  CAMERA_OPTIONALS = 15,
  IMU_OPTIONALS = 16,
  END = 0xFFFF,
};

// Frames every block, top-level or nested: the payload of `size` bytes follows it.
struct TLV {
  static constexpr std::size_t kWireSize = 8;
  static constexpr std::string_view kTypeName = "3TLV";

  std::uint16_t id = 0;
  std::uint16_t reserved = 0;  // written as zero, ignored when read
  std::uint32_t size = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& t, Visit&& visit) {
    visit(t.id, t.reserved, t.size);
  }
};

enum class CamModel : std::int8_t { UNKNOWN = -1, KB = 0, KB_SPLINE = 1 };

struct CameraBlockPayload {
  static constexpr std::size_t kWireSize = 4;
  static constexpr std::string_view kTypeName = "18CameraBlockPayload";

  std::uint16_t width = 0;
  std::uint16_t height = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.width, r.height);
  }
};

struct ExtrinsicsMat {
  static constexpr std::size_t kWireSize = 64;
  static constexpr std::string_view kTypeName = "13ExtrinsicsMat";

  std::array<float, 16> values{};

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.values);
  }
};

// IMU flag bits of ImuBlockPayload::flags; bits 4 to 7 are unused.
enum ImuFlag : std::uint8_t {
  kAccelInDeviceFrame = 0x01,
  kBiasAdditive = 0x02,
  kBiasMetric = 0x04,
  kBiasPrescaled = 0x08,
};

struct ImuBlockPayload {
  static constexpr std::size_t kWireSize = 105;
  static constexpr std::string_view kTypeName = "15ImuBlockPayload";

  Vec3 bias_accel{};
  Vec3 bias_gyro{};
  Vec3 scaleFactors_accel{};
  Vec3 scaleFactors_gyro{};
  std::array<float, 6> scaleFactorsCrossAxis_accel{};
  std::array<float, 6> scaleFactorsCrossAxis_gyro{};
  float meters_per_accel_unit = 0;
  float imuToCamTimeOffset = 0;
  std::uint8_t flags = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.bias_accel, r.bias_gyro, r.scaleFactors_accel, r.scaleFactors_gyro,
          r.scaleFactorsCrossAxis_accel, r.scaleFactorsCrossAxis_gyro, r.meters_per_accel_unit,
          r.imuToCamTimeOffset, r.flags);
  }
};

struct ExtrinsicsOffsetPayload {
  static constexpr std::size_t kWireSize = 24;
  static constexpr std::string_view kTypeName = "23ExtrinsicsOffsetPayload";

  ExtrinsicsOffsetPayload() = default;
  // Reads the six numbers of "extrinsicsOffset"; any other count is refused.
  explicit ExtrinsicsOffsetPayload(const json& offset);

  std::array<float, 6> values{};

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.values);
  }
};

struct CameraThermalLinear {
  static constexpr std::size_t kWireSize = 12;
  static constexpr std::string_view kTypeName = "19CameraThermalLinear";

  float slope = 0;
  std::array<float, 2> offset{};

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.slope, r.offset);
  }
};

struct MetaDataPayload {
  static constexpr std::size_t kWireSize = 8;
  static constexpr std::string_view kTypeName = "15MetaDataPayload";

  float dataset_duration_in_sec = 0;
  std::int8_t extrinsicsMethod = 0;              // index into kExtrinsicsMethodNames, -1 unknown
  std::int8_t pixel_coordinates_convention = 0;  // index into kPixelConventionNames, -1 unknown
  std::uint16_t rig_json_version = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.dataset_duration_in_sec, r.extrinsicsMethod, r.pixel_coordinates_convention,
          r.rig_json_version);
  }
};

struct KbIntrinsics {
  static constexpr std::size_t kWireSize = 32;
  static constexpr std::string_view kTypeName = "12KbIntrinsics";

  float fx = 0, fy = 0, cx = 0, cy = 0, k1 = 0, k2 = 0, k3 = 0, k4 = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.fx, r.fy, r.cx, r.cy, r.k1, r.k2, r.k3, r.k4);
  }
};

struct KbSplineIntrinsics {
  static constexpr std::size_t kWireSize = 244;
  static constexpr std::string_view kTypeName = "18KbSplineIntrinsics";
  static constexpr std::size_t kGridValues = 25;

  float fx = 0, fy = 0, cx = 0, cy = 0, k1 = 0, k2 = 0, k3 = 0;
  std::array<float, 2> nodeSpacing{};
  std::array<float, kGridValues> sU{};
  std::array<float, kGridValues> sV{};
  std::array<std::int32_t, 2> gridSize{};

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.fx, r.fy, r.cx, r.cy, r.k1, r.k2, r.k3, r.nodeSpacing, r.sU, r.sV, r.gridSize);
  }
};

// The CAD block: a 42-byte fixed part (alignment method, units, the two pose
// counts, the head pose) followed by the camera poses and the IMU poses.
struct CadBlockPayload {
  static constexpr std::size_t kFixedSize = 42;

  std::uint8_t alignmentMethod = 0;  // index into kAlignmentMethodNames
  std::uint8_t units = 0;            // index into kUnitNames
  CadPose head{};
  std::vector<CadPose> cameras;
  std::vector<CadPose> imus;

  std::size_t wireSize() const {
    return kFixedSize + CadPose::kWireSize * (cameras.size() + imus.size());
  }

  // Fills the payload from [p, end) and returns the cursor after the last pose.
  const std::uint8_t* load(const std::uint8_t* p, const std::uint8_t* end);
  // Appends the payload; the pose counts must fit in 16 bits.
  void appendTo(Bytes& out) const;
};

// Enumeration names, indexed by the value stored in the blob. Constant
// tables, so a run pays nothing for them before main.
inline constexpr std::array<std::string_view, 4> kExtrinsicsMethodNames = {
    "Unknown", "independent", "fromPrimaryCal", "fromSecondaryCal"};

inline constexpr std::array<std::string_view, 3> kPixelConventionNames = {"Unknown", "integer",
                                                                          "float"};

inline constexpr std::array<std::string_view, 13> kAlignmentMethodNames = {
    "Unknown",
    "Cam0PositionAndOrientation",
    "Cam1PositionAndOrientation",
    "CamPositionsAndCamForwardVectors",
    "CamPositionsAndCam0ForwardVector",
    "CamPositionsAndIMUPosition",
    "CamForwardAndIMUUpVectors",
    "Cam0PositionAndIMUOrientation",
    "Cam0AndCam1PositionsAndForwardVectors",
    "FrontAndUpperCamPositions",
    "CamPositions",
    "ImuPositionAndOrientation",
    "RobotEyeBallCamPositionsAndCamForwardVectors",
};

inline constexpr std::array<std::string_view, 2> kUnitNames = {"mm", "m"};

// Decodes the payload of one block into JSON. Codecs are stateless and made
// per block by makeBlockCodec.
class BlockCodec {
 public:
  virtual BlockId id() const = 0;
  // p stands at the start of the payload and is advanced over what was read;
  // end is the end of the payload.
  virtual json decode(const std::uint8_t*& p, const std::uint8_t* end) const = 0;
  virtual ~BlockCodec() = default;
};

// The codec for a block id, or none for ids without one (0, 6, 17 and up, END).
std::unique_ptr<BlockCodec> makeBlockCodec(BlockId id);

// Copies every member of the object `source` into `target`, replacing what was there.
void mergeInto(json& target, const json& source);

}  // namespace ravelin
