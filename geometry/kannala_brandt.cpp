#include "geometry/kannala_brandt.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin::geometry {

namespace {

// Enough halvings to pin a turn far below a printed 0.1 degree.
constexpr int kBisectionSteps = 40;
// Newton converges in a handful of steps on a rising curve; the bracket
// guarantees progress when the slope is nearly flat.
constexpr int kMaxNewtonSteps = 100;
constexpr double kAngleTolerance = 1e-15;
// A pixel computed from a ray at the very edge of the valid region may come
// back a rounding error beyond the edge's radius; it still belongs inside.
constexpr double kEdgeRoundingAllowance = 1e-12;

// The slope is positive at `rising` and not at `turned`.
double bisectTurn(const DistortionCoefficients& k, double rising, double turned) {
  for (int i = 0; i < kBisectionSteps; ++i) {
    const double middle = 0.5 * (rising + turned);
    (distortionSlope(k, middle) > 0.0 ? rising : turned) = middle;
  }
  return turned;
}

bool hasPositiveFocalLengths(const KannalaBrandtLens& lens) {
  return lens.fx > 0.0 && lens.fy > 0.0;
}

}  // namespace

double distortedAngle(const DistortionCoefficients& k, double theta) {
  const double t = theta * theta;
  return theta * (1.0 + t * (k[0] + t * (k[1] + t * (k[2] + t * k[3]))));
}

double distortionSlope(const DistortionCoefficients& k, double theta) {
  const double t = theta * theta;
  return 1.0 + t * (3.0 * k[0] + t * (5.0 * k[1] + t * (7.0 * k[2] + t * 9.0 * k[3])));
}

std::optional<double> firstDistortionTurn(const DistortionCoefficients& k, double maxTheta,
                                          double stopAtDistortedAngle) {
  const double end = maxTheta > 0.0 ? std::min(maxTheta, std::numbers::pi) : 0.0;
  const auto steps = static_cast<int>(std::ceil(end / kDistortionSampleStep));
  double previous = 0.0;
  for (int i = 1; i <= steps; ++i) {
    const double theta = std::min(i * kDistortionSampleStep, end);
    if (!(distortionSlope(k, theta) > 0.0)) return bisectTurn(k, previous, theta);
    if (distortedAngle(k, theta) >= stopAtDistortedAngle) return std::nullopt;
    previous = theta;
  }
  return std::nullopt;
}

double monotonicLimit(const DistortionCoefficients& k) {
  const double noStop = std::numeric_limits<double>::infinity();
  return firstDistortionTurn(k, std::numbers::pi, noStop).value_or(std::numbers::pi);
}

std::optional<double> undistortedAngle(const DistortionCoefficients& k, double distorted,
                                       double limit) {
  const double edge = distortedAngle(k, limit);
  if (!(distorted >= 0.0) || !(distorted <= edge * (1.0 + kEdgeRoundingAllowance))) {
    return std::nullopt;
  }
  if (distorted >= edge) return limit;
  double low = 0.0;
  double high = limit;
  double theta = std::clamp(distorted, low, high);
  for (int i = 0; i < kMaxNewtonSteps; ++i) {
    const double excess = distortedAngle(k, theta) - distorted;
    if (excess == 0.0) return theta;
    (excess > 0.0 ? high : low) = theta;
    const double slope = distortionSlope(k, theta);
    double next = slope > 0.0 ? theta - excess / slope : low - 1.0;
    if (!(next > low && next < high)) next = 0.5 * (low + high);
    if (std::fabs(next - theta) <= kAngleTolerance) return next;
    theta = next;
  }
  return theta;
}

KannalaBrandtCamera::KannalaBrandtCamera(const KannalaBrandtLens& lens)
    : lens_(lens), limit_(monotonicLimit(lens.k)) {}

std::optional<Pixel> KannalaBrandtCamera::project(const Vec3& ray) const {
  const double rho = std::hypot(ray[0], ray[1]);
  if (!hasPositiveFocalLengths(lens_) || (rho == 0.0 && ray[2] == 0.0)) return std::nullopt;
  const double theta = std::atan2(rho, ray[2]);
  if (theta > limit_) return std::nullopt;
  const double scale = rho > 0.0 ? distortedAngle(lens_.k, theta) / rho : 0.0;
  return Pixel{lens_.fx * scale * ray[0] + lens_.cx, lens_.fy * scale * ray[1] + lens_.cy};
}

std::optional<Vec3> KannalaBrandtCamera::unproject(const Pixel& pixel) const {
  if (!hasPositiveFocalLengths(lens_)) return std::nullopt;
  const double mx = (pixel.u - lens_.cx) / lens_.fx;
  const double my = (pixel.v - lens_.cy) / lens_.fy;
  const double radius = std::hypot(mx, my);
  const std::optional<double> theta = undistortedAngle(lens_.k, radius, limit_);
  if (!theta) return std::nullopt;
  if (radius == 0.0) return Vec3{0.0, 0.0, 1.0};
  const double sideways = std::sin(*theta) / radius;
  return Vec3{sideways * mx, sideways * my, std::cos(*theta)};
}

std::optional<double> KannalaBrandtCamera::fieldAngle(const Pixel& pixel) const {
  const std::optional<Vec3> ray = unproject(pixel);
  if (!ray) return std::nullopt;
  return std::atan2(std::hypot((*ray)[0], (*ray)[1]), (*ray)[2]);
}

}  // namespace ravelin::geometry
