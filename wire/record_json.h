#pragma once

// The JSON form of fixed-layout records, read off their field descriptions:
// floats widen exactly to double, integers keep their signedness, an
// enumeration becomes its name, a matrix its rows, and a record of a single
// field is that field's value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "wire/fields.h"

namespace ravelin {

using json = nlohmann::json;

// The name at `index`, or "Unknown" when the table has no such entry.
std::string_view enumerationName(std::span<const std::string_view> names, std::int64_t index);

// Floats widen exactly to double, so a stored 0.1f reads back as 0.10000000149011612.
json floatArrayToJson(std::span<const float> values);

template <WireRecord R>
json recordToJson(const R& record);

template <WireScalar T>
json fieldToJson(const T& value, const FieldInfo& info) {
  if constexpr (std::is_same_v<T, float>) {
    return static_cast<double>(value);
  } else {
    if (!info.enumerators.empty()) {
      return enumerationName(info.enumerators, static_cast<std::int64_t>(value));
    }
    return value;
  }
}

template <WireScalar T, std::size_t N>
json fieldToJson(const std::array<T, N>& values, const FieldInfo& info) {
  const auto elements = [](std::span<const T> part) {
    if constexpr (std::is_same_v<T, float>) {
      return floatArrayToJson(part);
    } else {
      return json(std::vector<T>(part.begin(), part.end()));
    }
  };
  if (info.columns == 0) return elements(values);
  json rows = json::array();
  for (std::size_t row = 0; row < N; row += info.columns) {
    rows.push_back(elements(std::span<const T>(values).subspan(row, info.columns)));
  }
  return rows;
}

template <WireRecord R>
json fieldToJson(const R& record, const FieldInfo&) {
  return recordToJson(record);
}

// Puts one field where its description says into `object`.
template <typename T>
void appendFieldTo(json& object, const FieldInfo& info, const T& value) {
  switch (info.json) {
    case JsonPlacement::MEMBER:
      object[std::string(info.name)] = fieldToJson(value, info);
      break;
    case JsonPlacement::BIT_MEMBERS:
      if constexpr (std::is_integral_v<T>) {
        const auto word = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(value));
        for (const FlagBit& bit : info.bits) object[std::string(bit.name)] = (word & bit.mask) != 0;
      }
      break;
    case JsonPlacement::NONE:
      break;
  }
}

template <WireRecord R>
void appendJsonConstants(json& object) {
  if constexpr (requires { R::kJsonConstants; }) {
    for (const JsonConstant& constant : R::kJsonConstants) {
      object[std::string(constant.key)] = constant.value;
    }
  }
}

// Sets the members that `record` contributes to `object`.
template <WireRecord R>
void appendFieldsTo(json& object, const R& record) {
  forEachNamedField(record, [&object](const FieldInfo& info, const auto& value) {
    appendFieldTo(object, info, value);
  });
  appendJsonConstants<R>(object);
}

template <WireRecord R>
json recordToJson(const R& record) {
  json result;
  if constexpr (kFieldCount<R> == 1) {
    forEachNamedField(record, [&result](const FieldInfo& info, const auto& value) {
      result = fieldToJson(value, info);
    });
  } else {
    result = json::object();
    appendFieldsTo(result, record);
  }
  return result;
}

}  // namespace ravelin
