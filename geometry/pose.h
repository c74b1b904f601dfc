#pragma once

// Rotations and rigid motions, and how the documents write them.
//
// Frame conventions (the one place they are fixed):
// - A Pose carries points of an object's frame into its parent's frame,
//   x_parent = R x_object + t: t is the object's origin in the parent's frame
//   and the columns of R are the object's axes there.
// - Matrix extrinsics (16 numbers, 4x4 row-major, translation in metres) are
//   the transform the other way, from the parent's frame into the object's
//   (x_object = R x_parent + t), as calibration solvers write a camera-from-IMU
//   transform; the object's pose is their inverse.
// - A CAD-form pose ("plus_x", "plus_z", "position") is the object's pose
//   itself: its x and z axes and its origin, in the parent's frame.
// - Cameras look along +z, with +x to the right of the image and +y down.

#include <array>

#include "geometry/vector.h"

namespace ravelin::geometry {

struct Pose {
  Mat3 rotation = kIdentity;
  Vec3 translation{};
};

Vec3 apply(const Pose& pose, const Vec3& point);
// outer ∘ inner: first inner, then outer.
Pose compose(const Pose& outer, const Pose& inner);
// The inverse motion, taking R as orthonormal (judge that first).
Pose inverse(const Pose& pose);

// The angle of a rotation (radians, 0 to pi), through the logarithm of SO(3):
// atan2 of the skew and the symmetric part keeps small angles exact, where
// acos of the trace alone loses half the digits.
double rotationAngle(const Mat3& r);
// The angle of the rotation that carries a onto b.
double rotationAngleBetween(const Mat3& a, const Mat3& b);
// Rodrigues' rotation by `angle` radians about `axis` (any length but zero).
Mat3 rotationAboutAxis(const Vec3& axis, double angle);

using MatrixExtrinsics = std::array<double, 16>;
Pose poseFromMatrixExtrinsics(const MatrixExtrinsics& m);
// The matrix extrinsics that give back `pose`; bottom row 0 0 0 1.
MatrixExtrinsics matrixExtrinsicsFromPose(const Pose& pose);
// `metresPerUnit` scales the position (1e-3 for millimetres); the y axis is z × x.
Pose poseFromCad(const Vec3& plusX, const Vec3& plusZ, const Vec3& position, double metresPerUnit);

}  // namespace ravelin::geometry
