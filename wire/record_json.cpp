#include "wire/record_json.h"

namespace ravelin {

namespace {

constexpr std::string_view kUnknownName = "Unknown";

}  // namespace

std::string_view enumerationName(std::span<const std::string_view> names, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= names.size()) return kUnknownName;
  return names[static_cast<std::size_t>(index)];
}

json floatArrayToJson(std::span<const float> values) {
  json array = json::array();
  for (const float value : values) array.push_back(static_cast<double>(value));
  return array;
}

}  // namespace ravelin
