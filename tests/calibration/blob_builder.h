#pragma once

// Hand-assembled calibration blobs for tests: headers, TLV frames, records,
// strings and optionals payloads, all written little-endian whatever the host.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "calibration/compact.h"
#include "wire/container.h"

namespace ravelin::testing {

inline std::uint16_t idOf(BlockId id) {
  return static_cast<std::uint16_t>(id);
}

template <WireRecord R>
Bytes recordBytes(const R& record) {
  Bytes out;
  appendRecord(out, record);
  return out;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) appendBytes(out, part);
  return out;
}

// A TLV frame whose size field says `size`, followed by `payload` as given.
inline Bytes blockWithSize(std::uint16_t id, std::uint32_t size, const Bytes& payload) {
  Bytes out;
  appendRecord(out, TLV{id, 0, size});
  appendBytes(out, payload);
  return out;
}

inline Bytes block(std::uint16_t id, const Bytes& payload) {
  return blockWithSize(id, static_cast<std::uint32_t>(payload.size()), payload);
}
inline Bytes block(BlockId id, const Bytes& payload) {
  return block(idOf(id), payload);
}

inline Bytes endMarker() {
  return block(BlockId::END, {});
}

// The header that an encoder would write for `body`.
inline Header headerFor(const Bytes& body) {
  return Header{kCalibrationMagic, 1, 0, static_cast<std::uint32_t>(body.size()), crc32(body)};
}

inline Bytes blobWithHeader(const Header& header, const Bytes& body) {
  return concat({recordBytes(header), body});
}

// A well-formed calibration blob around `body` (which brings its own end marker, if any).
inline Bytes calibrationBlob(const Bytes& body) {
  return blobWithHeader(headerFor(body), body);
}

// Strings payload entries: id, then the text (length taken from the text).
inline Bytes stringsPayload(std::initializer_list<std::pair<std::uint8_t, std::string>> entries) {
  Bytes out;
  for (const auto& [id, text] : entries) {
    appendLE(out, id);
    appendLE(out, static_cast<std::uint16_t>(text.size()));
    appendBytes(out, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
  return out;
}

inline Bytes optionalsMask(std::uint64_t mask) {
  Bytes out;
  appendLE(out, mask);
  return out;
}

}  // namespace ravelin::testing
