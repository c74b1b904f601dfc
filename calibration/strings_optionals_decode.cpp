#include <algorithm>
#include <stdexcept>
#include <utility>

#include "calibration/strings_optionals.h"

namespace ravelin {

namespace {

constexpr std::size_t kStringEntryHeaderSize = 3;  // id (u8) and length (u16)

const StringId* findStringId(std::span<const StringId> ids, std::uint8_t id) {
  const auto found =
      std::find_if(ids.begin(), ids.end(), [id](const StringId& entry) { return entry.id == id; });
  return found == ids.end() ? nullptr : &*found;
}

std::size_t optionalWidth(OptionalKind kind) {
  switch (kind) {
    case OptionalKind::INT16:
      return sizeof(std::int16_t);
    case OptionalKind::FLOAT:
      return sizeof(float);
    case OptionalKind::BOOL:
      return sizeof(std::uint8_t);
  }
  throw std::logic_error("optional field of unknown kind");
}

json readOptionalValue(ByteCursor& cursor, OptionalKind kind) {
  switch (kind) {
    case OptionalKind::INT16:
      return cursor.read<std::int16_t>();
    case OptionalKind::FLOAT:
      return static_cast<double>(cursor.read<float>());
    case OptionalKind::BOOL:
      return cursor.read<std::uint8_t>() != 0;
  }
  throw std::logic_error("optional field of unknown kind");
}

void storeOptional(json& object, const OptionalField& field, json value) {
  const std::string key(field.key);
  if (field.subKey.empty()) {
    object[key] = std::move(value);
  } else {
    object[key][std::string(field.subKey)] = std::move(value);
  }
}

}  // namespace

json decodeStrings(const std::uint8_t*& p, const std::uint8_t* end, std::span<const StringId> ids) {
  ByteCursor cursor(p, end);
  json object = json::object();
  while (cursor.remaining() >= kStringEntryHeaderSize) {
    const auto id = cursor.read<std::uint8_t>();
    const auto length = cursor.read<std::uint16_t>();
    if (length > cursor.remaining()) throw std::runtime_error("STRINGS overrun");
    std::string text = cursor.readString(length);
    if (const StringId* entry = findStringId(ids, id))
      object[std::string(entry->key)] = std::move(text);
  }
  if (!cursor.atEnd()) throw std::runtime_error("STRINGS trailing bytes");
  p = cursor.position();
  return object;
}

json decodeOptionals(const std::uint8_t*& p, const std::uint8_t* end,
                     std::span<const OptionalField> fields) {
  ByteCursor cursor(p, end);
  if (cursor.remaining() < sizeof(std::uint64_t)) throw std::runtime_error("OPTIONALS too small");
  const auto mask = cursor.read<std::uint64_t>();
  json object = json::object();
  for (const OptionalField& field : fields) {
    if ((mask & field.bit) == 0) continue;
    // A mask that announces more than the payload holds is the same fault as
    // a payload that holds more than its mask announces.
    if (cursor.remaining() < optionalWidth(field.kind)) {
      throw std::runtime_error("OPTIONALS trailing bytes");
    }
    storeOptional(object, field, readOptionalValue(cursor, field.kind));
  }
  if (!cursor.atEnd()) throw std::runtime_error("OPTIONALS trailing bytes");
  p = cursor.position();
  return object;
}

}  // namespace ravelin
