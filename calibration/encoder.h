#pragma once

#include "calibration/compact.h"

namespace ravelin {

// Encodes a compact calibration (one that passed isCompactCalibrationJson)
// into a complete calibration blob. Throws on any fault; never returns a
// partial blob.
Bytes encodeCompactCalibration(const json& document);

// The recognition test every command runs before encoding a calibration;
// logs its reason at error level when it answers false.
bool isCompactCalibrationJson(const json& document);

// True for an object holding "plus_x", "plus_z" and "position", whatever their values.
bool extrinsicsAreInCadFormat(const json& extrinsics);

}  // namespace ravelin
