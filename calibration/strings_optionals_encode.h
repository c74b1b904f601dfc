#pragma once

// Builders of the variable-length payloads of a calibration blob: the strings
// entries of cameras, IMUs and metadata, and the optionals of cameras and IMUs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "calibration/strings_optionals.h"

namespace ravelin {

// How many bytes of `text` a strings entry keeps: all of a text up to 65535
// bytes; of a longer one, as many whole UTF-8 characters as fit (a text that
// is not UTF-8 is cut at 65535 bytes).
std::size_t stringEntryLength(std::string_view text);

// Appends one entry (id, u16 length, text bytes), the text cut as above.
void appendStringEntry(Bytes& payload, std::uint8_t id, std::string_view text);

// object[key] as a string when the object has the key, else empty; a present
// value that is not a string is refused by the library.
std::string stringIfPresent(const json& object, std::string_view key);

// "hardwareIdentifier" and the source always (absent ones are refused as
// null), "parent" and the camera's "serial" when present.
Bytes cameraStringsFromJson(const json& camera);
Bytes imuStringsFromJson(const json& imu);
// Only the non-empty ones of "created_by", "device_serial", "date", "hardwareIdentifier".
Bytes metaStringsFromJson(const json& metadata);

// The mask and the present values; empty when no value is present.
Bytes cameraOptionalsFromJson(const json& camera, std::string_view section);
Bytes imuOptionalsFromJson(const json& imu, std::string_view section);

}  // namespace ravelin
