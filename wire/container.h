#pragma once

// The container shared by both blob kinds: the 16-byte header, the CRC32 of
// the body, both magics, and the one rule by which a fixed-size record is read
// and written.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "wire/byte_io.h"

namespace ravelin {

// A fixed-layout record lists its fields in wire order through forEachField;
// readRecord and appendRecord walk that list, so the layout is written once.
template <typename R>
concept WireRecord = requires {
  { R::kWireSize } -> std::convertible_to<std::size_t>;
  { R::kTypeName } -> std::convertible_to<std::string_view>;
};

template <WireScalar T>
void readField(ByteCursor& cursor, T& value) {
  value = cursor.read<T>();
}
template <WireScalar T, std::size_t N>
void readField(ByteCursor& cursor, std::array<T, N>& values) {
  cursor.readInto(values);
}
template <WireRecord R>
void readField(ByteCursor& cursor, R& record) {
  R::forEachField(record, [&](auto&... fields) { (readField(cursor, fields), ...); });
}

template <WireScalar T>
void appendField(Bytes& out, const T& value) {
  appendLE(out, value);
}
template <WireScalar T, std::size_t N>
void appendField(Bytes& out, const std::array<T, N>& values) {
  appendLE(out, values);
}
template <WireRecord R>
void appendField(Bytes& out, const R& record) {
  R::forEachField(record, [&](const auto&... fields) { (appendField(out, fields), ...); });
}

// Reads one R from the cursor, which must hold at least R::kWireSize bytes.
template <WireRecord R>
R readRecord(ByteCursor& cursor) {
  ByteCursor fields = cursor.take(R::kWireSize);
  R record{};
  readField(fields, record);
  return record;
}

template <WireRecord R>
void appendRecord(Bytes& out, const R& record) {
  appendField(out, record);
}

[[noreturn]] void throwTruncatedRecord(std::string_view typeName, std::size_t bytesLeft);

// Reads one record and advances the cursor; a range shorter than the record
// fails with "blob truncated while reading " and the record's type name.
template <WireRecord R>
R readPod(ByteCursor& cursor) {
  if (cursor.remaining() < R::kWireSize) throwTruncatedRecord(R::kTypeName, cursor.remaining());
  return readRecord<R>(cursor);
}

template <WireRecord R>
R readPod(const std::uint8_t*& p, const std::uint8_t* end) {
  ByteCursor cursor(p, end);
  R record = readPod<R>(cursor);
  p = cursor.position();
  return record;
}

struct Header {
  static constexpr std::size_t kWireSize = 16;
  static constexpr std::string_view kTypeName = "6Header";

  std::uint32_t magic = 0;
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::uint32_t bodySize = 0;
  std::uint32_t crc32 = 0;

  template <typename Self, typename Visit>
  static void forEachField(Self& h, Visit&& visit) {
    visit(h.magic, h.majorVersion, h.minorVersion, h.bodySize, h.crc32);
  }
};

constexpr std::uint32_t kCalibrationMagic = 0x43414C42;   // "BLAC" on the wire
constexpr std::uint32_t kDeviceConfigMagic = 0x44434647;  // "GFCD" on the wire

// CRC-32/ISO-HDLC: reflected polynomial 0xEDB88320, init and final XOR 0xFFFFFFFF.
std::uint32_t crc32(const std::uint8_t* data, std::size_t length) noexcept;
inline std::uint32_t crc32(std::span<const std::uint8_t> bytes) noexcept {
  return crc32(bytes.data(), bytes.size());
}

// Writes magic, version 1.0, the body size and the CRC32 of the body into the
// 16 bytes reserved at the start of a finished blob.
void sealBlob(Bytes& blob, std::uint32_t magic);

}  // namespace ravelin
