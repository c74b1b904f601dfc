#include <stdexcept>
#include <utility>

#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/verification.h"
#include "console/log.h"

namespace ravelin {

namespace {

BlobKind requireMatchingKinds(const json& source, const Bytes& blob, const fs::path& blobPath) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unable to identify binary format of %s", blobPath.c_str());
    throw std::runtime_error("unknown binary format");
  }
  requireSourceOfKind(source, *kind);
  return *kind;
}

}  // namespace

int runVerify(const fs::path& jsonPath, const fs::path& blobPath) {
  const json source = loadJsonFile(jsonPath);
  const Bytes blob = readFile(blobPath);
  return verifyRoundTrip(source, blob, blobPath);
}

int verifyRoundTrip(const json& source, const Bytes& blob, const fs::path& blobPath) {
  const BlobKind kind = requireMatchingKinds(source, blob, blobPath);

  json decoded;
  if (!decodeBlob(kind, blob, decoded)) {
    logError(
        "Finished decoding %s but computed and stored CRC32 did not match. Indicates file "
        "corruption.",
        blobPath.c_str());
  }
  const int verdict = judgeRoundTrip(source, std::move(decoded), logLine);
  if (verdict == kExitSuccess) {
    logSuccess("Decoded and source JSON match");
  } else if (verdict == kExitVerifyWarnings) {
    logWarning("Decoded and source JSON only differ by warning-level fields.");
  } else {
    logError("Decoded and source JSON do not match. Printing diff errors and warnings");
  }
  return verdict;
}

}  // namespace ravelin
