#include "geometry/field_of_view.h"

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

}  // namespace ravelin::geometry
