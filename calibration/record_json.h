#pragma once

// The JSON form of the calibration records (their generic form, read off
// their field descriptions, and the CAD block's), and the reader of the
// blocks that carry exactly one record.

#include <cstdint>
#include <string_view>

#include "calibration/compact.h"
#include "wire/record_json.h"

namespace ravelin {

json recordToJson(const CadBlockPayload& cad);

// A visitor for the readers that wants none of what they report: a decoder
// that builds its JSON from what they return.
struct UnlistedReads {
  template <WireRecord R>
  void record(const std::uint8_t*, std::string_view, const R&, std::int32_t = -1) {}
};

[[noreturn]] void throwBlockSizeMismatch(std::string_view typeName, std::size_t recordSize,
                                         const ByteCursor& rest);

// Reads a payload that is exactly one R and reports it to `visitor`: a
// shorter payload is a truncation, a longer one a "Block type/size mismatch".
template <WireRecord R, typename Visitor>
R readSoleRecord(ByteCursor& payload, Visitor& visitor) {
  const std::uint8_t* at = payload.position();
  const R record = readPod<R>(payload);
  visitor.record(at, {}, record);
  if (!payload.atEnd()) throwBlockSizeMismatch(R::kTypeName, R::kWireSize, payload);
  return record;
}

template <WireRecord R>
json decode_pod_to_json(const std::uint8_t*& p, const std::uint8_t* end) {
  ByteCursor payload(p, end);
  UnlistedReads unlisted;
  const R record = readSoleRecord<R>(payload, unlisted);
  p = payload.position();
  return recordToJson(record);
}

}  // namespace ravelin
