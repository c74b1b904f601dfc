#pragma once

// Rules that both formats apply to their rotations and CAD poses.

#include "check/document.h"

namespace ravelin::check {

struct RotationLimits {
  double warning;  // max |R^T R - I| above this: implausible
  double error;    // above this: no rotation at all
};

// Orthonormality within `limits`, and det(R) = +1 rather than a reflection.
void checkRotation(Findings& findings, const Node& at, const Mat3& rotation, RotationLimits limits);

// "plus_x" and "plus_z" of a CAD pose: unit length and orthogonal.
void checkPoseAxes(Findings& findings, const Node& pose);

}  // namespace ravelin::check
