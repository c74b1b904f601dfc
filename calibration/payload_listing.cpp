#include "calibration/payload_listing.h"

#include <memory>
#include <stdexcept>
#include <utility>

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

void PayloadListing::listBlock(const TLV& tlv, const std::uint8_t* frame, ByteCursor payload,
                               std::string_view skipWhy) {
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
  annotation
      .open(annotation.offsetOf(frame), TLV::kWireSize + tlv.size, blockName(id),
            annotation.nextIndex())
      .note = std::move(note);
  if (!codec) {
    annotation.addBytes(payloadStart, payloadEnd);
  } else {
    try {
      codec->inspect(payload, *this);
    } catch (const std::runtime_error& error) {
      annotation.addFault(error, payloadStart, payloadEnd);
    }
  }
  annotation.closeTo(depth);
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
