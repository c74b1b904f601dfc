#include "calibration/encoder.h"

#include <limits>
#include <span>
#include <stdexcept>
#include <string>

#include "calibration/block_types.h"
#include "calibration/json_to_records.h"
#include "calibration/json_values.h"
#include "calibration/strings_optionals_encode.h"

namespace ravelin {

namespace {

constexpr std::string_view kDocumentSection = "the calibration";

// The size field follows the id and the two reserved bytes.
constexpr std::size_t kTlvSizeOffset = 4;

std::uint32_t tlvSize(std::size_t payloadSize) {
  if (payloadSize > std::numeric_limits<std::uint32_t>::max()) {
    throw std::runtime_error("block payload exceeds 4 GiB");
  }
  return static_cast<std::uint32_t>(payloadSize);
}

void appendTlv(Bytes& out, BlockId id, std::size_t payloadSize) {
  appendRecord(out, TLV{static_cast<std::uint16_t>(id), 0, tlvSize(payloadSize)});
}

void appendBlock(Bytes& out, BlockId id, std::span<const std::uint8_t> payload) {
  appendTlv(out, id, payload.size());
  appendBytes(out, payload);
}

// Variable payloads whose emptiness means "nothing to say" are left out.
void appendBlockUnlessEmpty(Bytes& out, BlockId id, const Bytes& payload) {
  if (!payload.empty()) appendBlock(out, id, payload);
}

template <WireRecord R>
void appendRecordBlock(Bytes& out, BlockId id, const R& record) {
  appendTlv(out, id, R::kWireSize);
  appendRecord(out, record);
}

// A camera or IMU block frames its sub-blocks, so its size is known only at
// the end: its TLV is written with size 0 and patched by offset, which stays
// valid while the buffer grows.
class CompositeBlock {
 public:
  CompositeBlock(Bytes& out, BlockId id) : out_(out), tlvOffset_(out.size()) {
    appendTlv(out, id, 0);
  }
  void close() {
    const std::size_t payloadSize = out_.size() - tlvOffset_ - TLV::kWireSize;
    storeLE(out_, tlvOffset_ + kTlvSizeOffset, tlvSize(payloadSize));
  }

 private:
  Bytes& out_;
  std::size_t tlvOffset_;
};

void appendCadBlock(Bytes& out, const json& cad) {
  const CadBlockPayload payload = cadBlockFromJson(cad);
  appendTlv(out, BlockId::CAD, payload.wireSize());
  payload.appendTo(out);
}

void appendExtrinsics(Bytes& out, bool matrixForm, const json& object, std::string_view section) {
  if (matrixForm) {
    appendRecord(out, extrinsicsMatFromJson(object, section));
  } else {
    appendRecord(out,
                 cadPoseFromJson(object.at("extrinsics"), childSection(section, "extrinsics")));
  }
}

void appendExtrinsicsOffset(Bytes& out, const json& object) {
  if (hasMember(object, "extrinsicsOffset")) {
    appendRecordBlock(out, BlockId::EXTRINSICS_OFFSET,
                      ExtrinsicsOffsetPayload(object.at("extrinsicsOffset")));
  }
}

void appendIntrinsics(Bytes& out, const json& intrinsics, std::string_view section) {
  const auto model = requiredMember(intrinsics, "cameraModel", section).get<std::string>();
  const BlockId id = getIntrinsicsBlockTypeBasedOnIntrinsicsModel(model);
  if (id == BlockId::INTRINSICS_KB) {
    appendRecordBlock(out, id, kbIntrinsicsFromJson(intrinsics, section));
  } else {
    appendRecordBlock(out, id, kbSplineIntrinsicsFromJson(intrinsics, section));
  }
}

// The block-type rules see an absent "extrinsics" as neither form; naming
// the missing key and its place first tells the user more.
void requireExtrinsics(const json& object, std::string_view section) {
  static_cast<void>(requiredMember(object, "extrinsics", section));
}

void appendCameraBlock(Bytes& out, const json& camera, std::string_view section) {
  requireExtrinsics(camera, section);
  const BlockId id = getCameraBlockTypeBasedOnExtrinsicsFromat(camera);
  CompositeBlock block(out, id);
  appendRecord(out, cameraSizeFromJson(camera, section));
  appendExtrinsics(out, id == BlockId::CAMERA_MAT, camera, section);
  appendExtrinsicsOffset(out, camera);
  if (hasMember(camera, "focalLengthThermalModel")) {
    appendRecordBlock(out, BlockId::CAMERA_THERMAL_LINEAR,
                      thermalModelFromJson(camera.at("focalLengthThermalModel"),
                                           childSection(section, "focalLengthThermalModel")));
  }
  appendBlockUnlessEmpty(out, BlockId::CAMERA_STRINGS, cameraStringsFromJson(camera));
  appendBlockUnlessEmpty(out, BlockId::CAMERA_OPTIONALS, cameraOptionalsFromJson(camera, section));
  const json::array_t& intrinsics = arrayElements(requiredMember(camera, "intrinsics", section));
  for (std::size_t i = 0; i < intrinsics.size(); ++i) {
    appendIntrinsics(out, intrinsics[i], indexedSection(section, "intrinsics", i));
  }
  block.close();
}

void appendImuBlock(Bytes& out, const json& imu, std::string_view section) {
  // The IMU's record is read before its block type, so its faults come first.
  const ImuBlockPayload payload = imuBlockFromJson(imu, section);
  requireExtrinsics(imu, section);
  const BlockId id = getIMUBlockTypeBasedOnExtrinsicsFormat(imu);
  CompositeBlock block(out, id);
  appendRecord(out, payload);
  appendExtrinsics(out, id == BlockId::IMU_MAT, imu, section);
  appendExtrinsicsOffset(out, imu);
  appendBlockUnlessEmpty(out, BlockId::IMU_STRINGS, imuStringsFromJson(imu));
  appendBlockUnlessEmpty(out, BlockId::IMU_OPTIONALS, imuOptionalsFromJson(imu, section));
  block.close();
}

void appendMetadataBlocks(Bytes& out, const json& metadata) {
  appendRecordBlock(out, BlockId::META, metaDataFromJson(metadata));
  appendBlockUnlessEmpty(out, BlockId::META_STRINGS, metaStringsFromJson(metadata));
}

template <typename AppendElement>
void forEachElement(const json& document, std::string_view key, AppendElement&& append) {
  const json::array_t& elements = arrayElements(requiredMember(document, key, kDocumentSection));
  for (std::size_t i = 0; i < elements.size(); ++i) {
    append(elements[i], indexedSection({}, key, i));
  }
}

}  // namespace

Bytes encodeCompactCalibration(const json& document) {
  Bytes blob(Header::kWireSize, 0);
  appendCadBlock(blob, requiredMember(document, "cad", kDocumentSection));
  forEachElement(document, "cameras", [&](const json& camera, const std::string& section) {
    appendCameraBlock(blob, camera, section);
  });
  forEachElement(document, "imus", [&](const json& imu, const std::string& section) {
    appendImuBlock(blob, imu, section);
  });
  appendMetadataBlocks(blob, requiredMember(document, "metadata", kDocumentSection));
  appendTlv(blob, BlockId::END, 0);
  sealBlob(blob, kCalibrationMagic);
  return blob;
}

}  // namespace ravelin
