#pragma once

// The fixed-size records of a calibration blob, read from their sections of
// a compact calibration. `section` names where the value sits ("cameras[1]")
// for the messages of missing keys and wrong array lengths.

#include <string_view>

#include "calibration/compact.h"

namespace ravelin {

// "plus_x", "plus_z", "position": three numbers each.
CadPose cadPoseFromJson(const json& pose, std::string_view section);
// The "cad" section; more than 65535 poses in one list is refused.
CadBlockPayload cadBlockFromJson(const json& cad);
// "width" and "height" of a camera.
CameraBlockPayload cameraSizeFromJson(const json& camera, std::string_view section);
// The 16 numbers of a matrix-form "extrinsics" of a camera or IMU object.
ExtrinsicsMat extrinsicsMatFromJson(const json& object, std::string_view section);
// A camera's "focalLengthThermalModel" object.
CameraThermalLinear thermalModelFromJson(const json& model, std::string_view section);
KbIntrinsics kbIntrinsicsFromJson(const json& intrinsics, std::string_view section);
KbSplineIntrinsics kbSplineIntrinsicsFromJson(const json& intrinsics, std::string_view section);
ImuBlockPayload imuBlockFromJson(const json& imu, std::string_view section);
// Unknown method or convention names are logged and stored as -1.
MetaDataPayload metaDataFromJson(const json& metadata);

}  // namespace ravelin
