#include <cstdint>

#include "check/check.h"
#include "check/document.h"
#include "check/pose_rules.h"
#include "check/thresholds.h"

namespace ravelin {

namespace {

using check::checkPoseAxes;
using check::checkRotation;
using check::describe;
using check::Findings;
using check::Mat3;
using check::Node;
using namespace thresholds;

// The inverse distortion carries 16 coefficients; its control point count
// says how many of them the spline uses.
constexpr std::int64_t kMaxSplineControlPoints = 16;

void checkPositiveCount(Findings& findings, const Node& node) {
  const std::optional<double> count = findings.number(node);
  if (count && !(*count > 0.0)) findings.error(node, "must be positive");
}

// r2max is taken only when it is a number: other kinds stand for 0. A null is
// judged all the same, since it is what a NaN decodes to.
void checkOptionalFloat(Findings& findings, const Node& node) {
  if (node.value() != nullptr && (node.value()->is_number() || node.value()->is_null())) {
    findings.number(node);
  }
}

void checkDistortion(Findings& findings, const Node& distortion) {
  findings.number(distortion["center_x"]);
  findings.number(distortion["center_y"]);
  findings.allNumbers(distortion["coeffs"]);
  checkOptionalFloat(findings, distortion["r2max"]);
}

// Only an integer is taken, and only its low 16 bits reach the blob.
void checkSplineControlPoints(Findings& findings, const Node& node) {
  const json* value = node.value();
  if (value == nullptr || !value->is_number_integer()) return;
  const bool fits = value->is_number_unsigned()
                        ? value->get<std::uint64_t>() <= kMaxSplineControlPoints
                        : value->get<std::int64_t>() <= kMaxSplineControlPoints;
  if (fits && value->get<std::int64_t>() >= 1) return;
  findings.error(node, describe("outside 1..%lld: the inverse distortion holds %lld coefficients",
                                static_cast<long long>(kMaxSplineControlPoints),
                                static_cast<long long>(kMaxSplineControlPoints)));
}

void checkEye(Findings& findings, const Node& eye) {
  for (const char* key : {"distortion", "distortion_red", "distortion_blue"}) {
    checkDistortion(findings, eye[key]);
  }
  const Node inverse = eye["inverse_distortion"];
  checkDistortion(findings, inverse);
  checkSplineControlPoints(findings, inverse["nSplineCtrlPts"]);

  const Node eyeToHead = eye["eye_to_head"];
  if (const std::optional<Mat3> rotation = findings.matrix3(eyeToHead)) {
    checkRotation(findings, eyeToHead, *rotation,
                  {kEyeRotationDeviationWarning, kEyeRotationDeviationError});
  }
  findings.matrix3(eye["intrinsics"]);
  findings.number(eye["grow_for_undistort"]);
  findings.number(eye["undistort_r2_cutoff"]);
}

void checkPose(Findings& findings, const Node& pose) {
  checkPoseAxes(findings, pose);
  findings.numbers<3>(pose["position"]);
}

}  // namespace

std::vector<Finding> checkDeviceConfig(const json& document) {
  Findings findings;
  const Node root(document);
  const Node device = root["device"];
  for (const char* key :
       {"eye_target_width_in_pixels", "eye_target_height_in_pixels", "num_windows"}) {
    checkPositiveCount(findings, device[key]);
  }
  // Taken only when it is an integer; anything else leaves it out of the blob.
  const Node frequency = root["display_frequency"];
  if (frequency.value() != nullptr && frequency.value()->is_number_integer()) {
    checkPositiveCount(findings, frequency);
  }
  checkPose(findings, root["head"]);
  const Node cadFromCal = root["cv"]["cad_from_cal"];
  if (cadFromCal.isObject()) checkPose(findings, cadFromCal);
  const Node eyes = root["tracking_to_eye_transform"];
  for (std::size_t i = 0; i < eyes.size(); ++i) checkEye(findings, eyes[i]);
  return findings.take();
}

}  // namespace ravelin
