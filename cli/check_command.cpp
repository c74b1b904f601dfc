#include <optional>
#include <stdexcept>
#include <vector>

#include "cli/checking.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

namespace {

const char* plural(int count) {
  return count == 1 ? "" : "s";
}

FindingCounts report(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.severity == FindingSeverity::ERROR) {
      logError("%s = %s: %s", finding.pointer.c_str(), finding.value.c_str(),
               finding.reason.c_str());
    } else {
      logWarning("%s = %s: %s", finding.pointer.c_str(), finding.value.c_str(),
                 finding.reason.c_str());
    }
  }
  return countFindings(findings);
}

// Recognised as encode recognises it.
BlobKind requireDocumentKind(const json& document, const fs::path& path) {
  if (const std::optional<BlobKind> kind = documentKind(document)) return *kind;
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           path.c_str());
  throw std::runtime_error("Unsupported JSON format for checking");
}

FindingCounts checkJsonFile(const fs::path& path) {
  const json document = loadJsonFile(path);
  return report(checkDocument(document, requireDocumentKind(document, path)));
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
  const std::vector<Finding> findings = checkDecodedDocument(decoded, *kind);
  FindingCounts counts;
  if (!crcMatched) {
    logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
    ++counts.errors;
  }
  counts += report(findings);
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
  return checkExitCode(total);
}

}  // namespace ravelin
