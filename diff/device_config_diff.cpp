#include <cstddef>
#include <optional>

#include "diff/diff.h"
#include "diff/poses.h"
#include "diff/values.h"
#include "geometry/document_models.h"

namespace ravelin::diff {

namespace {

using detail::ChangeList;
using detail::numberAt;
using detail::Pair;

// A device config states its positions in metres.
constexpr double kMetresPerUnit = 1.0;

// What the encoder stores for an absent r2max and nSplineCtrlPts.
const json kNoRadius = 0;
const json kSplineControlPoints = 16;

// As in a calibration: texts that name the device or describe it make no
// difference to a pixel; every number here shapes what the displays show.
constexpr bool kDescriptive = true;
constexpr bool kDecisive = false;

std::optional<geometry::Mat3> matrixOf(const json* value) {
  if (value == nullptr || !value->is_array() || value->size() != 3) return std::nullopt;
  geometry::Mat3 matrix{};
  for (std::size_t row = 0; row < 3; ++row) {
    const json& values = (*value)[row];
    if (!values.is_array() || values.size() != 3) return std::nullopt;
    for (std::size_t column = 0; column < 3; ++column) {
      const std::optional<double> number = numberAt(&values[column]);
      if (!number) return std::nullopt;
      matrix[3 * row + column] = *number;
    }
  }
  return matrix;
}

std::optional<geometry::Pose> poseOf(const json* pose) {
  if (pose == nullptr) return std::nullopt;
  return geometry::poseFromCadJson(*pose, kMetresPerUnit);
}

void comparePose(ChangeList& changes, const Pair& at, const Tolerances& tolerances) {
  detail::comparePosesIfRead(changes, at, poseOf(at.older()), poseOf(at.newer()), tolerances);
}

void compareDistortion(ChangeList& changes, const Pair& distortion) {
  changes.members(distortion, {"center_x", "center_y", "coeffs"}, kDecisive);
  changes.leaves(distortion["r2max"].orDefault(kNoRadius), kDecisive);
}

// eye_to_head is written as a first-order rotation and judged as the
// rotation it stands for.
void compareEye(ChangeList& changes, const Pair& eye, const Tolerances& tolerances) {
  changes.members(eye, {"display_serial_number"}, kDecisive);
  const Pair eyeToHead = eye["eye_to_head"];
  const std::optional<geometry::Mat3> older = matrixOf(eyeToHead.older());
  const std::optional<geometry::Mat3> newer = matrixOf(eyeToHead.newer());
  if (older && newer) {
    detail::compareRotations(changes, eyeToHead, *older, *newer, tolerances);
  } else {
    changes.leaves(eyeToHead, kDecisive);
  }
  changes.members(eye, {"intrinsics", "grow_for_undistort", "undistort_r2_cutoff"}, kDecisive);
  for (const char* key : {"distortion", "distortion_red", "distortion_blue"}) {
    compareDistortion(changes, eye[key]);
  }
  const Pair inverse = eye["inverse_distortion"];
  compareDistortion(changes, inverse);
  changes.leaves(inverse["nSplineCtrlPts"].orDefault(kSplineControlPoints), kDecisive);
}

}  // namespace

DiffReport diffDeviceConfigs(const json& oldDocument, const json& newDocument,
                             const Tolerances& tolerances) {
  DiffReport report;
  report.kind = DocumentKind::DEVICE_CONFIG;
  const Pair root(oldDocument, newDocument);
  ChangeList changes(report.changes);
  changes.members(root["device"],
                  {"eye_target_width_in_pixels", "eye_target_height_in_pixels", "num_windows",
                   "first_eye", "last_eye", "hidden_area_mesh"},
                  kDecisive);
  changes.members(root,
                  {"device_serial_number", "device_pid", "device_vid", "display_edid",
                   "display_frequency", "expected_bases", "expected_controllers"},
                  kDecisive);
  changes.members(root, {"device_class", "manufacturer", "model_number", "revision"}, kDescriptive);
  comparePose(changes, root["head"], tolerances);
  const Pair cadFromCal = root["cv"]["cad_from_cal"];
  if (cadFromCal.older() != nullptr && cadFromCal.newer() != nullptr) {
    changes.members(cadFromCal, {"method"}, kDescriptive);
    comparePose(changes, cadFromCal, tolerances);
  } else {
    changes.leaves(cadFromCal, kDecisive);
  }
  const Pair eyes = root["tracking_to_eye_transform"];
  for (std::size_t i = 0; i < std::min(eyes.olderSize(), eyes.newerSize()); ++i) {
    compareEye(changes, eyes[i], tolerances);
  }
  changes.unpaired(eyes);
  return report;
}

}  // namespace ravelin::diff
