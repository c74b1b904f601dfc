// The round-trip verification on a JSON text and a blob, through the diff,
// the judgement and the report, with the console silenced.
//
// Input layout: u16 little-endian length n, n bytes of JSON text (fewer when
// the input ends first), then the blob.

#include <algorithm>
#include <string_view>

#include "cli/commands.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  ByteCursor input(data, data + size);
  if (input.remaining() < sizeof(std::uint16_t)) return 0;
  const std::size_t declaredLength = input.read<std::uint16_t>();
  const ByteCursor text = input.take(std::min(declaredLength, input.remaining()));
  const Bytes blob(input.position(), input.end());

  const auto source =
      fuzz::parseJsonText({reinterpret_cast<const char*>(text.position()), text.remaining()});
  if (!source) return 0;
  int verdict = 0;
  if (fuzz::refusedOrDone([&] { verdict = verifyRoundTrip(*source, blob, "fuzz.bin"); })) {
    fuzz::require(verdict == 0 || verdict == 5 || verdict == 6, "verdict outside 0, 5 and 6");
  }
  return 0;
}
