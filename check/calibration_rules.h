#pragma once

// The rules of a compact calibration, by subject: the lens against its image,
// the IMU's figures against what sensors achieve, and the rig as a whole.
// checkCompactCalibration runs them all.

#include <optional>
#include <string>

#include "check/document.h"
#include "geometry/field_of_view.h"

namespace ravelin::check {

using geometry::ImageSize;

inline constexpr double kMillimetresPerMetre = 1000.0;

// The number when it is positive; an error, and nothing, when it is not.
std::optional<double> positive(Findings& findings, const Node& node);

// " (slip)" when `converted` (the value read in the unit suspected) lies in
// [low, high], otherwise nothing: a hint at a unit slip is given only where
// the number fits it.
std::string unitSlipHint(double converted, double low, double high, const char* slip);

// A "temperature" object: "min" and "max" in degrees Celsius, in order.
void checkTemperatureRange(Findings& findings, const Node& temperature);

// ---- lenses -----------------------------------------------------------------

// The image circle of a camera, when it is plausible in degrees.
struct ImageCircle {
  Node node;
  std::optional<double> degrees;
};

// The camera's "imageCircleDiameterInDeg", judged in degrees.
ImageCircle imageCircle(Findings& findings, const Node& node);

void checkIntrinsics(Findings& findings, const Node& intrinsics,
                     const std::optional<ImageSize>& image, const ImageCircle& circle);

// "focalLengthThermalModel" against the focal lengths of the camera's first lens.
void checkThermalModel(Findings& findings, const Node& camera);

// ---- IMUs -------------------------------------------------------------------

void checkImu(Findings& findings, const Node& imu);

// ---- the rig ----------------------------------------------------------------

// Matrix or CAD-form extrinsics of one camera or IMU.
void checkExtrinsics(Findings& findings, const Node& extrinsics);

// The CAD section's own poses and units.
void checkCad(Findings& findings, const Node& cad, const Node& cameras, const Node& imus);

// Names, parents, and the poses of cameras and IMUs against each other and
// against the CAD section.
void checkRig(Findings& findings, const Node& root);

}  // namespace ravelin::check
