#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "calibration/payload_listing.h"
#include "calibration/strings_optionals.h"
#include "wire/record_text.h"

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

// Reads a strings payload entry by entry and reports each to `visitor`:
//   visitor.stringEntry(at, id, entry, text)   entry is none for an id without a key
template <typename Visitor>
void readStrings(ByteCursor& cursor, std::span<const StringId> ids, Visitor& visitor) {
  while (cursor.remaining() >= kStringEntryHeaderSize) {
    const std::uint8_t* at = cursor.position();
    const auto id = cursor.read<std::uint8_t>();
    const auto length = cursor.read<std::uint16_t>();
    if (length > cursor.remaining()) {
      throw BlobFault("STRINGS overrun", at, byteCount(length) + " of text",
                      byteCount(cursor.remaining()));
    }
    visitor.stringEntry(at, id, findStringId(ids, id), cursor.readString(length));
  }
  if (!cursor.atEnd()) {
    throw BlobFault("STRINGS trailing bytes", cursor.position(),
                    "an entry of at least " + byteCount(kStringEntryHeaderSize),
                    byteCount(cursor.remaining()));
  }
}

// Reads an optionals payload and reports it to `visitor`:
//   visitor.optionalMask(at, mask, fields)   the presence mask
//   visitor.optionalValue(at, field, value)  each value its mask announces
template <typename Visitor>
void readOptionals(ByteCursor& cursor, std::span<const OptionalField> fields, Visitor& visitor) {
  if (cursor.remaining() < sizeof(std::uint64_t)) {
    throw BlobFault("OPTIONALS too small", cursor.position(), "an 8-byte presence mask",
                    byteCount(cursor.remaining()));
  }
  const std::uint8_t* maskAt = cursor.position();
  const auto mask = cursor.read<std::uint64_t>();
  visitor.optionalMask(maskAt, mask, fields);
  for (const OptionalField& field : fields) {
    if ((mask & field.bit) == 0) continue;
    // A mask that announces more than the payload holds is the same fault as
    // a payload that holds more than its mask announces.
    const std::size_t width = optionalWidth(field.kind);
    if (cursor.remaining() < width) {
      throw BlobFault("OPTIONALS trailing bytes", cursor.position(),
                      byteCount(width) + " for the value of " + std::string(field.key),
                      byteCount(cursor.remaining()));
    }
    const std::uint8_t* at = cursor.position();
    visitor.optionalValue(at, field, readOptionalValue(cursor, field.kind));
  }
  if (!cursor.atEnd()) {
    throw BlobFault("OPTIONALS trailing bytes", cursor.position(),
                    "the payload to end after the values its mask announces",
                    byteCount(cursor.remaining()) + " more");
  }
}

struct StringsToJson {
  json object = json::object();

  void stringEntry(const std::uint8_t*, std::uint8_t, const StringId* entry, std::string&& text) {
    if (entry != nullptr) object[std::string(entry->key)] = std::move(text);
  }
};

struct OptionalsToJson {
  json object = json::object();

  void optionalMask(const std::uint8_t*, std::uint64_t, std::span<const OptionalField>) {}
  void optionalValue(const std::uint8_t*, const OptionalField& field, json&& value) {
    storeOptional(object, field, std::move(value));
  }
};

struct StringsToRecords {
  DecodedStrings& into;

  void stringEntry(const std::uint8_t*, std::uint8_t, const StringId* entry, std::string&& text) {
    if (entry != nullptr)
      into.texts[static_cast<std::size_t>(entry - into.ids.data())] = std::move(text);
  }
};

struct OptionalsToRecords {
  DecodedOptionals block;

  void optionalMask(const std::uint8_t*, std::uint64_t, std::span<const OptionalField>) {}
  void optionalValue(const std::uint8_t*, const OptionalField& field, json&& value) {
    block.values[static_cast<std::size_t>(&field - block.fields.data())] = std::move(value);
  }
};

void writeStringMember(JsonTextWriter& writer, const TextMember& member) {
  writer.string(*static_cast<const std::string*>(member.subject));
}

// subject: the value, a scalar as readOptionalValue makes it.
void writeOptionalMember(JsonTextWriter& writer, const TextMember& member) {
  const json& value = *static_cast<const json*>(member.subject);
  if (value.is_boolean()) {
    writer.boolean(value.get<bool>());
  } else if (value.is_number_integer()) {
    writer.integer(value.get<std::int64_t>());
  } else {
    writer.number(roundToNineSignificantDigits(value.get<double>()));
  }
}

// subject: the optionals, detail: the first field of the key whose object
// this is.
void writeOptionalGroup(JsonTextWriter& writer, const TextMember& member) {
  const auto& optionals = *static_cast<const DecodedOptionals*>(member.subject);
  const std::string_view key = static_cast<const OptionalField*>(member.detail)->key;
  ObjectText group;
  for (std::size_t i = 0; i < optionals.fields.size(); ++i) {
    if (optionals.fields[i].key == key && optionals.values[i]) {
      group.add(optionals.fields[i].subKey, &writeOptionalMember, &*optionals.values[i]);
    }
  }
  group.writeTo(writer);
}

bool anEarlierValueShares(const DecodedOptionals& optionals, std::size_t index) {
  for (std::size_t i = 0; i < index; ++i) {
    if (optionals.values[i] && optionals.fields[i].key == optionals.fields[index].key) return true;
  }
  return false;
}

}  // namespace

void readStringsInto(ByteCursor payload, DecodedStrings& into) {
  StringsToRecords strings{into};
  readStrings(payload, into.ids, strings);
}

void readOptionalsInto(ByteCursor payload, DecodedOptionals& into) {
  OptionalsToRecords optionals{DecodedOptionals{.fields = into.fields}};
  readOptionals(payload, into.fields, optionals);
  const DecodedOptionals& block = optionals.block;
  for (std::size_t i = 0; i < into.fields.size(); ++i) {
    if (!block.values[i]) continue;
    for (std::size_t j = 0; j < into.fields.size(); ++j) {
      if (into.fields[j].key == into.fields[i].key) into.values[j] = block.values[j];
    }
  }
}

void addStringMembers(ObjectText& object, const DecodedStrings& strings) {
  for (std::size_t i = 0; i < strings.ids.size(); ++i) {
    if (strings.texts[i]) object.add(strings.ids[i].key, &writeStringMember, &*strings.texts[i]);
  }
}

void addOptionalMembers(ObjectText& object, const DecodedOptionals& optionals) {
  for (std::size_t i = 0; i < optionals.fields.size(); ++i) {
    const OptionalField& field = optionals.fields[i];
    if (!optionals.values[i]) continue;
    if (field.subKey.empty()) {
      object.add(field.key, &writeOptionalMember, &*optionals.values[i]);
    } else if (!anEarlierValueShares(optionals, i)) {
      object.add(field.key, &writeOptionalGroup, &optionals, &field);
    }
  }
}

json decodeStrings(const std::uint8_t*& p, const std::uint8_t* end, std::span<const StringId> ids) {
  ByteCursor cursor(p, end);
  StringsToJson strings;
  readStrings(cursor, ids, strings);
  p = cursor.position();
  return std::move(strings.object);
}

json decodeOptionals(const std::uint8_t*& p, const std::uint8_t* end,
                     std::span<const OptionalField> fields) {
  ByteCursor cursor(p, end);
  OptionalsToJson optionals;
  readOptionals(cursor, fields, optionals);
  p = cursor.position();
  return std::move(optionals.object);
}

void inspectStrings(ByteCursor payload, std::span<const StringId> ids, PayloadListing& listing) {
  readStrings(payload, ids, listing);
}

void inspectOptionals(ByteCursor payload, std::span<const OptionalField> fields,
                      PayloadListing& listing) {
  readOptionals(payload, fields, listing);
}

}  // namespace ravelin
