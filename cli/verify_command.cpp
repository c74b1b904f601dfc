#include <cstddef>
#include <stdexcept>

#include "calibration/encoder.h"
#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/verification.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace ravelin {

namespace {

BlobKind requireMatchingKinds(const json& source, const Bytes& blob, const fs::path& blobPath) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unable to identify binary format of %s", blobPath.c_str());
    throw std::runtime_error("unknown binary format");
  }
  if (*kind == BlobKind::CALIBRATION && !isCompactCalibrationJson(source)) {
    logError("JSON is not in compact calibration format. Exiting");
    throw std::runtime_error("Input calibration JSON not in compact format");
  }
  if (*kind == BlobKind::DEVICE_CONFIG && !isDeviceConfigJson(source)) {
    logError("JSON is not a recognized device_config format. Exiting");
    throw std::runtime_error("Input JSON not a device_config");
  }
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
  const json exactDecoded = decoded;
  roundJsonFloats(decoded);

  std::size_t differences = 0;
  bool acceptable = true;
  forEachPatchEntry(decoded, source, [&](const PatchEntry& entry) {
    ++differences;
    acceptable = acceptable && isAcceptableDifference(entry, exactDecoded, source);
    printDifference(entry, decoded, source);
  });
  if (differences == 0) {
    logSuccess("Decoded and source JSON match");
    return kExitSuccess;
  }
  if (acceptable) {
    logWarning("Decoded and source JSON only differ by warning-level fields.");
    return kExitVerifyWarnings;
  }
  logError("Decoded and source JSON do not match. Printing diff errors and warnings");
  return kExitVerifyMismatch;
}

}  // namespace ravelin
