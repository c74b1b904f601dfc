#include "device_config/device_config.h"

#include <stdexcept>

namespace ravelin {

bool isDeviceConfigJson(const json& document) {
  return document.is_object() && document.contains("device") && document["device"].is_object() &&
         document.contains("tracking_to_eye_transform") &&
         document["tracking_to_eye_transform"].is_array();
}

Bytes encodeDeviceConfig(const json&) {
  throw std::runtime_error("device config encoding is not available yet");
}

bool decodeDeviceConfig(const std::uint8_t*, const std::uint8_t*, json&, bool) {
  throw std::runtime_error("device config decoding is not available yet");
}

}  // namespace ravelin
