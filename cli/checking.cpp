#include "cli/checking.h"

#include "cli/command_line.h"
#include "cli/file_io.h"

namespace ravelin {

std::vector<Finding> checkDocument(const json& document, BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? checkDeviceConfig(document)
                                         : checkCompactCalibration(document);
}

std::vector<Finding> checkDecodedDocument(json& decoded, BlobKind kind) {
  renderJsonDocument(decoded);
  return checkDocument(decoded, kind);
}

FindingCounts countFindings(const std::vector<Finding>& findings) {
  FindingCounts counts;
  for (const Finding& finding : findings) {
    ++(finding.severity == FindingSeverity::ERROR ? counts.errors : counts.warnings);
  }
  return counts;
}

int checkExitCode(const FindingCounts& counts) {
  if (counts.errors > 0) return kExitVerifyMismatch;
  return counts.warnings > 0 ? kExitVerifyWarnings : kExitSuccess;
}

}  // namespace ravelin
