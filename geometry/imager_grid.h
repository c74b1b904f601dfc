#pragma once

// Sample points over a whole imager, for figures that hold for every pixel.

#include <vector>

#include "geometry/kannala_brandt.h"

namespace ravelin::geometry {

// (intervals + 1)^2 pixel centres from corner to corner, 0 to width - 1 and
// 0 to height - 1, row by row: each step is (side - 1) / intervals. Nothing
// for a side below 1 or no interval.
std::vector<Pixel> imagerGrid(double width, double height, int intervals);

}  // namespace ravelin::geometry
