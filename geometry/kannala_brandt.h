#pragma once

// The Kannala-Brandt fisheye model: a ray at field angle theta from the
// optical axis lands at normalised radius theta_d(theta) =
// theta + k1 theta^3 + k2 theta^5 + k3 theta^7 + k4 theta^9, then
// u = fx * theta_d * x / rho + cx and v = fy * theta_d * y / rho + cy.
// The model is trusted from the axis out to the first angle where theta_d
// stops rising (or to pi): beyond it two field angles share one radius and no
// pixel can be unprojected.

#include <array>
#include <optional>

#include "geometry/vector.h"

namespace ravelin::geometry {

// k1..k4; kb_spline's base curve has k4 = 0.
using DistortionCoefficients = std::array<double, 4>;

// The slope is sampled this finely (radians) on its way out; a turn found
// between two samples is then located by bisection.
inline constexpr double kDistortionSampleStep = 1e-3;

double distortedAngle(const DistortionCoefficients& k, double theta);
// d theta_d / d theta.
double distortionSlope(const DistortionCoefficients& k, double theta);

// Walks theta out from 0 to `maxTheta` (radians, at most pi), stopping early
// once theta_d reaches `stopAtDistortedAngle`, and returns the first angle
// on the way where theta_d stops increasing; nothing when it rises all the way.
std::optional<double> firstDistortionTurn(const DistortionCoefficients& k, double maxTheta,
                                          double stopAtDistortedAngle);

// The field angle up to which theta_d rises: its first turn, or pi.
double monotonicLimit(const DistortionCoefficients& k);

// The theta in [0, limit] whose theta_d is `distorted`, by Newton's method
// kept inside a shrinking bracket; nothing when no such theta exists there.
std::optional<double> undistortedAngle(const DistortionCoefficients& k, double distorted,
                                       double limit);

struct Pixel {
  double u;
  double v;
};

struct KannalaBrandtLens {
  double fx;
  double fy;
  double cx;
  double cy;
  DistortionCoefficients k;
};

class KannalaBrandtCamera {
 public:
  explicit KannalaBrandtCamera(const KannalaBrandtLens& lens);

  const KannalaBrandtLens& lens() const { return lens_; }
  // The largest field angle the model maps one to one (radians).
  double validFieldAngle() const { return limit_; }

  // Nothing for the zero vector, a ray beyond the valid field angle, or a
  // lens whose focal lengths are not positive.
  std::optional<Pixel> project(const Vec3& ray) const;
  // The unit ray of a pixel; nothing where the pixel lies beyond the image of
  // the valid field angle.
  std::optional<Vec3> unproject(const Pixel& pixel) const;
  // The field angle (radians) of a pixel's ray.
  std::optional<double> fieldAngle(const Pixel& pixel) const;

 private:
  KannalaBrandtLens lens_;
  double limit_;
};

}  // namespace ravelin::geometry
