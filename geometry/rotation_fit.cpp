#include "geometry/rotation_fit.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace ravelin::geometry {

namespace {

using Mat4 = std::array<std::array<double, 4>, 4>;

// Cyclic Jacobi converges quadratically: a 4x4 matrix is diagonal to the last
// bit within a handful of sweeps, far fewer than this.
constexpr int kMaxSweeps = 50;

// Horn's N: its eigenvector of the largest eigenvalue is the unit quaternion
// of the best rotation. s[a][b] sums from_a * to_b.
Mat4 hornMatrix(const std::array<Vec3, 3>& s) {
  const double xx = s[0][0], xy = s[0][1], xz = s[0][2];
  const double yx = s[1][0], yy = s[1][1], yz = s[1][2];
  const double zx = s[2][0], zy = s[2][1], zz = s[2][2];
  return {{{xx + yy + zz, yz - zy, zx - xz, xy - yx},
           {yz - zy, xx - yy - zz, xy + yx, zx + xz},
           {zx - xz, xy + yx, -xx + yy - zz, yz + zy},
           {xy - yx, zx + xz, yz + zy, -xx - yy + zz}}};
}

double offDiagonalSquares(const Mat4& a) {
  double sum = 0.0;
  for (std::size_t p = 0; p < 4; ++p) {
    for (std::size_t q = p + 1; q < 4; ++q) sum += a[p][q] * a[p][q];
  }
  return sum;
}

// One Jacobi rotation in the (p, q) plane that zeroes a[p][q], applied to
// `a` on both sides and to the eigenvector columns of `v`.
void annihilate(Mat4& a, Mat4& v, std::size_t p, std::size_t q) {
  const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
  const double t = std::copysign(1.0, theta) / (std::fabs(theta) + std::hypot(theta, 1.0));
  const double c = 1.0 / std::hypot(t, 1.0);
  const double s = t * c;
  for (std::size_t k = 0; k < 4; ++k) {
    const double kp = a[k][p];
    const double kq = a[k][q];
    a[k][p] = c * kp - s * kq;
    a[k][q] = s * kp + c * kq;
  }
  for (std::size_t k = 0; k < 4; ++k) {
    const double pk = a[p][k];
    const double qk = a[q][k];
    a[p][k] = c * pk - s * qk;
    a[q][k] = s * pk + c * qk;
  }
  for (std::size_t k = 0; k < 4; ++k) {
    const double kp = v[k][p];
    const double kq = v[k][q];
    v[k][p] = c * kp - s * kq;
    v[k][q] = s * kp + c * kq;
  }
}

// The eigenvector of the largest eigenvalue of a symmetric matrix.
std::array<double, 4> principalEigenvector(Mat4 a) {
  Mat4 v{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  for (int sweep = 0; sweep < kMaxSweeps && offDiagonalSquares(a) > 0.0; ++sweep) {
    for (std::size_t p = 0; p < 4; ++p) {
      for (std::size_t q = p + 1; q < 4; ++q) {
        if (a[p][q] != 0.0) annihilate(a, v, p, q);
      }
    }
  }
  std::size_t largest = 0;
  for (std::size_t i = 1; i < 4; ++i) {
    if (a[i][i] > a[largest][largest]) largest = i;
  }
  return {v[0][largest], v[1][largest], v[2][largest], v[3][largest]};
}

Mat3 rotationOfQuaternion(std::array<double, 4> q) {
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(length > 0.0)) return kIdentity;
  for (double& component : q) component /= length;
  const auto [w, x, y, z] = q;
  return {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
          2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
          2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
}

}  // namespace

Mat3 bestFittingRotation(std::span<const Vec3> from, std::span<const Vec3> to) {
  std::array<Vec3, 3> sums{};
  for (std::size_t i = 0; i < from.size() && i < to.size(); ++i) {
    for (std::size_t a = 0; a < 3; ++a) {
      for (std::size_t b = 0; b < 3; ++b) sums[a][b] += from[i][a] * to[i][b];
    }
  }
  return rotationOfQuaternion(principalEigenvector(hornMatrix(sums)));
}

}  // namespace ravelin::geometry
