#include "calibration/decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "cli/file_io.h"
#include "tests/calibration/blob_builder.h"
#include "tests/calibration/sample_blob.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"

namespace ravelin {
namespace {

using testing::block;
using testing::blockWithSize;
using testing::calibrationBlob;
using testing::captureConsole;
using testing::concat;
using testing::endMarker;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::headerFor;
using testing::infoLine;
using ::testing::Optional;
using testing::PrintTo;
using testing::recordBytes;
using ::testing::StrEq;
using testing::stringsPayload;
using testing::successLine;

const json kEmptyCalibration = json::parse(R"({"cameras": [], "imus": []})");

struct Decoded {
  json value;
  bool crcOk = false;
};

// Decodes with the CRC check on and the console silenced.
Decoded decodeQuietly(const Bytes& blob) {
  const testing::QuietLog quiet;
  Decoded decoded;
  decoded.crcOk = decodeCalibration(blob, decoded.value, true);
  return decoded;
}

std::string headerInfoLines(const std::string& magic, int minor, int bodySize) {
  return infoLine("MAGIC: " + magic) +
         infoLine("MAJOR VERSION: 1, MINOR VERSION: " + std::to_string(minor)) +
         infoLine("Body Size: " + std::to_string(bodySize));
}

Bytes metaPayload(float duration) {
  return recordBytes(MetaDataPayload{duration, 1, 2, 4});
}

TEST(DecodeCalibration, HeaderOnlyBlobIsAnEmptyCalibration) {
  json out;
  bool crcOk = false;
  const auto console =
      captureConsole([&] { crcOk = decodeCalibration(calibrationBlob({}), out, true); });
  EXPECT_TRUE(crcOk);
  EXPECT_EQ(out, kEmptyCalibration);
  EXPECT_EQ(console.out, headerInfoLines("0X43414C42", 0, 0) +
                             successLine("Stored and computed CRC32 codes match!!"));
  EXPECT_EQ(console.err, "");
}

// ---------------------------------------------------------------------------
// Header and body-size faults: the info lines come first, then one error line.

struct HeaderFault {
  std::string name;
  Bytes blob;
  std::string infoLines;
  std::string errorText;
  std::string message;
};

Bytes blobWithHeaderFields(std::uint32_t magic, std::uint16_t major, const Bytes& body) {
  Header header = headerFor(body);
  header.magic = magic;
  header.majorVersion = major;
  return testing::blobWithHeader(header, body);
}

Bytes blobWithBodySize(std::uint32_t bodySize, const Bytes& body) {
  Header header = headerFor(body);
  header.bodySize = bodySize;
  return testing::blobWithHeader(header, body);
}

class HeaderFaultTest : public ::testing::TestWithParam<HeaderFault> {};

TEST_P(HeaderFaultTest, LogsAndThrowsLeavingOutputUntouched) {
  const auto& param = GetParam();
  json out = "untouched";
  const auto console = captureConsole([&] { decodeCalibration(param.blob, out, true); });
  EXPECT_THAT(console.thrown, Optional(StrEq(param.message)));
  EXPECT_EQ(inspectCalibration(param.blob).firstFaultMessage(), param.message);
  EXPECT_EQ(console.out, param.infoLines);
  if (!param.errorText.empty()) {
    EXPECT_EQ(console.err, errorLine(param.errorText));
  }
  EXPECT_EQ(out, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderFaultTest,
    ::testing::Values(
        HeaderFault{"Empty", {}, "", "", "blob truncated while reading 6Header"},
        HeaderFault{"FifteenBytes", Bytes(15, 0x42), "", "",
                    "blob truncated while reading 6Header"},
        HeaderFault{"DeviceConfigMagic", blobWithHeaderFields(kDeviceConfigMagic, 1, {}),
                    headerInfoLines("0X44434647", 0, 0),
                    "MAGIC mismatch. found magic 0x44434647, expected 0x43414C42 are you sure "
                    "you are trying to decode a compact calibration?",
                    "bad magic"},
        HeaderFault{"SmallMagic", blobWithHeaderFields(0x42, 1, {}), headerInfoLines("0X42", 0, 0),
                    "MAGIC mismatch. found magic 0x00000042, expected 0x43414C42 are you sure "
                    "you are trying to decode a compact calibration?",
                    "bad magic"},
        HeaderFault{"MajorTwo", blobWithHeaderFields(kCalibrationMagic, 2, {}),
                    infoLine("MAGIC: 0X43414C42") + infoLine("MAJOR VERSION: 2, MINOR VERSION: 0") +
                        infoLine("Body Size: 0"),
                    "Major version mismatch: Found 2, expected 1. Cannot decode this binary "
                    "calibration version!",
                    "unsupported major version"},
        HeaderFault{"MajorZero", blobWithHeaderFields(kCalibrationMagic, 0, {}),
                    infoLine("MAGIC: 0X43414C42") + infoLine("MAJOR VERSION: 0, MINOR VERSION: 0") +
                        infoLine("Body Size: 0"),
                    "Major version mismatch: Found 0, expected 1. Cannot decode this binary "
                    "calibration version!",
                    "unsupported major version"},
        HeaderFault{"BodyOneByteShort", blobWithBodySize(9, endMarker()),
                    headerInfoLines("0X43414C42", 0, 9),
                    "Blob body truncated: the header announces 9 bytes, only 8 follow it",
                    "blob body truncated"},
        HeaderFault{"BodySizePrintsSigned", blobWithBodySize(0xFFFFFFFF, {}),
                    headerInfoLines("0X43414C42", 0, -1),
                    "Blob body truncated: the header announces 4294967295 bytes, only 0 follow "
                    "it",
                    "blob body truncated"}),
    testing::ByCaseName());

TEST(DecodeCalibration, MinorVersionIsOnlyPrinted) {
  Header header = headerFor({});
  header.minorVersion = 7;
  json out;
  const auto console =
      captureConsole([&] { decodeCalibration(testing::blobWithHeader(header, {}), out, true); });
  EXPECT_FALSE(console.thrown.has_value());
  EXPECT_THAT(console.out, HasSubstr(infoLine("MAJOR VERSION: 1, MINOR VERSION: 7")));
}

// ---------------------------------------------------------------------------
// CRC

TEST(DecodeCalibration, FlippedTextByteDecodesChangedTextAndReportsMismatch) {
  Bytes blob = calibrationBlob(
      concat({block(BlockId::META_STRINGS, stringsPayload({{1, "abc"}})), endMarker()}));
  const Header original = headerFor(Bytes(blob.begin() + 16, blob.end()));
  blob[16 + 8 + 3] = 'x';  // after the TLV and the entry's id and length
  const std::uint32_t computed = crc32(blob.data() + 16, blob.size() - 16);
  json out;
  bool crcOk = true;
  const auto console = captureConsole([&] { crcOk = decodeCalibration(blob, out, true); });
  EXPECT_FALSE(crcOk);
  EXPECT_EQ(out["metadata"]["created_by"], "xbc");
  EXPECT_EQ(console.err,
            errorLine("Error in calculate crc32. Calculated " +
                      std::to_string(static_cast<std::int32_t>(computed)) + " but expected " +
                      std::to_string(static_cast<std::int32_t>(original.crc32)) + " "));
  EXPECT_THAT(console.out, ::testing::Not(HasSubstr("SUCCESS")));
}

TEST(DecodeCalibration, DamagedStoredCrcPrintsBothValuesSigned) {
  Header header = headerFor({});
  header.crc32 = 0xFFFFFFFF;
  json out;
  bool crcOk = true;
  const auto console = captureConsole(
      [&] { crcOk = decodeCalibration(testing::blobWithHeader(header, {}), out, true); });
  EXPECT_FALSE(crcOk);
  EXPECT_EQ(out, kEmptyCalibration);
  EXPECT_EQ(console.err, errorLine("Error in calculate crc32. Calculated 0 but expected -1 "));
}

TEST(DecodeCalibration, WithoutCrcCheckADamagedCrcIsTrueAndSilent) {
  Header header = headerFor({});
  header.crc32 = 1;
  json out;
  bool crcOk = false;
  const auto console = captureConsole(
      [&] { crcOk = decodeCalibration(testing::blobWithHeader(header, {}), out, false); });
  EXPECT_TRUE(crcOk);
  EXPECT_EQ(console.out, headerInfoLines("0X43414C42", 0, 0));
  EXPECT_EQ(console.err, "");
}

// ---------------------------------------------------------------------------
// Block walk and placement

struct PlacementCase {
  std::string name;
  Bytes body;
  json expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, BuildsTheExpectedObject) {
  const Decoded decoded = decodeQuietly(calibrationBlob(GetParam().body));
  EXPECT_TRUE(decoded.crcOk);
  EXPECT_EQ(decoded.value, GetParam().expected);
}

const Bytes kMetaStrings = block(BlockId::META_STRINGS, stringsPayload({{2, "D1"}}));
const Bytes kMeta = block(BlockId::META, metaPayload(1.5f));
const json kMetaJson = json::parse(R"({"dataset_duration_in_sec": 1.5,
    "extrinsicsMethod": "independent", "pixel_coordinates_convention": "float",
    "rig_json_version": 4})");

json withMetadata(const json& metadata) {
  json expected = kEmptyCalibration;
  expected["metadata"] = metadata;
  return expected;
}

json metaJsonWithSerial() {
  json metadata = kMetaJson;
  metadata["device_serial"] = "D1";
  return metadata;
}

Bytes cadBlock(std::uint8_t units) {
  CadBlockPayload cad;
  cad.units = units;
  Bytes payload;
  cad.appendTo(payload);
  return block(BlockId::CAD, payload);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacementTest,
    ::testing::Values(
        PlacementCase{"OnlyMetaStrings", concat({kMetaStrings, endMarker()}),
                      withMetadata({{"device_serial", "D1"}})},
        PlacementCase{"MetaThenStrings", concat({kMeta, kMetaStrings, endMarker()}),
                      withMetadata(metaJsonWithSerial())},
        PlacementCase{"StringsThenMetaLosesStrings", concat({kMetaStrings, kMeta, endMarker()}),
                      withMetadata(kMetaJson)},
        PlacementCase{"EmptyMetaStringsGivesEmptyObject",
                      concat({block(BlockId::META_STRINGS, {}), endMarker()}),
                      withMetadata(json::object())},
        PlacementCase{
            "SubBlockKindsAtTopLevelAreDropped",
            concat({block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{})),
                    block(BlockId::INTRINSICS_KB_SPLINE, recordBytes(KbSplineIntrinsics{})),
                    block(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{})),
                    block(BlockId::CAMERA_STRINGS, stringsPayload({{4, "s"}})),
                    block(BlockId::IMU_STRINGS, stringsPayload({{1, "h"}})),
                    block(BlockId::CAMERA_THERMAL_LINEAR, recordBytes(CameraThermalLinear{})),
                    block(BlockId::CAMERA_OPTIONALS, testing::optionalsMask(0)),
                    block(BlockId::IMU_OPTIONALS, testing::optionalsMask(0)), endMarker()}),
            kEmptyCalibration},
        PlacementCase{"UnknownTopLevelIdsSkipped",
                      concat({block(0, Bytes(3, 0xEE)), block(6, Bytes(40, 0xEE)), block(17, {}),
                              block(0xFFFE, Bytes(1, 0)), endMarker()}),
                      kEmptyCalibration},
        PlacementCase{"BytesAfterEndMarkerNotWalked",
                      concat({endMarker(), kMetaStrings, Bytes(3, 0xEE)}), kEmptyCalibration},
        PlacementCase{"NoEndMarkerWalksToBufferEnd", kMetaStrings,
                      withMetadata({{"device_serial", "D1"}})},
        PlacementCase{"LaterCadReplacesEarlier", concat({cadBlock(0), cadBlock(1), endMarker()}),
                      json::parse(R"({"cameras": [], "imus": [], "cad": {
                          "__alignment_method": "Unknown", "__units": "m",
                          "__head": {"plus_x": [0.0, 0.0, 0.0], "plus_z": [0.0, 0.0, 0.0],
                                     "position": [0.0, 0.0, 0.0]},
                          "cameras": [], "imus": []}})")}),
    testing::ByCaseName());

TEST(DecodeCalibration, CamerasAndImusKeepBlobOrder) {
  const Bytes cadCamera =
      concat({recordBytes(CameraBlockPayload{1, 1}), recordBytes(testing::samplePose(0))});
  const Bytes matCamera =
      concat({recordBytes(CameraBlockPayload{2, 2}), recordBytes(testing::sampleMatrix(0))});
  const Bytes imu =
      concat({recordBytes(testing::sampleImu(0)), recordBytes(testing::sampleMatrix(0))});
  const Bytes otherImu =
      concat({recordBytes(testing::sampleImu(5)), recordBytes(testing::samplePose(0))});
  const Decoded decoded = decodeQuietly(calibrationBlob(concat(
      {block(BlockId::CAMERA_CAD, cadCamera), block(BlockId::IMU_MAT, imu),
       block(BlockId::CAMERA_MAT, matCamera), block(BlockId::IMU_CAD, otherImu), endMarker()})));
  ASSERT_EQ(decoded.value["cameras"].size(), 2U);
  EXPECT_EQ(decoded.value["cameras"][0]["width"], 1U);
  EXPECT_TRUE(decoded.value["cameras"][0]["extrinsics"].is_object());
  EXPECT_EQ(decoded.value["cameras"][1]["width"], 2U);
  EXPECT_TRUE(decoded.value["cameras"][1]["extrinsics"].is_array());
  ASSERT_EQ(decoded.value["imus"].size(), 2U);
  EXPECT_EQ(decoded.value["imus"][0]["bias_accel"][0], 0.0);
  EXPECT_EQ(decoded.value["imus"][1]["bias_accel"][0], 5.0);
}

TEST(DecodeCalibration, WalkIsBoundedByTheBufferNotTheBodySize) {
  const Bytes body = kMeta;
  const Bytes blob = concat({testing::blobWithHeader(headerFor(body), body), kMetaStrings});
  const Decoded decoded = decodeQuietly(blob);
  EXPECT_TRUE(decoded.crcOk);
  EXPECT_EQ(decoded.value, withMetadata(metaJsonWithSerial()));
}

TEST(DecodeCalibration, SampleWithEveryBlockKind) {
  const Decoded decoded = decodeQuietly(testing::sampleCalibrationBlob());
  EXPECT_TRUE(decoded.crcOk);
  const json& calibration = decoded.value;
  ASSERT_EQ(calibration["cameras"].size(), 2U);
  const json& first = calibration["cameras"][0];
  EXPECT_EQ(first["intrinsics"][0]["fx"].dump(), "0.10000000149011612");
  EXPECT_EQ(first["serial"], "SN-0");
  EXPECT_EQ(first["cropRegion"], json({{"x", -5}}));
  EXPECT_EQ(first["temperature"], json({{"min", 20.0}}));
  EXPECT_EQ(first["focalLengthThermalModel"]["slope"], 0.5);
  EXPECT_EQ(calibration["cameras"][1]["intrinsics"][0]["gridSize"], json({5, -5}));
  ASSERT_EQ(calibration["imus"].size(), 2U);
  EXPECT_EQ(calibration["imus"][0]["parent"], "cam0");
  EXPECT_EQ(calibration["imus"][0]["samplingRateInHz"], 400.0);
  EXPECT_EQ(calibration["cad"]["imus"].size(), 1U);
  EXPECT_EQ(calibration["metadata"]["created_by"], "tester");
  EXPECT_EQ(calibration["metadata"]["extrinsicsMethod"], "fromPrimaryCal");
}

TEST(DecodeCalibration, FloatRoundsToNineDigitsOnlyWhenWritten) {
  json value = decodeQuietly(testing::sampleCalibrationBlob()).value;
  json& fx = value["cameras"][0]["intrinsics"][0]["fx"];
  EXPECT_EQ(fx.dump(), "0.10000000149011612");
  roundJsonFloats(value);
  EXPECT_EQ(fx.dump(), "0.100000001");
}

// ---------------------------------------------------------------------------
// Walk faults

class ShortTlvTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ShortTlvTest, OneToSevenBytesAreATruncatedTlv) {
  json out = "untouched";
  const Bytes blob = calibrationBlob(Bytes(GetParam(), 1));
  const auto console = captureConsole([&] { decodeCalibration(blob, out, true); });
  EXPECT_THAT(console.thrown, Optional(StrEq("blob truncated while reading 3TLV")));
  EXPECT_EQ(inspectCalibration(blob).firstFaultMessage(), "blob truncated while reading 3TLV");
  EXPECT_EQ(out, "untouched");
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortTlvTest, ::testing::Range<std::size_t>(1, 8),
                         ::testing::PrintToStringParamName());

TEST(DecodeCalibration, PayloadOverrunPrintsSizeLogsAndThrows) {
  json out = "untouched";
  const Bytes blob = calibrationBlob(blockWithSize(9, 100, Bytes(99, 0)));
  const auto console = captureConsole([&] { decodeCalibration(blob, out, true); });
  EXPECT_THAT(console.thrown, Optional(StrEq("payload overruns buffer")));
  EXPECT_THAT(console.out, HasSubstr("tlv size: 100\n"));
  EXPECT_EQ(console.err, errorLine("Payload overruns buffer. TLV ID 9 TLV Size 100"));
  EXPECT_EQ(out, "untouched");
}

TEST(DecodeCalibration, UnknownIdOverrunningTheBufferIsStillRefused) {
  const Bytes blob = calibrationBlob(blockWithSize(6, 1, {}));
  json out;
  const auto console = captureConsole([&] { decodeCalibration(blob, out, true); });
  EXPECT_THAT(console.thrown, Optional(StrEq("payload overruns buffer")));
}

struct BlockFault {
  std::string name;
  Bytes body;
  std::string message;
};

class BlockFaultTest : public ::testing::TestWithParam<BlockFault> {};

TEST_P(BlockFaultTest, EndsTheDecodeLeavingOutputUntouched) {
  json out = "untouched";
  const Bytes blob = calibrationBlob(GetParam().body);
  const auto console = captureConsole([&] { decodeCalibration(blob, out, true); });
  EXPECT_THAT(console.thrown, Optional(StrEq(GetParam().message)));
  EXPECT_EQ(inspectCalibration(blob).firstFaultMessage(), GetParam().message);
  EXPECT_EQ(out, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockFaultTest,
    ::testing::Values(
        BlockFault{"TopLevelKb31",
                   concat({block(BlockId::INTRINSICS_KB, Bytes(31, 0)), endMarker()}),
                   "blob truncated while reading 12KbIntrinsics"},
        BlockFault{"EmptyCameraBlock", concat({block(BlockId::CAMERA_MAT, {}), endMarker()}),
                   "blob truncated while reading 18CameraBlockPayload"},
        BlockFault{"TopLevelStringsOverrun", block(BlockId::META_STRINGS, {1, 5, 0, 'a'}),
                   "STRINGS overrun"},
        BlockFault{"FaultAfterGoodBlocks",
                   concat({kMeta, kMetaStrings, block(BlockId::CAMERA_THERMAL_LINEAR, {1})}),
                   "blob truncated while reading 19CameraThermalLinear"}),
    testing::ByCaseName());

// ---------------------------------------------------------------------------
// Sweep: damaged blobs either decode or fail with a message, never worse.

// Returns whether the decode returned (rather than threw). The inspector
// must find the blob damaged exactly then, and its first fault must be the
// decoder's.
bool expectDecodesOrFailsCleanly(const Bytes& blob, bool bodyChanged, const std::string& what) {
  json out = "untouched";
  const Annotation inspected = inspectCalibration(blob);
  try {
    const bool crcOk = decodeCalibration(blob, out, true);
    EXPECT_TRUE(out.is_object()) << what;
    if (bodyChanged) {
      EXPECT_FALSE(crcOk) << what;
    }
    EXPECT_EQ(inspected.damaged(), !crcOk) << what;
    EXPECT_EQ(inspected.faults(), 0U) << what;
    return true;
  } catch (const std::exception& e) {
    EXPECT_STRNE(e.what(), "") << what;
    EXPECT_EQ(inspected.firstFaultMessage(), e.what()) << what;
    EXPECT_EQ(out, "untouched") << what;
    return false;
  }
}

TEST(DecodeSweep, EveryPrefixFailsWithAMessage) {
  const Bytes blob = testing::sampleCalibrationBlob();
  const testing::QuietLog quiet;
  for (std::size_t length = 0; length < blob.size(); ++length) {
    const Bytes prefix(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(expectDecodesOrFailsCleanly(prefix, true, "length " + std::to_string(length)));
  }
  json out;
  EXPECT_TRUE(decodeCalibration(blob, out, true));
}

TEST(DecodeSweep, EverySingleByteFlipDecodesOrFailsCleanly) {
  const Bytes blob = testing::sampleCalibrationBlob();
  constexpr std::size_t kCrcOffset = 12;
  const testing::QuietLog quiet;
  std::size_t returned = 0;
  std::size_t thrown = 0;
  captureConsole([&] {  // overruns print their size outside the log
    for (std::size_t index = 0; index < blob.size(); ++index) {
      for (const std::uint8_t mask : {std::uint8_t{0x01}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
        Bytes damaged = blob;
        damaged[index] ^= mask;
        const bool decoded = expectDecodesOrFailsCleanly(
            damaged, index >= kCrcOffset,
            "byte " + std::to_string(index) + " mask " + std::to_string(mask));
        ++(decoded ? returned : thrown);
      }
    }
  });
  // Both outcomes occur: the sweep reaches past the header checks.
  EXPECT_GT(returned, blob.size() / 4);
  EXPECT_GT(thrown, 0U);
}

}  // namespace
}  // namespace ravelin
