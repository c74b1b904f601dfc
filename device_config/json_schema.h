#pragma once

// Validation of a device_config document: the allowed keys of every object
// and the typed readers whose messages name the offending key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>

#include "device_config/format.h"

namespace ravelin {

using json = nlohmann::json;

// Fails at the first key (in stored, ascending order) that is not allowed.
// Null and empty arrays pass; other non-objects fail with the JSON library's
// iterator error.
void checkAllowedKeys(const json& value, std::initializer_list<std::string_view> allowed,
                      std::string_view context);

// Null when the container is not an object or lacks the key: both count as missing.
const json* findMember(const json& container, std::string_view key);

// Each reader treats a container that is not an object as missing the key.
std::string requireString(const json& container, std::string_view key);
std::uint32_t requireU32(const json& container, std::string_view key);
float requireFloat(const json& container, std::string_view key);
void requireFloatArray(const json& container, std::string_view key, std::span<float> out);
Mat3 requireMatrix3x3(const json& container, std::string_view key);

template <std::size_t N>
std::array<float, N> requireFloatArray(const json& container, std::string_view key) {
  std::array<float, N> values{};
  requireFloatArray(container, key, values);
  return values;
}

Distortion parseDistortion(const json& object, std::string_view context);
InverseDistortion parseInverseDistortion(const json& object);
EyeEntry parseEyeTransform(const json& object);

}  // namespace ravelin
