#pragma once

// The JSON form of the fixed-layout payload records, and the decoder of the
// blocks that carry exactly one such record.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/compact.h"

namespace ravelin {

// Floats widen exactly to double, so a stored 0.1f reads back as 0.10000000149011612.
json floatArrayToJson(std::span<const float> values);

// The name at `index`, or "Unknown" when the table has no such entry.
std::string_view enumerationName(std::span<const std::string_view> names, int index);

json recordToJson(const CadPose& pose);
json recordToJson(const ExtrinsicsMat& matrix);
json recordToJson(const ImuBlockPayload& imu);
json recordToJson(const ExtrinsicsOffsetPayload& offset);
json recordToJson(const CameraThermalLinear& thermal);
json recordToJson(const MetaDataPayload& meta);
json recordToJson(const KbIntrinsics& intrinsics);
json recordToJson(const KbSplineIntrinsics& intrinsics);
json recordToJson(const CadBlockPayload& cad);

[[noreturn]] void throwBlockSizeMismatch(std::string_view typeName, std::size_t recordSize,
                                         std::size_t blockSize);

// Decodes a block whose payload is exactly one R: a shorter payload is a
// truncation, a longer one a "Block type/size mismatch".
template <WireRecord R>
json decode_pod_to_json(const std::uint8_t*& p, const std::uint8_t* end) {
  const std::uint8_t* cursor = p;
  const R record = readPod<R>(cursor, end);
  if (cursor != end) {
    throwBlockSizeMismatch(R::kTypeName, R::kWireSize, static_cast<std::size_t>(end - p));
  }
  p = cursor;
  return recordToJson(record);
}

}  // namespace ravelin
