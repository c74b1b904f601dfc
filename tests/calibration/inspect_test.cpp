#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "calibration/decoder.h"
#include "tests/calibration/blob_builder.h"
#include "tests/calibration/sample_blob.h"
#include "tests/support/case_name.h"
#include "tests/support/listing.h"

namespace ravelin {
namespace {

using testing::block;
using testing::blockWithSize;
using testing::calibrationBlob;
using testing::concat;
using testing::endMarker;
using testing::PrintTo;
using testing::recordBytes;
using testing::shownFor;

const Bytes kMeta = block(BlockId::META, recordBytes(MetaDataPayload{1.5f, 1, 2, 4}));
const Bytes kCameraRecords =
    concat({recordBytes(CameraBlockPayload{640, 480}), recordBytes(testing::sampleMatrix(0))});

ImuBlockPayload imuWithFlags(std::uint8_t flags) {
  ImuBlockPayload imu = testing::sampleImu(0);
  imu.flags = flags;
  return imu;
}

struct ShownValue {
  const char* name;
  Bytes body;
  std::string label;
  std::string shown;
};

class InspectShows : public ::testing::TestWithParam<ShownValue> {};

TEST_P(InspectShows, WhatTheValueMeans) {
  const Bytes blob = calibrationBlob(GetParam().body);
  const Annotation annotation = inspectCalibration(blob);
  EXPECT_FALSE(annotation.damaged());
  EXPECT_EQ(shownFor(renderListing(annotation), GetParam().label), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InspectShows,
    ::testing::Values(
        ShownValue{"EnumerationOutsideItsTable",
                   block(BlockId::META, recordBytes(MetaDataPayload{0, -1, 2, 4})),
                   "extrinsicsMethod", "-1 (not in the table)"},
        ShownValue{"FlagBitsWithoutAName",
                   block(BlockId::IMU_MAT, concat({recordBytes(imuWithFlags(0xF2)),
                                                   recordBytes(testing::sampleMatrix(0))})),
                   "flags", "0xf2 (bits 0xf0 name nothing: ignored)"},
        ShownValue{"FlagBitByBit",
                   block(BlockId::IMU_MAT, concat({recordBytes(imuWithFlags(0xF2)),
                                                   recordBytes(testing::sampleMatrix(0))})),
                   "is_bias_additive", "true"},
        ShownValue{
            "TextThatNeedsEscapes",
            block(BlockId::META_STRINGS, testing::stringsPayload({{1, "q\"\\\n\x01\xff\xc3\xa9"}})),
            "created_by", R"("q\"\\\n\x01\xffé"  id 1)"},
        ShownValue{"StringIdWithoutKey",
                   block(BlockId::META_STRINGS, testing::stringsPayload({{9, "x"}})), "unnamed",
                   R"("x"  id 9: no key for this id, skipped)"},
        ShownValue{"OptionalsMaskBitsWithoutAField",
                   block(BlockId::IMU_OPTIONALS, testing::optionalsMask(0x300)), "mask",
                   "0x0000000000000300  bits no field stands for are set: ignored"},
        ShownValue{"SignedGridSize",
                   block(BlockId::INTRINSICS_KB_SPLINE,
                         recordBytes(KbSplineIntrinsics{.gridSize = {5, -5}})),
                   "gridSize", "[5, -5]"},
        ShownValue{"TopLevelIdWithoutReader", block(17, Bytes(2, 0xEE)), "UNASSIGNED[0]",
                   "id 17, payload 2 bytes, skipped: the decoder has no reader for this id"},
        ShownValue{
            "SubBlockIdTheCameraDoesNotRead",
            block(BlockId::CAMERA_MAT, concat({kCameraRecords, block(BlockId::IMU_STRINGS, {})})),
            "IMU_STRINGS[0]",
            "id 12, payload 0 bytes, skipped: the decoder reads no block of this id here"},
        ShownValue{"NoEndMarker", kMeta, "END", "missing: the walk ends with the blob"},
        ShownValue{"BytesAfterTheEndMarker", concat({endMarker(), Bytes{0xAB}}), "unread",
                   "after the end marker: the decoder does not read them"}),
    testing::ByCaseName());

// Each fault is marked where it lies with what was expected and what was
// found; the walk then goes on at the next top-level block, here a META
// block after the damage, unless the fault broke a top-level frame.
struct MarkedFault {
  const char* name;
  Bytes blob;
  std::string faultLine;  // from the offset on, columns squeezed to one space
  bool resumes;
};

class InspectMarks : public ::testing::TestWithParam<MarkedFault> {};

TEST_P(InspectMarks, TheFaultAndGoesOnWhereItCan) {
  const Annotation annotation = inspectCalibration(GetParam().blob);
  EXPECT_TRUE(annotation.damaged());
  const testing::FaultLine fault = testing::firstFaultLine(renderListing(annotation));
  EXPECT_EQ(fault.line, GetParam().faultLine);
  EXPECT_EQ(fault.after.find("META[") != std::string::npos, GetParam().resumes) << fault.after;
}

Bytes beforeMeta(const Bytes& damaged) {
  return calibrationBlob(concat({damaged, kMeta}));
}

Bytes metaWithHeader(std::uint16_t majorVersion, std::uint32_t missingBodyBytes) {
  Header header = testing::headerFor(kMeta);
  header.majorVersion = majorVersion;
  header.bodySize += missingBodyBytes;
  return testing::blobWithHeader(header, kMeta);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InspectMarks,
    ::testing::Values(
        MarkedFault{
            "SubBlockLargerThanWhatRemains",
            beforeMeta(block(BlockId::CAMERA_MAT,
                             concat({kCameraRecords, blockWithSize(10, 200, Bytes(12, 0))}))),
            "0000005c 20 FAULT sub TLV overruns parent block: expected 200 bytes of "
            "payload, found 12 bytes left in the parent block",
            true},
        MarkedFault{"RecordCutShort", beforeMeta(block(BlockId::INTRINSICS_KB, Bytes(31, 0))),
                    "00000018 31 FAULT blob truncated while reading 12KbIntrinsics: expected 32 "
                    "bytes (KbIntrinsics), found 31 bytes",
                    true},
        MarkedFault{"RecordWithBytesAfterIt", beforeMeta(block(BlockId::META, Bytes(9, 0))),
                    "00000020 1 FAULT Block type/size mismatch: expected the block to end after "
                    "its MetaDataPayload, found 1 byte more",
                    true},
        MarkedFault{"EndMarkerNotLastInACamera",
                    beforeMeta(block(BlockId::CAMERA_MAT,
                                     concat({kCameraRecords, endMarker(), Bytes(4, 0)}))),
                    "00000064 4 FAULT p == end: expected the end marker to close the camera "
                    "block, found 4 bytes after it",
                    true},
        MarkedFault{"CadPosesBeyondTheBlock",
                    beforeMeta(block(BlockId::CAD, recordBytes(CadBlockFixedPart{0, 0, 1, 0, {}}))),
                    "00000042 0 FAULT CAD block truncated: expected 36 bytes for 1 pose, found 0 "
                    "bytes",
                    true},
        MarkedFault{"TopLevelFrameBeyondTheBlob", beforeMeta(blockWithSize(9, 1000, Bytes(8, 0))),
                    "00000010 32 FAULT payload overruns buffer: expected 1000 bytes of payload, "
                    "found 24 bytes left in the blob",
                    false},
        // Header faults end a decode at once; the walk still lists the body.
        MarkedFault{"MajorVersionTwo", metaWithHeader(2, 0),
                    "00000004 0 FAULT unsupported major version: expected major version 1, "
                    "found 2",
                    true},
        MarkedFault{"BodyBeyondTheBlob", metaWithHeader(1, 1),
                    "00000008 0 FAULT blob body truncated: expected 17 bytes of body, found 16 "
                    "bytes",
                    true}),
    testing::ByCaseName());

// A float that is no number cannot be a JSON number: the JSON form writes
// its text, and text that is not UTF-8 with escapes and a note saying so.
TEST(InspectJson, KeepsWhatJsonCannotHoldReadable) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Bytes blob = calibrationBlob(
      concat({block(BlockId::META, recordBytes(MetaDataPayload{nan, 1, 2, 4})),
              block(BlockId::META_STRINGS, testing::stringsPayload({{2, "a\xff"}})), endMarker()}));
  const json elements = json::parse(renderAnnotationJson(inspectCalibration(blob)));
  const auto named = [&elements](const std::string& path) {
    for (const json& element : elements) {
      if (element["path"] == path) return element;
    }
    return json();
  };
  EXPECT_EQ(named("META[0]/dataset_duration_in_sec")["value"], "nan");
  const json serial = named("META_STRINGS[1]/device_serial");
  EXPECT_EQ(serial["value"], "a\\xff");
  EXPECT_EQ(serial["note"], "id 2; not UTF-8: bytes outside it written as \\xNN");
}

}  // namespace
}  // namespace ravelin
