#pragma once

// The worst calibration blobs within the size limit, shared by the hostile
// input tests of the program and of the Python module.

#include <cstddef>
#include <cstdint>

#include "calibration/compact.h"
#include "cli/file_io.h"
#include "tests/calibration/blob_builder.h"

namespace ravelin::testing {

// A float whose 9-digit rounding prints in 23 characters: -1.3970945699999999e-42.
constexpr float kLongestPrintedFloat = -1.39709457e-42F;

// A calibration blob of at most `size` bytes: `body` followed by as many
// copies of `unit` as fit, then the end marker.
inline Bytes blobFilledWith(const Bytes& body, const Bytes& unit, std::size_t size) {
  Bytes filled = body;
  const std::size_t fixed = Header::kWireSize + body.size() + TLV::kWireSize;
  for (std::size_t n = (size - fixed) / unit.size(); n > 0; --n) appendBytes(filled, unit);
  appendBytes(filled, endMarker());
  return calibrationBlob(filled);
}

// Camera blocks of the smallest kind, with nothing but their fixed records:
// the most decoded document for its bytes.
inline Bytes smallestBlocksBlob() {
  const CadPose pose{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const Bytes camera = block(
      BlockId::CAMERA_CAD, concat({recordBytes(CameraBlockPayload{640, 480}), recordBytes(pose)}));
  return blobFilledWith({}, camera, kMaxBlobFileSize);
}

// One CAD block of poses whose every float prints in 23 characters, the
// densest decoded text there is, and a metadata block so that it encodes.
inline Bytes densestTextBlob() {
  const float f = kLongestPrintedFloat;
  const CadPose pose{{f, f, f}, {f, f, f}, {f, f, f}};
  const std::size_t fixed =
      Header::kWireSize + 3 * TLV::kWireSize + 42 + MetaDataPayload::kWireSize;
  const auto poses = static_cast<std::uint16_t>((kMaxBlobFileSize - fixed) / CadPose::kWireSize);
  Bytes cad;
  appendLE(cad, std::uint16_t{0});  // alignment method, units
  appendLE(cad, poses);             // camera poses
  appendLE(cad, std::uint16_t{0});  // IMU poses
  appendRecord(cad, pose);          // head
  for (std::uint16_t i = 0; i < poses; ++i) appendRecord(cad, pose);
  return calibrationBlob(
      concat({block(BlockId::CAD, cad),
              block(BlockId::META, recordBytes(MetaDataPayload{1, 0, 0, 1})), endMarker()}));
}

}  // namespace ravelin::testing
