#pragma once

// The container shared by both blob kinds: the 16-byte header, the CRC32 of
// the body, both magics, and the one rule by which a fixed-size record is read
// and written.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "wire/byte_io.h"
#include "wire/fields.h"

namespace ravelin {

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

// A structural fault of a blob. what() is the decoder's own short message;
// the inspector also shows where the fault lies and what was expected there
// against what was found.
class BlobFault : public std::runtime_error {
 public:
  BlobFault(const std::string& message, const std::uint8_t* at, std::string expected,
            std::string found);

  const std::uint8_t* at() const noexcept { return at_; }
  const std::string& expected() const noexcept { return detail_->expected; }
  const std::string& found() const noexcept { return detail_->found; }

 private:
  struct Detail {
    std::string expected;
    std::string found;
  };
  const std::uint8_t* at_;
  std::shared_ptr<const Detail> detail_;  // shared, so that copying cannot throw
};

// "1 byte", "12 bytes": the counts that fault details name.
std::string byteCount(std::size_t count);
// "0x43414C42": magics and CRCs as fault details name them.
std::string hexWord(std::uint32_t value);

// The type name without the length that prefixes it: "KbIntrinsics" for "12KbIntrinsics".
std::string_view recordName(std::string_view typeName);

[[noreturn]] void throwTruncatedRecord(std::string_view typeName, std::size_t wireSize,
                                       const ByteCursor& cursor);

// Reads one record and advances the cursor; a range shorter than the record
// fails with "blob truncated while reading " and the record's type name.
template <WireRecord R>
R readPod(ByteCursor& cursor) {
  if (cursor.remaining() < R::kWireSize) throwTruncatedRecord(R::kTypeName, R::kWireSize, cursor);
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
  static constexpr std::array kFields = {hexField("magic"), field("majorVersion"),
                                         field("minorVersion"), field("bodySize"),
                                         hexField("crc32")};
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
