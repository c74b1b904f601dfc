#pragma once

#include "calibration/compact.h"

namespace ravelin {

// Decodes a whole calibration blob into the compact calibration JSON. Returns
// false when the CRC was checked and did not match (the JSON is still stored);
// structural faults throw and leave `out` untouched.
bool decodeCalibration(const Bytes& blob, json& out, bool verifyCrc);

}  // namespace ravelin
