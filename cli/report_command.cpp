#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/document_input.h"
#include "cli/file_io.h"
#include "cli/output_file.h"
#include "console/log.h"
#include "report/report.h"
#include "wire/container.h"

namespace ravelin {

namespace {

using report::DocumentKind;

// The stored CRC beside the one computed over the body the header announces
// (or over what there is of it).
report::BlobFacts blobFacts(const Bytes& blob) {
  ByteCursor cursor(blob);
  const Header header = readPod<Header>(cursor);
  const std::size_t body = std::min<std::size_t>(header.bodySize, cursor.remaining());
  return {blob.size(), header.crc32, crc32(cursor.position(), body)};
}

// Decoded as decode decodes it, with the numbers rounded as decode writes them.
json documentOfBlob(const fs::path& path, report::ReportSource& source) {
  const Bytes blob = readFile(path);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) {
    logError("Unrecognized binary magic in %s", path.c_str());
    throw std::runtime_error("unknown binary format");
  }
  json document;
  if (!decodeBlob(*kind, blob, document)) {
    logError("Stored and computed CRC32 of %s do not match: the blob is corrupt", path.c_str());
  }
  roundJsonFloats(document);
  source.kind =
      *kind == BlobKind::DEVICE_CONFIG ? DocumentKind::DEVICE_CONFIG : DocumentKind::CALIBRATION;
  source.blob = blobFacts(blob);
  return document;
}

}  // namespace

void runReport(const ReportPaths& paths) {
  const fs::path& inputPath = paths.input;
  const fs::path& pagePath = paths.page;
  // Standard output carries the page alone.
  const LogLinesToStderr routing(namesStandardStream(pagePath));
  report::ReportSource source{inputPath.string(), DocumentKind::CALIBRATION, std::nullopt};
  json document;
  if (paths.blobInput) {
    document = documentOfBlob(inputPath, source);
  } else {
    document = loadJsonFile(inputPath);
    source.kind = documentKindOfJson(document, inputPath, "a report");
  }
  std::optional<EitherFormInput> older;
  if (paths.older) {
    older = readEitherForm(*paths.older, "a report");
    requireOneKind(*older, {source.kind, json(), false}, *paths.older, inputPath, "report");
  }
  const std::optional<report::OlderDocument> comparison =
      older ? std::optional<report::OlderDocument>(
                  {older->document, paths.older->string(), older->corrupt})
            : std::nullopt;
  const std::string page =
      report::renderReport(document, source, comparison ? &*comparison : nullptr);
  writeOutputFile(reinterpret_cast<const std::uint8_t*>(page.data()), page.size(), pagePath);
  logSuccess("Wrote the report of %s to %s", inputPath.c_str(), pagePath.c_str());
}

}  // namespace ravelin
