#include "geometry/pose.h"

#include <algorithm>
#include <cmath>

namespace ravelin::geometry {

Vec3 apply(const Pose& pose, const Vec3& point) {
  return pose.rotation * point + pose.translation;
}

Pose compose(const Pose& outer, const Pose& inner) {
  return {outer.rotation * inner.rotation, apply(outer, inner.translation)};
}

Pose inverse(const Pose& pose) {
  const Mat3 back = transpose(pose.rotation);
  return {back, -1.0 * (back * pose.translation)};
}

double rotationAngle(const Mat3& r) {
  const Vec3 skew{r[7] - r[5], r[2] - r[6], r[3] - r[1]};
  const double cosine = 0.5 * (r[0] + r[4] + r[8] - 1.0);
  return std::atan2(0.5 * norm(skew), std::clamp(cosine, -1.0, 1.0));
}

double rotationAngleBetween(const Mat3& a, const Mat3& b) {
  return rotationAngle(transpose(a) * b);
}

Mat3 rotationAboutAxis(const Vec3& axis, double angle) {
  const Vec3 u = (1.0 / norm(axis)) * axis;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1.0 - c;
  return {t * u[0] * u[0] + c,        t * u[0] * u[1] - s * u[2], t * u[0] * u[2] + s * u[1],
          t * u[0] * u[1] + s * u[2], t * u[1] * u[1] + c,        t * u[1] * u[2] - s * u[0],
          t * u[0] * u[2] - s * u[1], t * u[1] * u[2] + s * u[0], t * u[2] * u[2] + c};
}

Pose poseFromMatrixExtrinsics(const MatrixExtrinsics& m) {
  const Pose parentToObject{{m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]},
                            {m[3], m[7], m[11]}};
  return inverse(parentToObject);
}

MatrixExtrinsics matrixExtrinsicsFromPose(const Pose& pose) {
  const Pose p = inverse(pose);
  const Mat3& r = p.rotation;
  const Vec3& t = p.translation;
  return {r[0], r[1], r[2], t[0], r[3], r[4], r[5], t[1], r[6], r[7], r[8], t[2], 0, 0, 0, 1};
}

Pose poseFromCad(const Vec3& plusX, const Vec3& plusZ, const Vec3& position, double metresPerUnit) {
  return {fromColumns(plusX, cross(plusZ, plusX), plusZ), metresPerUnit * position};
}

}  // namespace ravelin::geometry
