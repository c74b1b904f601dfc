#pragma once

// Three-vectors and 3x3 matrices (row-major) as plain arrays of doubles: the
// arithmetic every camera model and pose of the documents is judged by.

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace ravelin::geometry {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>;

inline constexpr Mat3 kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};

constexpr double degrees(double radians) {
  return radians * 180.0 / std::numbers::pi;
}
constexpr double radians(double degrees) {
  return degrees * std::numbers::pi / 180.0;
}

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) {
  return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
constexpr Vec3 operator*(double s, const Vec3& v) {
  return {s * v[0], s * v[1], s * v[2]};
}
constexpr double dot(const Vec3& a, const Vec3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
constexpr Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double norm(const Vec3& v) {
  return std::sqrt(dot(v, v));
}
inline double distance(const Vec3& a, const Vec3& b) {
  return norm(a - b);
}

constexpr Vec3 row(const Mat3& m, std::size_t i) {
  return {m[3 * i], m[3 * i + 1], m[3 * i + 2]};
}
constexpr Vec3 column(const Mat3& m, std::size_t j) {
  return {m[j], m[3 + j], m[6 + j]};
}
// The matrix whose columns are a, b and c.
constexpr Mat3 fromColumns(const Vec3& a, const Vec3& b, const Vec3& c) {
  return {a[0], b[0], c[0], a[1], b[1], c[1], a[2], b[2], c[2]};
}
constexpr Mat3 transpose(const Mat3& m) {
  return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
}
constexpr Vec3 operator*(const Mat3& m, const Vec3& v) {
  return {dot(row(m, 0), v), dot(row(m, 1), v), dot(row(m, 2), v)};
}
constexpr Mat3 operator*(const Mat3& a, const Mat3& b) {
  Mat3 product{};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) product[3 * i + j] = dot(row(a, i), column(b, j));
  }
  return product;
}

// max |R^T R - I| over the nine entries: 0 for a rotation or a reflection.
double orthonormalityDeviation(const Mat3& r);
double determinant(const Mat3& r);

}  // namespace ravelin::geometry
