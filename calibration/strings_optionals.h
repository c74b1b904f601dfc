#pragma once

// Strings blocks (identity texts of cameras, IMUs and metadata) and optionals
// blocks (optional characteristics behind a presence mask): their key tables,
// the decoders and the payload builders.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "calibration/compact.h"

namespace ravelin {

// One entry of a strings block: id (u8), length (u16), text.
struct StringId {
  std::uint8_t id;
  std::string_view key;
};

extern const std::array<StringId, 4> kCameraStringIds;
extern const std::array<StringId, 3> kImuStringIds;
extern const std::array<StringId, 4> kMetaStringIds;

enum class OptionalKind : std::uint8_t { INT16 = 0, FLOAT = 1, BOOL = 2 };

// One row of an optionals descriptor table. With a sub-key the value lives at
// object[key][subKey], otherwise at object[key].
struct OptionalField {
  std::uint64_t bit;
  OptionalKind kind;
  std::string_view key;
  std::string_view subKey;  // empty when the row has none
};

extern const std::array<OptionalField, 8> kCameraOptionalFields;
extern const std::array<OptionalField, 8> kImuOptionalFields;

// Decoders: p stands at the start of the payload and ends at `end`.
json decodeStrings(const std::uint8_t*& p, const std::uint8_t* end, std::span<const StringId> ids);
json decodeOptionals(const std::uint8_t*& p, const std::uint8_t* end,
                     std::span<const OptionalField> fields);

// What the strings blocks of one object say: for each key of its table the
// text of the last entry that carried it.
struct DecodedStrings {
  static constexpr std::size_t kMaxKeys = 4;
  std::span<const StringId> ids = {};
  std::array<std::optional<std::string>, kMaxKeys> texts{};  // in the order of `ids`
};

// What the optionals blocks of one object say. A block replaces, for each key
// it carries, everything an earlier block held under that key, as merging its
// JSON object does.
struct DecodedOptionals {
  static constexpr std::size_t kMaxFields = 8;
  std::span<const OptionalField> fields = {};
  std::array<std::optional<json>, kMaxFields> values{};  // scalars, in the order of `fields`
};

// The decoders' reads and checks, keeping what they read in `into`.
void readStringsInto(ByteCursor payload, DecodedStrings& into);
void readOptionalsInto(ByteCursor payload, DecodedOptionals& into);

class ObjectText;

// The members these add to the JSON object of their camera, IMU or metadata.
void addStringMembers(ObjectText& object, const DecodedStrings& strings);
void addOptionalMembers(ObjectText& object, const DecodedOptionals& optionals);

class PayloadListing;

// The same reads and checks, listing the payload instead.
void inspectStrings(ByteCursor payload, std::span<const StringId> ids, PayloadListing& listing);
void inspectOptionals(ByteCursor payload, std::span<const OptionalField> fields,
                      PayloadListing& listing);

// Longest text a strings entry can carry; longer texts are cut.
constexpr std::size_t kMaxStringEntryLength = 0xFFFF;

}  // namespace ravelin
