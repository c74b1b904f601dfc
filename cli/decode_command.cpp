#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::string_view kStandardOutputPath = "-";

// While decoding to standard output, every log line goes to standard error so
// that standard output carries the JSON document alone.
class LogLinesToStderr {
 public:
  explicit LogLinesToStderr(bool enabled) : enabled_(enabled) {
    if (enabled_) routeAllLogLinesToStderr(true);
  }
  ~LogLinesToStderr() {
    if (enabled_) routeAllLogLinesToStderr(false);
  }
  LogLinesToStderr(const LogLinesToStderr&) = delete;
  LogLinesToStderr& operator=(const LogLinesToStderr&) = delete;

 private:
  bool enabled_;
};

void writeToStandardOutput(json& value, std::size_t expectedSize) {
  const std::string text = renderJsonDocument(value, expectedSize);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    logError("Failed to write data to standard output");
    throw std::runtime_error("Failed to write data to standard output");
  }
}

}  // namespace

void runDecode(const fs::path& blobPath, const fs::path& jsonPath) {
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
    writeToStandardOutput(decoded, expectedSize);
  } else {
    writeJsonFile(decoded, jsonPath, expectedSize);
  }
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
