#include "calibration/compact.h"

#include <cstdint>
#include <stdexcept>

#include "console/log.h"

namespace ravelin {

const std::uint8_t* CadBlockPayload::load(const std::uint8_t* p, const std::uint8_t* end) {
  ByteCursor cursor(p, end);
  if (cursor.remaining() < kFixedSize) {
    logError("CAD block too small");
    throw std::runtime_error("CAD block too small");
  }
  alignmentMethod = cursor.read<std::uint8_t>();
  units = cursor.read<std::uint8_t>();
  const std::size_t cameraCount = cursor.read<std::uint16_t>();
  const std::size_t imuCount = cursor.read<std::uint16_t>();
  head = readPod<CadPose>(cursor);

  const std::size_t needed = (cameraCount + imuCount) * CadPose::kWireSize;
  if (cursor.remaining() < needed) {
    logError("CAD block truncated: need %zu, have %zu", needed, cursor.remaining());
    throw std::runtime_error("CAD block truncated");
  }
  cameras.resize(cameraCount);
  for (CadPose& pose : cameras) pose = readPod<CadPose>(cursor);
  imus.resize(imuCount);
  for (CadPose& pose : imus) pose = readPod<CadPose>(cursor);
  return cursor.position();
}

void CadBlockPayload::appendTo(Bytes& out) const {
  if (cameras.size() > UINT16_MAX || imus.size() > UINT16_MAX) {
    throw std::runtime_error("CAD counts exceed uint16_t");
  }
  appendLE(out, alignmentMethod);
  appendLE(out, units);
  appendLE(out, static_cast<std::uint16_t>(cameras.size()));
  appendLE(out, static_cast<std::uint16_t>(imus.size()));
  appendRecord(out, head);
  for (const CadPose& pose : cameras) appendRecord(out, pose);
  for (const CadPose& pose : imus) appendRecord(out, pose);
}

}  // namespace ravelin
