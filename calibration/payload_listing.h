#pragma once

// The inspector's side of the calibration readers: what a block codec reads
// while it inspects a payload becomes elements of the annotation, at the
// offsets where it was read.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/compact.h"
#include "calibration/strings_optionals.h"
#include "wire/annotation.h"

namespace ravelin {

class PayloadListing {
 public:
  // `end` is the end of the walk at the top: the blob's.
  PayloadListing(Annotation& annotation, const std::uint8_t* end)
      : annotation_(annotation), rangeEnds_{end} {}

  // A block and its payload as its codec reads it; returns where the walk
  // goes on. A fault inside the payload is marked where it lies and the
  // rest of the payload shown, and the walk goes on after the block when a
  // plausible frame starts there. When none does but one starts a few
  // bytes either side, and the block reads whole up to it, the block's size
  // is what is wrong: the block is listed as far as that frame, the fault
  // marked at its size, and the walk goes on there. Otherwise the rest of
  // the walk's range is listed as unread. A block with `skipWhy` is not
  // read, as the decoder does not read it.
  const std::uint8_t* listBlock(const TLV& tlv, const std::uint8_t* frame, ByteCursor payload,
                                std::string_view skipWhy = {});
  // Whether the walk at the top stopped at a fault with no frame to go on at.
  bool walkAbandoned() const { return walkAbandoned_; }

  // What the readers report.
  template <WireRecord R>
  void record(const std::uint8_t* at, std::string_view name, const R&, std::int32_t index = -1) {
    annotation_.addRecord<R>(annotation_.offsetOf(at), name, index);
  }
  template <typename Rule>
  const std::uint8_t* subBlock(const TLV& tlv, const std::uint8_t* frame, const Rule* rule,
                               ByteCursor payload) {
    return listBlock(tlv, frame, payload, rule == nullptr ? kNotASubBlockHere : std::string_view());
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

  // Lists the block as far as `payload` reaches, with `sizeFault` first when
  // given; returns the message of the fault that stopped its codec, if one did.
  std::optional<std::string> listPayload(const TLV& tlv, const std::uint8_t* frame,
                                         ByteCursor payload, std::string_view skipWhy,
                                         const BlobFault* sizeFault = nullptr);

  Annotation& annotation_;
  std::vector<const std::uint8_t*> rangeEnds_;  // the ends of the walks under way
  bool walkAbandoned_ = false;
};

}  // namespace ravelin
