#include "diff/poses.h"

#include <algorithm>
#include <cfloat>

#include "geometry/document_models.h"

namespace ravelin::diff::detail {

namespace {

using geometry::degrees;
using geometry::norm;

constexpr double kMillimetresPerMetre = 1000.0;

// Each stored entry of a rotation or a position may be off by half a float32
// step: a few such steps bound what rounding alone does to an angle
// (radians, the entries being at most 1) or to a distance (relative to the
// longer position).
constexpr double kRoundingSteps = 4 * static_cast<double>(FLT_EPSILON);

bool movedBeyondRounding(const geometry::Vec3& older, const geometry::Vec3& newer) {
  return geometry::distance(older, newer) > kRoundingSteps * std::max(norm(older), norm(newer));
}

}  // namespace

std::optional<geometry::Pose> extrinsicsPose(const json* extrinsics) {
  if (extrinsics == nullptr) return std::nullopt;
  if (extrinsics->is_object()) {
    return geometry::poseFromCadJson(*extrinsics, geometry::metresPerCadUnit(*extrinsics));
  }
  return geometry::poseFromExtrinsicsJson(*extrinsics);
}

bool rotatedBeyondRounding(double angle) {
  return angle > kRoundingSteps;
}

// Values that are the same make no change, even where they are no rotation
// and the angle between them would not be 0.
double compareRotations(ChangeList& changes, const Pair& at, const geometry::Mat3& older,
                        const geometry::Mat3& newer, const Tolerances& tolerances) {
  if (!differs(at)) return 0.0;
  const double angle = geometry::rotationAngleBetween(older, newer);
  const double angleDeg = degrees(angle);
  if (rotatedBeyondRounding(angle)) {
    changes.measured(at, describe("rotated by %.4g deg", angleDeg),
                     {angleDeg, tolerances.rotationDeg, "deg"}, /*withValues=*/false);
  }
  return angleDeg;
}

PoseChange comparePoses(ChangeList& changes, const Pair& at, const geometry::Pose& older,
                        const geometry::Pose& newer, const Tolerances& tolerances) {
  if (!differs(at)) return {0.0, 0.0};
  const double rotationDeg =
      compareRotations(changes, at, older.rotation, newer.rotation, tolerances);
  const double translationMm =
      kMillimetresPerMetre * geometry::distance(older.translation, newer.translation);
  if (movedBeyondRounding(older.translation, newer.translation)) {
    changes.measured(at, describe("moved by %.4g mm", translationMm),
                     {translationMm, tolerances.translationMm, "mm"}, /*withValues=*/false);
  }
  return {rotationDeg, translationMm};
}

std::optional<PoseChange> comparePosesIfRead(ChangeList& changes, const Pair& at,
                                             const std::optional<geometry::Pose>& older,
                                             const std::optional<geometry::Pose>& newer,
                                             const Tolerances& tolerances) {
  if (!older || !newer) {
    const bool objects = at.older() != nullptr && at.newer() != nullptr &&
                         at.older()->is_object() && at.newer()->is_object();
    if (objects) {
      changes.members(at, {"plus_x", "plus_z", "position", "__units"}, /*within=*/false);
    } else {
      changes.leaves(at, /*within=*/false);
    }
    return std::nullopt;
  }
  return comparePoses(changes, at, *older, *newer, tolerances);
}

}  // namespace ravelin::diff::detail
