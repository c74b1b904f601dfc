#pragma once

// The change between two poses, or two rotations, as the diff reports it.

#include <optional>

#include "diff/values.h"
#include "geometry/pose.h"

namespace ravelin::diff::detail {

struct PoseChange {
  double rotationDeg;
  double translationMm;
};

// The pose of a camera's or IMU's "extrinsics" in either form; CAD-form
// positions in their "__units" ("m", otherwise millimetres).
std::optional<geometry::Pose> extrinsicsPose(const json* extrinsics);

// Adds the rotation and the translation between the two poses, each as a
// change of its own judged by its tolerance, when it exceeds what
// single-precision rounding of the stored numbers can make.
PoseChange comparePoses(ChangeList& changes, const Pair& at, const geometry::Pose& older,
                        const geometry::Pose& newer, const Tolerances& tolerances);

// The rotation alone, likewise; returns its angle in degrees.
double compareRotations(ChangeList& changes, const Pair& at, const geometry::Mat3& older,
                        const geometry::Mat3& newer, const Tolerances& tolerances);

// Whether an angle between two stored rotations (radians) is more than
// single-precision rounding of their entries.
bool rotatedBeyondRounding(double angle);

// comparePoses() when both poses could be read; otherwise the pose's values
// at `at` are compared as they are (beyond tolerance when they differ) and
// nothing is returned.
std::optional<PoseChange> comparePosesIfRead(ChangeList& changes, const Pair& at,
                                             const std::optional<geometry::Pose>& older,
                                             const std::optional<geometry::Pose>& newer,
                                             const Tolerances& tolerances);

}  // namespace ravelin::diff::detail
