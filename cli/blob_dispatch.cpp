#include "cli/blob_dispatch.h"

#include <algorithm>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "calibration/decoded_calibration.h"
#include "calibration/decoder.h"
#include "calibration/encoder.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "wire/container.h"

namespace ravelin {

std::optional<BlobKind> detectBlobKind(const Bytes& bytes) {
  ByteCursor cursor(bytes);
  if (cursor.remaining() < sizeof(std::uint32_t)) return std::nullopt;
  switch (cursor.read<std::uint32_t>()) {
    case kCalibrationMagic:
      return BlobKind::CALIBRATION;
    case kDeviceConfigMagic:
      return BlobKind::DEVICE_CONFIG;
    default:
      return std::nullopt;
  }
}

const char* blobKindWord(BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? "device config" : "calibration";
}

bool decodeBlob(BlobKind kind, const Bytes& bytes, json& out) {
  switch (kind) {
    case BlobKind::CALIBRATION:
      return decodeCalibration(bytes, out, /*verifyCrc=*/true);
    case BlobKind::DEVICE_CONFIG:
      return decodeDeviceConfig(bytes.data(), bytes.data() + bytes.size(), out,
                                /*verifyCrc=*/true);
  }
  throw std::runtime_error("Unknown binary blob format");
}

std::optional<BlobKind> documentKind(const json& document) {
  if (isDeviceConfigJson(document)) return BlobKind::DEVICE_CONFIG;
  if (isCompactCalibrationJson(document)) return BlobKind::CALIBRATION;
  return std::nullopt;
}

Bytes encodeDocument(const json& document, BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? encodeDeviceConfig(document)
                                         : encodeCompactCalibration(document);
}

void refuseBlobAboveTheLimit(const Bytes& blob, const char* word) {
  if (blob.size() <= kMaxBlobFileSize) return;
  logError(
      "The encoded %s binary would be %d bytes, more than the %d bytes that ravelin reads back. "
      "Nothing written.",
      word, printableCount(blob.size()), printableCount(kMaxBlobFileSize));
  throw std::runtime_error("encoded blob of " + std::to_string(blob.size()) +
                           " bytes exceeds the blob limit of " + std::to_string(kMaxBlobFileSize) +
                           " bytes");
}

void requireSourceOfKind(const json& source, BlobKind kind) {
  if (kind == BlobKind::CALIBRATION && !isCompactCalibrationJson(source)) {
    logError("JSON is not in compact calibration format. Exiting");
    throw std::runtime_error("Input calibration JSON not in compact format");
  }
  if (kind == BlobKind::DEVICE_CONFIG && !isDeviceConfigJson(source)) {
    logError("JSON is not a recognized device_config format. Exiting");
    throw std::runtime_error("Input JSON not a device_config");
  }
}

namespace {

bool decodeCalibrationForText(const Bytes& bytes, MakeContents& text) {
  auto decoded = std::make_shared<DecodedCalibration>();
  const bool crcMatched = decodeCalibrationRecords(bytes, *decoded, /*verifyCrc=*/true);
  requireWritableText(*decoded);
  text = [decoded](const ContentSink& sink) {
    const auto handOver = [&sink](std::string_view piece) {
      sink({reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()});
    };
    std::string buffer;
    buffer.reserve(2 * JsonTextWriter::kSpillSize);
    JsonTextWriter writer(buffer, handOver);
    writeCalibrationText(*decoded, writer);
    handOver(buffer);
  };
  return crcMatched;
}

}  // namespace

bool decodeBlobForText(BlobKind kind, const Bytes& bytes, MakeContents& text) {
  if (kind == BlobKind::CALIBRATION) return decodeCalibrationForText(bytes, text);
  json decoded;
  const bool crcMatched = decodeBlob(kind, bytes, decoded);
  auto rendered = std::make_shared<std::string>(renderJsonDocument(decoded));
  text = [rendered](const ContentSink& sink) {
    sink({reinterpret_cast<const std::uint8_t*>(rendered->data()), rendered->size()});
  };
  return crcMatched;
}

bool decodeBlobToText(BlobKind kind, const Bytes& bytes, std::string& text) {
  MakeContents make;
  const bool crcMatched = decodeBlobForText(kind, bytes, make);
  make([&text](std::span<const std::uint8_t> piece) { text.append(piece.begin(), piece.end()); });
  return crcMatched;
}

namespace {

// A magic as the four characters it is on the wire.
std::string quotedMagic(std::uint32_t magic) {
  Bytes text;
  appendLE(text, magic);
  return '"' + std::string(text.begin(), text.end()) + '"';
}

// The string that writing `document` as JSON text stops at, in the order the
// text is written: none when every string is UTF-8.
const std::string* firstStringOutsideUtf8(const json& document) {
  if (document.is_string()) {
    const auto& text = document.get_ref<const std::string&>();
    return utf8PrefixLength(text) < text.size() ? &text : nullptr;
  }
  if (!document.is_structured()) return nullptr;
  for (const json& member : document) {
    if (const std::string* text = firstStringOutsideUtf8(member)) return text;
  }
  return nullptr;
}

// decode fails after the walk, when the document it decoded cannot be written
// as JSON text: a string it keeps that is not UTF-8. The fault is marked at the
// first byte outside UTF-8 of the string that stops the writer.
void markUnwritableText(Annotation& annotation, BlobKind kind, const Bytes& bytes) {
  if (annotation.faults() > 0 || !annotation.holdsTextOutsideUtf8()) return;
  json decoded;
  {
    const QuietScope quiet;
    decodeBlob(kind, bytes, decoded);
  }
  try {
    renderJsonDocument(decoded);
  } catch (const json::type_error& error) {
    const std::string& text = *firstStringOutsideUtf8(decoded);
    const std::string_view blob(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::uint8_t* at = bytes.data() + blob.find(text) + utf8PrefixLength(text);
    annotation.addFault(BlobFault(error.what(), at, "text in UTF-8, which JSON requires",
                                  '"' + escapedText(text) + '"'),
                        0, 0);
  }
}

Annotation inspectKnownKind(BlobKind kind, const Bytes& bytes) {
  Annotation annotation = kind == BlobKind::CALIBRATION
                              ? inspectCalibration(bytes)
                              : inspectDeviceConfig(bytes.data(), bytes.data() + bytes.size());
  markUnwritableText(annotation, kind, bytes);
  return annotation;
}

}  // namespace

Annotation inspectBlob(const Bytes& bytes) {
  const std::optional<BlobKind> kind = detectBlobKind(bytes);
  if (kind) return inspectKnownKind(*kind, bytes);
  Annotation annotation(bytes);
  constexpr std::size_t kShownBytes = 16;
  annotation.addBytes(0, std::min(bytes.size(), kShownBytes));
  const std::size_t magicSize = std::min(bytes.size(), sizeof(std::uint32_t));
  const std::string_view magic(reinterpret_cast<const char*>(bytes.data()), magicSize);
  annotation.addFault(
      BlobFault("unknown blob kind", bytes.data(),
                quotedMagic(kCalibrationMagic) + " (" + blobKindWord(BlobKind::CALIBRATION) +
                    ") or " + quotedMagic(kDeviceConfigMagic) + " (" +
                    blobKindWord(BlobKind::DEVICE_CONFIG) + ")",
                '"' + escapedText(magic) + '"'),
      0, 0);
  return annotation;
}

}  // namespace ravelin
