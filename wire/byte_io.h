#pragma once

// Little-endian byte access for both blob formats, independent of the host's
// byte order. Every read goes through ByteCursor, which never moves past the
// end of its range; every write appends to or patches a byte vector.

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace ravelin {

using Bytes = std::vector<std::uint8_t>;

// Scalars that travel as little-endian bytes: fixed-width integers and IEEE 754 binary32.
template <typename T>
concept WireScalar =
    (std::integral<T> && !std::same_as<T, bool> && sizeof(T) <= 8) || std::same_as<T, float>;

// Rounds to the nearest binary32 as IEEE 754 does, with values beyond the
// float range becoming infinities of their sign. A plain cast of such values
// is undefined behaviour, and JSON numbers can be anything.
inline float narrowToFloat32(double value) noexcept {
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;  // FLT_MAX plus half an ulp
  const double magnitude = std::fabs(value);
  if (std::isfinite(value) && magnitude >= kRoundsToInfinity) {
    return std::signbit(value) ? -HUGE_VALF : HUGE_VALF;
  }
  if (std::isfinite(value) && magnitude > static_cast<double>(FLT_MAX)) {
    return std::signbit(value) ? -FLT_MAX : FLT_MAX;
  }
  return static_cast<float>(value);
}

namespace detail {

template <typename T>
struct WireBitsOf : std::make_unsigned<T> {};
template <>
struct WireBitsOf<float> {
  using type = std::uint32_t;
};
template <WireScalar T>
using WireBits = typename WireBitsOf<T>::type;

template <WireScalar T>
T decodeLittleEndian(const std::uint8_t* bytes) noexcept {
  WireBits<T> bits = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bits = static_cast<WireBits<T>>(bits | (static_cast<WireBits<T>>(bytes[i]) << (8 * i)));
  }
  return std::bit_cast<T>(bits);
}

template <WireScalar T>
void encodeLittleEndian(T value, std::uint8_t* bytes) noexcept {
  const auto bits = std::bit_cast<WireBits<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
}

}  // namespace detail

// A read position inside [begin, end). Reads are checked: asking for more
// than remaining() throws std::out_of_range and leaves the cursor unchanged.
// Callers that owe the user a specific message test remaining() first.
class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const std::uint8_t* begin, const std::uint8_t* end) noexcept
      : pos_(begin), end_(end) {}
  explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept
      : pos_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  std::size_t remaining() const noexcept { return static_cast<std::size_t>(end_ - pos_); }
  bool atEnd() const noexcept { return pos_ == end_; }
  const std::uint8_t* position() const noexcept { return pos_; }
  const std::uint8_t* end() const noexcept { return end_; }

  // Splits off the next n bytes as a cursor of their own and advances past them.
  ByteCursor take(std::size_t n) {
    require(n);
    ByteCursor part(pos_, pos_ + n);
    pos_ += n;
    return part;
  }

  void skip(std::size_t n) {
    require(n);
    pos_ += n;
  }

  template <WireScalar T>
  T read() {
    require(sizeof(T));
    const T value = detail::decodeLittleEndian<T>(pos_);
    pos_ += sizeof(T);
    return value;
  }

  template <WireScalar T, std::size_t N>
  void readInto(std::array<T, N>& values) {
    require(sizeof(T) * N);
    for (T& value : values) value = read<T>();
  }

  std::string readString(std::size_t n) {
    require(n);
    std::string text(reinterpret_cast<const char*>(pos_), n);
    pos_ += n;
    return text;
  }

 private:
  void require(std::size_t n) const {
    if (n > remaining()) throw std::out_of_range("read past the end of a byte range");
  }

  const std::uint8_t* pos_ = nullptr;
  const std::uint8_t* end_ = nullptr;
};

template <WireScalar T>
void appendLE(Bytes& out, T value) {
  std::array<std::uint8_t, sizeof(T)> bytes{};
  detail::encodeLittleEndian(value, bytes.data());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

template <WireScalar T, std::size_t N>
void appendLE(Bytes& out, const std::array<T, N>& values) {
  for (const T& value : values) appendLE(out, value);
}

inline void appendBytes(Bytes& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// Overwrites sizeof(T) bytes at offset; used to patch sizes and header fields
// once they are known. Offsets (not pointers) survive the vector growing.
template <WireScalar T>
void storeLE(Bytes& out, std::size_t offset, T value) {
  if (offset > out.size() || sizeof(T) > out.size() - offset) {
    throw std::out_of_range("patch past the end of a byte vector");
  }
  detail::encodeLittleEndian(value, out.data() + offset);
}

}  // namespace ravelin
