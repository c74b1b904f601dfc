#include "calibration/json_values.h"

#include <cmath>
#include <stdexcept>

#include "wire/byte_io.h"

namespace ravelin {

namespace {

std::string quoted(std::string_view key) {
  return "'" + std::string(key) + "'";
}

std::string numberText(double value) {
  return json(value).dump();
}

}  // namespace

std::string ValuePlace::text() const {
  std::string result = quoted(key);
  if (element) result += "[" + std::to_string(*element) + "]";
  if (!section.empty()) result += " in " + std::string(section);
  return result;
}

std::string indexedSection(std::string_view parent, std::string_view key, std::size_t index) {
  return childSection(parent, key) + "[" + std::to_string(index) + "]";
}

std::string childSection(std::string_view parent, std::string_view key) {
  if (parent.empty()) return std::string(key);
  return std::string(parent) + "." + std::string(key);
}

const json& requiredMember(const json& object, std::string_view key, std::string_view section) {
  if (!object.is_object()) {
    throw std::runtime_error(std::string(section) + " must be an object, but is " +
                             object.type_name());
  }
  const auto found = object.find(key);
  if (found == object.end()) {
    throw std::runtime_error("missing required key " + quoted(key) + " in " + std::string(section));
  }
  return *found;
}

const json& memberOrNull(const json& object, std::string_view key) {
  static const json kNull;
  if (!object.is_object()) return kNull;
  const auto found = object.find(key);
  return found == object.end() ? kNull : *found;
}

const json* memberIfPresent(const json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

bool hasMember(const json& object, std::string_view key) {
  return object.is_object() && object.contains(key);
}

const json::array_t& arrayElements(const json& value) {
  if (!value.is_array()) static_cast<void>(value.get<json::array_t>());  // throws
  return value.get_ref<const json::array_t&>();
}

float toFloat32(const json& value, const ValuePlace& place) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return static_cast<float>(value.get<std::int64_t>());
    case json::value_t::number_unsigned:
      return static_cast<float>(value.get<std::uint64_t>());
    case json::value_t::number_float: {
      // A value a little above FLT_MAX still rounds to it: the 9 digits that
      // decode writes for FLT_MAX are such a value. Only rounding that
      // overflows to infinity would store something else than was written.
      const double number = value.get<double>();
      const float rounded = narrowToFloat32(number);
      if (std::isfinite(number) && std::isinf(rounded)) {
        throw std::runtime_error(place.text() + " is " + numberText(number) +
                                 ", outside the range of a 32-bit float");
      }
      return rounded;
    }
    default:
      return value.get<float>();  // booleans are 0 or 1; the library refuses other types
  }
}

void throwIntegerOutOfRange(double value, std::string_view typeName, const ValuePlace& place) {
  throw std::runtime_error(place.text() + " is " + numberText(value) + ", outside the range of " +
                           std::string(typeName));
}

void requireArrayLength(std::size_t actual, std::size_t count, ArrayLength rule,
                        const ValuePlace& place) {
  const bool fits = rule == ArrayLength::EXACT ? actual == count : actual >= count;
  if (fits) return;
  throw std::runtime_error(place.text() + " must have " +
                           (rule == ArrayLength::EXACT ? "" : "at least ") + std::to_string(count) +
                           " elements, but has " + std::to_string(actual));
}

float requiredFloat(const json& object, std::string_view key, std::string_view section) {
  return toFloat32(requiredMember(object, key, section), {section, key});
}

}  // namespace ravelin
