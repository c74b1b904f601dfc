// The decode command's road for either blob kind: the kind by its magic, the
// kind's decoder, then the JSON text that the command would write, which must
// be the text of the decoded tree and, for a legal blob, encode and decode
// back to the same text.

#include <string>

#include "cli/file_io.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const Bytes blob = fuzz::toBytes(data, size);
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) return 0;
  json decoded;
  const bool treeDone = fuzz::refusedOrDone([&] { decodeBlob(*kind, blob, decoded); });
  std::string treeText;
  const bool treeTextDone = treeDone && fuzz::refusedOrDone([&] {
                              json rounded = decoded;
                              treeText = renderJsonDocument(rounded);
                            });
  std::string text;
  const bool textDone = fuzz::refusedOrDone([&] { decodeBlobToText(*kind, blob, text); });
  fuzz::require(textDone == treeTextDone && text == treeText,
                "decode's text is not the text of the decoded tree");
  if (treeDone) fuzz::requireTextRoundTrip(*kind, decoded);
  return 0;
}
