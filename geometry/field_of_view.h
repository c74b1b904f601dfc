#pragma once

// What a lens sees of its image, from the camera model alone: the angles its
// image spans and the rays through the image's border.

#include <optional>
#include <vector>

#include "geometry/kannala_brandt.h"
#include "geometry/vector.h"

namespace ravelin::geometry {

struct ImageSize {
  double width;
  double height;
};

// Full angles (radians) that the image spans through its principal point:
// from the left to the right edge, the top to the bottom edge, and the
// top-left to the bottom-right corner. Each is the sum of the two field
// angles when the principal point lies between the two ends, their
// difference when it lies outside, and nothing when an end lies beyond the
// model's valid region.
struct FieldOfView {
  std::optional<double> horizontal;
  std::optional<double> vertical;
  std::optional<double> diagonal;
};

FieldOfView fieldOfView(const KannalaBrandtCamera& camera, const ImageSize& image);

// The unit rays through `samplesPerSide` evenly spaced points of each side of
// the image border, clockwise from the top-left corner; nothing for a point
// beyond the model's valid region.
std::vector<std::optional<Vec3>> borderRays(const KannalaBrandtCamera& camera,
                                            const ImageSize& image, int samplesPerSide);

}  // namespace ravelin::geometry
