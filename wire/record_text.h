#pragma once

// The JSON text of fixed-layout records, written straight from their field
// descriptions: the same members, values and rounding as the tree that
// record_json.h builds from them, once rounded and written, without building
// the tree. An object's members are gathered first and written in the order
// of their keys, since a record lists its fields in wire order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "wire/fields.h"
#include "wire/json_text.h"
#include "wire/record_json.h"

namespace ravelin {

struct TextMember;
using WriteMember = void (*)(JsonTextWriter& writer, const TextMember& member);

// A member whose value `write` writes from `subject` and `detail`, which
// point to whatever that function expects.
struct TextMember {
  std::string_view key;
  WriteMember write = nullptr;
  const void* subject = nullptr;
  const void* detail = nullptr;
};

// The members of one object, gathered from its parts and written sorted by key.
class ObjectText {
 public:
  void add(std::string_view key, WriteMember write, const void* subject,
           const void* detail = nullptr);
  // Writes `{`, the members in the order of their keys, and `}`.
  void writeTo(JsonTextWriter& writer);

 private:
  // More than any object of either blob kind holds.
  static constexpr std::size_t kCapacity = 40;
  std::array<TextMember, kCapacity> members_{};
  std::size_t count_ = 0;
};

// A stored number, rounded as decode writes it.
template <WireScalar T>
void writeScalarText(JsonTextWriter& writer, T value) {
  if constexpr (std::is_same_v<T, float>) {
    writer.number(roundToNineSignificantDigits(static_cast<double>(value)));
  } else if constexpr (std::is_signed_v<T>) {
    writer.integer(static_cast<std::int64_t>(value));
  } else {
    writer.integer(static_cast<std::uint64_t>(value));
  }
}

template <WireRecord R>
void writeRecordText(JsonTextWriter& writer, const R& record);

template <WireScalar T>
void writeFieldText(JsonTextWriter& writer, const T& value, const FieldInfo& info) {
  if constexpr (!std::is_same_v<T, float>) {
    if (!info.enumerators.empty()) {
      writer.string(enumerationName(info.enumerators, static_cast<std::int64_t>(value)));
      return;
    }
  }
  writeScalarText(writer, value);
}

template <WireScalar T, std::size_t N>
void writeFieldText(JsonTextWriter& writer, const std::array<T, N>& values, const FieldInfo& info) {
  const auto writeElements = [&writer](std::span<const T> part) {
    writer.beginArray();
    for (const T value : part) writeScalarText(writer, value);
    writer.endArray();
  };
  if (info.columns == 0) return writeElements(values);
  writer.beginArray();
  for (std::size_t row = 0; row < N; row += info.columns) {
    writeElements(std::span<const T>(values).subspan(row, info.columns));
  }
  writer.endArray();
}

template <WireRecord R>
void writeFieldText(JsonTextWriter& writer, const R& record, const FieldInfo&) {
  writeRecordText(writer, record);
}

// A member that is one field of a record: subject the field, detail its description.
template <typename T>
void writeFieldMember(JsonTextWriter& writer, const TextMember& member) {
  writeFieldText(writer, *static_cast<const T*>(member.subject),
                 *static_cast<const FieldInfo*>(member.detail));
}

// A member that is one bit of a flag word: subject the word, detail the bit.
template <typename T>
void writeFlagBitMember(JsonTextWriter& writer, const TextMember& member) {
  const auto word = static_cast<std::uint64_t>(
      static_cast<std::make_unsigned_t<T>>(*static_cast<const T*>(member.subject)));
  writer.boolean((word & static_cast<const FlagBit*>(member.detail)->mask) != 0);
}

// A member that is a whole record: subject the record.
template <WireRecord R>
void writeRecordMember(JsonTextWriter& writer, const TextMember& member) {
  writeRecordText(writer, *static_cast<const R*>(member.subject));
}

// A member whose value is a constant text: subject the std::string_view.
void writeTextMember(JsonTextWriter& writer, const TextMember& member);

// Adds the members that `record` contributes to an object, as appendFieldsTo
// sets them; `record` must outlive the writing.
template <WireRecord R>
void addRecordMembers(ObjectText& object, const R& record) {
  forEachNamedField(record, [&object](const FieldInfo& info, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    switch (info.json) {
      case JsonPlacement::MEMBER:
        object.add(info.name, &writeFieldMember<T>, &value, &info);
        break;
      case JsonPlacement::BIT_MEMBERS:
        if constexpr (std::is_integral_v<T>) {
          for (const FlagBit& bit : info.bits) {
            object.add(bit.name, &writeFlagBitMember<T>, &value, &bit);
          }
        }
        break;
      case JsonPlacement::NONE:
        break;
    }
  });
  if constexpr (requires { R::kJsonConstants; }) {
    for (const JsonConstant& constant : R::kJsonConstants) {
      object.add(constant.key, &writeTextMember, &constant.value);
    }
  }
}

template <WireRecord R>
void writeRecordText(JsonTextWriter& writer, const R& record) {
  if constexpr (kFieldCount<R> == 1) {
    forEachNamedField(record, [&writer](const FieldInfo& info, const auto& value) {
      writeFieldText(writer, value, info);
    });
  } else {
    ObjectText object;
    addRecordMembers(object, record);
    object.writeTo(writer);
  }
}

}  // namespace ravelin
