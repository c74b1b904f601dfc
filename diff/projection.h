#pragma once

// Where the points of one camera model land under another: a grid over the
// whole imager is unprojected with the old lens, carried into the new camera
// and projected with the new lens, and the distance in pixels to where each
// point started is measured.

#include <optional>

#include "diff/diff.h"
#include "geometry/kannala_brandt.h"
#include "geometry/vector.h"

namespace ravelin::diff::detail {

// Grid steps per image side: every 1/32 of the side, corner to corner,
// 33 x 33 points.
inline constexpr int kGridIntervals = 32;

struct ImageSize {
  double width;
  double height;
};

struct LensDifference {
  ProjectionFigure intrinsics;    // same pose
  ProjectionFigure bestRotation;  // after the rotation that best aligns the lenses
  double bestRotationDeg = 0.0;
  std::optional<ProjectionFigure> withRotation;  // with `oldToNew`, when given
};

// `oldToNew` carries a ray of the old camera's frame into the new camera's.
LensDifference compareLenses(const geometry::KannalaBrandtLens& older,
                             const geometry::KannalaBrandtLens& newer, const ImageSize& image,
                             const std::optional<geometry::Mat3>& oldToNew);

}  // namespace ravelin::diff::detail
