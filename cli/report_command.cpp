#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "calibration/encoder.h"
#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/output_file.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "report/report.h"
#include "wire/container.h"

namespace ravelin {

namespace {

using report::DocumentKind;

// Recognised as encode recognises it: a device config first.
DocumentKind jsonDocumentKind(const json& document, const fs::path& path) {
  if (isDeviceConfigJson(document)) return DocumentKind::DEVICE_CONFIG;
  if (isCompactCalibrationJson(document)) return DocumentKind::COMPACT_CALIBRATION;
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           path.c_str());
  throw std::runtime_error("Unsupported JSON format for a report");
}

// The stored CRC beside the one computed over the body the header announces
// (or over what there is of it).
report::BlobFacts blobFacts(const Bytes& blob) {
  ByteCursor cursor(blob);
  const Header header = readPod<Header>(cursor);
  const std::size_t body = std::min<std::size_t>(header.bodySize, cursor.remaining());
  return {blob.size(), header.crc32, crc32(cursor.position(), body)};
}

// Decoded as decode decodes it, with the numbers rounded as decode writes them.
json documentOfBlob(const fs::path& path, report::ReportSource& source) {
  const Bytes blob = readFile(path);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", path.c_str());
    throw std::runtime_error("unknown binary format");
  }
  json document;
  if (!decodeBlob(*kind, blob, document)) {
    logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
  }
  roundJsonFloats(document);
  source.kind = *kind == BlobKind::DEVICE_CONFIG ? DocumentKind::DEVICE_CONFIG
                                                 : DocumentKind::COMPACT_CALIBRATION;
  source.blob = blobFacts(blob);
  return document;
}

}  // namespace

void runReport(const fs::path& inputPath, bool blobInput, const fs::path& pagePath) {
  // Standard output carries the page alone.
  const LogLinesToStderr routing(namesStandardStream(pagePath));
  report::ReportSource source{inputPath.string(), DocumentKind::COMPACT_CALIBRATION, std::nullopt};
  json document;
  if (blobInput) {
    document = documentOfBlob(inputPath, source);
  } else {
    document = loadJsonFile(inputPath);
    source.kind = jsonDocumentKind(document, inputPath);
  }
  const std::string page = report::renderReport(document, source);
  writeOutputFile(reinterpret_cast<const std::uint8_t*>(page.data()), page.size(), pagePath);
  logSuccess("Wrote the report of %s to %s", inputPath.c_str(), pagePath.c_str());
}

}  // namespace ravelin
