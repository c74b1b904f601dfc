#include "calibration/decoder.h"

#include <stdexcept>

namespace ravelin {

bool decodeCalibration(const Bytes&, json&, bool) {
  throw std::runtime_error("calibration decoding is not available yet");
}

}  // namespace ravelin
