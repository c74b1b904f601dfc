#include "calibration/payload_listing.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "calibration/block_codecs.h"

namespace ravelin {

namespace {

std::string blockNote(const TLV& tlv) {
  std::string note = "id " + std::to_string(tlv.id) + ", payload " + byteCount(tlv.size);
  if (tlv.reserved != 0) note += ", reserved " + std::to_string(tlv.reserved) + " (ignored)";
  return note;
}

template <WireScalar T>
Element& addOptionalValue(Annotation& annotation, std::size_t offset, const OptionalField& field) {
  Element& element = annotation.addScalar<T>(offset, field.key);
  element.qualifier = field.subKey;
  return element;
}

}  // namespace

std::optional<std::string> PayloadListing::listPayload(const TLV& tlv, const std::uint8_t* frame,
                                                       ByteCursor payload, std::string_view skipWhy,
                                                       const BlobFault* sizeFault) {
  Annotation& annotation = annotation_;
  const std::size_t depth = annotation.depth();
  const std::size_t payloadStart = annotation.offsetOf(payload.position());
  const std::size_t payloadEnd = payloadStart + payload.remaining();
  const auto id = static_cast<BlockId>(tlv.id);
  const std::unique_ptr<BlockCodec> codec = skipWhy.empty() ? makeBlockCodec(id) : nullptr;
  std::string note = blockNote(tlv);
  if (!codec) {
    note += ", ";
    note += skipWhy.empty() ? "skipped: the decoder has no reader for this id" : skipWhy;
  }
  Element& block = annotation.open(annotation.offsetOf(frame), TLV::kWireSize + payload.remaining(),
                                   blockName(id), annotation.nextIndex());
  block.valueOffset = payloadStart;
  block.note = std::move(note);
  if (sizeFault != nullptr) annotation.addFault(*sizeFault, 0, 0);
  std::optional<std::string> fault;
  if (!codec) {
    annotation.addBytes(payloadStart, payloadEnd);
  } else {
    rangeEnds_.push_back(payload.end());
    try {
      codec->inspect(payload, *this);
    } catch (const std::runtime_error& error) {
      annotation.addFault(error, payloadStart, payloadEnd);
      fault = error.what();
    }
    rangeEnds_.pop_back();
  }
  annotation.closeTo(depth);
  return fault;
}

namespace {

// Bytes either side of where a block's size ends it that are searched for
// the frame it should have ended at: a size miscounted by a field or two.
constexpr std::size_t kSizeErrorReach = 16;
// Sizes tried on the codec: each try reads the payload again.
constexpr int kMaxSizesTried = 2;
// Where the size field lies in a frame.
constexpr std::size_t kTlvSizeOffset = 4;

// A frame of an id that names a block, its reserved bytes zero; none for
// fewer than its bytes.
std::optional<TLV> knownFrame(ByteCursor& cursor) {
  if (cursor.remaining() < TLV::kWireSize) return std::nullopt;
  const TLV tlv = readRecord<TLV>(cursor);
  const bool known = blockName(static_cast<BlockId>(tlv.id)) != blockName(BlockId{});
  return known && tlv.reserved == 0 ? std::optional(tlv) : std::nullopt;
}

// Whether a walk that ends at `end` may go on at `at`: there it ends, or a
// known frame starts whose payload fits and after which the walk ends or
// another known frame starts; an END marker with an empty payload will do.
bool plausibleFrameAt(const std::uint8_t* at, const std::uint8_t* end) {
  if (at == end) return true;
  ByteCursor cursor(at, end);
  const std::optional<TLV> tlv = knownFrame(cursor);
  if (!tlv) return false;
  if (tlv->id == static_cast<std::uint16_t>(BlockId::END)) return tlv->size == 0;
  if (tlv->size > cursor.remaining()) return false;
  cursor.skip(tlv->size);
  return cursor.atEnd() || knownFrame(cursor).has_value();
}

bool readsWhole(BlockId id, ByteCursor payload) {
  try {
    decodeBlockPayload(id, payload);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

// Where the block should have ended: the plausible frame nearest its end
// within kSizeErrorReach, if its payload reads whole up to there.
const std::uint8_t* trueEnd(BlockId id, ByteCursor payload, const std::uint8_t* rangeEnd) {
  const std::uint8_t* start = payload.position();
  const std::size_t claimed = payload.remaining();
  const auto room = static_cast<std::size_t>(rangeEnd - start);
  int tries = 0;
  for (std::size_t distance = 1; distance <= kSizeErrorReach; ++distance) {
    for (const bool longer : {false, true}) {
      if (distance > (longer ? room - claimed : claimed)) continue;
      const std::size_t size = longer ? claimed + distance : claimed - distance;
      if (!plausibleFrameAt(start + size, rangeEnd)) continue;
      if (readsWhole(id, ByteCursor(start, start + size))) return start + size;
      if (++tries == kMaxSizesTried) return nullptr;
    }
  }
  return nullptr;
}

}  // namespace

const std::uint8_t* PayloadListing::listBlock(const TLV& tlv, const std::uint8_t* frame,
                                              ByteCursor payload, std::string_view skipWhy) {
  const Annotation::Mark beforeBlock = annotation_.mark();
  const std::optional<std::string> fault = listPayload(tlv, frame, payload, skipWhy);
  const std::uint8_t* rangeEnd = rangeEnds_.back();
  if (!fault || plausibleFrameAt(payload.end(), rangeEnd)) return payload.end();
  const auto id = static_cast<BlockId>(tlv.id);
  if (const std::uint8_t* end = trueEnd(id, payload, rangeEnd)) {
    annotation_.rollback(beforeBlock);
    const ByteCursor truePayload(payload.position(), end);
    const BlobFault sizeFault(
        *fault, frame + kTlvSizeOffset,
        "a size of " + byteCount(truePayload.remaining()) + ", where the next frame starts",
        byteCount(tlv.size));
    listPayload(tlv, frame, truePayload, skipWhy, &sizeFault);
    return end;
  }
  listUnread(annotation_, annotation_.offsetOf(payload.end()), annotation_.offsetOf(rangeEnd),
             "not read: no block frame that makes sense follows the fault");
  walkAbandoned_ = walkAbandoned_ || rangeEnds_.size() == 1;
  return rangeEnd;
}

void PayloadListing::endMarker(const std::uint8_t* frame) {
  annotation_
      .add(annotation_.offsetOf(frame), TLV::kWireSize, blockName(BlockId::END),
           annotation_.nextIndex())
      .note = "end marker";
}

void PayloadListing::stringEntry(const std::uint8_t* at, std::uint8_t id, const StringId* entry,
                                 const std::string& text) {
  constexpr std::size_t kEntryHeader = 3;  // id (u8) and length (u16)
  Element& element = annotation_.addText(annotation_.offsetOf(at), kEntryHeader, text.size(),
                                         entry != nullptr ? entry->key : "unnamed");
  element.note = "id " + std::to_string(id);
  if (entry == nullptr) element.note += ": no key for this id, skipped";
}

void PayloadListing::optionalMask(const std::uint8_t* at, std::uint64_t mask,
                                  std::span<const OptionalField> fields) {
  const std::size_t offset = annotation_.offsetOf(at);
  Element& element = annotation_.open(offset, sizeof mask, "mask");
  element.valueOffset = offset;
  element.count = 1;
  element.type = ValueType::U64;
  element.hex = true;
  std::uint64_t named = 0;
  for (const OptionalField& field : fields) named |= field.bit;
  if ((mask & ~named) != 0) element.note = "bits no field stands for are set: ignored";
  for (const OptionalField& field : fields) {
    Element& present = addOptionalValue<std::uint64_t>(annotation_, offset, field);
    present.bit = field.bit;
  }
  annotation_.close();
}

void PayloadListing::optionalValue(const std::uint8_t* at, const OptionalField& field,
                                   const json&) {
  const std::size_t offset = annotation_.offsetOf(at);
  switch (field.kind) {
    case OptionalKind::INT16:
      addOptionalValue<std::int16_t>(annotation_, offset, field);
      break;
    case OptionalKind::FLOAT:
      addOptionalValue<float>(annotation_, offset, field);
      break;
    case OptionalKind::BOOL:
      addOptionalValue<std::uint8_t>(annotation_, offset, field).bit = 0xFF;
      break;
  }
}

}  // namespace ravelin
