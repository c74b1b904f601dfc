#include "calibration/encoder.h"

#include <stdexcept>

namespace ravelin {

Bytes encodeCompactCalibration(const json&) {
  throw std::runtime_error("calibration encoding is not available yet");
}

bool isCompactCalibrationJson(const json&) {
  throw std::runtime_error("calibration encoding is not available yet");
}

}  // namespace ravelin
