#pragma once

// Reading values of a compact calibration for the encoder. Wrong JSON types
// are reported by the JSON library in its own words; what the library would
// let pass silently (a missing key, an array of the wrong length, a float
// that does not fit its integer field) is refused here with a message that
// says where in the document the value sits.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ravelin {

using json = nlohmann::json;

// A value's position for messages: key "fx" of section "cameras[0].intrinsics[1]",
// optionally one element of that key's array.
struct ValuePlace {
  ValuePlace(std::string_view sectionName, std::string_view keyName,
             std::optional<std::size_t> elementIndex = std::nullopt)
      : section(sectionName), key(keyName), element(elementIndex) {}

  std::string_view section;  // empty when the caller does not know it
  std::string_view key;
  std::optional<std::size_t> element;

  ValuePlace at(std::size_t index) const { return {section, key, index}; }
  // "'fx' in cameras[0].intrinsics[1]", "'sU'[3] in cameras[0].intrinsics[1]".
  std::string text() const;
};

// Section names used in messages.
std::string indexedSection(std::string_view parent, std::string_view key, std::size_t index);
std::string childSection(std::string_view parent, std::string_view key);

// object[key]; refuses an absent key, or an object that is not one, naming the section.
const json& requiredMember(const json& object, std::string_view key, std::string_view section);
// object[key], or null when object is not an object or lacks the key.
const json& memberOrNull(const json& object, std::string_view key);
// &object[key], or nullptr when object is not an object or lacks the key.
const json* memberIfPresent(const json& object, std::string_view key);
bool hasMember(const json& object, std::string_view key);

// The elements of an array; anything else fails with the library's "type must be array".
const json::array_t& arrayElements(const json& value);

// Any number or boolean, rounded to the nearest float32; a finite value whose
// rounding overflows to infinity is refused.
float toFloat32(const json& value, const ValuePlace& place);

[[noreturn]] void throwIntegerOutOfRange(double value, std::string_view typeName,
                                         const ValuePlace& place);

template <typename T>
constexpr std::string_view integerTypeName() {
  if constexpr (std::is_same_v<T, std::uint16_t>) {
    return "an unsigned 16-bit integer";
  } else if constexpr (std::is_same_v<T, std::int16_t>) {
    return "a signed 16-bit integer";
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return "a signed 32-bit integer";
  } else {
    return {};
  }
}

// Integers keep their low bits (two's complement), booleans are 0 or 1, and
// floats are truncated toward zero when the result fits T; a float that does
// not fit is refused rather than converted with undefined behaviour.
template <typename T>
T toInteger(const json& value, const ValuePlace& place) {
  static_assert(!integerTypeName<T>().empty(), "no name for this integer type");
  using Bits = std::make_unsigned_t<T>;
  switch (value.type()) {
    case json::value_t::number_integer:
      return static_cast<T>(static_cast<Bits>(value.get<std::int64_t>()));
    case json::value_t::number_unsigned:
      return static_cast<T>(static_cast<Bits>(value.get<std::uint64_t>()));
    case json::value_t::boolean:
      return value.get<bool>() ? T{1} : T{0};
    case json::value_t::number_float: {
      const double number = value.get<double>();
      const double truncated = std::trunc(number);
      if (!(truncated >= static_cast<double>(std::numeric_limits<T>::min()) &&
            truncated <= static_cast<double>(std::numeric_limits<T>::max()))) {
        throwIntegerOutOfRange(number, integerTypeName<T>(), place);
      }
      return static_cast<T>(truncated);
    }
    default:
      return value.get<T>();  // the library refuses the wrong type in its own words
  }
}

enum class ArrayLength {
  EXACT,     // the array holds exactly the record's count
  AT_LEAST,  // longer arrays keep their first elements
};

// Refuses an array whose length does not satisfy `rule` for `count`.
void requireArrayLength(std::size_t actual, std::size_t count, ArrayLength rule,
                        const ValuePlace& place);

template <typename T>
T convertElement(const json& element, const ValuePlace& place) {
  if constexpr (std::is_same_v<T, float>) {
    return toFloat32(element, place);
  } else {
    return toInteger<T>(element, place);
  }
}

// Converts every element of an array, in order.
template <typename T>
std::vector<T> convertElements(const json& value, const ValuePlace& place) {
  const json::array_t& elements = arrayElements(value);
  std::vector<T> result;
  result.reserve(elements.size());
  for (std::size_t i = 0; i < elements.size(); ++i) {
    result.push_back(convertElement<T>(elements[i], place.at(i)));
  }
  return result;
}

// Converts every element (so a wrong element fails even beyond the count),
// then checks the length and keeps the first N. Fixed records are read by the
// thousand, so this fills the array in place rather than through a vector.
template <typename T, std::size_t N>
std::array<T, N> toArray(const json& value, ArrayLength rule, const ValuePlace& place) {
  const json::array_t& elements = arrayElements(value);
  std::array<T, N> result{};
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const T converted = convertElement<T>(elements[i], place.at(i));
    if (i < N) result[i] = converted;
  }
  requireArrayLength(elements.size(), N, rule, place);
  return result;
}

// object[key] (required) as float32, or as an array of N values.
float requiredFloat(const json& object, std::string_view key, std::string_view section);
template <typename T, std::size_t N>
std::array<T, N> requiredArray(const json& object, std::string_view key, std::string_view section,
                               ArrayLength rule = ArrayLength::EXACT) {
  return toArray<T, N>(requiredMember(object, key, section), rule, {section, key});
}

}  // namespace ravelin
