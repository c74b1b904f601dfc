#include "calibration/block_types.h"

#include <array>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "calibration/encoder.h"
#include "calibration/json_values.h"

namespace ravelin {

namespace {

constexpr std::array<std::pair<std::string_view, CamModel>, 3> kCamModelsByName = {{
    {"kb", CamModel::KB},
    {"kb4", CamModel::KB},
    {"kb_spline", CamModel::KB_SPLINE},
}};

enum class ExtrinsicsForm { MATRIX, CAD, NEITHER };

ExtrinsicsForm extrinsicsFormOf(const json& object) {
  const json& extrinsics = memberOrNull(object, "extrinsics");
  if (extrinsics.is_array()) return ExtrinsicsForm::MATRIX;
  if (extrinsicsAreInCadFormat(extrinsics)) return ExtrinsicsForm::CAD;
  return ExtrinsicsForm::NEITHER;
}

}  // namespace

CamModel camModelFromName(const std::string& name) {
  for (const auto& [modelName, model] : kCamModelsByName) {
    if (modelName == name) return model;
  }
  return CamModel::UNKNOWN;
}

BlockId getIntrinsicsBlockTypeBasedOnIntrinsicsModel(const std::string& cameraModel) {
  switch (camModelFromName(cameraModel)) {
    case CamModel::KB:
      return BlockId::INTRINSICS_KB;
    case CamModel::KB_SPLINE:
      return BlockId::INTRINSICS_KB_SPLINE;
    case CamModel::UNKNOWN:
      break;
  }
  throw std::runtime_error("Unknown camera model");
}

BlockId getCameraBlockTypeBasedOnExtrinsicsFromat(const json& camera) {
  switch (extrinsicsFormOf(camera)) {
    case ExtrinsicsForm::MATRIX:
      return BlockId::CAMERA_MAT;
    case ExtrinsicsForm::CAD:
      return BlockId::CAMERA_CAD;
    case ExtrinsicsForm::NEITHER:
      break;
  }
  throw std::runtime_error("Uknown Camera extrinsics formats");
}

BlockId getIMUBlockTypeBasedOnExtrinsicsFormat(const json& imu) {
  switch (extrinsicsFormOf(imu)) {
    case ExtrinsicsForm::CAD:
      return BlockId::IMU_CAD;
    case ExtrinsicsForm::MATRIX:
      return BlockId::IMU_MAT;
    case ExtrinsicsForm::NEITHER:
      break;
  }
  throw std::runtime_error("Uknown IMU extrinsics formats");
}

}  // namespace ravelin
