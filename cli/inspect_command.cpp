#include <cstdio>
#include <string>

#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::string_view kStandardOutputPath = "-";

void reportVerdict(const Annotation& annotation, const Bytes& blob, const fs::path& blobPath) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", blobPath.c_str());
    return;
  }
  if (!annotation.damaged()) {
    logSuccess("The %s blob %s is intact", blobKindWord(*kind), blobPath.c_str());
    return;
  }
  const std::size_t faults = annotation.faults();
  std::string damage =
      faults == 1 ? "1 structural fault" : std::to_string(faults) + " structural faults";
  if (faults == 0)
    damage = "its CRC32 does not match its body";
  else if (annotation.crcMismatch())
    damage += " and a CRC32 that does not match its body";
  logError("The %s blob %s is damaged: %s", blobKindWord(*kind), blobPath.c_str(), damage.c_str());
}

}  // namespace

int runInspect(const fs::path& blobPath, const std::optional<fs::path>& jsonPath) {
  // Standard output carries the listing, or the JSON for "-", and nothing else.
  const LogLinesToStderr routing(true);
  const Bytes blob = readFile(blobPath);
  const Annotation annotation = inspectBlob(blob);
  const bool jsonToStandardOutput = jsonPath && jsonPath->native() == kStandardOutputPath;
  if (!jsonToStandardOutput && !writeListing(annotation, stdout)) failToWriteStandardOutput();
  if (jsonPath) {
    const std::string text = renderAnnotationJson(annotation);
    if (jsonToStandardOutput) {
      writeToStandardOutput(text);
    } else {
      writeFile(Bytes(text.begin(), text.end()), *jsonPath);
    }
  }
  reportVerdict(annotation, blob, blobPath);
  return annotation.damaged() ? kExitBlobDamaged : kExitSuccess;
}

}  // namespace ravelin
