#include <algorithm>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console/log.h"
#include "device_config/device_config.h"
#include "device_config/format.h"
#include "wire/container.h"
#include "wire/record_json.h"

namespace ravelin {

namespace {

constexpr const char* kTruncatedPod = "device config blob truncated (pod)";
constexpr const char* kTruncatedString = "device config blob truncated (string)";
constexpr const char* kTruncatedFloats = "device config blob truncated (floats)";

// The header's fields as they lie in the blob, for the faults to point at.
constexpr std::size_t kMagicOffset = 0;
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kBodySizeOffset = 8;

// The scalars of the body that are no part of a record. The JSON keys are
// their names; the rest are the format's own bookkeeping.
constexpr FieldInfo kSchemaMajorVersion = bookkeeping("schemaMajorVersion");
constexpr FieldInfo kSchemaMinorVersion = bookkeeping("schemaMinorVersion");
constexpr FieldInfo kDeviceFlagsWord = flagWord("DeviceFlags", kDeviceFlagBits);
constexpr FieldInfo kOptionalFlagsWord = flagWord("OptionalFlags", kOptionalFlagBits);
constexpr FieldInfo kEyeTargetWidth = field("eye_target_width_in_pixels");
constexpr FieldInfo kEyeTargetHeight = field("eye_target_height_in_pixels");
constexpr FieldInfo kNumWindows = field("num_windows");
constexpr FieldInfo kHiddenAreaMesh = field("hidden_area_mesh");
constexpr FieldInfo kDevicePid = field("device_pid");
constexpr FieldInfo kDeviceVid = field("device_vid");
constexpr FieldInfo kDisplayFrequency = field("display_frequency");
constexpr FieldInfo kExpectedBases = field("expected_bases");
constexpr FieldInfo kExpectedControllers = field("expected_controllers");
constexpr FieldInfo kRevision = field("revision");
constexpr std::string_view kEyes = "tracking_to_eye_transform";

[[noreturn]] void fail(const char* message, const std::uint8_t* at, std::string expected,
                       std::string found) {
  throw BlobFault(message, at, std::move(expected), std::move(found));
}

// Reads the body field by field and tells the visitor each field's name and
// position; each read first checks that the field ends inside the body, so a
// short body fails at the first field that does not fit with the message of
// that field's kind. The visitor hears:
//   field(at, info, value)         a number or an array of floats
//   text(at, name, index, text)    a string, its length prefix included
//   open(at, name, index, size)    a record or a section of the JSON opens ...
//   close(name), closeRecord<R>(name)   ... and closes; an empty name adds
//                                  the record's fields to what is open
template <typename Visitor>
class BodyReader {
 public:
  BodyReader(ByteCursor body, Visitor& visitor) : cursor_(body), visitor_(visitor) {}

  bool atEnd() const { return cursor_.atEnd(); }
  const std::uint8_t* position() const { return cursor_.position(); }
  std::size_t remaining() const { return cursor_.remaining(); }

  template <WireScalar T>
  T field(const FieldInfo& info) {
    const std::uint8_t* at = position();
    require(cursor_, sizeof(T), kTruncatedPod, info.name);
    const T value = cursor_.read<T>();
    visitor_.field(at, info, value);
    return value;
  }

  void text(std::string_view name, std::int32_t index = -1) {
    const std::uint8_t* at = position();
    require(cursor_, sizeof(std::uint32_t), kTruncatedPod, name);
    const auto length = cursor_.read<std::uint32_t>();
    // Marked at the length, so that what the listing shows holds it.
    if (length > remaining()) {
      fail(kTruncatedString, at, byteCount(length) + " of text for " + std::string(name),
           byteCount(remaining()));
    }
    visitor_.text(at, name, index, cursor_.readString(length));
  }

  // The field `ahead` bytes on, read but neither reported nor passed: a
  // verdict on several fields comes before any of them is listed.
  template <WireScalar T>
  T peek(std::size_t ahead, const FieldInfo& info) const {
    ByteCursor field = cursor_;
    field.skip(std::min(ahead, field.remaining()));
    require(field, sizeof(T), kTruncatedPod, info.name);
    return field.read<T>();
  }

  template <WireRecord R>
  void record(std::string_view name, std::int32_t index = -1) {
    visitor_.open(position(), name, index, R::kWireSize);
    const R sample{};
    forEachNamedField(sample, [this](const FieldInfo& info, const auto& fieldSample) {
      this->member(info, fieldSample);
    });
    visitor_.template closeRecord<R>(name);
  }

  template <typename Fill>
  void section(std::string_view name, std::int32_t index, Fill&& fill) {
    visitor_.open(position(), name, index, Annotation::kSizeFromChildren);
    fill();
    visitor_.close(name);
  }

 private:
  template <WireScalar T>
  void member(const FieldInfo& info, const T&) {
    field<T>(info);
  }
  template <std::size_t N>
  void member(const FieldInfo& info, const std::array<float, N>&) {
    const std::uint8_t* at = position();
    require(cursor_, sizeof(float) * N, kTruncatedFloats, info.name);
    std::array<float, N> values{};
    cursor_.readInto(values);
    visitor_.field(at, info, values);
  }
  template <WireRecord R>
  void member(const FieldInfo& info, const R&) {
    record<R>(info.name);
  }

  static void require(const ByteCursor& at, std::size_t size, const char* message,
                      std::string_view what) {
    if (at.remaining() >= size) return;
    fail(message, at.position(), byteCount(size) + " for " + std::string(what),
         byteCount(at.remaining()));
  }

  ByteCursor cursor_;
  Visitor& visitor_;
};

template <typename Visitor>
void readSchemaVersion(BodyReader<Visitor>& body) {
  const auto major = body.template peek<std::uint16_t>(0, kSchemaMajorVersion);
  const auto minor = body.template peek<std::uint16_t>(sizeof major, kSchemaMinorVersion);
  if (major != kDeviceConfigSchemaMajor || minor != kDeviceConfigSchemaMinor) {
    fail("device config schema version unsupported", body.position(), "schema version 1.0",
         std::to_string(major) + "." + std::to_string(minor));
  }
  body.template field<std::uint16_t>(kSchemaMajorVersion);
  body.template field<std::uint16_t>(kSchemaMinorVersion);
}

template <typename Visitor>
void readDeviceSection(BodyReader<Visitor>& body) {
  const auto deviceFlags = body.template field<std::uint32_t>(kDeviceFlagsWord);
  body.section("device", -1, [&] {
    body.template field<std::uint32_t>(kEyeTargetWidth);
    body.template field<std::uint32_t>(kEyeTargetHeight);
    body.template field<std::uint32_t>(kNumWindows);
    body.text("first_eye");
    body.text("last_eye");
    if (deviceFlags & DeviceFlags::HIDDEN_AREA_MESH) {
      body.template field<std::uint32_t>(kHiddenAreaMesh);
    }
  });
  body.text("device_class");
  body.template field<std::uint32_t>(kDevicePid);
  body.text("device_serial_number");
  body.template field<std::uint32_t>(kDeviceVid);
}

template <typename Visitor>
void readOptionalFields(BodyReader<Visitor>& body) {
  using Flags = OptionalFlags;
  const auto flags = body.template field<std::uint32_t>(kOptionalFlagsWord);
  const auto announced = [flags](std::uint32_t bit) { return (flags & bit) != 0; };
  if (announced(Flags::DISPLAY_FREQUENCY)) body.template field<std::uint32_t>(kDisplayFrequency);
  if (announced(Flags::DISPLAY_EDID)) {
    body.text("display_edid", 0);
    body.text("display_edid", 1);
  }
  if (announced(Flags::EXPECTED_BASES)) body.template field<std::uint32_t>(kExpectedBases);
  if (announced(Flags::EXPECTED_CONTROLLERS)) {
    body.template field<std::uint32_t>(kExpectedControllers);
  }
  if (announced(Flags::MANUFACTURER)) body.text("manufacturer");
  if (announced(Flags::MODEL_NUMBER)) body.text("model_number");
  if (announced(Flags::REVISION)) body.template field<std::uint32_t>(kRevision);
  if (announced(Flags::DISPLAY_SERIAL_NUMBERS)) {
    for (std::int32_t eye = 0; eye < 2; ++eye) {
      body.section(kEyes, eye, [&] { body.text("display_serial_number"); });
    }
  }
  if (announced(Flags::CAD_FROM_CAL)) {
    body.section("cv", -1, [&] {
      body.section("cad_from_cal", -1, [&] {
        body.text("method");
        body.template record<CadPose>({});
      });
    });
  }
}

// The whole body, items 1 to 28 in their order; the optional ones as the flag
// words announce them.
template <typename Visitor>
void readBody(BodyReader<Visitor>& body) {
  readSchemaVersion(body);
  readDeviceSection(body);
  readOptionalFields(body);
  body.template record<CadPose>("head");
  for (std::int32_t eye = 0; eye < 2; ++eye) body.template record<EyeTransform>(kEyes, eye);
  if (!body.atEnd()) {
    fail("device config blob has unexpected trailing data", body.position(), "the body to end here",
         byteCount(body.remaining()) + " more");
  }
}

// Builds the device_config document from the fields as they are read.
class DeviceConfigToJson {
 public:
  DeviceConfigToJson() = default;
  DeviceConfigToJson(const DeviceConfigToJson&) = delete;
  DeviceConfigToJson& operator=(const DeviceConfigToJson&) = delete;

  template <typename T>
  void field(const std::uint8_t*, const FieldInfo& info, const T& value) {
    appendFieldTo(top(), info, value);
  }
  void text(const std::uint8_t*, std::string_view name, std::int32_t index, std::string&& text) {
    slot(name, index) = std::move(text);
  }
  void open(const std::uint8_t*, std::string_view name, std::int32_t index, std::size_t) {
    open_.push_back(&slot(name, index));
  }
  void close(std::string_view) { open_.pop_back(); }
  template <WireRecord R>
  void closeRecord(std::string_view name) {
    appendJsonConstants<R>(top());
    close(name);
  }

  json take() { return std::move(root_); }

 private:
  json& top() { return *open_.back(); }
  // The member `name` of what is open (what is open itself for no name), or
  // element `index` of that member.
  json& slot(std::string_view name, std::int32_t index) {
    json& member = name.empty() ? top() : top()[std::string(name)];
    return index < 0 ? member : member[static_cast<std::size_t>(index)];
  }

  json root_ = json::object();
  std::vector<json*> open_{&root_};  // never empty; arrays only grow at the top
};

// Lists the body as it is read.
class DeviceConfigListing {
 public:
  // `bodyEnd`: a record cut short by the end of the body spans what the body holds of it.
  DeviceConfigListing(Annotation& annotation, std::size_t bodyEnd)
      : annotation_(annotation), bodyEnd_(bodyEnd) {}

  template <typename T>
  void field(const std::uint8_t* at, const FieldInfo& info, const T& value) {
    annotation_.addField(annotation_.offsetOf(at), info, value);
  }
  void text(const std::uint8_t* at, std::string_view name, std::int32_t index,
            const std::string& text) {
    annotation_.addText(annotation_.offsetOf(at), sizeof(std::uint32_t), text.size(), name, index);
  }
  void open(const std::uint8_t* at, std::string_view name, std::int32_t index, std::size_t size) {
    if (name.empty()) return;
    const std::size_t offset = annotation_.offsetOf(at);
    if (size != Annotation::kSizeFromChildren) size = std::min(size, bodyEnd_ - offset);
    annotation_.open(offset, size, name, index);
  }
  void close(std::string_view name) {
    if (!name.empty()) annotation_.close();
  }
  template <WireRecord R>
  void closeRecord(std::string_view name) {
    close(name);
  }

 private:
  Annotation& annotation_;
  std::size_t bodyEnd_;
};

Header readHeader(ByteCursor& blob) {
  if (blob.remaining() < Header::kWireSize) {
    fail("device config blob too small", blob.position(),
         "at least " + byteCount(Header::kWireSize), byteCount(blob.remaining()));
  }
  return readRecord<Header>(blob);
}

std::string versionText(std::uint16_t major, std::uint16_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

void checkHeader(const Header& header, const std::uint8_t* blob) {
  if (header.magic != kDeviceConfigMagic) {
    fail("device config magic mismatch", blob + kMagicOffset, hexWord(kDeviceConfigMagic),
         hexWord(header.magic));
  }
  if (header.majorVersion != 1 || header.minorVersion != 0) {
    fail("device config version mismatch", blob + kVersionOffset, "version 1.0",
         versionText(header.majorVersion, header.minorVersion));
  }
}

// The body, which must lie inside the blob; `afterHeader` moves past it.
ByteCursor takeBody(ByteCursor& afterHeader, const Header& header, const std::uint8_t* blob) {
  if (header.bodySize > afterHeader.remaining()) {
    fail("device config body truncated", blob + kBodySizeOffset,
         byteCount(header.bodySize) + " of body", byteCount(afterHeader.remaining()));
  }
  return afterHeader.take(header.bodySize);
}

// The body the header announces or, when it is cut short, as much as there is.
ByteCursor bodyToList(Annotation& annotation, ByteCursor& afterHeader, const Header& header,
                      const std::uint8_t* blob) {
  try {
    return takeBody(afterHeader, header, blob);
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, 0, 0);
    return afterHeader;
  }
}

bool crcMatches(std::uint32_t stored, const ByteCursor& body) {
  const std::uint32_t computed = crc32(body.position(), body.remaining());
  if (computed == stored) return true;
  logError("Device config CRC mismatch: expected %u got %u", stored, computed);
  return false;
}

}  // namespace

bool decodeDeviceConfig(const std::uint8_t* begin, const std::uint8_t* end, json& out,
                        bool verifyCrc) {
  ByteCursor blob(begin, end);
  const Header header = readHeader(blob);
  checkHeader(header, begin);
  const ByteCursor body = takeBody(blob, header, begin);
  const bool crcOk = !verifyCrc || crcMatches(header.crc32, body);
  DeviceConfigToJson document;
  BodyReader reader(body, document);
  readBody(reader);
  out = document.take();
  return crcOk;
}

Annotation inspectDeviceConfig(const std::uint8_t* begin, const std::uint8_t* end) {
  Annotation annotation(std::span<const std::uint8_t>(begin, end));
  ByteCursor blob(begin, end);
  Header header;
  try {
    header = readHeader(blob);
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, 0, annotation.blob().size());
    return annotation;
  }
  std::optional<std::uint32_t> computedCrc;
  if (header.bodySize <= blob.remaining()) computedCrc = crc32(blob.position(), header.bodySize);
  listHeader(annotation, header, "device config", computedCrc);
  try {
    checkHeader(header, begin);
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, 0, 0);
  }
  const ByteCursor body = bodyToList(annotation, blob, header, begin);
  DeviceConfigListing listing(annotation, annotation.offsetOf(body.end()));
  BodyReader reader(body, listing);
  try {
    readBody(reader);
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, annotation.offsetOf(reader.position()),
                        annotation.offsetOf(body.end()));
  }
  annotation.closeTo(0);
  listUnread(annotation, annotation.offsetOf(body.end()), annotation.blob().size(),
             "after the body: the decoder does not read them");
  return annotation;
}

}  // namespace ravelin
