#include <cstdint>
#include <stdexcept>

#include "calibration/decoder.h"
#include "calibration/encoder.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

namespace {

// Both diagnostics only make sense for a compact calibration.
json loadCompactCalibration(const fs::path& jsonPath, std::uintmax_t* textSize = nullptr) {
  json document = loadJsonFile(jsonPath, textSize);
  if (!isCompactCalibrationJson(document)) {
    logError("JSON is not in compact format. This tool does not support any other format. Exiting");
    throw std::runtime_error("Input calibration JSON not in compact format");
  }
  return document;
}

Bytes encodeAndReport(const json& document) {
  Bytes blob = encodeCompactCalibration(document);
  logInfo("Custom compact encoding %d bytes", printableCount(blob.size()));
  return blob;
}

// The generic encodings are reported with the 8 bytes a stored record of
// them would need for its own framing.
constexpr std::uintmax_t kGenericFramingBytes = 8;

void logGenericSize(const char* encoding, std::size_t size) {
  logInfo("%s encoding %d bytes", encoding, printableCount(size + kGenericFramingBytes));
}

}  // namespace

void runCompareEncodings(const fs::path& jsonPath) {
  // A stream has no size to ask for: it is counted as it is read.
  const bool isStream = namesStandardStream(jsonPath);
  std::uintmax_t fileSize = isStream ? 0 : getFileSize(jsonPath);
  const json document = loadCompactCalibration(jsonPath, isStream ? &fileSize : nullptr);
  const std::size_t messagePack = json::to_msgpack(document).size();
  const std::size_t bson = json::to_bson(document).size();
  const std::size_t ubjson = json::to_ubjson(document, false, false).size();
  const std::size_t cbor = json::to_cbor(document).size();
  logInfo("%s %llu bytes", jsonPath.c_str(), static_cast<unsigned long long>(fileSize));
  logGenericSize("MessagePack", messagePack);
  logGenericSize("BSON", bson);
  logGenericSize("UBJSON", ubjson);
  logGenericSize("CBOR", cbor);
  encodeAndReport(document);
}

void runTestCrc(const fs::path& jsonPath) {
  Bytes blob = encodeAndReport(loadCompactCalibration(jsonPath));
  blob[blob.size() / 2] ^= 0xFFU;
  json scratch;
  decodeCalibration(blob, scratch, true);
}

}  // namespace ravelin
