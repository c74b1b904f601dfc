#pragma once

// Which block a camera, an IMU or an intrinsics entry becomes: decided by the
// form of its "extrinsics" or by its camera model name.

#include <string>

#include "calibration/compact.h"

namespace ravelin {

// UNKNOWN for any name other than "kb", "kb4" and "kb_spline" (case-sensitive).
CamModel camModelFromName(const std::string& name);

// INTRINSICS_KB or INTRINSICS_KB_SPLINE; throws "Unknown camera model" otherwise.
BlockId getIntrinsicsBlockTypeBasedOnIntrinsicsModel(const std::string& cameraModel);
// CAMERA_MAT or CAMERA_CAD; throws "Uknown Camera extrinsics formats" otherwise.
BlockId getCameraBlockTypeBasedOnExtrinsicsFromat(const json& camera);
// IMU_MAT or IMU_CAD; throws "Uknown IMU extrinsics formats" otherwise.
BlockId getIMUBlockTypeBasedOnExtrinsicsFormat(const json& imu);

}  // namespace ravelin
