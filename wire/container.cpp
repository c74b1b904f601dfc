#include "wire/container.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "console/log.h"

namespace ravelin {

namespace {

// Slicing-by-8: table k gives the CRC of a byte followed by k zero bytes, so
// eight bytes are folded in per step instead of one. Blob checks run on every
// encode and decode, and the byte-at-a-time loop dominated small blobs.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables makeCrcTables() {
  CrcTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1U) ? (r >> 1) ^ 0xEDB88320U : r >> 1;
    tables[0][i] = r;
  }
  for (std::size_t k = 1; k < tables.size(); ++k) {
    for (std::size_t i = 0; i < 256; ++i) {
      tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFFU];
    }
  }
  return tables;
}

constexpr CrcTables kCrcTables = makeCrcTables();

constexpr std::uint32_t crcByte(std::uint32_t r, std::uint8_t byte) {
  return kCrcTables[0][(r ^ byte) & 0xFFU] ^ (r >> 8);
}

// The words are assembled from little-endian bytes, so any host gives the same CRC.
std::uint32_t crcEightBytes(std::uint32_t r, const std::uint8_t* data) {
  const std::uint32_t low = r ^ detail::decodeLittleEndian<std::uint32_t>(data);
  const std::uint32_t high = detail::decodeLittleEndian<std::uint32_t>(data + 4);
  return kCrcTables[7][low & 0xFFU] ^ kCrcTables[6][(low >> 8) & 0xFFU] ^
         kCrcTables[5][(low >> 16) & 0xFFU] ^ kCrcTables[4][low >> 24] ^
         kCrcTables[3][high & 0xFFU] ^ kCrcTables[2][(high >> 8) & 0xFFU] ^
         kCrcTables[1][(high >> 16) & 0xFFU] ^ kCrcTables[0][high >> 24];
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t length) noexcept {
  std::uint32_t r = 0xFFFFFFFFU;
  const std::uint8_t* const end = data + length;
  for (; end - data >= 8; data += 8) r = crcEightBytes(r, data);
  for (; data != end; ++data) r = crcByte(r, *data);
  return r ^ 0xFFFFFFFFU;
}

BlobFault::BlobFault(const std::string& message, const std::uint8_t* at, std::string expected,
                     std::string found)
    : std::runtime_error(message),
      at_(at),
      detail_(std::make_shared<const Detail>(Detail{std::move(expected), std::move(found)})) {}

std::string byteCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string hexWord(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08X", value);
  return text.data();
}

std::string_view recordName(std::string_view typeName) {
  return typeName.substr(std::min(typeName.find_first_not_of("0123456789"), typeName.size()));
}

void throwTruncatedRecord(std::string_view typeName, std::size_t wireSize,
                          const ByteCursor& cursor) {
  const std::string name(typeName);
  logError("Blob got truncated while reading. BlobID %s, only %zu bytes left", name.c_str(),
           cursor.remaining());
  throw BlobFault("blob truncated while reading " + name, cursor.position(),
                  byteCount(wireSize) + " (" + std::string(recordName(typeName)) + ")",
                  byteCount(cursor.remaining()));
}

void sealBlob(Bytes& blob, std::uint32_t magic) {
  if (blob.size() < Header::kWireSize) throw std::logic_error("blob has no room for its header");
  const std::size_t bodySize = blob.size() - Header::kWireSize;
  if (bodySize > std::numeric_limits<std::uint32_t>::max()) {
    throw std::runtime_error("blob body exceeds 4 GiB");
  }
  Bytes header;
  appendRecord(header, Header{magic, 1, 0, static_cast<std::uint32_t>(bodySize), 0});
  std::copy(header.begin(), header.end(), blob.begin());
  storeLE(blob, 12, crc32(blob.data() + Header::kWireSize, bodySize));
}

}  // namespace ravelin
