#pragma once

// The check command's judgement, as values for the command to print and for
// the Python module to return.

#include <vector>

#include "check/check.h"
#include "cli/blob_dispatch.h"

namespace ravelin {

std::vector<Finding> checkDocument(const json& document, BlobKind kind);

// Judges a decoded blob as decode writes it: rounds its numbers in place
// first, and throws as decode does on a string that JSON text cannot hold.
std::vector<Finding> checkDecodedDocument(json& decoded, BlobKind kind);

struct FindingCounts {
  int errors = 0;
  int warnings = 0;

  FindingCounts& operator+=(const FindingCounts& other) {
    errors += other.errors;
    warnings += other.warnings;
    return *this;
  }
};

FindingCounts countFindings(const std::vector<Finding>& findings);

// 0 (nothing found), 5 (an error) or 6 (warnings only).
int checkExitCode(const FindingCounts& counts);

}  // namespace ravelin
