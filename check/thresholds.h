#pragma once

// Every threshold of the plausibility checks, in one table; the ravelin(1)
// page mirrors it. Lengths in metres, angles in radians unless named.

namespace ravelin::thresholds {

// Matrix extrinsics, 4x4 row-major: the bottom row against 0 0 0 1 (error).
inline constexpr double kBottomRowTolerance = 1e-6;

// Rotations of the calibration (the 3x3 block of matrix extrinsics):
// max |R^T R - I|. Solvers and float32 storage stay near 1e-7.
inline constexpr double kRotationDeviationWarning = 1e-5;
inline constexpr double kRotationDeviationError = 1e-3;

// Eye-to-head rotations of a device config are written by hand as
// first-order rotations (cos taken as 1: deviation sin^2 of the angle, 9.8e-4
// for the 1.8 degree cant of the bundled example), so the band starts where
// that shortcut stops being harmless (about 2.6 degrees) and the error where
// no rotation, exact or first-order below about 8 degrees, could be meant.
inline constexpr double kEyeRotationDeviationWarning = 2e-3;
inline constexpr double kEyeRotationDeviationError = 2e-2;

// CAD poses: |plus_x| and |plus_z| against 1, and the cosine between them
// against 0 (error).
inline constexpr double kCadAxisTolerance = 1e-3;

// A head-mounted device is smaller than this: translations of matrix
// extrinsics, positions of CAD-form extrinsics, CAD poses from the head (warning).
inline constexpr double kMaxOffsetMetres = 1;

// Kannala-Brandt intrinsics: fx/fy (warning), and the principal point's
// distance from the image centre as a fraction of the image side (warning).
inline constexpr double kMinFocalRatio = 0.9;
inline constexpr double kMaxFocalRatio = 1.1;
inline constexpr double kMaxPrincipalPointOffCentre = 0.25;

// The image circle, in degrees: (0, kMaxImageCircleDegrees] (warning).
inline constexpr double kMaxImageCircleDegrees = 360;

// IMUs (warnings): scale factors, cross-axis terms, bias magnitudes in m/s^2
// and rad/s.
inline constexpr double kMinScaleFactor = 0.8;
inline constexpr double kMaxScaleFactor = 1.2;
inline constexpr double kMaxCrossAxis = 0.1;
inline constexpr double kMaxAccelBias = 1;
inline constexpr double kMaxGyroBias = 0.2;

}  // namespace ravelin::thresholds
