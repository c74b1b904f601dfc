// The inspector on any bytes. It never throws; it calls a blob damaged
// exactly when decode fails (the JSON text it writes included) or reports a
// CRC mismatch, and its first fault is the one decode fails with; every
// element lies inside the blob; both renderings complete, and the JSON one
// parses.

#include <string>

#include "cli/file_io.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const Bytes blob = fuzz::toBytes(data, size);
  std::optional<Annotation> annotation;
  fuzz::mustSucceed("inspect threw", [&] { annotation = inspectBlob(blob); });

  const std::optional<BlobKind> kind = detectBlobKind(blob);
  bool decodedIntact = false;
  if (kind) {
    json decoded;
    try {
      const bool crcMatched = decodeBlob(*kind, blob, decoded);
      renderJsonDocument(decoded);
      decodedIntact = crcMatched;
    } catch (const std::exception& error) {
      fuzz::rejectUnexpected(error);
      fuzz::require(annotation->firstFaultMessage() == error.what(),
                    "inspect's first fault is not the one decode fails with");
    }
  }
  fuzz::require(annotation->damaged() == !decodedIntact,
                "inspect and decode disagree on whether the blob is damaged");

  for (const Element& element : annotation->elements()) {
    fuzz::require(element.offset <= size && element.size <= size - element.offset,
                  "an element lies outside the blob");
  }
  std::string listing;
  std::string annotationJson;
  fuzz::mustSucceed("the annotation does not render", [&] {
    listing = renderListing(*annotation);
    annotationJson = renderAnnotationJson(*annotation);
  });
  fuzz::require(!listing.empty(), "an empty listing");
  fuzz::mustSucceed("the annotation's JSON does not parse",
                    [&] { parseJsonDocument(annotationJson); });
  return 0;
}
