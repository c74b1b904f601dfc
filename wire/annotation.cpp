#include "wire/annotation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace ravelin {

namespace {

constexpr std::size_t kNoElement = std::numeric_limits<std::size_t>::max();

// Names longer than this push their value further right rather than everything.
constexpr std::size_t kMaxLabelColumn = 32;
// Offsets take 8 hexadecimal digits, enough for any input ravelin reads.
constexpr std::size_t kOffsetDigits = 8;
// The minimum width of the size column; a larger blob widens it.
constexpr std::size_t kMinSizeDigits = 4;
// Output is handed to the stream in pieces of about this size.
constexpr std::size_t kWriteChunk = 64 * 1024;

std::size_t decimalDigits(std::size_t value) {
  std::size_t digits = 1;
  for (; value >= 10; value /= 10) ++digits;
  return digits;
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
  std::array<char, 32> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  out.append(text.data(), result.ptr);
}

// `digits` hexadecimal digits of `value`, leading zeros included; by hand,
// since the listing writes a few for every line.
void appendHexDigits(std::string& out, std::uint64_t value, std::size_t digits) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  for (std::size_t shift = 4 * digits; shift > 0; shift -= 4) {
    out += kDigits[(value >> (shift - 4)) & 0xFU];
  }
}

void appendHex(std::string& out, std::uint64_t value, std::size_t digits) {
  out += "0x";
  appendHexDigits(out, value, digits);
}

// The length of the UTF-8 sequence at `text`, or 0 when none starts there:
// a bad lead or continuation byte, an overlong form, a surrogate, or a code
// point beyond U+10FFFF.
std::size_t utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  std::uint32_t codePoint = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0FU;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07U;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0U) != 0x80U) return 0;
    codePoint = (codePoint << 6) | (next & 0x3FU);
  }
  constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length] || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

// A text as the listing shows it, safe on any terminal: printable ASCII and
// UTF-8 characters as they are; quotes, backslashes, control characters and
// bytes that are no UTF-8 as escapes (\", \\, \n, \xNN).
void appendEscapedText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      const std::size_t length = utf8SequenceLength(text.substr(i));
      // C2 80 to C2 9F are the C1 controls, which some terminals obey.
      const bool control =
          length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
      if (length > 0 && !control) {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
    }
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (byte >= 0x20 && byte < 0x7F) {
          out += static_cast<char>(byte);
        } else {
          out += "\\x";
          appendHexDigits(out, byte, 2);
        }
    }
    ++i;
  }
}

}  // namespace

std::size_t utf8PrefixLength(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length =
        static_cast<unsigned char>(text[i]) < 0x80 ? 1 : utf8SequenceLength(text.substr(i));
    if (length == 0) break;
    i += length;
  }
  return i;
}

std::string escapedText(std::string_view text) {
  std::string escaped;
  appendEscapedText(escaped, text);
  return escaped;
}

namespace {

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u";
      appendHexDigits(out, byte, 4);
    } else {
      out += c;
    }
  }
  out += '"';
}

// One stored number, as the decoders read it.
struct Scalar {
  enum class Kind { UNSIGNED, SIGNED, FLOAT } kind = Kind::UNSIGNED;
  std::uint64_t unsignedValue = 0;
  std::int64_t signedValue = 0;
  float floatValue = 0;
};

std::size_t widthOf(ValueType type) {
  switch (type) {
    case ValueType::U8:
    case ValueType::I8:
      return 1;
    case ValueType::U16:
    case ValueType::I16:
      return 2;
    case ValueType::U32:
    case ValueType::I32:
    case ValueType::F32:
      return 4;
    case ValueType::U64:
      return 8;
    case ValueType::NONE:
    case ValueType::TEXT:
    case ValueType::BYTES:
      break;
  }
  return 1;
}

Scalar readScalar(ByteCursor& cursor, ValueType type) {
  Scalar scalar;
  const auto asUnsigned = [&scalar](std::uint64_t value) { scalar.unsignedValue = value; };
  const auto asSigned = [&scalar](std::int64_t value) {
    scalar.kind = Scalar::Kind::SIGNED;
    scalar.signedValue = value;
  };
  switch (type) {
    case ValueType::U8:
      asUnsigned(cursor.read<std::uint8_t>());
      break;
    case ValueType::U16:
      asUnsigned(cursor.read<std::uint16_t>());
      break;
    case ValueType::U32:
      asUnsigned(cursor.read<std::uint32_t>());
      break;
    case ValueType::U64:
      asUnsigned(cursor.read<std::uint64_t>());
      break;
    case ValueType::I8:
      asSigned(cursor.read<std::int8_t>());
      break;
    case ValueType::I16:
      asSigned(cursor.read<std::int16_t>());
      break;
    case ValueType::I32:
      asSigned(cursor.read<std::int32_t>());
      break;
    case ValueType::F32:
      scalar.kind = Scalar::Kind::FLOAT;
      scalar.floatValue = cursor.read<float>();
      break;
    case ValueType::NONE:
    case ValueType::TEXT:
    case ValueType::BYTES:
      break;
  }
  return scalar;
}

// The name an enumeration's number stands for, or none outside its table.
std::optional<std::string_view> enumeratorOf(const Element& element, const Scalar& scalar) {
  const std::int64_t index = scalar.kind == Scalar::Kind::SIGNED
                                 ? scalar.signedValue
                                 : static_cast<std::int64_t>(scalar.unsignedValue);
  const auto names = element.field->enumerators;
  if (index < 0 || static_cast<std::uint64_t>(index) >= names.size()) return std::nullopt;
  return names[static_cast<std::size_t>(index)];
}

// The bits set in a flag word that its description does not name.
std::uint64_t unnamedBits(const Element& element, const Scalar& scalar) {
  if (element.field == nullptr || element.field->bits.empty()) return 0;
  std::uint64_t named = 0;
  for (const FlagBit& bit : element.field->bits) named |= bit.mask;
  return scalar.unsignedValue & ~named;
}

bool isEnumeration(const Element& element) {
  return element.field != nullptr && !element.field->enumerators.empty();
}

std::string_view bytesAt(std::span<const std::uint8_t> blob, std::size_t offset,
                         std::size_t count) {
  ByteCursor cursor(blob);
  cursor.skip(offset);
  return {reinterpret_cast<const char*>(cursor.take(count).position()), count};
}

enum class Syntax { LISTING, JSON };

void appendScalar(std::string& out, const Element& element, const Scalar& scalar, Syntax syntax) {
  switch (scalar.kind) {
    case Scalar::Kind::UNSIGNED:
      if (element.hex && syntax == Syntax::LISTING) {
        appendHex(out, scalar.unsignedValue, 2 * widthOf(element.type));
      } else {
        appendNumber(out, scalar.unsignedValue);
      }
      break;
    case Scalar::Kind::SIGNED:
      appendNumber(out, scalar.signedValue);
      break;
    case Scalar::Kind::FLOAT:
      // The shortest text that reads back as the same float32.
      if (syntax == Syntax::JSON && !std::isfinite(scalar.floatValue)) {
        out += '"';
        appendNumber(out, scalar.floatValue);
        out += '"';
      } else {
        appendNumber(out, scalar.floatValue);
      }
      break;
  }
}

void appendNumbers(std::string& out, const Element& element, std::span<const std::uint8_t> blob,
                   Syntax syntax) {
  ByteCursor cursor(blob);
  cursor.skip(element.valueOffset);
  const std::size_t columns = element.field != nullptr ? element.field->columns : 0;
  const bool rows = columns > 0 && element.count > columns;
  out += rows ? "[[" : "[";
  for (std::size_t i = 0; i < element.count; ++i) {
    if (i > 0) out += (rows && i % columns == 0) ? "], [" : ", ";
    appendScalar(out, element, readScalar(cursor, element.type), syntax);
  }
  out += rows ? "]]" : "]";
}

void appendHexBytes(std::string& out, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    appendHexDigits(out, static_cast<unsigned char>(bytes[i]), 2);
  }
}

// Hexadecimal bytes, then the printable ones as text, in the columns of a full line.
void appendByteRun(std::string& out, std::string_view bytes) {
  appendHexBytes(out, bytes);
  out.append(3 * (Annotation::kDumpLineBytes - bytes.size()), ' ');
  out += "  |";
  for (const char c : bytes) out += (c >= 0x20 && c < 0x7F) ? c : '.';
  out += '|';
}

// The value as the listing shows it; an enumeration's name follows in brackets.
void appendListingValue(std::string& out, const Element& element,
                        std::span<const std::uint8_t> blob) {
  switch (element.type) {
    case ValueType::NONE:
      return;
    case ValueType::TEXT:
      out += '"';
      appendEscapedText(out, bytesAt(blob, element.valueOffset, element.count));
      out += '"';
      return;
    case ValueType::BYTES:
      appendByteRun(out, bytesAt(blob, element.valueOffset, element.count));
      return;
    default:
      break;
  }
  if (element.count != 1) return appendNumbers(out, element, blob, Syntax::LISTING);
  ByteCursor cursor(blob);
  cursor.skip(element.valueOffset);
  const Scalar scalar = readScalar(cursor, element.type);
  if (element.bit != 0) {
    out += (scalar.unsignedValue & element.bit) != 0 ? "true" : "false";
    return;
  }
  appendScalar(out, element, scalar, Syntax::LISTING);
  if (const std::uint64_t unnamed = unnamedBits(element, scalar)) {
    out += " (bits ";
    appendHex(out, unnamed, 2 * widthOf(element.type));
    out += " name nothing: ignored)";
  }
  if (isEnumeration(element)) {
    out += " (";
    out += enumeratorOf(element, scalar).value_or("not in the table");
    out += ')';
  }
}

std::size_t labelLength(const Element& element) {
  std::size_t length = element.name.size();
  if (!element.qualifier.empty()) length += 1 + element.qualifier.size();
  if (element.index >= 0) length += 2 + decimalDigits(static_cast<std::size_t>(element.index));
  return length;
}

void appendLabel(std::string& out, const Element& element) {
  out += element.name;
  if (!element.qualifier.empty()) {
    out += '.';
    out += element.qualifier;
  }
  if (element.index >= 0) {
    out += '[';
    appendNumber(out, element.index);
    out += ']';
  }
}

// Collects text and hands it to `out`, when there is one, a piece at a time.
class TextSink {
 public:
  explicit TextSink(std::FILE* out) : out_(out) {}

  std::string& text() { return text_; }
  void pieceDone() {
    if (out_ != nullptr && text_.size() >= kWriteChunk) flush();
  }
  bool flush() {
    if (out_ != nullptr && !text_.empty()) {
      ok_ = ok_ && std::fwrite(text_.data(), 1, text_.size(), out_) == text_.size();
      text_.clear();
    }
    return ok_;
  }

 private:
  std::FILE* out_;
  std::string text_;
  bool ok_ = true;
};

// The element that stands for everything beyond the element limit.
Element omittedElement(const Annotation& annotation) {
  Element element;
  element.offset = annotation.firstOmittedOffset();
  element.size = annotation.blob().size() - element.offset;
  element.name = "...";
  element.note = std::to_string(annotation.omitted()) +
                 " more elements not listed: a listing stops at " +
                 std::to_string(Annotation::kMaxElements);
  return element;
}

void appendListingLine(std::string& out, const Element& element, std::span<const std::uint8_t> blob,
                       std::size_t sizeDigits, std::size_t labelColumn) {
  appendHexDigits(out, element.offset, kOffsetDigits);
  out.append(1 + sizeDigits - std::min(sizeDigits, decimalDigits(element.size)), ' ');
  appendNumber(out, element.size);
  out += "  ";
  const std::size_t indent = 2 * std::size_t{element.depth};
  out.append(indent, ' ');
  appendLabel(out, element);
  const std::size_t used = indent + labelLength(element);
  out.append(used < labelColumn ? labelColumn - used : 0, ' ');
  out += "  ";
  const std::size_t valueStart = out.size();
  appendListingValue(out, element, blob);
  if (!element.note.empty()) {
    if (out.size() > valueStart) out += "  ";
    out += element.note;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  out += '\n';
}

void renderListingTo(const Annotation& annotation, TextSink& sink) {
  constexpr std::size_t kTypicalLine = 80;
  const auto& elements = annotation.elements();
  sink.text().reserve(std::min(elements.size() * kTypicalLine, 2 * kWriteChunk));
  const std::size_t sizeDigits = std::max(kMinSizeDigits, decimalDigits(annotation.blob().size()));
  std::size_t labelColumn = 0;
  for (const Element& element : elements) {
    labelColumn = std::max(labelColumn, 2 * std::size_t{element.depth} + labelLength(element));
  }
  labelColumn = std::min(labelColumn, kMaxLabelColumn);
  for (const Element& element : elements) {
    appendListingLine(sink.text(), element, annotation.blob(), sizeDigits, labelColumn);
    sink.pieceDone();
  }
  if (annotation.omitted() > 0) {
    appendListingLine(sink.text(), omittedElement(annotation), annotation.blob(), sizeDigits,
                      labelColumn);
  }
}

void appendNote(std::string& note, std::string_view more) {
  if (!note.empty()) note += "; ";
  note += more;
}

void appendJsonValue(std::string& out, const Element& element, std::span<const std::uint8_t> blob,
                     std::string& note) {
  out += ", \"value\": ";
  if (element.type == ValueType::TEXT) {
    const std::string_view text = bytesAt(blob, element.valueOffset, element.count);
    if (utf8PrefixLength(text) == text.size()) return appendJsonString(out, text);
    std::string escaped;
    appendEscapedText(escaped, text);
    appendJsonString(out, escaped);
    appendNote(note, "not UTF-8: bytes outside it written as \\xNN");
    return;
  }
  if (element.type == ValueType::BYTES) {
    std::string hex;
    appendHexBytes(hex, bytesAt(blob, element.valueOffset, element.count));
    return appendJsonString(out, hex);
  }
  if (element.count != 1) return appendNumbers(out, element, blob, Syntax::JSON);
  ByteCursor cursor(blob);
  cursor.skip(element.valueOffset);
  const Scalar scalar = readScalar(cursor, element.type);
  if (element.bit != 0) {
    out += (scalar.unsignedValue & element.bit) != 0 ? "true" : "false";
    return;
  }
  appendScalar(out, element, scalar, Syntax::JSON);
  if (isEnumeration(element))
    appendNote(note, enumeratorOf(element, scalar).value_or("not in the table"));
}

void appendJsonElement(std::string& out, const Element& element, std::string_view path,
                       std::span<const std::uint8_t> blob) {
  out += "    {\"offset\": ";
  appendNumber(out, element.offset);
  out += ", \"size\": ";
  appendNumber(out, element.size);
  out += ", \"depth\": ";
  appendNumber(out, element.depth);
  out += ", \"path\": ";
  appendJsonString(out, path);
  out += ", \"name\": ";
  std::string label;
  appendLabel(label, element);
  appendJsonString(out, label);
  std::string note = element.fault ? std::string() : element.note;
  if (element.type != ValueType::NONE) appendJsonValue(out, element, blob, note);
  if (!note.empty()) {
    out += ", \"note\": ";
    appendJsonString(out, note);
  }
  if (element.fault) {
    out += ", \"fault\": ";
    appendJsonString(out, element.note);
  }
  out += '}';
}

}  // namespace

Element& Annotation::add(std::size_t offset, std::size_t size, std::string_view name,
                         std::int32_t index) {
  if (elements_.size() >= kMaxElements) {
    if (omitted_++ == 0) firstOmittedOffset_ = offset;
    lastAdded_ = kNoElement;
    dropped_ = Element{};
    return dropped_;
  }
  lastAdded_ = elements_.size();
  Element& element = elements_.emplace_back();
  element.offset = offset;
  element.valueOffset = offset;
  // A record cut short by the end of the blob covers what there is of it.
  element.size = size == kSizeFromChildren ? size : std::min(size, blob_.size() - offset);
  element.name = name;
  element.index = index;
  element.depth = static_cast<std::uint16_t>(open_.size());
  if (size != kSizeFromChildren) extendOpenContainer(offset + element.size);
  return element;
}

Element& Annotation::open(std::size_t offset, std::size_t size, std::string_view name,
                          std::int32_t index) {
  Element& element = add(offset, size, name, index);
  openLastAdded();
  return element;
}

void Annotation::openLastAdded() {
  const std::size_t start = lastAdded_ == kNoElement ? 0 : elements_[lastAdded_].offset;
  open_.push_back({lastAdded_, start, 0});
}

void Annotation::close() {
  const OpenContainer closing = open_.back();
  open_.pop_back();
  if (closing.element == kNoElement) return;
  Element& element = elements_[closing.element];
  if (element.size == kSizeFromChildren) {
    element.size = closing.end > element.offset ? closing.end - element.offset : 0;
  }
  extendOpenContainer(element.offset + element.size);
}

void Annotation::setNote(std::size_t since, std::string_view name, std::string note) {
  for (std::size_t i = since; i < elements_.size(); ++i) {
    if (elements_[i].name == name) elements_[i].note = std::move(note);
  }
}

void Annotation::closeTo(std::size_t depth) {
  while (open_.size() > depth) close();
}

Annotation::Mark Annotation::mark() const {
  Mark mark{elements_.size(), omitted_, faults_, 0, nextRootIndex_, textOutsideUtf8_};
  if (!open_.empty()) {
    mark.containerEnd = open_.back().end;
    mark.nextIndex = open_.back().nextIndex;
  }
  return mark;
}

void Annotation::rollback(const Mark& mark) {
  elements_.resize(mark.elements);
  omitted_ = mark.omitted;
  faults_ = mark.faults;
  if (faults_ == 0) firstFaultMessage_.clear();
  textOutsideUtf8_ = mark.textOutsideUtf8;
  lastAdded_ = kNoElement;
  if (open_.empty()) {
    nextRootIndex_ = mark.nextIndex;
  } else {
    open_.back().end = mark.containerEnd;
    open_.back().nextIndex = mark.nextIndex;
  }
}

std::int32_t Annotation::nextIndex() {
  std::int32_t& next = open_.empty() ? nextRootIndex_ : open_.back().nextIndex;
  return next++;
}

void Annotation::extendOpenContainer(std::size_t end) {
  if (!open_.empty()) open_.back().end = std::max(open_.back().end, end);
}

Element& Annotation::addText(std::size_t offset, std::size_t prefix, std::size_t length,
                             std::string_view name, std::int32_t index) {
  const std::string_view text = bytesAt(blob_, offset + prefix, length);
  textOutsideUtf8_ = textOutsideUtf8_ || utf8PrefixLength(text) < text.size();
  Element& element = add(offset, prefix + length, name, index);
  element.valueOffset = offset + prefix;
  element.count = length;
  element.type = ValueType::TEXT;
  return element;
}

void Annotation::addBytes(std::size_t from, std::size_t to) {
  std::size_t at = from;
  for (std::size_t line = 0; at < to && line < kMaxDumpLines; ++line) {
    const std::size_t count = std::min(kDumpLineBytes, to - at);
    Element& element = add(at, count, "bytes");
    element.valueOffset = at;
    element.count = count;
    element.type = ValueType::BYTES;
    at += count;
  }
  if (at < to) add(at, to - at, "bytes").note = byteCount(to - at) + " more, not shown";
}

void Annotation::addFault(const std::exception& error, std::size_t fallback, std::size_t resumeAt) {
  std::size_t offset = fallback;
  std::string text = error.what();
  if (faults_++ == 0) firstFaultMessage_ = text;
  if (const auto* fault = dynamic_cast<const BlobFault*>(&error)) {
    offset = offsetOf(fault->at());
    text += ": expected " + fault->expected() + ", found " + fault->found();
  }
  if (resumeAt <= offset) return insertFault(offset, std::move(text));
  Element& element = add(offset, resumeAt - offset, "FAULT");
  element.fault = true;
  element.note = std::move(text);
  openLastAdded();
  addBytes(offset, resumeAt);
  close();
}

// Among the elements already listed, after the last that starts at or
// before the fault: the field a check concerns comes before its verdict, and
// the offsets stay in order.
void Annotation::insertFault(std::size_t offset, std::string text) {
  const auto before = std::find_if(elements_.rbegin(), elements_.rend(),
                                   [offset](const Element& e) { return e.offset <= offset; });
  const auto at = static_cast<std::size_t>(elements_.rend() - before);
  if (at == elements_.size() || elements_.size() >= kMaxElements) {
    Element& element = add(offset, 0, "FAULT");
    element.fault = true;
    element.note = std::move(text);
    return;
  }
  Element fault;
  fault.offset = offset;
  fault.valueOffset = offset;
  fault.name = "FAULT";
  fault.fault = true;
  fault.note = std::move(text);
  // The first child of a container whose children all lie after the fault.
  if (at > 0) {
    const Element& previous = elements_[at - 1];
    fault.depth = elements_[at].depth > previous.depth ? previous.depth + 1 : previous.depth;
  }
  elements_.insert(elements_.begin() + static_cast<std::ptrdiff_t>(at), std::move(fault));
  for (OpenContainer& container : open_) {
    if (container.element != kNoElement && container.element >= at) ++container.element;
  }
  if (lastAdded_ != kNoElement && lastAdded_ >= at) ++lastAdded_;
}

void listHeader(Annotation& annotation, const Header& header, std::string_view kindWord,
                std::optional<std::uint32_t> computedCrc) {
  const bool mismatch = computedCrc && *computedCrc != header.crc32;
  if (mismatch) annotation.markCrcMismatch();
  const std::size_t first = annotation.elements().size();
  annotation.addRecord<Header>(0, "header");

  std::string versionNote(kindWord);
  versionNote += " blob, version " + std::to_string(header.majorVersion) + "." +
                 std::to_string(header.minorVersion);
  if (mismatch) versionNote += ", CRC32 MISMATCH";
  const std::string magicNote =
      '"' + escapedText(bytesAt(annotation.blob(), 0, sizeof header.magic)) + '"';
  const std::size_t present = annotation.blob().size() - Header::kWireSize;
  std::string crcNote = "not computed: the body is not all there";
  if (computedCrc) {
    crcNote.clear();
    crcNote += "computed ";
    appendHex(crcNote, *computedCrc, 8);
    crcNote += mismatch ? ": MISMATCH" : ": match";
  }
  annotation.setNote(first, "header", std::move(versionNote));
  annotation.setNote(first, "magic", std::move(magicNote));
  annotation.setNote(first, "bodySize", byteCount(present) + " follow the header");
  annotation.setNote(first, "crc32", std::move(crcNote));
}

void listUnread(Annotation& annotation, std::size_t from, std::size_t to, std::string_view why) {
  if (from >= to) return;
  annotation.open(from, to - from, "unread").note = why;
  annotation.addBytes(from, to);
  annotation.close();
}

std::string renderListing(const Annotation& annotation) {
  TextSink sink(nullptr);
  renderListingTo(annotation, sink);
  return std::move(sink.text());
}

bool writeListing(const Annotation& annotation, std::FILE* out) {
  TextSink sink(out);
  renderListingTo(annotation, sink);
  return sink.flush() && std::fflush(out) == 0;
}

std::string renderAnnotationJson(const Annotation& annotation) {
  std::string out = "[\n";
  std::vector<std::string> labels;
  std::string path;
  bool first = true;
  const auto appendElement = [&](const Element& element) {
    labels.resize(element.depth);
    std::string label;
    appendLabel(label, element);
    labels.push_back(std::move(label));
    path.clear();
    for (const std::string& part : labels) {
      if (!path.empty()) path += '/';
      path += part;
    }
    if (!first) out += ",\n";
    first = false;
    appendJsonElement(out, element, path, annotation.blob());
  };
  for (const Element& element : annotation.elements()) appendElement(element);
  if (annotation.omitted() > 0) appendElement(omittedElement(annotation));
  out += "\n]\n";
  return out;
}

}  // namespace ravelin
