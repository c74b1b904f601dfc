#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/output_file.h"
#include "cli/output_path.h"
#include "console/log.h"

namespace ravelin {

namespace {

std::string damageText(const Annotation& annotation) {
  const std::size_t faults = annotation.faults();
  if (faults == 0) return "its CRC32 does not match its body";
  std::string text =
      faults == 1 ? "1 structural fault" : std::to_string(faults) + " structural faults";
  if (annotation.crcMismatch()) text += " and a CRC32 that does not match its body";
  return text;
}

void reportVerdict(const Annotation& annotation, const Bytes& blob, const fs::path& blobPath) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", blobPath.c_str());
  } else if (annotation.damaged()) {
    logError("The %s blob %s is damaged: %s", blobKindWord(*kind), blobPath.c_str(),
             damageText(annotation).c_str());
  } else {
    logSuccess("The %s blob %s is intact", blobKindWord(*kind), blobPath.c_str());
  }
}

}  // namespace

int runInspect(const fs::path& blobPath, const std::optional<fs::path>& jsonPath) {
  // Standard output carries the listing, or the JSON for "-", and nothing else.
  const LogLinesToStderr routing(true);
  const Bytes blob = readFile(blobPath);
  const Annotation annotation = inspectBlob(blob);
  const bool jsonToStandardOutput = jsonPath && writesStandardOutput(*jsonPath);
  if (!jsonToStandardOutput && !writeListing(annotation, stdout)) failToWriteStandardOutput();
  if (jsonPath) {
    const std::string text = renderAnnotationJson(annotation);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (jsonToStandardOutput) {
      writeOutputFile(bytes, text.size(), *jsonPath);
    } else {
      writeFile({bytes, text.size()}, *jsonPath);
    }
  }
  reportVerdict(annotation, blob, blobPath);
  return annotation.damaged() ? kExitBlobDamaged : kExitSuccess;
}

}  // namespace ravelin
