#pragma once

// Every tolerance of the comparison of two calibrations, in one table; the
// ravelin(1) page mirrors it. A change at or below its tolerance is "within";
// one above it is "beyond".

namespace ravelin::diff {

// Half a pixel, for where a point lands: a sound recalibration of the same
// lens reproduces its projection to a few tenths of a pixel (reprojection
// errors of 0.1 to 0.3 px), so a point that moves further has really moved.
// Used for the projection with the extrinsic rotation and for the intrinsics
// alone.
inline constexpr double kProjectionPx = 0.5;

// Degrees: 0.05 deg turns a ray by 8.7e-4 rad, which moves a point near the
// image centre by 0.24 px at the 280 px focal length of the bundled cameras
// and by 0.4 px at 460 px, inside the projection tolerance.
inline constexpr double kRotationDeg = 0.05;

// Millimetres: 0.5 mm is under 1 % of a stereo baseline of 60 to 110 mm,
// and moves a point 1 m away by 0.14 px at a focal length of 280 px.
inline constexpr double kTranslationMm = 0.5;

// m/s^2: an accelerometer bias change of 0.05 m/s^2 tilts the gravity
// estimate by 0.3 deg (0.05 / 9.81 rad), the order of the rotation tolerance.
inline constexpr double kAccelBias = 0.05;

// Degrees per second: a gyroscope bias change of 0.05 deg/s drifts the
// heading by 3 degrees a minute between visual updates.
inline constexpr double kGyroBiasDegPerSec = 0.05;

// Parts per million of a scale factor (or cross-axis term): 500 ppm of a
// 100 deg/s head turn is 0.05 deg/s, the gyroscope bias tolerance, and of
// gravity 0.005 m/s^2, a tenth of the accelerometer's.
inline constexpr double kScalePpm = 500;

struct Tolerances {
  double projectionPx = kProjectionPx;            // with the extrinsic rotation, maximum
  double intrinsicsProjectionPx = kProjectionPx;  // intrinsics alone, maximum
  double rotationDeg = kRotationDeg;
  double translationMm = kTranslationMm;
  double accelBias = kAccelBias;  // m/s^2
  double gyroBiasDegPerSec = kGyroBiasDegPerSec;
  double scalePpm = kScalePpm;
};

}  // namespace ravelin::diff
