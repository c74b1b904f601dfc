#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::string_view kStandardOutputPath = "-";

}  // namespace

void writeToStandardOutput(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    failToWriteStandardOutput();
  }
}

void failToWriteStandardOutput() {
  logError("Failed to write data to standard output");
  throw std::runtime_error("Failed to write data to standard output");
}

void runDecode(const fs::path& blobPath, const fs::path& jsonPath) {
  // Standard output then carries the JSON document alone.
  const bool toStandardOutput = jsonPath.native() == kStandardOutputPath;
  const LogLinesToStderr routing(toStandardOutput);

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
  const std::size_t expectedSize = kMaxDecodedBytesPerBlobByte * blob.size();
  if (toStandardOutput) {
    writeToStandardOutput(renderJsonDocument(decoded, expectedSize));
  } else {
    writeJsonFile(decoded, jsonPath, expectedSize);
  }

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
