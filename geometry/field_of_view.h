#pragma once

// What a Kannala-Brandt lens shows of its image: the angles the image spans,
// the rays through its border, the field angles of its corners, the size in
// pixels of an image circle, and how far the distortion compresses or
// stretches the field on the way out.

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

// The normalised distorted radius of a pixel: its distance from the principal
// point in focal lengths, which the model makes theta_d itself.
double distortedRadius(const KannalaBrandtLens& lens, const Pixel& pixel);

// Of the four corners of the image (pixel edges, not centres), the one with
// the largest distorted radius.
Pixel farthestCorner(const KannalaBrandtLens& lens, const ImageSize& image);

// The diameter in pixels, at the mean focal length, of the circle of rays up
// to `halfAngle` off the axis.
double imageCircleDiameter(const KannalaBrandtLens& lens, double halfAngle);

// theta_d / theta at one field angle: 1 for an equidistant lens, below 1 where
// the lens compresses the field (fisheyes), above where it stretches it.
struct DistortionRatio {
  double ratio;
  double theta;
};

struct DistortionRatioRange {
  DistortionRatio least;
  DistortionRatio greatest;
};

// The extremes of theta_d / theta over (0, maxTheta], sampled every
// kDistortionSampleStep and at maxTheta itself.
DistortionRatioRange distortionRatioRange(const DistortionCoefficients& k, double maxTheta);

}  // namespace ravelin::geometry
