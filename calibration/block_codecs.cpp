#include "calibration/block_codecs.h"

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <utility>

#include "calibration/block_walk.h"
#include "calibration/record_json.h"
#include "calibration/strings_optionals.h"
#include "console/log.h"

namespace ravelin {

namespace {

enum class ExtrinsicsForm { MATRIX, CAD };

// Where a decoded sub-block goes in its camera or IMU object.
enum class Placement { APPEND_TO_KEY, ASSIGN_KEY, MERGE };

struct SubBlockRule {
  BlockId id;
  Placement placement;
  const char* key;  // unused by MERGE
};

// The sub-blocks a camera or an IMU block accepts; the word names the block
// kind in the message for any other id.
struct SubBlockOwner {
  const char* word;
  std::span<const SubBlockRule> rules;
};

constexpr std::array<SubBlockRule, 6> kCameraSubBlocks = {{
    {BlockId::INTRINSICS_KB, Placement::APPEND_TO_KEY, "intrinsics"},
    {BlockId::INTRINSICS_KB_SPLINE, Placement::APPEND_TO_KEY, "intrinsics"},
    {BlockId::EXTRINSICS_OFFSET, Placement::ASSIGN_KEY, "extrinsicsOffset"},
    {BlockId::CAMERA_THERMAL_LINEAR, Placement::ASSIGN_KEY, "focalLengthThermalModel"},
    {BlockId::CAMERA_STRINGS, Placement::MERGE, ""},
    {BlockId::CAMERA_OPTIONALS, Placement::MERGE, ""},
}};

constexpr std::array<SubBlockRule, 3> kImuSubBlocks = {{
    {BlockId::EXTRINSICS_OFFSET, Placement::ASSIGN_KEY, "extrinsicsOffset"},
    {BlockId::IMU_STRINGS, Placement::MERGE, ""},
    {BlockId::IMU_OPTIONALS, Placement::MERGE, ""},
}};

constexpr SubBlockOwner kCameraOwner{"camera", kCameraSubBlocks};
constexpr SubBlockOwner kImuOwner{"IMU", kImuSubBlocks};

const SubBlockRule* findRule(std::span<const SubBlockRule> rules, BlockId id) {
  const auto found = std::find_if(rules.begin(), rules.end(),
                                  [id](const SubBlockRule& rule) { return rule.id == id; });
  return found == rules.end() ? nullptr : &*found;
}

void placeSubBlock(json& object, const SubBlockRule& rule, json decoded) {
  switch (rule.placement) {
    case Placement::APPEND_TO_KEY:
      object[rule.key].push_back(std::move(decoded));
      break;
    case Placement::ASSIGN_KEY:
      object[rule.key] = std::move(decoded);
      break;
    case Placement::MERGE:
      mergeInto(object, decoded);
      break;
  }
}

[[noreturn]] void throwSubBlockOverrun(const TLV& tlv) {
  logError("Sub TLV overruns parent block. TLV ID %d size %u", tlv.id, tlv.size);
  throw std::runtime_error("sub TLV overruns parent block");
}

// Walks the sub-blocks from the cursor to the end of the parent's payload and
// places each accepted one in `object`. An END marker must be the payload's
// last 8 bytes.
void decodeSubBlocks(ByteCursor& cursor, const SubBlockOwner& owner, json& object) {
  const bool stoppedAtEnd =
      walkBlocks(cursor, throwSubBlockOverrun, [&](BlockId id, ByteCursor payload) {
        const SubBlockRule* rule = findRule(owner.rules, id);
        if (rule == nullptr) {
          logError("Unknown %s sub-TLV %d; skipping", owner.word, static_cast<int>(id));
          return;
        }
        placeSubBlock(object, *rule, decodeBlockPayload(id, payload).value());
      });
  if (stoppedAtEnd && !cursor.atEnd()) {
    logError("The %s block holds %zu bytes after its end marker", owner.word, cursor.remaining());
    throw std::runtime_error("p == end");
  }
}

json readExtrinsics(ByteCursor& cursor, ExtrinsicsForm form) {
  if (form == ExtrinsicsForm::MATRIX) return recordToJson(readPod<ExtrinsicsMat>(cursor));
  json pose = recordToJson(readPod<CadPose>(cursor));
  pose["__units"] = "mm";
  return pose;
}

json decodeCameraBlock(const std::uint8_t*& p, const std::uint8_t* end, ExtrinsicsForm form) {
  ByteCursor cursor(p, end);
  const auto image = readPod<CameraBlockPayload>(cursor);
  json camera = {{"width", image.width}, {"height", image.height}};
  camera["extrinsics"] = readExtrinsics(cursor, form);
  camera["intrinsics"] = json::array();
  decodeSubBlocks(cursor, kCameraOwner, camera);
  p = cursor.position();
  return camera;
}

json decodeImuBlock(const std::uint8_t*& p, const std::uint8_t* end, ExtrinsicsForm form) {
  ByteCursor cursor(p, end);
  json imu = recordToJson(readPod<ImuBlockPayload>(cursor));
  imu["extrinsics"] = readExtrinsics(cursor, form);
  decodeSubBlocks(cursor, kImuOwner, imu);
  p = cursor.position();
  return imu;
}

}  // namespace

json CadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  CadBlockPayload cad;
  const std::uint8_t* afterPoses = cad.load(p, end);
  if (afterPoses != end) {
    logError("CAD block holds %zu bytes after its poses",
             static_cast<std::size_t>(end - afterPoses));
    throw std::runtime_error("CAD: unexpected trailing bytes");
  }
  p = afterPoses;
  return recordToJson(cad);
}

json CamMatCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCameraBlock(p, end, ExtrinsicsForm::MATRIX);
}

json CamCadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeCameraBlock(p, end, ExtrinsicsForm::CAD);
}

json IntrinsicsKbCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<KbIntrinsics>(p, end);
}

json IntrinsicsKbSplineCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<KbSplineIntrinsics>(p, end);
}

json ImuMatCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeImuBlock(p, end, ExtrinsicsForm::MATRIX);
}

json ImuCadCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeImuBlock(p, end, ExtrinsicsForm::CAD);
}

json MetaCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<MetaDataPayload>(p, end);
}

json ExtrinsicsOffsetCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<ExtrinsicsOffsetPayload>(p, end);
}

json CameraStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kCameraStringIds);
}

json IMUStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kImuStringIds);
}

json MetaStringsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeStrings(p, end, kMetaStringIds);
}

json CameraThermalLinearCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decode_pod_to_json<CameraThermalLinear>(p, end);
}

json CameraOptionalsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeOptionals(p, end, kCameraOptionalFields);
}

json IMUOptionalsCodec::decode(const std::uint8_t*& p, const std::uint8_t* end) const {
  return decodeOptionals(p, end, kImuOptionalFields);
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

void mergeInto(json& target, const json& source) {
  for (const auto& [key, value] : source.items()) target[key] = value;
}

}  // namespace ravelin
