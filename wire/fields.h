#pragma once

// What each field of a fixed-layout record is called and what its stored
// number means, listed beside the record's forEachField in the same order.
// The decoders build their JSON from it and the inspector its listing, so a
// record's layout, names and JSON keys are written down once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "wire/byte_io.h"

namespace ravelin {

// A fixed-layout record lists its fields in wire order through forEachField
// and describes them, in the same order, in kFields; readRecord and
// appendRecord walk the list, so the layout is written once.
template <typename R>
concept WireRecord = requires {
  { R::kWireSize } -> std::convertible_to<std::size_t>;
  { R::kTypeName } -> std::convertible_to<std::string_view>;
};

// One named bit of a flag word.
struct FlagBit {
  std::uint64_t mask;
  std::string_view name;
};

// Where a field goes in its record's JSON object.
enum class JsonPlacement : std::uint8_t {
  MEMBER,       // a member named after the field
  BIT_MEMBERS,  // each named bit a boolean member; the word itself none
  NONE,         // the format's own bookkeeping: counts, versions, presence flags
};

struct FieldInfo {
  std::string_view name;  // the JSON key
  JsonPlacement json = JsonPlacement::MEMBER;
  std::span<const std::string_view> enumerators = {};  // the stored number indexes these names
  std::span<const FlagBit> bits = {};                  // the named bits of a flag word
  std::size_t columns = 0;                             // a row-major matrix with rows this wide
  bool hex = false;                                    // read in hexadecimal: magics, CRCs, masks
};

constexpr FieldInfo field(std::string_view name) {
  return FieldInfo{.name = name};
}
constexpr FieldInfo hexField(std::string_view name) {
  return FieldInfo{.name = name, .hex = true};
}
constexpr FieldInfo enumerated(std::string_view name, std::span<const std::string_view> names) {
  return FieldInfo{.name = name, .enumerators = names};
}
constexpr FieldInfo matrix(std::string_view name, std::size_t columns) {
  return FieldInfo{.name = name, .columns = columns};
}
constexpr FieldInfo bookkeeping(std::string_view name) {
  return FieldInfo{.name = name, .json = JsonPlacement::NONE};
}
constexpr FieldInfo flagMembers(std::string_view name, std::span<const FlagBit> bits) {
  return FieldInfo{.name = name, .json = JsonPlacement::BIT_MEMBERS, .bits = bits, .hex = true};
}
constexpr FieldInfo flagWord(std::string_view name, std::span<const FlagBit> bits) {
  return FieldInfo{.name = name, .json = JsonPlacement::NONE, .bits = bits, .hex = true};
}

// A constant member that a record's JSON object carries beside its fields.
struct JsonConstant {
  std::string_view key;
  std::string_view value;
};

template <typename R>
constexpr std::size_t kFieldCount = std::tuple_size_v<std::remove_cvref_t<decltype(R::kFields)>>;

// Calls visit(info, field) for every field of `record`, in wire order.
template <typename Record, typename Visit>
constexpr void forEachNamedField(Record& record, Visit&& visit) {
  using R = std::remove_const_t<Record>;
  R::forEachField(record, [&](auto&... fields) {
    static_assert(sizeof...(fields) == kFieldCount<R>, "every field needs its FieldInfo");
    std::size_t i = 0;
    (visit(R::kFields[i++], fields), ...);
  });
}

template <WireScalar T>
constexpr std::size_t wireSizeOf(const T&) {
  return sizeof(T);
}
template <WireScalar T, std::size_t N>
constexpr std::size_t wireSizeOf(const std::array<T, N>&) {
  return sizeof(T) * N;
}
template <WireRecord R>
constexpr std::size_t wireSizeOf(const R& record) {
  std::size_t size = 0;
  R::forEachField(record, [&](const auto&... fields) { size = (wireSizeOf(fields) + ...); });
  return size;
}

}  // namespace ravelin
