#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/output_path.h"
#include "console/log.h"

namespace ravelin {

namespace {

struct EncodedBlob {
  Bytes bytes;
  const char* word;
};

EncodedBlob encodeEitherKind(const json& document, const fs::path& jsonPath) {
  const std::optional<BlobKind> kind = documentKind(document);
  if (!kind) {
    logError("Input JSON %s is neither compact calibration nor device_config format. Exiting.",
             jsonPath.c_str());
    throw std::runtime_error("Unsupported JSON format for encoding");
  }
  return {encodeDocument(document, *kind), blobKindWord(*kind)};
}

// Binary bytes would garble a terminal, and some sequences can drive it.
// Checked before the input is read, which may be that terminal too.
void refuseTerminalOutput() {
  if (::isatty(STDOUT_FILENO) == 0) return;
  logError(
      "Binary data not written to a terminal. Redirect standard output, or name a file "
      "with --bin.");
  throw std::runtime_error("standard output is a terminal");
}

}  // namespace

int runEncode(const fs::path& jsonPath, const fs::path& blobPath, bool verify) {
  const bool toStandardOutput = writesStandardOutput(blobPath);
  if (toStandardOutput) refuseTerminalOutput();
  // Standard output carries the blob alone.
  const LogLinesToStderr routing(toStandardOutput);

  json document = loadJsonFile(jsonPath);
  const EncodedBlob blob = encodeEitherKind(document, jsonPath);
  refuseBlobAboveTheLimit(blob.bytes, blob.word);
  if (!verify) keepUntilExit(std::move(document));
  logSuccess("Successfully encoded %s binary (%d bytes)", blob.word,
             printableCount(blob.bytes.size()));
  writeFile(blob.bytes, blobPath);
  logSuccess("Successfully wrote %s binary to %s", blob.word, blobPath.c_str());
  if (!verify) return kExitSuccess;
  logInfo("Verifying binary serialization -> deserialization results in input JSON");
  // The source as it was read, since a stream cannot be read twice; a written
  // file is read back, while what went through a descriptor (standard output
  // among them) is checked as sent.
  if (outputDescriptor(blobPath)) return verifyRoundTrip(document, blob.bytes, blobPath);
  return verifyRoundTrip(document, readFile(blobPath), blobPath);
}

}  // namespace ravelin
