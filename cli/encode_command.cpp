#include <stdexcept>
#include <utility>

#include "calibration/encoder.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace ravelin {

namespace {

struct EncodedBlob {
  Bytes bytes;
  const char* word;
};

// A device config is recognised first: a document can look like both.
EncodedBlob encodeEitherKind(const json& document, const fs::path& jsonPath) {
  if (isDeviceConfigJson(document)) return {encodeDeviceConfig(document), "device config"};
  if (isCompactCalibrationJson(document)) {
    return {encodeCompactCalibration(document), "calibration"};
  }
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           jsonPath.c_str());
  throw std::runtime_error("Unsupported JSON format for encoding");
}

}  // namespace

int runEncode(const fs::path& jsonPath, const fs::path& blobPath, bool verify) {
  json document = loadJsonFile(jsonPath);
  const EncodedBlob blob = encodeEitherKind(document, jsonPath);
  // Verifying loads the document again, so this copy goes first.
  if (verify) {
    document = json();
  } else {
    keepUntilExit(std::move(document));
  }
  logSuccess("Successfully encoded %s binary (%d bytes)", blob.word,
             printableCount(blob.bytes.size()));
  writeFile(blob.bytes, blobPath);
  logSuccess("Successfully wrote %s binary to %s", blob.word, blobPath.c_str());
  if (!verify) return 0;
  logInfo("Verifying binary serialization -> deserialization results in input JSON");
  return runVerify(jsonPath, blobPath);
}

}  // namespace ravelin
