#pragma once

// The command handlers that the dispatcher calls once the paths are checked.
// Each throws a std::exception on failure; the dispatcher reports it.

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "diff/tolerances.h"
#include "wire/byte_io.h"

namespace ravelin {

namespace fs = std::filesystem;

// Every path may be "-": standard input as an input, standard output as an
// output (and then every log line goes to standard error).

// Decodes either blob kind to JSON.
void runDecode(const fs::path& blobPath, const fs::path& jsonPath);
// Returns 0, or the verification verdict when `verify` is set. Refuses to
// write the blob to standard output when that is a terminal.
int runEncode(const fs::path& jsonPath, const fs::path& blobPath, bool verify);
// Returns 0 (match), 5 (real differences) or 6 (only acceptable differences).
int runVerify(const fs::path& jsonPath, const fs::path& blobPath);
// The verification after both files are read; `blobPath` only names the blob in messages.
int verifyRoundTrip(const nlohmann::json& source, const Bytes& blob, const fs::path& blobPath);
void runCompareEncodings(const fs::path& jsonPath);
void runTestCrc(const fs::path& jsonPath);
// Judges the document, the blob or both (the JSON first) for physical
// plausibility; returns 0 (nothing found), 5 (an error) or 6 (warnings only).
int runCheck(const std::optional<fs::path>& jsonPath, const std::optional<fs::path>& blobPath);

// Lists the blob on standard output and, when asked, writes the listing as
// JSON ("-": to standard output instead of the listing). Returns 0 for an
// intact blob and 5 for a damaged one or one of no known kind.
int runInspect(const fs::path& blobPath, const std::optional<fs::path>& jsonPath);

struct DiffPaths {
  fs::path older;
  fs::path newer;
  std::optional<fs::path> report;  // the JSON report, when asked for
};

// Compares two documents or blobs of one kind and lists every change;
// returns 0 (identical), 6 (every change within tolerance) or 5 (some change
// beyond it, or a blob whose CRC-32 does not match).
int runDiff(const DiffPaths& paths, const diff::Tolerances& tolerances);

}  // namespace ravelin
