#include "cli/blob_dispatch.h"

#include <stdexcept>

#include "calibration/decoder.h"
#include "device_config/device_config.h"
#include "wire/container.h"

namespace ravelin {

std::optional<BlobKind> detectBlobKind(const Bytes& bytes) {
  ByteCursor cursor(bytes);
  if (cursor.remaining() < sizeof(std::uint32_t)) return std::nullopt;
  switch (cursor.read<std::uint32_t>()) {
    case kCalibrationMagic:
      return BlobKind::CALIBRATION;
    case kDeviceConfigMagic:
      return BlobKind::DEVICE_CONFIG;
    default:
      return std::nullopt;
  }
}

const char* blobKindWord(BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? "device config" : "calibration";
}

bool decodeBlob(BlobKind kind, const Bytes& bytes, json& out) {
  switch (kind) {
    case BlobKind::CALIBRATION:
      return decodeCalibration(bytes, out, /*verifyCrc=*/true);
    case BlobKind::DEVICE_CONFIG:
      return decodeDeviceConfig(bytes.data(), bytes.data() + bytes.size(), out,
                                /*verifyCrc=*/true);
  }
  throw std::runtime_error("Unknown binary blob format");
}

}  // namespace ravelin
