#include "calibration/block_codecs.h"

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "calibration/block_readers.h"
#include "calibration/payload_listing.h"
#include "calibration/record_json.h"
#include "calibration/strings_optionals.h"
#include "console/log.h"

namespace ravelin {

namespace {

void placeSubBlock(json& object, const SubBlockRule& rule, json decoded) {
  switch (rule.placement) {
    case Placement::APPEND_TO_KEY:
      object[std::string(rule.key)].push_back(std::move(decoded));
      break;
    case Placement::ASSIGN_KEY:
      object[std::string(rule.key)] = std::move(decoded);
      break;
    case Placement::MERGE:
      mergeInto(object, decoded);
      break;
  }
}

// Builds the camera or IMU object from what the composite reader reports.
class CompositeToJson {
 public:
  CompositeToJson(const SubBlockOwner& owner, json start)
      : owner_(owner), object_(std::move(start)) {}

  template <WireRecord R>
  void record(const std::uint8_t*, std::string_view key, const R& record, std::int32_t = -1) {
    if (key.empty()) return appendFieldsTo(object_, record);
    json& member = object_[std::string(key)];
    member = recordToJson(record);
    // CAD-form extrinsics are always in millimetres, whatever the CAD block says.
    if constexpr (std::is_same_v<R, CadPose>) member["__units"] = "mm";
  }
  const std::uint8_t* subBlock(const TLV& tlv, const std::uint8_t*, const SubBlockRule* rule,
                               ByteCursor payload) {
    const auto id = static_cast<BlockId>(tlv.id);
    if (rule == nullptr) {
      logError("Unknown %s sub-TLV %d; skipping", owner_.word, static_cast<int>(id));
    } else {
      placeSubBlock(object_, *rule, decodeBlockPayload(id, payload).value());
    }
    return payload.end();
  }
  void endMarker(const std::uint8_t*) {}

  json take() { return std::move(object_); }

 private:
  const SubBlockOwner& owner_;
  json object_;
};

template <WireRecord Own, WireRecord Extrinsics>
json decodeCompositeBlock(const std::uint8_t*& p, const std::uint8_t* end,
                          const SubBlockOwner& owner, json start) {
  ByteCursor cursor(p, end);
  CompositeToJson object(owner, std::move(start));
  readCompositeBlock<Own, Extrinsics>(cursor, owner, object);
  p = cursor.position();
  return object.take();
}

json cameraStart() {
  return {{"intrinsics", json::array()}};
}

// Reads a CAD block up to the end of its poses and reports its parts.
template <typename Visitor>
CadBlockPayload readCadBlock(ByteCursor& cursor, Visitor& visitor) {
  if (cursor.remaining() < CadBlockFixedPart::kWireSize) {
    logError("CAD block too small");
    throw BlobFault("CAD block too small", cursor.position(),
                    "at least " + byteCount(CadBlockFixedPart::kWireSize),
                    byteCount(cursor.remaining()));
  }
  const std::uint8_t* at = cursor.position();
  const auto fixed = readRecord<CadBlockFixedPart>(cursor);
  visitor.record(at, {}, fixed);

  const std::size_t poses = std::size_t{fixed.cameraCount} + fixed.imuCount;
  const std::size_t needed = poses * CadPose::kWireSize;
  if (cursor.remaining() < needed) {
    logError("CAD block truncated: need %zu, have %zu", needed, cursor.remaining());
    throw BlobFault(
        "CAD block truncated", cursor.position(),
        byteCount(needed) + " for " + std::to_string(poses) + (poses == 1 ? " pose" : " poses"),
        byteCount(cursor.remaining()));
  }
  CadBlockPayload cad;
  cad.alignmentMethod = fixed.alignmentMethod;
  cad.units = fixed.units;
  cad.head = fixed.head;
  const auto readPoses = [&](std::vector<CadPose>& poseList, std::size_t count,
                             std::string_view key) {
    poseList.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* poseAt = cursor.position();
      poseList[i] = readPod<CadPose>(cursor);
      visitor.record(poseAt, key, poseList[i], static_cast<std::int32_t>(i));
    }
  };
  readPoses(cad.cameras, fixed.cameraCount, kCadCameraPoses);
  readPoses(cad.imus, fixed.imuCount, kCadImuPoses);
  return cad;
}

}  // namespace

void requireCadEnd(const ByteCursor& rest) {
  if (rest.atEnd()) return;
  logError("CAD block holds %zu bytes after its poses", rest.remaining());
  throw BlobFault("CAD: unexpected trailing bytes", rest.position(),
                  "the block to end after its poses", byteCount(rest.remaining()) + " more");
}

void throwSubBlockOverrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
  logError("Sub TLV overruns parent block. TLV ID %d size %u", tlv.id, tlv.size);
  throw BlobFault("sub TLV overruns parent block", frame, byteCount(tlv.size) + " of payload",
                  byteCount(left) + " left in the parent block");
}

void throwEndMarkerNotLast(const SubBlockOwner& owner, const ByteCursor& rest) {
  logError("The %s block holds %zu bytes after its end marker", owner.word, rest.remaining());
  throw BlobFault("p == end", rest.position(),
                  "the end marker to close the " + std::string(owner.word) + " block",
                  byteCount(rest.remaining()) + " after it");
}

json CadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  CadBlockPayload cad;
  const std::uint8_t* afterPoses = cad.load(p, end);
  requireCadEnd(ByteCursor(afterPoses, end));
  p = afterPoses;
  return recordToJson(cad);
}

void CadCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readCadBlock(payload, listing);
  requireCadEnd(payload);
}

json CamMatCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCompositeBlock<CameraBlockPayload, ExtrinsicsMat>(p, end, kCameraOwner,
                                                                 cameraStart());
}

void CamMatCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readCompositeBlock<CameraBlockPayload, ExtrinsicsMat>(payload, kCameraOwner, listing);
}

json CamCadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCompositeBlock<CameraBlockPayload, CadPose>(p, end, kCameraOwner, cameraStart());
}

void CamCadCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readCompositeBlock<CameraBlockPayload, CadPose>(payload, kCameraOwner, listing);
}

json IntrinsicsKbCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<KbIntrinsics>(p, end);
}

void IntrinsicsKbCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readSoleRecord<KbIntrinsics>(payload, listing);
}

json IntrinsicsKbSplineCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<KbSplineIntrinsics>(p, end);
}

void IntrinsicsKbSplineCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readSoleRecord<KbSplineIntrinsics>(payload, listing);
}

json ImuMatCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCompositeBlock<ImuBlockPayload, ExtrinsicsMat>(p, end, kImuOwner, json::object());
}

void ImuMatCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readCompositeBlock<ImuBlockPayload, ExtrinsicsMat>(payload, kImuOwner, listing);
}

json ImuCadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCompositeBlock<ImuBlockPayload, CadPose>(p, end, kImuOwner, json::object());
}

void ImuCadCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readCompositeBlock<ImuBlockPayload, CadPose>(payload, kImuOwner, listing);
}

json MetaCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<MetaDataPayload>(p, end);
}

void MetaCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readSoleRecord<MetaDataPayload>(payload, listing);
}

json ExtrinsicsOffsetCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<ExtrinsicsOffsetPayload>(p, end);
}

void ExtrinsicsOffsetCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readSoleRecord<ExtrinsicsOffsetPayload>(payload, listing);
}

json CameraStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kCameraStringIds);
}

void CameraStringsCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  inspectStrings(payload, kCameraStringIds, listing);
}

json IMUStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kImuStringIds);
}

void IMUStringsCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  inspectStrings(payload, kImuStringIds, listing);
}

json MetaStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kMetaStringIds);
}

void MetaStringsCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  inspectStrings(payload, kMetaStringIds, listing);
}

json CameraThermalLinearCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<CameraThermalLinear>(p, end);
}

void CameraThermalLinearCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  readSoleRecord<CameraThermalLinear>(payload, listing);
}

json CameraOptionalsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeOptionals(p, end, kCameraOptionalFields);
}

void CameraOptionalsCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  inspectOptionals(payload, kCameraOptionalFields, listing);
}

json IMUOptionalsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeOptionals(p, end, kImuOptionalFields);
}

void IMUOptionalsCodec::inspect(ByteCursor payload, PayloadListing& listing) const {
  inspectOptionals(payload, kImuOptionalFields, listing);
}

std::unique_ptr<BlockCodec> makeBlockCodec(BlockId id) {
  switch (id) {
    case BlockId::CAD:
      return std::make_unique<CadCodec>();
    case BlockId::CAMERA_MAT:
      return std::make_unique<CamMatCodec>();
    case BlockId::CAMERA_CAD:
      return std::make_unique<CamCadCodec>();
    case BlockId::INTRINSICS_KB:
      return std::make_unique<IntrinsicsKbCodec>();
    case BlockId::INTRINSICS_KB_SPLINE:
      return std::make_unique<IntrinsicsKbSplineCodec>();
    case BlockId::IMU_MAT:
      return std::make_unique<ImuMatCodec>();
    case BlockId::IMU_CAD:
      return std::make_unique<ImuCadCodec>();
    case BlockId::META:
      return std::make_unique<MetaCodec>();
    case BlockId::EXTRINSICS_OFFSET:
      return std::make_unique<ExtrinsicsOffsetCodec>();
    case BlockId::CAMERA_STRINGS:
      return std::make_unique<CameraStringsCodec>();
    case BlockId::IMU_STRINGS:
      return std::make_unique<IMUStringsCodec>();
    case BlockId::META_STRINGS:
      return std::make_unique<MetaStringsCodec>();
    case BlockId::CAMERA_THERMAL_LINEAR:
      return std::make_unique<CameraThermalLinearCodec>();
    case BlockId::CAMERA_OPTIONALS:
      return std::make_unique<CameraOptionalsCodec>();
    case BlockId::IMU_OPTIONALS:
      return std::make_unique<IMUOptionalsCodec>();
    case BlockId::END:
      break;
  }
  return nullptr;
}

std::optional<json> decodeBlockPayload(BlockId id, ByteCursor payload) {
  const std::unique_ptr<BlockCodec> codec = makeBlockCodec(id);
  if (!codec) return std::nullopt;
  const std::uint8_t* p = payload.position();
  return codec->decode(p, payload.end());
}

const std::uint8_t* CadBlockPayload::load(const std::uint8_t* p, const std::uint8_t* end) {
  ByteCursor cursor(p, end);
  UnlistedReads unlisted;
  *this = readCadBlock(cursor, unlisted);
  return cursor.position();
}

void mergeInto(json& target, const json& source) {
  for (const auto& [key, value] : source.items()) target[key] = value;
}

}  // namespace ravelin
