#include "calibration/strings_optionals_encode.h"

#include <span>

#include "calibration/json_values.h"

namespace ravelin {

namespace {

// A camera's or IMU's identity and source entries are written even when empty.
constexpr std::size_t kAlwaysWrittenIdentityEntries = 2;

unsigned byteAt(std::string_view text, std::size_t index) {
  return static_cast<unsigned char>(text[index]);
}

// Length of the well-formed UTF-8 character starting at text[at], or 0 when
// the bytes there are not one (overlong forms and surrogates included).
std::size_t utf8CharacterLength(std::string_view text, std::size_t at) {
  const unsigned lead = byteAt(text, at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned secondLow = 0x80;
  unsigned secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  const unsigned second = byteAt(text, at + 1);
  if (second < secondLow || second > secondHigh) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byteAt(text, at + i) & 0xC0U) != 0x80U) return 0;
  }
  return length;
}

Bytes identityStrings(const json& object, std::span<const StringId> ids) {
  Bytes payload;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const StringId& entry = ids[i];
    if (i < kAlwaysWrittenIdentityEntries || hasMember(object, entry.key)) {
      appendStringEntry(payload, entry.id, memberOrNull(object, entry.key).get<std::string>());
    }
  }
  return payload;
}

// The value of a row when present: object[key] for a row without a sub-key;
// object[key][subKey] when object[key] is an object holding the sub-key.
const json* optionalValue(const json& object, const OptionalField& field) {
  const json* value = memberIfPresent(object, field.key);
  if (value == nullptr || field.subKey.empty()) return value;
  return memberIfPresent(*value, field.subKey);
}

// The value's place is named only in messages, so a row without a sub-key
// (most of them) builds no section name.
void appendOptionalValue(Bytes& out, const OptionalField& field, const json& value,
                         std::string_view section) {
  const std::string subSection = field.subKey.empty() ? "" : childSection(section, field.key);
  const ValuePlace place =
      field.subKey.empty() ? ValuePlace{section, field.key} : ValuePlace{subSection, field.subKey};
  switch (field.kind) {
    case OptionalKind::INT16:
      appendLE(out, toInteger<std::int16_t>(value, place));
      break;
    case OptionalKind::FLOAT:
      appendLE(out, toFloat32(value, place));
      break;
    case OptionalKind::BOOL:
      appendLE(out, static_cast<std::uint8_t>(value.get<bool>()));
      break;
  }
}

Bytes optionalsFromJson(const json& object, std::span<const OptionalField> fields,
                        std::string_view section) {
  std::uint64_t mask = 0;
  Bytes values;
  for (const OptionalField& field : fields) {
    const json* value = optionalValue(object, field);
    if (value == nullptr) continue;
    mask |= field.bit;
    appendOptionalValue(values, field, *value, section);
  }
  if (mask == 0) return {};
  Bytes payload;
  appendLE(payload, mask);
  appendBytes(payload, values);
  return payload;
}

}  // namespace

std::size_t stringEntryLength(std::string_view text) {
  if (text.size() <= kMaxStringEntryLength) return text.size();
  std::size_t end = 0;
  while (end < kMaxStringEntryLength) {
    const std::size_t length = utf8CharacterLength(text, end);
    if (length == 0) return kMaxStringEntryLength;
    if (end + length > kMaxStringEntryLength) break;
    end += length;
  }
  return end;
}

void appendStringEntry(Bytes& payload, std::uint8_t id, std::string_view text) {
  const std::size_t length = stringEntryLength(text);
  appendLE(payload, id);
  appendLE(payload, static_cast<std::uint16_t>(length));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  appendBytes(payload, std::span(bytes, length));
}

std::string stringIfPresent(const json& object, std::string_view key) {
  if (!hasMember(object, key)) return {};
  return object.find(key)->get<std::string>();
}

Bytes cameraStringsFromJson(const json& camera) {
  return identityStrings(camera, kCameraStringIds);
}

Bytes imuStringsFromJson(const json& imu) {
  return identityStrings(imu, kImuStringIds);
}

Bytes metaStringsFromJson(const json& metadata) {
  Bytes payload;
  for (const StringId& entry : kMetaStringIds) {
    const std::string text = stringIfPresent(metadata, entry.key);
    if (!text.empty()) appendStringEntry(payload, entry.id, text);
  }
  return payload;
}

Bytes cameraOptionalsFromJson(const json& camera, std::string_view section) {
  return optionalsFromJson(camera, kCameraOptionalFields, section);
}

Bytes imuOptionalsFromJson(const json& imu, std::string_view section) {
  return optionalsFromJson(imu, kImuOptionalFields, section);
}

}  // namespace ravelin
