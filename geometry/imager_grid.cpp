#include "geometry/imager_grid.h"

#include <cstddef>

namespace ravelin::geometry {

std::vector<Pixel> imagerGrid(double width, double height, int intervals) {
  if (!(width >= 1.0) || !(height >= 1.0) || intervals < 1) return {};
  const double stepU = (width - 1.0) / intervals;
  const double stepV = (height - 1.0) / intervals;
  std::vector<Pixel> grid;
  grid.reserve(static_cast<std::size_t>(intervals + 1) * static_cast<std::size_t>(intervals + 1));
  for (int row = 0; row <= intervals; ++row) {
    for (int column = 0; column <= intervals; ++column) {
      grid.push_back({column * stepU, row * stepV});
    }
  }
  return grid;
}

}  // namespace ravelin::geometry
