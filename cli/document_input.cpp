#include "cli/document_input.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "calibration/encoder.h"
#include "cli/blob_dispatch.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace ravelin {

using diff::DocumentKind;

DocumentKind documentKindOfJson(const json& document, const fs::path& path, const char* command) {
  if (isDeviceConfigJson(document)) return DocumentKind::DEVICE_CONFIG;
  if (isCompactCalibrationJson(document)) return DocumentKind::CALIBRATION;
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           path.c_str());
  throw std::runtime_error(std::string("Unsupported JSON format for ") + command);
}

EitherFormInput readEitherForm(const fs::path& path, const char* command) {
  const Bytes bytes = readWholeFile(path, kMaxJsonFileSize);
  if (const std::optional<BlobKind> blobKind = detectBlobKind(bytes)) {
    requireWithinLimit(path, bytes.size(), kMaxBlobFileSize);
    EitherFormInput input{blobKind == BlobKind::DEVICE_CONFIG ? DocumentKind::DEVICE_CONFIG
                                                              : DocumentKind::CALIBRATION,
                          json(), false};
    {
      // The decoder's own lines would bury what the command reports: one line says it all.
      const QuietScope quiet;
      input.corrupt = !decodeBlob(*blobKind, bytes, input.document);
    }
    if (input.corrupt) {
      logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
    }
    return input;
  }
  json document = parseJsonDocument({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  const DocumentKind kind = documentKindOfJson(document, path, command);
  return {kind, std::move(document), false};
}

const char* kindWords(DocumentKind kind) {
  return kind == DocumentKind::DEVICE_CONFIG ? "a device config" : "a compact calibration";
}

void requireOneKind(const EitherFormInput& older, const EitherFormInput& newer,
                    const fs::path& oldPath, const fs::path& newPath, const char* command) {
  if (older.kind == newer.kind) return;
  logError("%s is %s and %s is %s: %s compares two documents of one kind", oldPath.c_str(),
           kindWords(older.kind), newPath.c_str(), kindWords(newer.kind), command);
  throw std::runtime_error("Inputs of different kinds");
}

}  // namespace ravelin
