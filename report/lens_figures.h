#pragma once

// The figures and numbers of one lens model over its image.

#include <string>
#include <vector>

#include "geometry/field_of_view.h"
#include "geometry/kannala_brandt.h"

namespace ravelin::report {

// The distorted grid over the image rectangle and the radial curve; `id`
// makes the figures' element ids unique on the page.
void appendLensFigures(std::string& out, const geometry::KannalaBrandtCamera& lens,
                       const geometry::ImageSize& image, const std::string& id);

// Field of view and the angle out to which the model is one to one.
void appendLensNumbers(std::string& out, const geometry::KannalaBrandtCamera& lens,
                       const geometry::ImageSize& image);

// A kb_spline correction grid: node (i, j) lies at (i spacingX, j spacingY)
// pixels and carries the correction (du, dv) in pixels.
struct SplineGrid {
  struct Node {
    double u;
    double v;
    double du;
    double dv;
  };
  double spacingX;
  double spacingY;
  std::vector<Node> nodes;
};

void appendSplineFigure(std::string& out, const SplineGrid& grid, const geometry::ImageSize& image,
                        const std::string& id);

}  // namespace ravelin::report
