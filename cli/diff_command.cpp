#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "calibration/encoder.h"
#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/output_file.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "diff/diff.h"

namespace ravelin {

namespace {

using diff::DocumentKind;

struct DiffInput {
  DocumentKind kind;
  json document;
  bool corrupt = false;  // a blob whose stored CRC-32 does not match its body
};

const char* kindWords(DocumentKind kind) {
  return kind == DocumentKind::DEVICE_CONFIG ? "a device config" : "a compact calibration";
}

// Recognised as encode recognises it: a device config first.
DocumentKind documentKind(const json& document, const fs::path& path) {
  if (isDeviceConfigJson(document)) return DocumentKind::DEVICE_CONFIG;
  if (isCompactCalibrationJson(document)) return DocumentKind::CALIBRATION;
  logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
           path.c_str());
  throw std::runtime_error("Unsupported JSON format for diff");
}

// A blob by its magic, anything else as JSON text; read once, so that
// standard input serves as well as a file.
DiffInput readInput(const fs::path& path) {
  const Bytes bytes = readWholeFile(path, kMaxJsonFileSize);
  if (const std::optional<BlobKind> blobKind = detectBlobKind(bytes)) {
    requireWithinLimit(path, bytes.size(), kMaxBlobFileSize);
    DiffInput input{blobKind == BlobKind::DEVICE_CONFIG ? DocumentKind::DEVICE_CONFIG
                                                        : DocumentKind::CALIBRATION,
                    json(), false};
    {
      // The decoder's own lines would bury the changes: one line says it all.
      const QuietScope quiet;
      input.corrupt = !decodeBlob(*blobKind, bytes, input.document);
    }
    if (input.corrupt) {
      logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
    }
    return input;
  }
  json document = parseJsonDocument({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  const DocumentKind kind = documentKind(document, path);
  return {kind, std::move(document), false};
}

void requireOneKind(const DiffInput& older, const DiffInput& newer, const fs::path& oldPath,
                    const fs::path& newPath) {
  if (older.kind == newer.kind) return;
  logError("%s is %s and %s is %s: diff compares two documents of one kind", oldPath.c_str(),
           kindWords(older.kind), newPath.c_str(), kindWords(newer.kind));
  throw std::runtime_error("Inputs of different kinds");
}

void printChanges(const diff::DiffReport& report) {
  diff::forEachChange(report, [](const diff::Change& change) {
    const std::string line = diff::changeLine(change);
    if (change.within) {
      logWarning("%s", line.c_str());
    } else {
      logError("%s", line.c_str());
    }
  });
}

void writeReport(const diff::DiffReport& report, const fs::path& path) {
  const std::string text = diff::reportText(report);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  if (namesStandardStream(path)) {
    writeOutputFile(bytes, text.size(), path);
  } else {
    writeFile({bytes, text.size()}, path);
  }
}

const char* plural(std::size_t count) {
  return count == 1 ? "" : "s";
}

int summarise(const diff::DiffReport& report, const DiffPaths& paths) {
  const diff::ChangeCounts counts = diff::countChanges(report);
  const char* older = paths.older.c_str();
  const char* newer = paths.newer.c_str();
  if (counts.beyond > 0) {
    logError("Diff of %s and %s: %zu change%s beyond tolerance, %zu within", older, newer,
             counts.beyond, plural(counts.beyond), counts.within);
    return kExitBeyondTolerance;
  }
  if (counts.within > 0) {
    logWarning("Diff of %s and %s: %zu change%s within tolerance", older, newer, counts.within,
               plural(counts.within));
    return kExitWithinTolerance;
  }
  logSuccess("Diff of %s and %s: identical", older, newer);
  return kExitSuccess;
}

}  // namespace

int runDiff(const DiffPaths& paths, const diff::Tolerances& tolerances) {
  // Standard output carries the report alone when it is written there.
  const LogLinesToStderr routing(paths.report && namesStandardStream(*paths.report));
  const DiffInput older = readInput(paths.older);
  const DiffInput newer = readInput(paths.newer);
  requireOneKind(older, newer, paths.older, paths.newer);
  diff::DiffReport report =
      older.kind == DocumentKind::DEVICE_CONFIG
          ? diff::diffDeviceConfigs(older.document, newer.document, tolerances)
          : diff::diffCalibrations(older.document, newer.document, tolerances);
  if (newer.corrupt) diff::addCorruptBlob(report, diff::Side::NEW);
  if (older.corrupt) diff::addCorruptBlob(report, diff::Side::OLD);
  printChanges(report);
  if (paths.report) writeReport(report, *paths.report);
  return summarise(report, paths);
}

}  // namespace ravelin
