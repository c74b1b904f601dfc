#include <optional>
#include <stdexcept>
#include <vector>

#include "calibration/encoder.h"
#include "check/check.h"
#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace ravelin {

namespace {

struct FindingCounts {
  int errors = 0;
  int warnings = 0;

  FindingCounts& operator+=(const FindingCounts& other) {
    errors += other.errors;
    warnings += other.warnings;
    return *this;
  }
};

const char* plural(int count) {
  return count == 1 ? "" : "s";
}

void report(const std::vector<Finding>& findings, FindingCounts& counts) {
  for (const Finding& finding : findings) {
    if (finding.severity == FindingSeverity::ERROR) {
      logError("%s = %s: %s", finding.pointer.c_str(), finding.value.c_str(),
               finding.reason.c_str());
      ++counts.errors;
    } else {
      logWarning("%s = %s: %s", finding.pointer.c_str(), finding.value.c_str(),
                 finding.reason.c_str());
      ++counts.warnings;
    }
  }
}

std::vector<Finding> checkDocument(const json& document, BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? checkDeviceConfig(document)
                                         : checkCompactCalibration(document);
}

// Recognised as encode recognises it: a device config first.
BlobKind documentKind(const json& document, const fs::path& path) {
  if (isDeviceConfigJson(document)) return BlobKind::DEVICE_CONFIG;
  if (isCompactCalibrationJson(document)) return BlobKind::CALIBRATION;
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           path.c_str());
  throw std::runtime_error("Unsupported JSON format for checking");
}

FindingCounts checkJsonFile(const fs::path& path) {
  const json document = loadJsonFile(path);
  FindingCounts counts;
  report(checkDocument(document, documentKind(document, path)), counts);
  return counts;
}

// A corrupt blob must not go onto a device, whatever it says: the CRC
// mismatch counts as an error, and the contents are judged all the same.
FindingCounts checkBlobFile(const fs::path& path) {
  const Bytes blob = readFile(path);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", path.c_str());
    throw std::runtime_error("unknown binary format");
  }
  json decoded;
  const bool crcMatched = decodeBlob(*kind, blob, decoded);
  // What decode would write, numbers rounded as there; a blob whose text
  // decode cannot write (a string that is not UTF-8) fails here as it does there.
  renderJsonDocument(decoded);
  FindingCounts counts;
  if (!crcMatched) {
    logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
    ++counts.errors;
  }
  report(checkDocument(decoded, *kind), counts);
  return counts;
}

void summarise(const FindingCounts& counts, const fs::path& path) {
  if (counts.errors > 0) {
    logError("Check of %s: %d error%s, %d warning%s", path.c_str(), counts.errors,
             plural(counts.errors), counts.warnings, plural(counts.warnings));
  } else if (counts.warnings > 0) {
    logWarning("Check of %s: %d warning%s", path.c_str(), counts.warnings, plural(counts.warnings));
  } else {
    logSuccess("Check of %s: nothing implausible found", path.c_str());
  }
}

}  // namespace

int runCheck(const std::optional<fs::path>& jsonPath, const std::optional<fs::path>& blobPath) {
  FindingCounts total;
  if (jsonPath) {
    const FindingCounts counts = checkJsonFile(*jsonPath);
    summarise(counts, *jsonPath);
    total += counts;
  }
  if (blobPath) {
    const FindingCounts counts = checkBlobFile(*blobPath);
    summarise(counts, *blobPath);
    total += counts;
  }
  if (total.errors > 0) return kExitVerifyMismatch;
  return total.warnings > 0 ? kExitVerifyWarnings : kExitSuccess;
}

}  // namespace ravelin
