#include "geometry/vector.h"

#include <algorithm>

namespace ravelin::geometry {

double orthonormalityDeviation(const Mat3& r) {
  double deviation = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) {
      const double product = dot(column(r, i), column(r, j));
      deviation = std::max(deviation, std::fabs(product - (i == j ? 1.0 : 0.0)));
    }
  }
  return deviation;
}

double determinant(const Mat3& r) {
  return dot(row(r, 0), cross(row(r, 1), row(r, 2)));
}

}  // namespace ravelin::geometry
