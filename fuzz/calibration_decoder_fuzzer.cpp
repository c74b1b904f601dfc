// The calibration decoder alone, on any bytes. A refused blob leaves the
// output as it was; a decoded one that the encoder accepts again must give a
// blob that decodes in turn.

#include "calibration/decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const Bytes blob = fuzz::toBytes(data, size);
  json decoded = fuzz::untouchedMarker();
  if (!fuzz::refusedOrDone([&] { decodeCalibration(blob, decoded, /*verifyCrc=*/true); })) {
    fuzz::require(decoded == fuzz::untouchedMarker(), "a refused blob changed the output");
    return 0;
  }
  fuzz::checkCalibrationEncoding(decoded);
  return 0;
}
