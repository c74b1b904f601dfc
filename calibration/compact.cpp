#include "calibration/compact.h"

#include <cstdint>
#include <stdexcept>

namespace ravelin {

void CadBlockPayload::appendTo(Bytes& out) const {
  if (cameras.size() > UINT16_MAX || imus.size() > UINT16_MAX) {
    throw std::runtime_error("CAD counts exceed uint16_t");
  }
  appendRecord(out,
               CadBlockFixedPart{alignmentMethod, units, static_cast<std::uint16_t>(cameras.size()),
                                 static_cast<std::uint16_t>(imus.size()), head});
  for (const CadPose& pose : cameras) appendRecord(out, pose);
  for (const CadPose& pose : imus) appendRecord(out, pose);
}

std::string_view blockName(BlockId id) {
  switch (id) {
    case BlockId::CAD:
      return "CAD";
    case BlockId::CAMERA_MAT:
      return "CAMERA_MAT";
    case BlockId::CAMERA_CAD:
      return "CAMERA_CAD";
    case BlockId::INTRINSICS_KB:
      return "INTRINSICS_KB";
    case BlockId::INTRINSICS_KB_SPLINE:
      return "INTRINSICS_KB_SPLINE";
    case BlockId::IMU_MAT:
      return "IMU_MAT";
    case BlockId::IMU_CAD:
      return "IMU_CAD";
    case BlockId::META:
      return "META";
    case BlockId::EXTRINSICS_OFFSET:
      return "EXTRINSICS_OFFSET";
    case BlockId::CAMERA_STRINGS:
      return "CAMERA_STRINGS";
    case BlockId::IMU_STRINGS:
      return "IMU_STRINGS";
    case BlockId::META_STRINGS:
      return "META_STRINGS";
    case BlockId::CAMERA_THERMAL_LINEAR:
      return "CAMERA_THERMAL_LINEAR";
    case BlockId::CAMERA_OPTIONALS:
      return "CAMERA_OPTIONALS";
    case BlockId::IMU_OPTIONALS:
      return "IMU_OPTIONALS";
    case BlockId::END:
      return "END";
  }
  return "UNASSIGNED";
}

}  // namespace ravelin
