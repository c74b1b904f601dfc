#pragma once

// The rotation that best carries one bundle of directions onto another, as
// two camera models see the same pixels: what is left between them after it
// is a difference of the lenses, not of their orientation.

#include <span>

#include "geometry/vector.h"

namespace ravelin::geometry {

// The rotation R that minimises sum |R from[i] - to[i]|^2 over the pairs
// (Horn's closed form through unit quaternions, solved by Jacobi sweeps of
// the 4x4 symmetric matrix, so no pair of nearly equal eigenvalues can stall
// it). The identity when there are no pairs; the spans must be of equal size.
Mat3 bestFittingRotation(std::span<const Vec3> from, std::span<const Vec3> to);

}  // namespace ravelin::geometry
