#include "calibration/decoded_calibration.h"

#include <string_view>
#include <type_traits>
#include <utility>

#include "calibration/block_readers.h"
#include "calibration/record_json.h"
#include "console/log.h"
#include "wire/record_text.h"

namespace ravelin {

namespace {

DecodedComposite emptyCamera() {
  return {.own = CameraBlockPayload{},
          .strings = {.ids = kCameraStringIds},
          .optionals = {.fields = kCameraOptionalFields}};
}

DecodedComposite emptyImu() {
  return {.own = ImuBlockPayload{},
          .strings = {.ids = kImuStringIds},
          .optionals = {.fields = kImuOptionalFields}};
}

// Reads a block that belongs inside a camera or IMU block into `into`, with
// the reads and checks of its codec.
void readSubBlock(BlockId id, ByteCursor payload, DecodedComposite& into) {
  UnlistedReads unlisted;
  switch (id) {
    case BlockId::INTRINSICS_KB:
      into.intrinsics.emplace_back(readSoleRecord<KbIntrinsics>(payload, unlisted));
      break;
    case BlockId::INTRINSICS_KB_SPLINE:
      into.intrinsics.emplace_back(readSoleRecord<KbSplineIntrinsics>(payload, unlisted));
      break;
    case BlockId::EXTRINSICS_OFFSET:
      into.extrinsicsOffset = readSoleRecord<ExtrinsicsOffsetPayload>(payload, unlisted);
      break;
    case BlockId::CAMERA_THERMAL_LINEAR:
      into.focalLengthThermalModel = readSoleRecord<CameraThermalLinear>(payload, unlisted);
      break;
    case BlockId::CAMERA_STRINGS:
    case BlockId::IMU_STRINGS:
      readStringsInto(payload, into.strings);
      break;
    case BlockId::CAMERA_OPTIONALS:
    case BlockId::IMU_OPTIONALS:
      readOptionalsInto(payload, into.optionals);
      break;
    default:
      break;
  }
}

// Keeps what the composite reader reports; a sub-block that its owner does
// not take is skipped with the decoder's message.
struct CompositeToRecords {
  const SubBlockOwner& owner;
  DecodedComposite& into;

  template <WireRecord R>
  void record(const std::uint8_t*, std::string_view, const R& record, std::int32_t = -1) {
    if constexpr (std::is_same_v<R, CameraBlockPayload> || std::is_same_v<R, ImuBlockPayload>) {
      into.own = record;
    } else {
      into.extrinsics = record;
    }
  }
  const std::uint8_t* subBlock(const TLV& tlv, const std::uint8_t*, const SubBlockRule* rule,
                               ByteCursor payload) {
    const auto id = static_cast<BlockId>(tlv.id);
    if (rule == nullptr) {
      logError("Unknown %s sub-TLV %d; skipping", owner.word, static_cast<int>(id));
    } else {
      readSubBlock(id, payload, into);
    }
    return payload.end();
  }
  void endMarker(const std::uint8_t*) {}
};

template <WireRecord Own, WireRecord Extrinsics>
DecodedComposite readComposite(ByteCursor payload, const SubBlockOwner& owner,
                               DecodedComposite start) {
  CompositeToRecords reader{owner, start};
  readCompositeBlock<Own, Extrinsics>(payload, owner, reader);
  return start;
}

CadBlockPayload readCad(ByteCursor payload) {
  CadBlockPayload cad;
  const std::uint8_t* afterPoses = cad.load(payload.position(), payload.end());
  requireCadEnd(ByteCursor(afterPoses, payload.end()));
  return cad;
}

constexpr std::string_view kMillimetres = "mm";

// CAD-form extrinsics are always in millimetres, whatever the CAD block says.
void writeExtrinsics(JsonTextWriter& writer, const TextMember& member) {
  std::visit(
      [&writer](const auto& extrinsics) {
        using R = std::remove_cvref_t<decltype(extrinsics)>;
        if constexpr (std::is_same_v<R, CadPose>) {
          ObjectText pose;
          addRecordMembers(pose, extrinsics);
          pose.add("__units", &writeTextMember, &kMillimetres);
          pose.writeTo(writer);
        } else {
          writeRecordText(writer, extrinsics);
        }
      },
      *static_cast<const std::variant<ExtrinsicsMat, CadPose>*>(member.subject));
}

void writeIntrinsicsList(JsonTextWriter& writer, const TextMember& member) {
  writer.beginArray();
  for (const Intrinsics& intrinsics :
       *static_cast<const std::vector<Intrinsics>*>(member.subject)) {
    std::visit([&writer](const auto& record) { writeRecordText(writer, record); }, intrinsics);
  }
  writer.endArray();
}

void writeComposite(JsonTextWriter& writer, const DecodedComposite& composite) {
  ObjectText object;
  std::visit([&object](const auto& own) { addRecordMembers(object, own); }, composite.own);
  object.add(kExtrinsicsKey, &writeExtrinsics, &composite.extrinsics);
  if (std::holds_alternative<CameraBlockPayload>(composite.own)) {
    object.add(kIntrinsicsKey, &writeIntrinsicsList, &composite.intrinsics);
  }
  if (composite.extrinsicsOffset) {
    object.add(kExtrinsicsOffsetKey, &writeRecordMember<ExtrinsicsOffsetPayload>,
               &*composite.extrinsicsOffset);
  }
  if (composite.focalLengthThermalModel) {
    object.add(kThermalModelKey, &writeRecordMember<CameraThermalLinear>,
               &*composite.focalLengthThermalModel);
  }
  addStringMembers(object, composite.strings);
  addOptionalMembers(object, composite.optionals);
  object.writeTo(writer);
}

void writeCompositeList(JsonTextWriter& writer, const TextMember& member) {
  writer.beginArray();
  for (const DecodedComposite& composite :
       *static_cast<const std::vector<DecodedComposite>*>(member.subject)) {
    writeComposite(writer, composite);
  }
  writer.endArray();
}

void writePoseList(JsonTextWriter& writer, const TextMember& member) {
  writer.beginArray();
  for (const CadPose& pose : *static_cast<const std::vector<CadPose>*>(member.subject)) {
    writeRecordText(writer, pose);
  }
  writer.endArray();
}

// The counts of the fixed part are bookkeeping: the pose lists carry them.
void writeCad(JsonTextWriter& writer, const TextMember& member) {
  const auto& cad = *static_cast<const CadBlockPayload*>(member.subject);
  const CadBlockFixedPart fixed{cad.alignmentMethod, cad.units, 0, 0, cad.head};
  ObjectText object;
  addRecordMembers(object, fixed);
  object.add(kCadCameraPoses, &writePoseList, &cad.cameras);
  object.add(kCadImuPoses, &writePoseList, &cad.imus);
  object.writeTo(writer);
}

void writeMetadata(JsonTextWriter& writer, const TextMember& member) {
  const auto& metadata = *static_cast<const DecodedMetadata*>(member.subject);
  ObjectText object;
  if (metadata.record) addRecordMembers(object, *metadata.record);
  addStringMembers(object, metadata.strings);
  object.writeTo(writer);
}

}  // namespace

void readBlockInto(BlockId id, ByteCursor payload, DecodedCalibration& into) {
  UnlistedReads unlisted;
  switch (id) {
    case BlockId::CAD:
      into.cad = readCad(payload);
      break;
    case BlockId::CAMERA_MAT:
      into.cameras.push_back(
          readComposite<CameraBlockPayload, ExtrinsicsMat>(payload, kCameraOwner, emptyCamera()));
      break;
    case BlockId::CAMERA_CAD:
      into.cameras.push_back(
          readComposite<CameraBlockPayload, CadPose>(payload, kCameraOwner, emptyCamera()));
      break;
    case BlockId::IMU_MAT:
      into.imus.push_back(
          readComposite<ImuBlockPayload, ExtrinsicsMat>(payload, kImuOwner, emptyImu()));
      break;
    case BlockId::IMU_CAD:
      into.imus.push_back(readComposite<ImuBlockPayload, CadPose>(payload, kImuOwner, emptyImu()));
      break;
    case BlockId::META:
      into.metadata = DecodedMetadata{.record = readSoleRecord<MetaDataPayload>(payload, unlisted),
                                      .strings = {.ids = kMetaStringIds}};
      break;
    case BlockId::META_STRINGS:
      if (!into.metadata) into.metadata = DecodedMetadata{.strings = {.ids = kMetaStringIds}};
      readStringsInto(payload, into.metadata->strings);
      break;
    case BlockId::IMU_STRINGS:
    case BlockId::IMU_OPTIONALS: {
      // Read for their checks; only a camera or an IMU places them.
      DecodedComposite dropped = emptyImu();
      readSubBlock(id, payload, dropped);
      break;
    }
    default: {
      DecodedComposite dropped = emptyCamera();
      readSubBlock(id, payload, dropped);
      break;
    }
  }
}

void requireWritableText(const DecodedCalibration& calibration) {
  std::string scratch;
  const auto writeStrings = [&scratch](const DecodedStrings& strings) {
    JsonTextWriter writer(scratch);
    ObjectText object;
    addStringMembers(object, strings);
    object.writeTo(writer);
    scratch.clear();
  };
  for (const DecodedComposite& camera : calibration.cameras) writeStrings(camera.strings);
  for (const DecodedComposite& imu : calibration.imus) writeStrings(imu.strings);
  if (calibration.metadata) writeStrings(calibration.metadata->strings);
}

void writeCalibrationText(const DecodedCalibration& calibration, JsonTextWriter& writer) {
  ObjectText object;
  object.add("cameras", &writeCompositeList, &calibration.cameras);
  object.add("imus", &writeCompositeList, &calibration.imus);
  if (calibration.cad) object.add("cad", &writeCad, &*calibration.cad);
  if (calibration.metadata) object.add("metadata", &writeMetadata, &*calibration.metadata);
  object.writeTo(writer);
}

}  // namespace ravelin
