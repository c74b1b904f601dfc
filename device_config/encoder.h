#pragma once

// Writers of the device config body's variable and fixed pieces.

#include <string_view>

#include "device_config/format.h"
#include "wire/byte_io.h"

namespace ravelin {

// A u32 byte count, then the bytes: no terminator, no padding.
void appendString(Bytes& out, std::string_view text);

// The 290-byte fixed part, field by field in wire order.
void appendEyeTransform(Bytes& out, const EyeTransform& eye);

}  // namespace ravelin
