#pragma once

#include <cstdint>
#include <span>

#include "calibration/compact.h"
#include "wire/annotation.h"

namespace ravelin {

// Decodes a whole calibration blob into the compact calibration JSON. Returns
// false when the CRC was checked and did not match (the JSON is still stored);
// structural faults throw and leave `out` untouched.
bool decodeCalibration(const Bytes& blob, json& out, bool verifyCrc);

// Lists a whole calibration blob with the decoder's reads and checks: each
// fault the decoder would stop at is marked, and the walk goes on after the
// block that holds it when that block's frame was whole.
Annotation inspectCalibration(std::span<const std::uint8_t> blob);
// The annotation reads from the blob: a temporary one would be gone.
Annotation inspectCalibration(Bytes&& blob) = delete;

}  // namespace ravelin
