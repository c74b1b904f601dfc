// The device config encoder on JSON text, as the encode command loads it:
// parse with comments, recognise, encode; every blob it writes must decode
// and encode back to the same bytes.

#include <string_view>

#include "device_config/device_config.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const auto document = fuzz::parseJsonText({reinterpret_cast<const char*>(data), size});
  if (!document) return 0;
  Bytes blob;
  const bool encoded = fuzz::refusedOrDone([&] {
    if (isDeviceConfigJson(*document)) blob = encodeDeviceConfig(*document);
  });
  if (encoded && !blob.empty()) fuzz::requireDeviceConfigFixedPoint(*document, blob);
  return 0;
}
