#include "check/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "check/thresholds.h"

namespace ravelin::check {

namespace {

// Enough halvings to pin a turn far below the printed 0.1 degree.
constexpr int kBisectionSteps = 40;

// d theta_d / d theta, a polynomial in theta^2.
double distortionSlope(const DistortionCoefficients& k, double theta) {
  const double t = theta * theta;
  return 1.0 + t * (3.0 * k[0] + t * (5.0 * k[1] + t * (7.0 * k[2] + t * 9.0 * k[3])));
}

// The slope is positive at `rising` and not at `turned`.
double bisectTurn(const DistortionCoefficients& k, double rising, double turned) {
  for (int i = 0; i < kBisectionSteps; ++i) {
    const double middle = 0.5 * (rising + turned);
    (distortionSlope(k, middle) > 0.0 ? rising : turned) = middle;
  }
  return turned;
}

}  // namespace

double norm(const Vec3& v) {
  return std::sqrt(dot(v, v));
}

double dot(const Vec3& a, const Vec3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double distance(const Vec3& a, const Vec3& b) {
  return norm({a[0] - b[0], a[1] - b[1], a[2] - b[2]});
}

double orthonormalityDeviation(const Mat3& r) {
  double deviation = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) {
      const double column = r[i] * r[j] + r[3 + i] * r[3 + j] + r[6 + i] * r[6 + j];
      deviation = std::max(deviation, std::fabs(column - (i == j ? 1.0 : 0.0)));
    }
  }
  return deviation;
}

double determinant(const Mat3& r) {
  return r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) +
         r[2] * (r[3] * r[7] - r[4] * r[6]);
}

double distortedAngle(const DistortionCoefficients& k, double theta) {
  const double t = theta * theta;
  return theta * (1.0 + t * (k[0] + t * (k[1] + t * (k[2] + t * k[3]))));
}

std::optional<double> firstDistortionTurn(const DistortionCoefficients& k, double maxTheta,
                                          double stopAtDistortedAngle) {
  const double end = maxTheta > 0.0 ? std::min(maxTheta, std::numbers::pi) : 0.0;
  const auto steps = static_cast<int>(std::ceil(end / thresholds::kDistortionSampleStep));
  double previous = 0.0;
  for (int i = 1; i <= steps; ++i) {
    const double theta = std::min(i * thresholds::kDistortionSampleStep, end);
    if (!(distortionSlope(k, theta) > 0.0)) return bisectTurn(k, previous, theta);
    if (distortedAngle(k, theta) >= stopAtDistortedAngle) return std::nullopt;
    previous = theta;
  }
  return std::nullopt;
}

}  // namespace ravelin::check
