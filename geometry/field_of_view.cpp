#include "geometry/field_of_view.h"

#include <algorithm>
#include <cmath>

namespace ravelin::geometry {

double distortedRadius(const KannalaBrandtLens& lens, const Pixel& pixel) {
  return std::hypot((pixel.u - lens.cx) / lens.fx, (pixel.v - lens.cy) / lens.fy);
}

Pixel farthestCorner(const KannalaBrandtLens& lens, const ImageSize& image) {
  Pixel farthest{0.0, 0.0};
  for (const double u : {0.0, image.width}) {
    for (const double v : {0.0, image.height}) {
      if (distortedRadius(lens, {u, v}) > distortedRadius(lens, farthest)) farthest = {u, v};
    }
  }
  return farthest;
}

double imageCircleDiameter(const KannalaBrandtLens& lens, double halfAngle) {
  return (lens.fx + lens.fy) * distortedAngle(lens.k, halfAngle);
}

DistortionRatioRange distortionRatioRange(const DistortionCoefficients& k, double maxTheta) {
  // Near the axis the ratio is 1 whatever the coefficients.
  DistortionRatioRange range{{1.0, 0.0}, {1.0, 0.0}};
  const auto steps = static_cast<int>(std::ceil(std::max(maxTheta, 0.0) / kDistortionSampleStep));
  for (int i = 1; i <= steps; ++i) {
    const double theta = std::min(i * kDistortionSampleStep, maxTheta);
    const DistortionRatio here{distortedAngle(k, theta) / theta, theta};
    if (here.ratio < range.least.ratio) range.least = here;
    if (here.ratio > range.greatest.ratio) range.greatest = here;
  }
  return range;
}

}  // namespace ravelin::geometry
