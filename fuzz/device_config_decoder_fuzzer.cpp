// The device config decoder alone, on any bytes. A refused blob leaves the
// output as it was; every decoded document encodes again, and that blob is a
// fixed point of decoding and encoding.

#include "device_config/device_config.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  json decoded = fuzz::untouchedMarker();
  if (!fuzz::refusedOrDone(
          [&] { decodeDeviceConfig(data, data + size, decoded, /*verifyCrc=*/true); })) {
    fuzz::require(decoded == fuzz::untouchedMarker(), "a refused blob changed the output");
    return 0;
  }
  Bytes reencoded;
  fuzz::mustSucceed("a decoded device config does not encode",
                    [&] { reencoded = encodeDeviceConfig(decoded); });
  fuzz::requireDeviceConfigFixedPoint(decoded, reencoded);
  return 0;
}
