#pragma once

// The inspector's account of a blob: one element per byte region (a header,
// a block, a record, a field, a fault, a run of raw bytes), nested and in
// wire order, from which the listing and its JSON form are rendered. An
// element records where its value lies and how to read it; the value is read
// from the blob when rendered, with the little-endian reads of the decoders.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "wire/container.h"
#include "wire/fields.h"

namespace ravelin {

enum class ValueType : std::uint8_t { NONE, U8, U16, U32, U64, I8, I16, I32, F32, TEXT, BYTES };

template <WireScalar T>
constexpr ValueType valueTypeOf() {
  if constexpr (std::is_same_v<T, float>) return ValueType::F32;
  constexpr bool isSigned = std::is_signed_v<T>;
  switch (sizeof(T)) {
    case 1:
      return isSigned ? ValueType::I8 : ValueType::U8;
    case 2:
      return isSigned ? ValueType::I16 : ValueType::U16;
    case 4:
      return isSigned ? ValueType::I32 : ValueType::U32;
    default:
      return ValueType::U64;
  }
}

struct Element {
  std::size_t offset = 0;
  std::size_t size = 0;
  // Where the value starts: after a length prefix, say. A container's
  // children start there, after a block's frame for instance.
  std::size_t valueOffset = 0;
  std::size_t count = 0;             // values of `type` there; bytes for TEXT and BYTES
  std::uint64_t bit = 0;             // non-zero: the value is whether this bit is set
  const FieldInfo* field = nullptr;  // an enumeration's names, a matrix's columns
  std::string_view name;
  std::string_view qualifier;  // shown as name.qualifier
  std::int32_t index = -1;     // shown as name[index]
  std::uint16_t depth = 0;
  ValueType type = ValueType::NONE;
  bool hex = false;
  bool fault = false;
  std::string note;
};

// Built by a single walk over one blob, which must outlive it.
class Annotation {
 public:
  // A listing stops here, far beyond any real blob; the walk goes on, so
  // that the verdict still covers the whole blob.
  static constexpr std::size_t kMaxElements = 250000;
  // A run of bytes that the walk cannot read is shown by its start only.
  static constexpr std::size_t kMaxDumpLines = 4;
  static constexpr std::size_t kDumpLineBytes = 16;
  // The size of a container whose end is known only once its last child is.
  static constexpr std::size_t kSizeFromChildren = std::numeric_limits<std::size_t>::max();

  explicit Annotation(std::span<const std::uint8_t> blob) : blob_(blob) {}

  std::span<const std::uint8_t> blob() const { return blob_; }
  std::size_t offsetOf(const std::uint8_t* at) const {
    return static_cast<std::size_t>(at - blob_.data());
  }
  const std::vector<Element>& elements() const { return elements_; }
  // Elements beyond kMaxElements, and where the first of them lies.
  std::size_t omitted() const { return omitted_; }
  std::size_t firstOmittedOffset() const { return firstOmittedOffset_; }

  std::size_t faults() const { return faults_; }
  // What the decoder would fail with: the message of the first fault, or "".
  const std::string& firstFaultMessage() const { return firstFaultMessage_; }
  bool crcMismatch() const { return crcMismatch_; }
  void markCrcMismatch() { crcMismatch_ = true; }
  // Whether a text added, listed or not, holds bytes outside UTF-8.
  bool holdsTextOutsideUtf8() const { return textOutsideUtf8_; }
  // What a decoder would say: it fails on a fault and reports a CRC mismatch.
  bool damaged() const { return faults_ > 0 || crcMismatch_; }

  // A point to go back to: rollback() drops every element added since, with
  // the faults they marked. The containers open then must be open again.
  struct Mark {
    std::size_t elements = 0;
    std::size_t omitted = 0;
    std::size_t faults = 0;
    std::size_t containerEnd = 0;
    std::int32_t nextIndex = 0;
    bool textOutsideUtf8 = false;
  };
  Mark mark() const;
  void rollback(const Mark& mark);

  // The returned reference lasts until the next element is added.
  Element& add(std::size_t offset, std::size_t size, std::string_view name,
               std::int32_t index = -1);
  // Elements added until the matching close() are the container's children.
  Element& open(std::size_t offset, std::size_t size, std::string_view name,
                std::int32_t index = -1);
  void close();
  std::size_t depth() const { return open_.size(); }
  void closeTo(std::size_t depth);
  // The position of the next indexed child (a block) in the open container.
  std::int32_t nextIndex();

  // `count` values of type T in a row, as one element.
  template <WireScalar T>
  Element& addScalar(std::size_t offset, std::string_view name, std::int32_t index = -1,
                     std::size_t count = 1) {
    Element& element = add(offset, sizeof(T) * count, name, index);
    element.valueOffset = offset;
    element.count = count;
    element.type = valueTypeOf<T>();
    return element;
  }
  // A text of `length` bytes after a length prefix of `prefix` bytes.
  Element& addText(std::size_t offset, std::size_t prefix, std::size_t length,
                   std::string_view name, std::int32_t index = -1);

  // A record's fields at `offset`: in a container named `name`, or, for an
  // empty name, as children of the open container. A record of one field is
  // one element, under `name` when given.
  template <WireRecord R>
  void addRecord(std::size_t offset, std::string_view name, std::int32_t index = -1);
  // One field of a record, named as its description says unless `name` is given.
  template <WireScalar T>
  void addField(std::size_t offset, const FieldInfo& info, const T& sample,
                std::string_view name = {}, std::int32_t index = -1);
  template <WireScalar T, std::size_t N>
  void addField(std::size_t offset, const FieldInfo& info, const std::array<T, N>& sample,
                std::string_view name = {}, std::int32_t index = -1);
  template <WireRecord R>
  void addField(std::size_t offset, const FieldInfo& info, const R&, std::string_view name = {},
                std::int32_t index = -1) {
    addRecord<R>(offset, name.empty() ? info.name : name, index);
  }

  // Notes the element called `name` among those added from index `since` on.
  void setNote(std::size_t since, std::string_view name, std::string note);

  // Shows [from, to) as lines of 16 bytes, at most kMaxDumpLines of them.
  void addBytes(std::size_t from, std::size_t to);
  // Marks a fault: what `error` says, where a BlobFault lies or else at
  // `fallback`. The bytes from there up to `resumeAt`, which the walk
  // skips, are shown under it. A fault with no bytes to show goes after the
  // element listed last that starts at or before it.
  void addFault(const std::exception& error, std::size_t fallback, std::size_t resumeAt);

 private:
  struct OpenContainer {
    std::size_t element;  // index in elements_, or npos when over the limit
    std::size_t end;      // end of the children so far
    std::int32_t nextIndex;
  };

  // Makes the element added last a container, as open() does.
  void openLastAdded();
  void extendOpenContainer(std::size_t end);
  void insertFault(std::size_t offset, std::string text);

  std::span<const std::uint8_t> blob_;
  std::vector<Element> elements_;
  std::size_t lastAdded_ = 0;  // npos when it was over the limit
  std::vector<OpenContainer> open_;
  Element dropped_;
  std::size_t omitted_ = 0;
  std::size_t firstOmittedOffset_ = 0;
  std::size_t faults_ = 0;
  std::string firstFaultMessage_;
  bool crcMismatch_ = false;
  bool textOutsideUtf8_ = false;
  std::int32_t nextRootIndex_ = 0;
};

template <WireRecord R>
void Annotation::addRecord(std::size_t offset, std::string_view name, std::int32_t index) {
  const R sample{};
  if constexpr (kFieldCount<R> == 1) {
    forEachNamedField(sample, [&](const FieldInfo& info, const auto& field) {
      addField(offset, info, field, name, index);
    });
  } else {
    const std::size_t depthBefore = depth();
    if (!name.empty()) open(offset, R::kWireSize, name, index);
    forEachNamedField(sample, [&](const FieldInfo& info, const auto& field) {
      addField(offset, info, field);
      offset += wireSizeOf(field);
    });
    closeTo(depthBefore);
  }
}

template <WireScalar T>
void Annotation::addField(std::size_t offset, const FieldInfo& info, const T&,
                          std::string_view name, std::int32_t index) {
  Element& element = addScalar<T>(offset, name.empty() ? info.name : name, index);
  element.field = &info;
  element.hex = info.hex;
  if (info.bits.empty()) return;
  openLastAdded();
  for (const FlagBit& bit : info.bits) addScalar<T>(offset, bit.name).bit = bit.mask;
  close();
}

template <WireScalar T, std::size_t N>
void Annotation::addField(std::size_t offset, const FieldInfo& info, const std::array<T, N>&,
                          std::string_view name, std::int32_t index) {
  addScalar<T>(offset, name.empty() ? info.name : name, index, N).field = &info;
}

// The header both blob kinds share, with its verdicts: the body size against
// the bytes present, the stored CRC against `computedCrc` (none when the
// body is not all there). A mismatch is marked in the annotation.
void listHeader(Annotation& annotation, const Header& header, std::string_view kindWord,
                std::optional<std::uint32_t> computedCrc);

// Bytes [from, to) that the decoder does not read, with the reason.
void listUnread(Annotation& annotation, std::size_t from, std::size_t to, std::string_view why);

// The bytes of `text` up to its first that starts no UTF-8 character: all
// of them for UTF-8 text.
std::size_t utf8PrefixLength(std::string_view text);

// A text as the listing shows it, safe on any terminal: printable ASCII and
// UTF-8 characters as they are; quotes, backslashes, control characters and
// bytes that are no UTF-8 as escapes (\", \\, \n, \xNN).
std::string escapedText(std::string_view text);

// One line per element: the offset (hexadecimal) and size of its bytes, its
// name indented by its depth, then its value and what it means.
std::string renderListing(const Annotation& annotation);
// The same, written to `out` a piece at a time; false when writing failed.
bool writeListing(const Annotation& annotation, std::FILE* out);
// The elements as a JSON array, one object per line: offset, size, depth,
// path, name and, where they apply, value, note and fault.
std::string renderAnnotationJson(const Annotation& annotation);

}  // namespace ravelin
