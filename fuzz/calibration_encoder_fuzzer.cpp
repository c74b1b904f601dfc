// The calibration encoder on JSON text, as the encode command loads it:
// parse with comments, recognise, encode; every blob it writes must decode.

#include <string_view>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const auto document = fuzz::parseJsonText({reinterpret_cast<const char*>(data), size});
  if (document) fuzz::checkCalibrationEncoding(*document);
  return 0;
}
