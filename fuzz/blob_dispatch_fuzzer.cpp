// The decode command's road for either blob kind: the kind by its magic, the
// kind's decoder, then the JSON text that the command would write, which for a
// legal blob must encode and decode back to the same text.

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const Bytes blob = fuzz::toBytes(data, size);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) return 0;
  json decoded;
  if (fuzz::refusedOrDone([&] { decodeBlob(*kind, blob, decoded); })) {
    fuzz::requireTextRoundTrip(*kind, decoded);
  }
  return 0;
}
