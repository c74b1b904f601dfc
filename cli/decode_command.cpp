#include <stdexcept>
#include <utility>

#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
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

  json decoded;
  const bool crcMatched = decodeBlob(*kind, blob, decoded);
  // Room for the densest text, so that it is built in one piece: a
  // reservation beyond what is written costs address space only.
  writeJsonFile(decoded, jsonPath, kMaxDecodedBytesPerBlobByte * blob.size());
  keepUntilExit(std::move(decoded));

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
