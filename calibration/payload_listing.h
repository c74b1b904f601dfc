#pragma once

// The inspector's side of the calibration readers: what a block codec reads
// while it inspects a payload becomes elements of the annotation, at the
// offsets where it was read.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "calibration/compact.h"
#include "calibration/strings_optionals.h"
#include "wire/annotation.h"

namespace ravelin {

class PayloadListing {
 public:
  explicit PayloadListing(Annotation& annotation) : annotation_(annotation) {}

  // A block and its payload as its codec reads it. A fault inside the
  // payload is marked where it lies and the rest of the payload shown; the
  // caller's walk goes on after the block, whose frame was whole. A block
  // with `skipWhy` is not read, as the decoder does not read it.
  void listBlock(const TLV& tlv, const std::uint8_t* frame, ByteCursor payload,
                 std::string_view skipWhy = {});

  // What the readers report.
  template <WireRecord R>
  void record(const std::uint8_t* at, std::string_view name, const R&, std::int32_t index = -1) {
    annotation_.addRecord<R>(annotation_.offsetOf(at), name, index);
  }
  template <typename Rule>
  void subBlock(const TLV& tlv, const std::uint8_t* frame, const Rule* rule, ByteCursor payload) {
    listBlock(tlv, frame, payload, rule == nullptr ? kNotASubBlockHere : std::string_view());
  }
  void endMarker(const std::uint8_t* frame);
  void stringEntry(const std::uint8_t* at, std::uint8_t id, const StringId* entry,
                   const std::string& text);
  void optionalMask(const std::uint8_t* at, std::uint64_t mask,
                    std::span<const OptionalField> fields);
  void optionalValue(const std::uint8_t* at, const OptionalField& field, const json&);

 private:
  static constexpr std::string_view kNotASubBlockHere =
      "skipped: the decoder reads no block of this id here";

  Annotation& annotation_;
};

}  // namespace ravelin
