#include "calibration/container.h"

#include <array>
#include <limits>
#include <stdexcept>

#include "cli/log.h"

namespace ravelin {

namespace {

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < table.size(); ++i) {
    std::uint32_t r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1U) ? (r >> 1) ^ 0xEDB88320U : r >> 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t length) noexcept {
  std::uint32_t r = 0xFFFFFFFFU;
  for (std::size_t i = 0; i < length; ++i) r = kCrcTable[(r ^ data[i]) & 0xFFU] ^ (r >> 8);
  return r ^ 0xFFFFFFFFU;
}

void throwTruncatedRecord(std::string_view typeName, std::size_t bytesLeft) {
  const std::string name(typeName);
  logError("Blob got truncated while reading. BlobID %s, only %zu bytes left", name.c_str(),
           bytesLeft);
  throw std::runtime_error("blob truncated while reading " + name);
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
