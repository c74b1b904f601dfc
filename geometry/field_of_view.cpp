#include "geometry/field_of_view.h"

#include <algorithm>
#include <cmath>

namespace ravelin::geometry {

namespace {

// The angle swept from `from` to `to` through the principal point when it
// lies between them along that line.
std::optional<double> sweptAngle(const KannalaBrandtCamera& camera, const Pixel& from,
                                 const Pixel& to, bool principalPointBetween) {
  const std::optional<double> a = camera.fieldAngle(from);
  const std::optional<double> b = camera.fieldAngle(to);
  if (!a || !b) return std::nullopt;
  return principalPointBetween ? *a + *b : std::fabs(*a - *b);
}

bool within(double value, double high) {
  return value >= 0.0 && value <= high;
}

}  // namespace

FieldOfView fieldOfView(const KannalaBrandtCamera& camera, const ImageSize& image) {
  const double cx = camera.lens().cx;
  const double cy = camera.lens().cy;
  const bool betweenX = within(cx, image.width);
  const bool betweenY = within(cy, image.height);
  return {sweptAngle(camera, {0.0, cy}, {image.width, cy}, betweenX),
          sweptAngle(camera, {cx, 0.0}, {cx, image.height}, betweenY),
          sweptAngle(camera, {0.0, 0.0}, {image.width, image.height}, betweenX && betweenY)};
}

std::vector<std::optional<Vec3>> borderRays(const KannalaBrandtCamera& camera,
                                            const ImageSize& image, int samplesPerSide) {
  const Pixel corners[] = {
      {0.0, 0.0}, {image.width, 0.0}, {image.width, image.height}, {0.0, image.height}};
  std::vector<std::optional<Vec3>> rays;
  for (int side = 0; side < 4; ++side) {
    const Pixel& start = corners[side];
    const Pixel& end = corners[(side + 1) % 4];
    for (int i = 0; i < samplesPerSide; ++i) {
      const double t = static_cast<double>(i) / samplesPerSide;
      rays.push_back(
          camera.unproject({start.u + t * (end.u - start.u), start.v + t * (end.v - start.v)}));
    }
  }
  return rays;
}

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
