#include "calibration/block_codecs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

#include "calibration/record_json.h"
#include "tests/calibration/blob_builder.h"
#include "tests/calibration/sample_blob.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"

namespace ravelin {
namespace {

using testing::block;
using testing::blockWithSize;
using testing::captureConsole;
using testing::concat;
using testing::endMarker;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::recordBytes;
using ::testing::StrEq;
using testing::stringsPayload;

Bytes zeros(std::size_t count) {
  return Bytes(count, 0);
}

// Decodes a payload with the codec for `id` and checks that the whole payload was consumed.
json decodeBlock(BlockId id, const Bytes& payload) {
  const std::unique_ptr<BlockCodec> codec = makeBlockCodec(id);
  if (!codec) throw std::logic_error("no codec for the block id under test");
  const std::uint8_t* p = payload.data();
  const std::uint8_t* end = payload.data() + payload.size();
  json decoded = codec->decode(p, end);
  EXPECT_EQ(p, end);
  return decoded;
}

Bytes cadPayload(std::uint8_t alignment, std::uint8_t units, std::uint16_t cameras,
                 std::uint16_t imus, std::size_t poseBytes) {
  Bytes out;
  appendLE(out, alignment);
  appendLE(out, units);
  appendLE(out, cameras);
  appendLE(out, imus);
  appendRecord(out, testing::samplePose(0));
  appendBytes(out, zeros(poseBytes));
  return out;
}

const Bytes kMatCameraFixed =
    concat({recordBytes(CameraBlockPayload{640, 480}), recordBytes(testing::sampleMatrix(1))});
const Bytes kCadCameraFixed =
    concat({recordBytes(CameraBlockPayload{2, 3}), recordBytes(testing::samplePose(7))});
const Bytes kMatImuFixed =
    concat({recordBytes(testing::sampleImu(1)), recordBytes(testing::sampleMatrix(0))});
const Bytes kCadImuFixed =
    concat({recordBytes(testing::sampleImu(1)), recordBytes(testing::samplePose(0))});

// ---------------------------------------------------------------------------
// Faults: every codec refuses a malformed payload with the exact message.

struct CodecFault {
  std::string name;
  BlockId id;
  Bytes payload;
  std::string message;
};

class CodecFaultTest : public ::testing::TestWithParam<CodecFault> {};

TEST_P(CodecFaultTest, ThrowsTheExactMessage) {
  const CodecFault& fault = GetParam();
  const auto console = captureConsole([&] { decodeBlock(fault.id, fault.payload); });
  ASSERT_TRUE(console.thrown.has_value());
  EXPECT_EQ(*console.thrown, fault.message);
}

const std::string kTruncated = "blob truncated while reading ";

INSTANTIATE_TEST_SUITE_P(
    Truncation, CodecFaultTest,
    ::testing::Values(
        CodecFault{"Kb31", BlockId::INTRINSICS_KB, zeros(31), kTruncated + "12KbIntrinsics"},
        CodecFault{"KbSpline243", BlockId::INTRINSICS_KB_SPLINE, zeros(243),
                   kTruncated + "18KbSplineIntrinsics"},
        CodecFault{"Meta7", BlockId::META, zeros(7), kTruncated + "15MetaDataPayload"},
        CodecFault{"Offset23", BlockId::EXTRINSICS_OFFSET, zeros(23),
                   kTruncated + "23ExtrinsicsOffsetPayload"},
        CodecFault{"Thermal11", BlockId::CAMERA_THERMAL_LINEAR, zeros(11),
                   kTruncated + "19CameraThermalLinear"},
        CodecFault{"CameraSize", BlockId::CAMERA_MAT, zeros(3),
                   kTruncated + "18CameraBlockPayload"},
        CodecFault{"CameraMatrix", BlockId::CAMERA_MAT, zeros(4 + 63),
                   kTruncated + "13ExtrinsicsMat"},
        CodecFault{"CameraPose", BlockId::CAMERA_CAD, zeros(4 + 35), kTruncated + "7CadPose"},
        CodecFault{"ImuFixed", BlockId::IMU_MAT, zeros(104), kTruncated + "15ImuBlockPayload"},
        CodecFault{"ImuMatrix", BlockId::IMU_MAT, zeros(105 + 63), kTruncated + "13ExtrinsicsMat"},
        CodecFault{"ImuPose", BlockId::IMU_CAD, zeros(105 + 35), kTruncated + "7CadPose"},
        CodecFault{"CameraSubTlv", BlockId::CAMERA_MAT, concat({kMatCameraFixed, zeros(7)}),
                   kTruncated + "3TLV"},
        CodecFault{"ImuSubTlv", BlockId::IMU_CAD, concat({kCadImuFixed, zeros(1)}),
                   kTruncated + "3TLV"},
        CodecFault{"KbInsideCamera", BlockId::CAMERA_MAT,
                   concat({kMatCameraFixed, block(BlockId::INTRINSICS_KB, zeros(31))}),
                   kTruncated + "12KbIntrinsics"}),
    testing::ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    ExactSize, CodecFaultTest,
    ::testing::Values(
        CodecFault{"Kb33", BlockId::INTRINSICS_KB, zeros(33), "Block type/size mismatch"},
        CodecFault{"KbSpline245", BlockId::INTRINSICS_KB_SPLINE, zeros(245),
                   "Block type/size mismatch"},
        CodecFault{"Meta9", BlockId::META, zeros(9), "Block type/size mismatch"},
        CodecFault{"Offset25", BlockId::EXTRINSICS_OFFSET, zeros(25), "Block type/size mismatch"},
        CodecFault{"Thermal16", BlockId::CAMERA_THERMAL_LINEAR, zeros(16),
                   "Block type/size mismatch"},
        CodecFault{"Cad41", BlockId::CAD, zeros(41), "CAD block too small"},
        CodecFault{"CadEmpty", BlockId::CAD, {}, "CAD block too small"},
        CodecFault{"CadPosesShort", BlockId::CAD, cadPayload(0, 0, 1, 1, 71),
                   "CAD block truncated"},
        CodecFault{"CadImuPosesMissing", BlockId::CAD, cadPayload(0, 0, 0, 2, 36),
                   "CAD block truncated"},
        CodecFault{"CadTrailingByte", BlockId::CAD, cadPayload(0, 0, 0, 0, 1),
                   "CAD: unexpected trailing bytes"},
        CodecFault{"CadTrailingPose", BlockId::CAD, cadPayload(0, 0, 1, 0, 72),
                   "CAD: unexpected trailing bytes"}),
    testing::ByCaseName());

INSTANTIATE_TEST_SUITE_P(
    SubBlocks, CodecFaultTest,
    ::testing::Values(CodecFault{"CameraOneBytePastParent", BlockId::CAMERA_MAT,
                                 concat({kMatCameraFixed, blockWithSize(4, 33, zeros(32))}),
                                 "sub TLV overruns parent block"},
                      CodecFault{"ImuSizeWithoutBytes", BlockId::IMU_MAT,
                                 concat({kMatImuFixed, blockWithSize(10, 1, {})}),
                                 "sub TLV overruns parent block"},
                      CodecFault{"CameraUnknownIdOverruns", BlockId::CAMERA_CAD,
                                 concat({kCadCameraFixed, blockWithSize(99, 0xFFFFFFFF, zeros(8))}),
                                 "sub TLV overruns parent block"},
                      CodecFault{"CameraBytesAfterEnd", BlockId::CAMERA_MAT,
                                 concat({kMatCameraFixed, endMarker(), zeros(1)}), "p == end"},
                      CodecFault{"ImuBlockAfterEnd", BlockId::IMU_CAD,
                                 concat({kCadImuFixed, endMarker(), endMarker()}), "p == end"},
                      CodecFault{
                          "CameraStringsTrailing", BlockId::CAMERA_MAT,
                          concat({kMatCameraFixed, block(BlockId::CAMERA_STRINGS, zeros(2))}),
                          "STRINGS trailing bytes"},
                      CodecFault{"ImuOptionalsTooSmall", BlockId::IMU_MAT,
                                 concat({kMatImuFixed, block(BlockId::IMU_OPTIONALS, zeros(7))}),
                                 "OPTIONALS too small"}),
    testing::ByCaseName());

TEST(CadCodec, TruncationLogNamesBytesNeededAndLeft) {
  const auto console =
      captureConsole([] { decodeBlock(BlockId::CAD, cadPayload(0, 0, 1, 1, 71)); });
  EXPECT_EQ(console.err, errorLine("CAD block truncated: need 72, have 71"));
}

TEST(CadCodec, TooSmallLogsBeforeThrowing) {
  const auto console = captureConsole([] { decodeBlock(BlockId::CAD, zeros(41)); });
  EXPECT_EQ(console.err, errorLine("CAD block too small"));
}

// ---------------------------------------------------------------------------
// Factory

TEST(MakeBlockCodec, EveryAssignedIdGetsItsOwnCodec) {
  for (int raw : {1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) {
    const auto codec = makeBlockCodec(static_cast<BlockId>(raw));
    ASSERT_NE(codec, nullptr) << raw;
    EXPECT_EQ(static_cast<int>(codec->id()), raw);
  }
}

TEST(MakeBlockCodec, IdsWithoutPayloadGetNone) {
  for (int raw : {0, 6, 17, 255, 0xFFFE, 0xFFFF}) {
    EXPECT_EQ(makeBlockCodec(static_cast<BlockId>(raw)), nullptr) << raw;
  }
}

// ---------------------------------------------------------------------------
// Single records

TEST(RecordJson, KbIntrinsicsKeepFieldOrderAndModel) {
  const json decoded =
      decodeBlock(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(decoded, json::parse(R"({"cameraModel": "kb", "fx": 1.0, "fy": 2.0, "cx": 3.0,
      "cy": 4.0, "k1": 5.0, "k2": 6.0, "k3": 7.0, "k4": 8.0})"));
}

TEST(RecordJson, KbSplineHasFullGridsAndSignedGridSize) {
  KbSplineIntrinsics spline;
  spline.k3 = 7;
  spline.nodeSpacing = {0.5f, 0.25f};
  spline.sU[24] = 3;
  spline.sV[0] = -2;
  spline.gridSize = {-1, 7};
  const json decoded = decodeBlock(BlockId::INTRINSICS_KB_SPLINE, recordBytes(spline));
  EXPECT_EQ(decoded["cameraModel"], "kb_spline");
  EXPECT_EQ(decoded["k3"], 7.0);
  EXPECT_FALSE(decoded.contains("k4"));
  EXPECT_EQ(decoded["nodeSpacing"], json::parse("[0.5, 0.25]"));
  ASSERT_EQ(decoded["sU"].size(), 25U);
  EXPECT_EQ(decoded["sU"][24], 3.0);
  ASSERT_EQ(decoded["sV"].size(), 25U);
  EXPECT_EQ(decoded["sV"][0], -2.0);
  EXPECT_EQ(decoded["gridSize"].dump(), "[-1,7]");
  EXPECT_TRUE(decoded["gridSize"][1].is_number_integer());
}

TEST(RecordJson, ThermalModelAndOffset) {
  EXPECT_EQ(
      decodeBlock(BlockId::CAMERA_THERMAL_LINEAR, recordBytes(CameraThermalLinear{0.5f, {-1, 2}})),
      json::parse(R"({"slope": 0.5, "offset": [-1.0, 2.0]})"));
  EXPECT_EQ(decodeBlock(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{})),
            json::parse("[0.0, 0.0, 0.0, 0.0, 0.0, 0.0]"));
}

TEST(RecordJson, FloatsWidenExactlyToDouble) {
  const json decoded = decodeBlock(BlockId::CAMERA_THERMAL_LINEAR,
                                   recordBytes(CameraThermalLinear{0.1f, {1.5f, 0}}));
  EXPECT_EQ(decoded["slope"].dump(), "0.10000000149011612");
  EXPECT_NE(decoded["slope"].get<double>(), 0.1);
  EXPECT_EQ(decoded["offset"][0].get<double>(), 1.5);
  EXPECT_TRUE(decoded["slope"].is_number_float());
}

struct ImuFlagsCase {
  std::uint8_t flags;
  bool accelInDeviceFrame, biasAdditive, biasMetric, biasPrescaled;
};

// Cases without a name print as what they are about, which also names their tests.
void PrintTo(const ImuFlagsCase& tested, std::ostream* out) {
  *out << "Flags0x" << std::hex << std::uppercase << std::setfill('0') << std::setw(2)
       << +tested.flags;
}

class ImuFlagsTest : public ::testing::TestWithParam<ImuFlagsCase> {};

TEST_P(ImuFlagsTest, EachBitIsItsOwnBoolean) {
  ImuBlockPayload imu = testing::sampleImu(0);
  imu.flags = GetParam().flags;
  const json decoded = recordToJson(imu);
  EXPECT_EQ(decoded["is_accel_in_device_frame"], GetParam().accelInDeviceFrame);
  EXPECT_EQ(decoded["is_bias_additive"], GetParam().biasAdditive);
  EXPECT_EQ(decoded["is_bias_metric"], GetParam().biasMetric);
  EXPECT_EQ(decoded["is_bias_prescaled"], GetParam().biasPrescaled);
}

INSTANTIATE_TEST_SUITE_P(Flags, ImuFlagsTest,
                         ::testing::Values(ImuFlagsCase{0x0F, true, true, true, true},
                                           ImuFlagsCase{0x00, false, false, false, false},
                                           ImuFlagsCase{0xF0, false, false, false, false},
                                           ImuFlagsCase{0x01, true, false, false, false},
                                           ImuFlagsCase{0x02, false, true, false, false},
                                           ImuFlagsCase{0x04, false, false, true, false},
                                           ImuFlagsCase{0x88, false, false, false, true}),
                         ::testing::PrintToStringParamName());

struct MetaNamesCase {
  std::int8_t extrinsicsMethod;
  std::int8_t pixelConvention;
  const char* extrinsicsName;
  const char* pixelName;
};

// A table index as part of a test name, which has no room for a minus sign.
std::string indexName(int index) {
  return index < 0 ? "Minus" + std::to_string(-index) : std::to_string(index);
}

void PrintTo(const MetaNamesCase& tested, std::ostream* out) {
  *out << "Method" << indexName(tested.extrinsicsMethod) << "Convention"
       << indexName(tested.pixelConvention);
}

class MetaNamesTest : public ::testing::TestWithParam<MetaNamesCase> {};

TEST_P(MetaNamesTest, IndexesOutsideTheTablesAreUnknown) {
  const auto& param = GetParam();
  const json decoded = decodeBlock(
      BlockId::META,
      recordBytes(MetaDataPayload{2.5f, param.extrinsicsMethod, param.pixelConvention, 65535}));
  EXPECT_EQ(decoded, json({{"dataset_duration_in_sec", 2.5},
                           {"extrinsicsMethod", param.extrinsicsName},
                           {"pixel_coordinates_convention", param.pixelName},
                           {"rig_json_version", 65535U}}));
  EXPECT_TRUE(decoded["rig_json_version"].is_number_unsigned());
}

INSTANTIATE_TEST_SUITE_P(Names, MetaNamesTest,
                         ::testing::Values(MetaNamesCase{0, 0, "Unknown", "Unknown"},
                                           MetaNamesCase{1, 1, "independent", "integer"},
                                           MetaNamesCase{2, 2, "fromPrimaryCal", "float"},
                                           MetaNamesCase{3, 3, "fromSecondaryCal", "Unknown"},
                                           MetaNamesCase{4, -1, "Unknown", "Unknown"},
                                           MetaNamesCase{-1, 127, "Unknown", "Unknown"},
                                           MetaNamesCase{-128, 2, "Unknown", "float"}),
                         ::testing::PrintToStringParamName());

// ---------------------------------------------------------------------------
// CAD block

TEST(CadCodec, EmptyPoseListsDecodeToEmptyArrays) {
  const json decoded = decodeBlock(BlockId::CAD, cadPayload(1, 0, 0, 0, 0));
  EXPECT_EQ(decoded, json::parse(R"({"__alignment_method": "Cam0PositionAndOrientation",
      "__units": "mm", "__head": {"plus_x": [0.0, 1.0, 2.0], "plus_z": [3.0, 4.0, 5.0],
      "position": [6.0, 7.0, 8.0]}, "cameras": [], "imus": []})"));
}

TEST(CadCodec, CameraPosesComeBeforeImuPoses) {
  const json decoded = decodeBlock(BlockId::CAD, testing::sampleCadPayload());
  EXPECT_EQ(decoded["__alignment_method"], "CamPositionsAndCamForwardVectors");
  EXPECT_EQ(decoded["__units"], "m");
  ASSERT_EQ(decoded["cameras"].size(), 2U);
  EXPECT_EQ(decoded["cameras"][1]["plus_x"][0], 20.0);
  ASSERT_EQ(decoded["imus"].size(), 1U);
  EXPECT_EQ(decoded["imus"][0]["position"][2], 38.0);
}

struct CadNamesCase {
  std::uint8_t alignment;
  std::uint8_t units;
  const char* alignmentName;
  const char* unitName;
};

void PrintTo(const CadNamesCase& tested, std::ostream* out) {
  *out << "Alignment" << indexName(tested.alignment) << "Units" << indexName(tested.units);
}

class CadNamesTest : public ::testing::TestWithParam<CadNamesCase> {};

TEST_P(CadNamesTest, IndexesOutsideTheTablesAreUnknown) {
  const auto& param = GetParam();
  const json decoded = decodeBlock(BlockId::CAD, cadPayload(param.alignment, param.units, 0, 0, 0));
  EXPECT_EQ(decoded["__alignment_method"], param.alignmentName);
  EXPECT_EQ(decoded["__units"], param.unitName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CadNamesTest,
    ::testing::Values(CadNamesCase{0, 0, "Unknown", "mm"},
                      CadNamesCase{12, 1, "RobotEyeBallCamPositionsAndCamForwardVectors", "m"},
                      CadNamesCase{13, 2, "Unknown", "Unknown"},
                      CadNamesCase{255, 255, "Unknown", "Unknown"}),
    ::testing::PrintToStringParamName());

// ---------------------------------------------------------------------------
// Camera and IMU blocks

TEST(CameraCodec, FixedRecordsOnly) {
  const json decoded = decodeBlock(BlockId::CAMERA_MAT, kMatCameraFixed);
  EXPECT_EQ(decoded, json::parse(R"({"width": 640, "height": 480, "intrinsics": [],
      "extrinsics": [1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0, 13.0,
                     14.0, 15.0, 16.0]})"));
  EXPECT_TRUE(decoded["width"].is_number_unsigned());
}

TEST(CameraCodec, CadFormExtrinsicsAlwaysInMillimetres) {
  const json decoded = decodeBlock(BlockId::CAMERA_CAD, kCadCameraFixed);
  EXPECT_EQ(decoded["extrinsics"], json::parse(R"({"__units": "mm", "plus_x": [7.0, 8.0, 9.0],
      "plus_z": [10.0, 11.0, 12.0], "position": [13.0, 14.0, 15.0]})"));
  EXPECT_EQ(decoded["intrinsics"], json::array());
}

TEST(CameraCodec, IntrinsicsAppendInBlobOrder) {
  const json decoded = decodeBlock(
      BlockId::CAMERA_MAT,
      concat({kMatCameraFixed, block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{})),
              block(BlockId::INTRINSICS_KB_SPLINE, recordBytes(KbSplineIntrinsics{})),
              block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{}))}));
  ASSERT_EQ(decoded["intrinsics"].size(), 3U);
  EXPECT_EQ(decoded["intrinsics"][0]["cameraModel"], "kb");
  EXPECT_EQ(decoded["intrinsics"][1]["cameraModel"], "kb_spline");
  EXPECT_EQ(decoded["intrinsics"][2]["cameraModel"], "kb");
}

TEST(CameraCodec, StringsAndOptionalsMergeBesideFixedKeys) {
  Bytes optionals = testing::optionalsMask(0x0C);
  appendLE(optionals, -10.0f);
  appendLE(optionals, 60.0f);
  const json decoded = decodeBlock(
      BlockId::CAMERA_MAT, concat({kMatCameraFixed,
                                   block(BlockId::CAMERA_STRINGS,
                                         stringsPayload({{3, "first"}, {4, "SN1"}, {3, "second"}})),
                                   block(BlockId::CAMERA_OPTIONALS, optionals)}));
  EXPECT_EQ(decoded["serial"], "SN1");
  EXPECT_EQ(decoded["parent"], "second");
  EXPECT_EQ(decoded["temperature"], json::parse(R"({"min": -10.0, "max": 60.0})"));
  EXPECT_EQ(decoded["width"], 640U);
  EXPECT_EQ(decoded["height"], 480U);
}

TEST(CameraCodec, RepeatedSubBlocksReplaceEarlierValues) {
  ExtrinsicsOffsetPayload second;
  second.values[5] = 9;
  const json decoded = decodeBlock(
      BlockId::CAMERA_MAT,
      concat({kMatCameraFixed,
              block(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{})),
              block(BlockId::CAMERA_THERMAL_LINEAR, recordBytes(CameraThermalLinear{1, {}})),
              block(BlockId::CAMERA_STRINGS, stringsPayload({{1, "hw-a"}, {2, "src"}})),
              block(BlockId::EXTRINSICS_OFFSET, recordBytes(second)),
              block(BlockId::CAMERA_THERMAL_LINEAR, recordBytes(CameraThermalLinear{2, {}})),
              block(BlockId::CAMERA_STRINGS, stringsPayload({{1, "hw-b"}}))}));
  EXPECT_EQ(decoded["extrinsicsOffset"][5], 9.0);
  EXPECT_EQ(decoded["focalLengthThermalModel"]["slope"], 2.0);
  EXPECT_EQ(decoded["hardwareIdentifier"], "hw-b");
  EXPECT_EQ(decoded["sourceCamera"], "src");
}

TEST(CameraCodec, EndMarkerAsLastEightBytesEndsTheWalk) {
  const json decoded = decodeBlock(
      BlockId::CAMERA_CAD,
      concat({kCadCameraFixed, block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{})),
              endMarker()}));
  EXPECT_EQ(decoded["intrinsics"].size(), 1U);
}

struct UnknownSubBlockCase {
  BlockId parent;
  std::uint16_t subId;
  std::string line;
};

void PrintTo(const UnknownSubBlockCase& tested, std::ostream* out) {
  *out << (tested.parent == BlockId::CAMERA_MAT ? "Camera" : "Imu") << "SubId" << tested.subId;
}

class UnknownSubBlockTest : public ::testing::TestWithParam<UnknownSubBlockCase> {};

TEST_P(UnknownSubBlockTest, IsLoggedSkippedAndTheRestDecodes) {
  const auto& param = GetParam();
  const bool camera = param.parent == BlockId::CAMERA_MAT;
  const Bytes payload =
      concat({camera ? kMatCameraFixed : kMatImuFixed, block(param.subId, zeros(5)),
              block(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{}))});
  json decoded;
  const auto console = captureConsole([&] { decoded = decodeBlock(param.parent, payload); });
  EXPECT_FALSE(console.thrown.has_value());
  EXPECT_EQ(console.err, errorLine(param.line));
  EXPECT_TRUE(decoded.contains("extrinsicsOffset"));
}

INSTANTIATE_TEST_SUITE_P(
    Ids, UnknownSubBlockTest,
    ::testing::Values(
        UnknownSubBlockCase{BlockId::CAMERA_MAT, 6, "Unknown camera sub-TLV 6; skipping"},
        UnknownSubBlockCase{BlockId::CAMERA_MAT, 12, "Unknown camera sub-TLV 12; skipping"},
        UnknownSubBlockCase{BlockId::CAMERA_MAT, 2, "Unknown camera sub-TLV 2; skipping"},
        UnknownSubBlockCase{BlockId::CAMERA_MAT, 0, "Unknown camera sub-TLV 0; skipping"},
        UnknownSubBlockCase{BlockId::CAMERA_MAT, 0xFFFE, "Unknown camera sub-TLV 65534; skipping"},
        UnknownSubBlockCase{BlockId::IMU_MAT, 11, "Unknown IMU sub-TLV 11; skipping"},
        UnknownSubBlockCase{BlockId::IMU_MAT, 4, "Unknown IMU sub-TLV 4; skipping"},
        UnknownSubBlockCase{BlockId::IMU_MAT, 14, "Unknown IMU sub-TLV 14; skipping"},
        UnknownSubBlockCase{BlockId::IMU_MAT, 17, "Unknown IMU sub-TLV 17; skipping"}),
    ::testing::PrintToStringParamName());

TEST(ImuCodec, FixedFieldsExtrinsicsAndSubBlocks) {
  Bytes optionals = testing::optionalsMask(0x80);
  appendLE(optionals, std::uint8_t{2});
  const json decoded = decodeBlock(
      BlockId::IMU_CAD,
      concat({kCadImuFixed, block(BlockId::IMU_STRINGS, stringsPayload({{2, "src"}, {4, "x"}})),
              block(BlockId::IMU_OPTIONALS, optionals)}));
  EXPECT_EQ(decoded["bias_accel"], json::parse("[1.0, 1.0, 1.0]"));
  EXPECT_EQ(decoded["scaleFactorsCrossAxis_gyro"].size(), 6U);
  EXPECT_EQ(decoded["meters_per_accel_unit"], 9.75);
  EXPECT_EQ(decoded["imuToCamTimeOffset"], -0.5);
  EXPECT_EQ(decoded["extrinsics"]["__units"], "mm");
  EXPECT_EQ(decoded["sourceImu"], "src");
  EXPECT_EQ(decoded["isGyroAndAccelDataSynchronized"], true);
  EXPECT_FALSE(decoded.contains("intrinsics"));
  EXPECT_FALSE(decoded.contains("serial"));
}

TEST(SubBlockOverrun, LogsIdAndSize) {
  const auto console = captureConsole([] {
    decodeBlock(BlockId::CAMERA_MAT, concat({kMatCameraFixed, blockWithSize(4, 33, zeros(32))}));
  });
  EXPECT_EQ(console.err, errorLine("Sub TLV overruns parent block. TLV ID 4 size 33"));
  EXPECT_THAT(console.thrown, ::testing::Optional(StrEq("sub TLV overruns parent block")));
}

TEST(MergeInto, ReplacesAndKeeps) {
  json target = {{"a", 1}, {"b", 2}};
  mergeInto(target, {{"b", 3}, {"c", {{"d", 4}}}});
  EXPECT_EQ(target, json::parse(R"({"a": 1, "b": 3, "c": {"d": 4}})"));
}

}  // namespace
}  // namespace ravelin
