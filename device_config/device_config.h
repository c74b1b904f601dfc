#pragma once

// The device config blob: a flat, fixed-order body behind the shared header.

#include <cstdint>
#include <nlohmann/json.hpp>

#include "wire/annotation.h"
#include "wire/byte_io.h"

namespace ravelin {

using json = nlohmann::json;

// True exactly when the value is an object whose "device" is an object and
// whose "tracking_to_eye_transform" is an array.
bool isDeviceConfigJson(const json& document);

// Validates and encodes a device_config document; throws on the first fault.
Bytes encodeDeviceConfig(const json& document);

// Decodes [begin, end). Returns false when the CRC was compared and did not
// match (the JSON is still stored); structural faults throw and leave `out`
// untouched.
bool decodeDeviceConfig(const std::uint8_t* begin, const std::uint8_t* end, json& out,
                        bool verifyCrc);

// Lists [begin, end) with the decoder's reads and checks, marking the fault
// the decoder would stop at; the body after it is shown as raw bytes.
Annotation inspectDeviceConfig(const std::uint8_t* begin, const std::uint8_t* end);

}  // namespace ravelin
