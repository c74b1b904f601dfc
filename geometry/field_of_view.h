#pragma once

// What a Kannala-Brandt lens shows of its image: the field angles of the
// image's corners, the size in pixels of an image circle, and how far the
// distortion compresses or stretches the field on the way out.

#include "geometry/kannala_brandt.h"

namespace ravelin::geometry {

struct ImageSize {
  double width;
  double height;
};

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
