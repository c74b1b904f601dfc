#include <stdexcept>

#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/huge_page_heap.h"
#include "cli/output_file.h"
#include "cli/output_path.h"
#include "console/log.h"

namespace ravelin {

void runDecode(const fs::path& blobPath, const fs::path& jsonPath) {
  // Standard output carries the JSON document alone.
  const LogLinesToStderr routing(writesStandardOutput(jsonPath));

  const Bytes blob = readFile(blobPath);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", blobPath.c_str());
    throw std::runtime_error("unknown binary format");
  }

  prepareHeapForDocument(blob.size());
  MakeContents text;
  const bool crcMatched = decodeBlobForText(*kind, blob, text);
  writeOutputFile(text, jsonPath);

  if (crcMatched) {
    logSuccess("Finished decoding %s binary file. Deserialized contents saved to %s",
               blobKindWord(*kind), jsonPath.c_str());
  } else {
    logError(
        "Finished decoding %s binary file. Deserialized contents saved to %s.Stored and "
        "computed CRC32 codes did not match. Indicates file corruption.",
        blobKindWord(*kind), jsonPath.c_str());
  }
}

}  // namespace ravelin
