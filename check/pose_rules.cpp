#include "check/pose_rules.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "check/thresholds.h"
#include "geometry/vector.h"

namespace ravelin::check {

namespace {

using geometry::degrees;
using geometry::determinant;
using geometry::dot;
using geometry::norm;
using geometry::orthonormalityDeviation;

bool isUnitAxis(Findings& findings, const Node& node, const std::optional<Vec3>& axis) {
  if (!axis) return false;
  const double length = norm(*axis);
  if (std::fabs(length - 1.0) <= thresholds::kCadAxisTolerance) return true;
  findings.error(node,
                 describe("length %.6g, not 1 within %g", length, thresholds::kCadAxisTolerance));
  return false;
}

}  // namespace

void checkRotation(Findings& findings, const Node& at, const Mat3& rotation,
                   RotationLimits limits) {
  const double deviation = orthonormalityDeviation(rotation);
  if (deviation > limits.error) {
    findings.error(at, describe("rotation not orthonormal: max |R^T R - I| = %.3g, above %g",
                                deviation, limits.error));
  } else if (deviation > limits.warning) {
    findings.warning(at, describe("rotation not quite orthonormal: max |R^T R - I| = %.3g, "
                                  "above %g (an error above %g)",
                                  deviation, limits.warning, limits.error));
  }
  const double det = determinant(rotation);
  if (det < 0.0) {
    findings.error(at,
                   describe("det(R) = %.4g: a reflection (a flipped axis), not a rotation", det));
  }
}

void checkPoseAxes(Findings& findings, const Node& pose) {
  const Node xNode = pose["plus_x"];
  const Node zNode = pose["plus_z"];
  const std::optional<Vec3> x = findings.numbers<3>(xNode);
  const std::optional<Vec3> z = findings.numbers<3>(zNode);
  const bool xIsUnit = isUnitAxis(findings, xNode, x);
  const bool zIsUnit = isUnitAxis(findings, zNode, z);
  if (!xIsUnit || !zIsUnit) return;
  const double cosine = dot(*x, *z) / (norm(*x) * norm(*z));
  if (std::fabs(cosine) <= thresholds::kCadAxisTolerance) return;
  findings.add(
      FindingSeverity::ERROR, pose, "plus_x " + xNode.dump() + ", plus_z " + zNode.dump(),
      describe("cos(plus_x, plus_z) = %.4g (%.2f deg apart), not 0 within %g", cosine,
               degrees(std::acos(std::clamp(cosine, -1.0, 1.0))), thresholds::kCadAxisTolerance));
}

}  // namespace ravelin::check
