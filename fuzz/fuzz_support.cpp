#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "calibration/encoder.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace ravelin::fuzz {

namespace {

// The text of ByteCursor's std::out_of_range; decoders check the bytes first
// and throw the format's own message instead.
constexpr std::string_view kCursorOverrunText = "read past the end of a byte range";

bool writableAsJson(const json& value) {
  try {
    value.dump(-1, ' ', /*ensure_ascii=*/false, json::error_handler_t::strict);
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

bool allNumbersFinite(const json& value) {
  if (value.is_structured()) {
    return std::all_of(value.begin(), value.end(),
                       [](const json& element) { return allNumbersFinite(element); });
  }
  return !value.is_number_float() || std::isfinite(value.get<double>());
}

Bytes encodeAs(BlobKind kind, const json& document) {
  if (kind == BlobKind::DEVICE_CONFIG) return encodeDeviceConfig(document);
  if (!isCompactCalibrationJson(document)) throw std::runtime_error("not a compact calibration");
  return encodeCompactCalibration(document);
}

json decodeAs(BlobKind kind, const Bytes& blob) {
  json decoded;
  decodeBlob(kind, blob, decoded);
  return decoded;
}

}  // namespace

void invariantBroken(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "fuzz invariant broken: %.*s%s%.*s\n", static_cast<int>(what.size()),
               what.data(), detail.empty() ? "" : ": ", static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void rejectUnexpected(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    invariantBroken("allocation failed", error.what());
  }
  if (dynamic_cast<const std::length_error*>(&error) != nullptr) {
    invariantBroken("container size beyond its maximum", error.what());
  }
  if (error.what() == kCursorOverrunText) invariantBroken("unchecked read", error.what());
}

void quietLogs() {
  quietMode = true;
}

Bytes toBytes(const std::uint8_t* data, std::size_t size) {
  return Bytes(data, data + size);
}

// The quick reader takes only text the library's parser reads the same way;
// the dump tells an integer from a float of its value, which == does not.
std::optional<json> parseJsonText(std::string_view text) {
  std::optional<json> document;
  refusedOrDone([&] { document = parseJsonDocument(text); });
  if (document) {
    const json expected = json::parse(text, nullptr, /*allow_exceptions=*/false,
                                      /*ignore_comments=*/true);
    require(*document == expected && document->dump() == expected.dump(),
            "the parsed document is not the one the JSON library reads");
  }
  return document;
}

json requireDecodableEncoderOutput(const json& source, const Bytes& blob, BlobKind kind) {
  require(detectBlobKind(blob) == kind, "encoder output does not carry its kind's magic");
  json decoded;
  mustSucceed("encoder output does not decode", [&] {
    require(decodeBlob(kind, blob, decoded), "encoder output fails its own CRC");
  });
  // Blob strings are bytes: a source that already held invalid UTF-8 (one
  // decoded from a blob) may give a blob whose JSON cannot be written.
  if (writableAsJson(source)) {
    json rendered = decoded;
    mustSucceed("decoded encoder output cannot be written as JSON",
                [&] { renderJsonDocument(rendered); });
  }
  requireTextRoundTrip(kind, decoded);
  return decoded;
}

void checkCalibrationEncoding(const json& document) {
  Bytes blob;
  const bool encoded = refusedOrDone([&] {
    if (isCompactCalibrationJson(document)) blob = encodeCompactCalibration(document);
  });
  if (encoded && !blob.empty()) {
    requireDecodableEncoderOutput(document, blob, BlobKind::CALIBRATION);
  }
}

void requireDeviceConfigFixedPoint(const json& source, const Bytes& blob) {
  const json decoded = requireDecodableEncoderOutput(source, blob, BlobKind::DEVICE_CONFIG);
  Bytes again;
  mustSucceed("a decoded device config does not encode again",
              [&] { again = encodeDeviceConfig(decoded); });
  require(again == blob, "re-encoding a decoded device config changes its bytes");
}

void requireTextRoundTrip(BlobKind kind, const json& decoded) {
  json rounded = decoded;
  std::string text;
  if (!refusedOrDone([&] { text = renderJsonDocument(rounded); })) return;
  json again;
  const bool legal = allNumbersFinite(decoded) &&
                     refusedOrDone([&] { again = decodeAs(kind, encodeAs(kind, decoded)); }) &&
                     again == decoded;
  if (!legal) return;
  std::string textAgain;
  mustSucceed("the text decoded from a legal blob does not encode again", [&] {
    json reread = decodeAs(kind, encodeAs(kind, parseJsonDocument(text)));
    textAgain = renderJsonDocument(reread);
  });
  require(textAgain == text, "the text decoded from a legal blob comes back as another text");
}

json untouchedMarker() {
  return json::array({"untouched by a failed decode"});
}

}  // namespace ravelin::fuzz
