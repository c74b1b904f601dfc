#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/document_input.h"
#include "cli/file_io.h"
#include "cli/output_file.h"
#include "console/log.h"
#include "diff/diff.h"

namespace ravelin {

namespace {

using diff::DocumentKind;

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
  const EitherFormInput older = readEitherForm(paths.older, "diff");
  const EitherFormInput newer = readEitherForm(paths.newer, "diff");
  requireOneKind(older, newer, paths.older, paths.newer, "diff");
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
