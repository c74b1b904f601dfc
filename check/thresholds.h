#pragma once

// Every threshold of the plausibility checks, in one table; the ravelin(1)
// page mirrors it. Lengths in metres, angles in radians unless named. Each
// limit says why it lies where it does: a rule that fires on a sound
// calibration is as wrong as one that stays silent on a broken one.

namespace ravelin::thresholds {

// ---- poses ------------------------------------------------------------------

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

// A length is suspected of the wrong unit (millimetres for metres or the
// reverse) only when, read in the other unit, it still spans at least this
// and no more than kMaxOffsetMetres: a 1.76 m vehicle baseline would be
// 1.76 mm, no offset between two sensors, and a sub-millimetre CAD-form offset
// is what a frame placed at its parent's origin leaves.
inline constexpr double kMinUnitSlipMetres = 0.01;

// Two cameras closer than this share one place (warning): the smallest camera
// modules are wider, so their optical centres cannot come nearer.
inline constexpr double kMinCameraBaselineMetres = 0.002;

// The CAD poses are the design the calibration refines: mounts hold a camera
// to about a millimetre and a degree, so a calibrated pose farther than this
// from its CAD pose is another camera, or a pose in the wrong frame (warning).
inline constexpr double kMaxCadDisagreementMetres = 0.02;
inline constexpr double kMaxCadDisagreementDegrees = 5;

// ---- lenses and images ------------------------------------------------------

// Kannala-Brandt intrinsics: fx/fy (warning), and the principal point's
// distance from the image centre as a fraction of the image side (warning).
inline constexpr double kMinFocalRatio = 0.9;
inline constexpr double kMaxFocalRatio = 1.1;
inline constexpr double kMaxPrincipalPointOffCentre = 0.25;

// A lens is centred on its sensor to a few per cent of the side. A principal
// point within kSwappedCentreTolerance of the centre of the transposed image
// (per axis, as a fraction of that side) and more than kSwappedOffCentre from
// this image's centre says width and height, or cx and cy, are swapped
// (warning); a near-square image cannot tell and is never flagged.
inline constexpr double kSwappedCentreTolerance = 0.05;
inline constexpr double kSwappedOffCentre = 0.1;

// The farthest image corner at under this field angle (degrees) is a
// diagonal view of 5 degrees: a 100 mm lens on a half-inch sensor, longer
// than any camera a tracking rig carries (warning: a focal length far too long
// for the image).
inline constexpr double kMinCornerFieldAngleDegrees = 2.5;

// theta_d / theta out to the field angle the image needs (warning). The most
// compressing classical projection, the orthographic fisheye r = f sin(theta),
// reaches 0.64 at 90 degrees and turns there; the most stretching, the
// rectilinear r = f tan(theta), reaches 3 only at a 152 degree diagonal, wider
// than any rectilinear lens is built.
inline constexpr double kMinDistortionRatio = 0.5;
inline constexpr double kMaxDistortionRatio = 3;

// The image circle, in degrees: a lens narrower than 10 degrees is a
// telephoto, which draws no circle, and any diameter written in radians (at
// most 2 pi) lies below (warning).
inline constexpr double kMinImageCircleDegrees = 10;
inline constexpr double kMaxImageCircleDegrees = 360;
// The circle in pixels (at the mean focal length) against the image: a
// circular fisheye fills about its short side, a cropped one overfills the
// diagonal somewhat; a circle under half the short side, or beyond 1.5 times
// the diagonal, does not belong to this image with this focal length (warning).
inline constexpr double kMinImageCircleToShortSide = 0.5;
inline constexpr double kMaxImageCircleToDiagonal = 1.5;

// focalLengthThermalModel gives the focal length at T degrees Celsius as
// slope * T + offset (x and y). Glass and mounts drift by tens of ppm per
// kelvin, well under 1% across any operating range; a model more than 10% from
// the calibrated fx or fy models another focal length (warning).
inline constexpr double kMaxThermalFocalDeviation = 0.1;

// ---- temperatures and times -------------------------------------------------

// Degrees Celsius: the widest qualification ranges of electronic parts
// (military -55 to 125, automotive grade 0 -40 to 150). Any temperature a
// device survives, written in kelvin (above 218), lies above (warning).
inline constexpr double kMinTemperatureCelsius = -55;
inline constexpr double kMaxTemperatureCelsius = 150;

// A camera and an IMU of one device share a clock or are stamped by one
// driver: calibrated offsets are milliseconds (exposure midpoint, filter
// delay). A tenth of a second is three frames at 30 Hz (warning).
inline constexpr double kMaxTimeOffsetSeconds = 0.1;

// ---- IMUs -------------------------------------------------------------------

// Scale factors, cross-axis terms and bias magnitudes in m/s^2 and rad/s
// (warnings).
inline constexpr double kMinScaleFactor = 0.8;
inline constexpr double kMaxScaleFactor = 1.2;
inline constexpr double kMaxCrossAxis = 0.1;
inline constexpr double kMaxAccelBias = 1;
inline constexpr double kMaxGyroBias = 0.2;

// meters_per_accel_unit within this fraction of g or 1/g while the biases are
// already metric: the biases scaled by g twice, or once the wrong way (warning).
inline constexpr double kStandardGravity = 9.80665;
inline constexpr double kUnitScaleTolerance = 0.05;

// Output data rates of MEMS IMUs run from about 12.5 Hz (low-power modes) to
// 32 kHz (the fastest gyroscope outputs of current datasheets); the bounds
// keep a margin on both sides, and a rate written in kHz falls below (warning).
inline constexpr double kMinSamplingRateHz = 10;
inline constexpr double kMaxSamplingRateHz = 100000;

// Noise figures (warnings), each bound two orders or more beyond what the
// sensors achieve, so that a figure six orders off either way is caught and
// a tool's inflated figure (often ten times the datasheet's) is not:
// - gyroscope noise density, deg/s/sqrt(Hz): consumer MEMS datasheets give
//   0.003 to 0.015, tactical-grade MEMS about 0.002, navigation-grade optical
//   gyros 3e-5 (an angle random walk of 0.002 deg/sqrt(h)), per the grade
//   tables of inertial navigation texts;
inline constexpr double kMinGyroNoiseDensity = 1e-5;
inline constexpr double kMaxGyroNoiseDensity = 1;
// - accelerometer noise density, m/s^2/sqrt(Hz): consumer MEMS datasheets give
//   60 to 300 micro-g (6e-4 to 3e-3), navigation-grade accelerometers about
//   10 micro-g (1e-4), per the same tables;
inline constexpr double kMinAccelNoiseDensity = 1e-6;
inline constexpr double kMaxAccelNoiseDensity = 1;
// - gyroscope bias drift per minute, deg/s: from navigation grade (0.01 deg/h
//   of bias instability, 3e-6 deg/s) to the rate random walk of consumer MEMS
//   over a minute (up to about 0.5), beneath the whole zero-rate offset that
//   consumer datasheets allow (1 to 20 deg/s);
inline constexpr double kMinGyroBiasDrift = 1e-6;
inline constexpr double kMaxGyroBiasDrift = 10;
// - accelerometer bias drift per minute, m/s^2: from navigation grade (a few
//   micro-g, 3e-5) to consumer MEMS (under 0.1), beneath the zero-g offset that
//   consumer datasheets allow (20 to 100 milli-g, up to 1).
inline constexpr double kMinAccelBiasDrift = 1e-6;
inline constexpr double kMaxAccelBiasDrift = 1;

}  // namespace ravelin::thresholds
