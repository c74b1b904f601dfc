// Writes the seed inputs of every fuzz target: small valid blobs and
// documents that reach deep into the formats, malformed variants that each
// break one rule, the bundled examples, and the encoders' blobs of the valid
// documents. Hand-made blobs are built field by field through the project's
// own records, so every seed is little-endian whatever the host.
//
//   fuzz_seed_writer <repository>      writes <repository>/fuzz/corpus

#include <cfloat>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calibration/compact.h"
#include "calibration/encoder.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "wire/container.h"

namespace {

using namespace ravelin;
namespace fs = std::filesystem;

struct Seed {
  std::string name;
  Bytes bytes;
};

Bytes textBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) appendBytes(out, part);
  return out;
}

template <typename... Records>
Bytes records(const Records&... parts) {
  Bytes out;
  (appendRecord(out, parts), ...);
  return out;
}

// ---- calibration blobs ------------------------------------------------------

Bytes block(BlockId id, const Bytes& payload) {
  Bytes out;
  appendRecord(out,
               TLV{static_cast<std::uint16_t>(id), 0, static_cast<std::uint32_t>(payload.size())});
  appendBytes(out, payload);
  return out;
}

Bytes endMarker() {
  return block(BlockId::END, {});
}

Bytes sealed(const Bytes& body, std::uint32_t magic) {
  Bytes blob(Header::kWireSize, 0);
  appendBytes(blob, body);
  sealBlob(blob, magic);
  return blob;
}

CadPose pose(float base) {
  return CadPose{{base, 0, 0}, {0, 0, base + 1}, {base * 10, -base, 0.1f}};
}

// The ends of the float range. Decode writes FLT_MAX as 3.40282347e+38, which
// lies above FLT_MAX and must still encode as FLT_MAX.
constexpr float kBelowFloatMax = 0x1.fffffcp127F;

CadPose floatRangeEnds() {
  return CadPose{{FLT_MAX, -FLT_MAX, kBelowFloatMax},
                 {-kBelowFloatMax, FLT_MIN, -FLT_TRUE_MIN},
                 {FLT_TRUE_MIN, 0.0F, -0.0F}};
}

Bytes cadPayload(std::uint8_t alignment, std::uint8_t units, std::uint16_t cameras,
                 std::uint16_t imus, std::size_t posesWritten) {
  Bytes out;
  appendLE(out, alignment);
  appendLE(out, units);
  appendLE(out, cameras);
  appendLE(out, imus);
  appendRecord(out, pose(1));
  for (std::size_t i = 0; i < posesWritten; ++i) appendRecord(out, pose(static_cast<float>(i + 2)));
  return out;
}

Bytes stringsPayload(std::initializer_list<std::pair<std::uint8_t, std::string_view>> entries) {
  Bytes out;
  for (const auto& [id, text] : entries) {
    appendLE(out, id);
    appendLE(out, static_cast<std::uint16_t>(text.size()));
    appendBytes(out, textBytes(text));
  }
  return out;
}

// Every optional field of the table present: bits 0-7 set.
Bytes cameraOptionalsPayload() {
  Bytes out;
  appendLE(out, std::uint64_t{0xFF});
  appendLE(out, std::int16_t{-5});
  appendLE(out, std::int16_t{7});
  for (float value : {-20.0f, 60.0f, 90.0f, 170.5f, 0.42f, 0.38f}) appendLE(out, value);
  return out;
}

Bytes imuOptionalsPayload() {
  Bytes out;
  appendLE(out, std::uint64_t{0xFF});
  for (float value : {-10.0f, 70.0f, 1000.0f, 0.01f, 0.02f, 0.003f, 0.004f}) appendLE(out, value);
  appendLE(out, std::uint8_t{1});
  return out;
}

KbSplineIntrinsics splineIntrinsics() {
  KbSplineIntrinsics spline{};
  spline.fx = 280;
  spline.fy = 281;
  spline.cx = 320;
  spline.cy = 240;
  spline.k1 = 0.1f;
  spline.nodeSpacing = {32, 24};
  for (std::size_t i = 0; i < spline.sU.size(); ++i) {
    spline.sU[i] = static_cast<float>(i) * 0.01f;
    spline.sV[i] = -static_cast<float>(i) * 0.01f;
  }
  spline.gridSize = {5, 5};
  return spline;
}

Bytes cameraBlockWithMatrix() {
  ExtrinsicsMat extrinsics{};
  for (std::size_t i = 0; i < 16; ++i) extrinsics.values[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  return block(
      BlockId::CAMERA_MAT,
      concat({records(CameraBlockPayload{640, 480}, extrinsics),
              block(BlockId::EXTRINSICS_OFFSET, records(ExtrinsicsOffsetPayload{})),
              block(BlockId::CAMERA_THERMAL_LINEAR, records(CameraThermalLinear{0.5f, {1, 2}})),
              block(BlockId::CAMERA_STRINGS,
                    stringsPayload({{1, "CAM-HW-1"}, {2, "left"}, {3, "rig"}, {4, "SN1"}})),
              block(BlockId::CAMERA_OPTIONALS, cameraOptionalsPayload()),
              block(BlockId::INTRINSICS_KB,
                    records(KbIntrinsics{280, 281, 320, 240, 0.1f, 0.01f, 0.001f, 0})),
              block(BlockId::INTRINSICS_KB_SPLINE, records(splineIntrinsics()))}));
}

Bytes cameraBlockWithCadPose() {
  return block(BlockId::CAMERA_CAD,
               concat({records(CameraBlockPayload{1280, 800}, pose(3)),
                       block(BlockId::CAMERA_STRINGS, stringsPayload({{1, ""}, {2, ""}}))}));
}

Bytes imuBlock(BlockId id) {
  ImuBlockPayload imu{};
  imu.bias_accel = {0.01f, -0.02f, 0.03f};
  imu.scaleFactors_accel = {1, 1, 1};
  imu.scaleFactors_gyro = {1, 1, 1};
  imu.meters_per_accel_unit = 9.81f;
  imu.imuToCamTimeOffset = 0.002f;
  imu.flags = 0x0F;
  const Bytes extrinsics = id == BlockId::IMU_MAT ? records(ExtrinsicsMat{}) : records(pose(4));
  return block(
      id,
      concat({records(imu), extrinsics,
              block(BlockId::EXTRINSICS_OFFSET, records(ExtrinsicsOffsetPayload{})),
              block(BlockId::IMU_STRINGS, stringsPayload({{1, "IMU-HW"}, {2, "imu0"}, {3, "rig"}})),
              block(BlockId::IMU_OPTIONALS, imuOptionalsPayload())}));
}

Bytes metaBlock(std::int8_t extrinsicsMethod, std::int8_t pixelConvention) {
  return block(BlockId::META,
               records(MetaDataPayload{12.5f, extrinsicsMethod, pixelConvention, 3}));
}

Bytes richCalibrationBody() {
  return concat(
      {block(BlockId::CAD, cadPayload(3, 0, 2, 2, 4)), cameraBlockWithMatrix(),
       cameraBlockWithCadPose(), imuBlock(BlockId::IMU_MAT), imuBlock(BlockId::IMU_CAD),
       metaBlock(1, 2),
       block(BlockId::META_STRINGS,
             stringsPayload({{1, "factory"}, {2, "DEV-42"}, {3, "2026-01-01"}, {4, "HW"}})),
       endMarker()});
}

Bytes withCorruptedByte(Bytes blob, std::size_t offset) {
  blob.at(offset) ^= 0x5A;
  return blob;
}

Bytes withBodySize(Bytes blob, std::uint32_t bodySize) {
  storeLE(blob, 8, bodySize);
  return blob;
}

std::vector<Seed> calibrationBlobSeeds() {
  const Bytes minimalBody =
      concat({block(BlockId::CAD, cadPayload(0, 0, 0, 0, 0)), metaBlock(0, 0), endMarker()});
  const Bytes rich = sealed(richCalibrationBody(), kCalibrationMagic);
  Bytes majorTwo = sealed(minimalBody, kCalibrationMagic);
  storeLE(majorTwo, 4, std::uint16_t{2});
  const Bytes cameraOnly = records(CameraBlockPayload{4, 4}, ExtrinsicsMat{});
  return {
      {"invalid-empty", {}},
      {"invalid-three-bytes", textBytes("BLA")},
      {"header-only", sealed({}, kCalibrationMagic)},
      {"minimal", sealed(minimalBody, kCalibrationMagic)},
      {"rich", rich},
      {"malformed-crc-mismatch", withCorruptedByte(rich, rich.size() / 2)},
      {"malformed-major-version-2", majorTwo},
      {"malformed-body-size-beyond-buffer", withBodySize(rich, 0xFFFFFFF0)},
      {"malformed-tlv-truncated", sealed(Bytes{0x01, 0x00, 0x00, 0x00, 0x2A}, kCalibrationMagic)},
      {"malformed-payload-overruns-buffer",
       sealed(concat({block(BlockId::META, records(MetaDataPayload{})),
                      Bytes{0x09, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}}),
              kCalibrationMagic)},
      {"malformed-sub-tlv-overruns-camera",
       sealed(block(BlockId::CAMERA_MAT, concat({cameraOnly, Bytes{0x0A, 0, 0, 0, 0x40, 0, 0, 0}})),
              kCalibrationMagic)},
      {"malformed-cad-counts-beyond-block",
       sealed(block(BlockId::CAD, cadPayload(0, 0, 0xFFFF, 0xFFFF, 1)), kCalibrationMagic)},
      {"malformed-cad-trailing-bytes",
       sealed(block(BlockId::CAD, concat({cadPayload(0, 0, 0, 0, 0), Bytes{0}})),
              kCalibrationMagic)},
      {"malformed-strings-overrun",
       sealed(block(BlockId::META_STRINGS, Bytes{0x01, 0xFF, 0xFF, 'a'}), kCalibrationMagic)},
      {"malformed-strings-trailing",
       sealed(block(BlockId::META_STRINGS, Bytes{0x01, 0x00}), kCalibrationMagic)},
      {"malformed-optionals-trailing",
       sealed(
           block(BlockId::CAMERA_MAT,
                 // mask 0x01 announces one i16, three bytes follow
                 concat({cameraOnly, block(BlockId::CAMERA_OPTIONALS,
                                           Bytes{0x01, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x00, 0x07})})),
           kCalibrationMagic)},
      {"malformed-meta-longer-than-record",
       sealed(block(BlockId::META, concat({records(MetaDataPayload{}), Bytes{0}})),
              kCalibrationMagic)},
      {"enum-values-outside-tables",
       sealed(concat({block(BlockId::CAD, cadPayload(200, 9, 0, 0, 0)), metaBlock(0x7F, -1),
                      endMarker()}),
              kCalibrationMagic)},
      {"unknown-sub-blocks-skipped",
       sealed(block(BlockId::CAMERA_MAT,
                    concat({cameraOnly, block(static_cast<BlockId>(6), Bytes{1, 2}),
                            block(BlockId::IMU_STRINGS, {})})),
              kCalibrationMagic)},
      {"float-range-ends",
       sealed(
           concat(
               {block(BlockId::CAD, concat({Bytes(6, 0), records(floatRangeEnds())})),
                block(BlockId::CAMERA_CAD,
                      concat({records(CameraBlockPayload{1280, 800}, floatRangeEnds()),
                              block(BlockId::CAMERA_STRINGS, stringsPayload({{1, ""}, {2, ""}}))})),
                block(BlockId::META, records(MetaDataPayload{-FLT_MAX, 0, 0, 3})), endMarker()}),
           kCalibrationMagic)},
      {"malformed-end-marker-inside-camera",
       sealed(block(BlockId::CAMERA_MAT, concat({cameraOnly, endMarker(), Bytes{0, 0, 0}})),
              kCalibrationMagic)},
  };
}

// ---- device config blobs ----------------------------------------------------

void appendString(Bytes& out, std::string_view text) {
  appendLE(out, static_cast<std::uint32_t>(text.size()));
  appendBytes(out, textBytes(text));
}

void appendFloats(Bytes& out, std::size_t count, float base) {
  for (std::size_t i = 0; i < count; ++i) appendLE(out, base + static_cast<float>(i) * 0.125f);
}

// One 290-byte eye record: three distortions, eye_to_head, grow, intrinsics,
// the inverse distortion (with its u16 at offset 72) and the r2 cutoff.
void appendEyeTransform(Bytes& out, float base) {
  for (int distortion = 0; distortion < 3; ++distortion) appendFloats(out, 11, base);
  appendFloats(out, 9, base);
  appendFloats(out, 1, 1.1f);
  appendFloats(out, 9, base * 2);
  appendFloats(out, 18, base);
  appendLE(out, std::uint16_t{16});
  appendFloats(out, 1, 4.0f);
  appendFloats(out, 1, 0.9f);
}

struct DeviceConfigShape {
  bool everyOptional = false;
  std::string_view firstEye;
};

Bytes deviceConfigBody(const DeviceConfigShape& shape) {
  Bytes out;
  appendLE(out, std::uint16_t{1});
  appendLE(out, std::uint16_t{0});
  appendLE(out, std::uint32_t{shape.everyOptional ? 1u : 0u});
  for (std::uint32_t value : {1440u, 1600u, 2u}) appendLE(out, value);
  appendString(out, shape.firstEye);
  appendString(out, shape.everyOptional ? "right" : "");
  if (shape.everyOptional) appendLE(out, std::uint32_t{7});
  appendString(out, shape.everyOptional ? "headset" : "");
  appendLE(out, std::uint32_t{0x1234});
  appendString(out, shape.everyOptional ? "SN-0001" : "");
  appendLE(out, std::uint32_t{0x5678});
  appendLE(out, std::uint32_t{shape.everyOptional ? 0x1FFu : 0u});
  if (shape.everyOptional) {
    appendLE(out, std::uint32_t{90});
    appendString(out, "edid-a");
    appendString(out, "edid-b");
    appendLE(out, std::uint32_t{2});
    appendLE(out, std::uint32_t{2});
    appendString(out, "maker");
    appendString(out, "model-7");
    appendLE(out, std::uint32_t{3});
    appendString(out, "DSN-L");
    appendString(out, "DSN-R");
    appendString(out, "fit");
    appendFloats(out, 9, 0.5f);
  }
  appendFloats(out, 9, 0.25f);
  appendEyeTransform(out, 0.5f);
  appendEyeTransform(out, -0.5f);
  return out;
}

std::vector<Seed> deviceConfigBlobSeeds() {
  const Bytes smallest = sealed(deviceConfigBody({}), kDeviceConfigMagic);
  const Bytes full = sealed(deviceConfigBody({true, "left"}), kDeviceConfigMagic);
  Bytes schemaTwo = deviceConfigBody({});
  storeLE(schemaTwo, 0, std::uint16_t{2});
  Bytes flagsWithoutFields = deviceConfigBody({});
  storeLE(flagsWithoutFields, 44, std::uint32_t{0x1FF});  // OptionalFlags
  Bytes floatRangeEndsBody = deviceConfigBody({});
  const std::size_t headPlusX = 48;
  storeLE(floatRangeEndsBody, headPlusX, FLT_MAX);
  storeLE(floatRangeEndsBody, headPlusX + 4, -FLT_MAX);
  storeLE(floatRangeEndsBody, headPlusX + 8, kBelowFloatMax);
  Bytes hugeString = deviceConfigBody({});
  storeLE(hugeString, 20, std::uint32_t{0xFFFFFFFF});  // first_eye length
  return {
      {"invalid-too-small", Bytes(smallest.begin(), smallest.begin() + 15)},
      {"smallest", smallest},
      {"every-optional-field", full},
      {"float-range-ends", sealed(floatRangeEndsBody, kDeviceConfigMagic)},
      {"malformed-crc-mismatch", withCorruptedByte(full, full.size() - 3)},
      {"malformed-body-truncated", withBodySize(smallest, 0x10000)},
      {"malformed-body-size-zero", withBodySize(smallest, 0)},
      {"malformed-trailing-data",
       sealed(concat({deviceConfigBody({}), Bytes{0, 0, 0, 0}}), kDeviceConfigMagic)},
      {"malformed-schema-version-2", sealed(schemaTwo, kDeviceConfigMagic)},
      {"malformed-optional-fields-missing", sealed(flagsWithoutFields, kDeviceConfigMagic)},
      {"malformed-string-length-4GiB", sealed(hugeString, kDeviceConfigMagic)},
  };
}

// ---- JSON documents ---------------------------------------------------------

const char* const kMinimalCalibration = R"({
  "cameras": [],
  "imus": [],
  "cad": {"__head": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [0, 0, 0]}},
  "metadata": {"dataset_duration_in_sec": 1.5, "rig_json_version": 3}
})";

// Every section and optional key, both extrinsics forms, both camera models,
// and comments where whitespace may stand.
const char* const kRichCalibration = R"({
  // cameras: one in matrix form, one in CAD form
  "cameras": [
    {
      "width": 640, "height": 480,
      "extrinsics": [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
      "extrinsicsOffset": [0.1, 0.2, 0.3, 0.4, 0.5, 0.6],
      "focalLengthThermalModel": {"slope": 0.5, "offset": [1, 2]},
      "hardwareIdentifier": "CAM-HW-1", "sourceCamera": "left", "parent": "rig", "serial": "SN1",
      "cropRegion": {"x": -5, "y": 7}, "temperature": {"min": -20, "max": 60},
      "preRotateClockwiseByDeg": 90, "imageCircleDiameterInDeg": 170.5,
      "mtf50": {"center": 0.42, "temp": 0.38},
      "intrinsics": [
        {"cameraModel": "kb4", "fx": 280, "fy": 281, "cx": 320, "cy": 240,
         "k1": 0.1, "k2": 0.01, "k3": 0.001, "k4": 0},
        {"cameraModel": "kb_spline", "fx": 280, "fy": 281, "cx": 320, "cy": 240,
         "k1": 0.1, "k2": 0.01, "k3": 0.001, "gridSize": [5, 5], "nodeSpacing": [32, 24],
         "sU": [0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24],
         "sV": [0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24]}
      ]
    },
    {
      "width": 1280, "height": 800, /* CAD form */
      "extrinsics": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [10, 20, 30],
                     "__units": "mm"},
      "hardwareIdentifier": "", "sourceCamera": "", "intrinsics": []
    }
  ],
  "imus": [
    {
      "bias_accel": [0.01, -0.02, 0.03], "bias_gyro": [0, 0, 0],
      "scaleFactors_accel": [1, 1, 1], "scaleFactors_gyro": [1, 1, 1],
      "scaleFactorsCrossAxis_accel": [0, 0, 0, 0, 0, 0],
      "scaleFactorsCrossAxis_gyro": [0, 0, 0, 0, 0, 0],
      "meters_per_accel_unit": 9.81, "imuToCamTimeOffset": 0.002,
      "is_accel_in_device_frame": true, "is_bias_additive": true,
      "is_bias_metric": false, "is_bias_prescaled": true,
      "extrinsics": [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
      "extrinsicsOffset": [0, 0, 0, 0, 0, 0],
      "hardwareIdentifier": "IMU-HW", "sourceImu": "imu0", "parent": "rig",
      "temperature": {"min": -10, "max": 70}, "samplingRateInHz": 1000,
      "gyroNoiseDensityStdDegsPerSecPerSqrtHz": 0.01,
      "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz": 0.02,
      "gyroBiasStdPerMinute": 0.003, "accelBiasStdPerMinute": 0.004,
      "isGyroAndAccelDataSynchronized": true
    },
    {
      "bias_accel": [0, 0, 0], "bias_gyro": [0, 0, 0],
      "scaleFactors_accel": [1, 1, 1], "scaleFactors_gyro": [1, 1, 1],
      "scaleFactorsCrossAxis_accel": [0, 0, 0, 0, 0, 0],
      "scaleFactorsCrossAxis_gyro": [0, 0, 0, 0, 0, 0],
      "meters_per_accel_unit": 1, "imuToCamTimeOffset": 0,
      "extrinsics": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [1, 2, 3]},
      "hardwareIdentifier": "", "sourceImu": ""
    }
  ],
  "cad": {
    "__alignment_method": "CamPositionsAndCamForwardVectors", "__units": "m",
    "__head": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [0, 0, 0]},
    "cameras": [{"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [0.1, 0, 0]}],
    "imus": [{"plus_x": [0, 1, 0], "plus_z": [0, 0, 1], "position": [0, 0.1, 0]}]
  },
  "metadata": {
    "dataset_duration_in_sec": 12.5, "extrinsicsMethod": "fromPrimaryCal",
    "pixel_coordinates_convention": "float", "rig_json_version": 3,
    "created_by": "factory", "device_serial": "DEV-42", "date": "2026-01-01",
    "hardwareIdentifier": "HW"
  },
  "alternate_calibrations": []
})";

std::string repeated(std::string_view unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

// Texts one byte over the 65535 a strings entry carries, made of two-byte
// and four-byte characters, so that a cut at 65535 falls inside a character.
std::string calibrationWithLongMultibyteStrings() {
  return std::string(R"({"cameras": [{"width": 1, "height": 1, "extrinsics": [)") +
         R"(1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1], "intrinsics": [], "hardwareIdentifier": "",)" +
         R"( "sourceCamera": "", "serial": ")" + repeated("\xC3\xA9", 32768) +
         R"("}], "imus": [], "cad": {"__head": {"plus_x": [1,0,0], "plus_z": [0,0,1],)" +
         R"( "position": [0,0,0]}}, "metadata": {"dataset_duration_in_sec": 1,)" +
         R"( "rig_json_version": 1, "created_by": ")" + repeated("\xF0\x9F\x98\x80", 16384) +
         R"("}})";
}

const char* const kEye = R"({
      "distortion": {"center_x": 0.5, "center_y": 0.5, "coeffs": [1, 0, 0, 0, 0, 0, 0, 0], "r2max": 2},
      "distortion_red": {"center_x": 0.5, "center_y": 0.5, "coeffs": [1, 0, 0, 0, 0, 0, 0, 0]},
      "distortion_blue": {"center_x": 0.5, "center_y": 0.5, "coeffs": [1, 0, 0, 0, 0, 0, 0, 0],
                          "type": "DISTORT_BSPLINE"},
      "eye_to_head": [[1, 0, 0], [0, 1, 0], [0, 0, 1]],
      "grow_for_undistort": 0.1,
      "intrinsics": [[1, 0, 0.5], [0, 1, 0.5], [0, 0, 1]],
      "inverse_distortion": {"center_x": 0.5, "center_y": 0.5, "nSplineCtrlPts": 16, "r2max": 4,
                             "coeffs": [1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]},
      "undistort_r2_cutoff": 0.9,
      "display_serial_number": "DSN")";

std::string deviceConfigDocument(std::string_view extraRootMembers, int eyeCount = 2) {
  std::string eyes;
  for (int eye = 0; eye < eyeCount; ++eye) eyes += std::string(eye == 0 ? "" : ", ") + kEye + "}";
  return std::string(R"({
  "device": {"eye_target_width_in_pixels": 1440, "eye_target_height_in_pixels": 1600,
             "num_windows": 1, "first_eye": "left", "last_eye": "right", "hidden_area_mesh": 7},
  "head": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [0, 0, 0]},
  "device_class": "headset", "device_pid": 4660, "device_serial_number": "SN-0001",
  "device_vid": 22136,
  "tracking_to_eye_transform": [)") +
         eyes + "]" + std::string(extraRootMembers) + "\n}";
}

const char* const kEveryOptionalRootMember = R"(,
  "display_frequency": 90, "display_edid": ["edid-a", "edid-b"], "expected_bases": 2,
  "expected_controllers": 2, "manufacturer": "maker", "model_number": "model-7", "revision": 3,
  "cv": {"cad_from_cal": {"method": "fit", "plus_x": [1, 0, 0], "plus_z": [0, 0, 1],
                          "position": [0, 0, 0]}},
  "imu": {"anything": [1, 2, 3]})";

// A document that its encoder accepts: its text seeds the encoder, its blob
// the decoders, and the two together the verification.
struct Document {
  std::string name;
  std::string text;
};

std::string readText(const fs::path& path) {
  const Bytes bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<Document> calibrationDocuments(const fs::path& repo) {
  return {{"minimal", kMinimalCalibration},
          {"rich-with-comments", kRichCalibration},
          {"example", readText(repo / "examples" / "calibration.json")}};
}

std::vector<Document> deviceConfigDocuments(const fs::path& repo) {
  return {{"required-fields", deviceConfigDocument("")},
          {"every-optional-field", deviceConfigDocument(kEveryOptionalRootMember)},
          {"example", readText(repo / "examples" / "device_config.json")}};
}

std::vector<Seed> textSeeds(const std::vector<Document>& documents) {
  std::vector<Seed> seeds;
  for (const Document& document : documents) {
    seeds.push_back({document.name + ".json", textBytes(document.text)});
  }
  return seeds;
}

std::vector<Seed> calibrationJsonSeeds(const std::vector<Document>& documents) {
  std::vector<Seed> seeds = textSeeds(documents);
  seeds.insert(
      seeds.end(),
      {
          {"long-multibyte-strings.json", textBytes(calibrationWithLongMultibyteStrings())},
          {"invalid-trailing-comma.json", textBytes(R"({"cameras": [],})")},
          {"recognition-no-cameras.json", textBytes(R"({"imus": []})")},
          {"recognition-intrinsics-object.json", textBytes(R"({"cameras": [{"intrinsics": {}}]})")},
          {"unknown-camera-model.json",
           textBytes(R"({"cameras": [{"intrinsics": [{"cameraModel": 7}]}], "imus": []})")},
      });
  return seeds;
}

std::vector<Seed> deviceConfigJsonSeeds(const std::vector<Document>& documents) {
  std::vector<Seed> seeds = textSeeds(documents);
  seeds.insert(seeds.end(), {
                                {"three-eyes.json", textBytes(deviceConfigDocument("", 3))},
                                {"unsupported-root-key.json",
                                 textBytes(deviceConfigDocument(R"(, "extra": 1)"))},
                                {"revision-out-of-range.json",
                                 textBytes(deviceConfigDocument(R"(, "revision": 4294967296)"))},
                                {"recognition-device-array.json",
                                 textBytes(R"({"device": [], "tracking_to_eye_transform": []})")},
                            });
  return seeds;
}

// ---- check inputs -------------------------------------------------------------

// One camera, IMU and CAD section holding a fault for most rules of the
// checks: a transposed matrix, a null focal length, a distortion that turns,
// a spline grid that disagrees with its control points, a bias in accel
// units, poses that are not unit, far or miscounted.
const char* const kImplausibleCalibration = R"({
  "cameras": [
    {"width": 640, "height": 480, "imageCircleDiameterInDeg": 190,
     "hardwareIdentifier": "H", "sourceCamera": "c", "parent": "nowhere", "serial": "S",
     "extrinsics": [1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 62.5, 7.8, 15.6, 1],
     "temperature": {"min": 50, "max": 10}, "cropRegion": {"x": 700, "y": -1},
     "intrinsics": [
       {"cameraModel": "kb", "fx": null, "fy": 280, "cx": 700, "cy": 240,
        "k1": 0, "k2": 0, "k3": 0, "k4": -0.1},
       {"cameraModel": "kb_spline", "fx": 280, "fy": 140, "cx": 320, "cy": 479,
        "k1": 0.1, "k2": 0, "k3": -0.2, "gridSize": [4, 5], "nodeSpacing": [0, 120],
        "sU": [0, 1], "sV": [0]}]},
    {"width": 70000, "height": 0, "hardwareIdentifier": "H", "sourceCamera": "d", "serial": "S",
     "extrinsics": {"plus_x": [1, 0.1, 0], "plus_z": [1, 0, 0], "position": [2000, 0, 0],
                    "__units": "m"},
     "intrinsics": []}
  ],
  "imus": [
    {"bias_accel": [1, 2, 3], "bias_gyro": [1, 0, 0], "meters_per_accel_unit": 9.81,
     "scaleFactors_accel": [2, 1, 1], "scaleFactors_gyro": [1, 1, 1],
     "scaleFactorsCrossAxis_accel": [0, 0, 0, 0, 0, 0],
     "scaleFactorsCrossAxis_gyro": [0.5, 0, 0, 0, 0, 0], "samplingRateInHz": 0,
     "extrinsics": [1, 0, 0, 2000, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
     "hardwareIdentifier": "I", "sourceImu": "i", "parent": "c"}
  ],
  "cad": {"__units": "m",
          "__head": {"plus_x": [1, 0, 0], "plus_z": [0, 0, 2], "position": [0, 0, 0]},
          "cameras": [], "imus": [{"plus_x": [1, 0, 0], "plus_z": [0, 0, 1], "position": [5, 0, 0]}]},
  "metadata": {"dataset_duration_in_sec": 1e39, "rig_json_version": 1}
})";

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Both kinds of document, sound and with faults for the checks to find.
std::vector<Seed> checkSeeds(const std::vector<Document>& calibrations,
                             const std::vector<Document>& deviceConfigs) {
  std::vector<Seed> seeds;
  for (const Document& document : calibrations) {
    seeds.push_back({"calibration-" + document.name + ".json", textBytes(document.text)});
  }
  for (const Document& document : deviceConfigs) {
    seeds.push_back({"device-config-" + document.name + ".json", textBytes(document.text)});
  }
  std::string implausibleDeviceConfig =
      replaced(deviceConfigDocument(kEveryOptionalRootMember), "[[1, 0, 0], [0, 1, 0], [0, 0, 1]]",
               "[[1, 0, 0], [0, -1, 0], [0, 0, 1.01]]");
  implausibleDeviceConfig =
      replaced(implausibleDeviceConfig, "\"nSplineCtrlPts\": 16", "\"nSplineCtrlPts\": 65537");
  implausibleDeviceConfig =
      replaced(implausibleDeviceConfig, "\"num_windows\": 1", "\"num_windows\": 0");
  seeds.insert(seeds.end(),
               {
                   {"implausible-calibration.json", textBytes(kImplausibleCalibration)},
                   {"implausible-device-config.json", textBytes(implausibleDeviceConfig)},
               });
  return seeds;
}

// ---- encoder outputs ---------------------------------------------------------

using Encoder = Bytes (*)(const json&);

Bytes encodeText(const Document& document, Encoder encode) {
  return encode(json::parse(document.text, nullptr, /*allow_exceptions=*/true,
                            /*ignore_comments=*/true));
}

std::vector<Seed> encodedSeeds(const std::vector<Document>& documents, Encoder encode) {
  std::vector<Seed> seeds;
  for (const Document& document : documents) {
    seeds.push_back({"encoded-" + document.name, encodeText(document, encode)});
  }
  return seeds;
}

// ---- verification inputs: u16 text length, JSON text, blob -------------------

Bytes verificationInput(std::string_view text, const Bytes& blob) {
  Bytes out;
  appendLE(out, static_cast<std::uint16_t>(text.size()));
  appendBytes(out, textBytes(text));
  appendBytes(out, blob);
  return out;
}

// Each document with its own blob, and pairs that do not belong together.
std::vector<Seed> verificationSeeds(const std::vector<Document>& calibrations,
                                    const std::vector<Document>& deviceConfigs) {
  std::vector<Seed> seeds;
  for (const Document& document : calibrations) {
    seeds.push_back(
        {"match-calibration-" + document.name,
         verificationInput(document.text, encodeText(document, encodeCompactCalibration))});
  }
  for (const Document& document : deviceConfigs) {
    seeds.push_back({"match-device-config-" + document.name,
                     verificationInput(document.text, encodeText(document, encodeDeviceConfig))});
  }
  const Bytes handMadeRich = sealed(richCalibrationBody(), kCalibrationMagic);
  const Bytes handMadeDeviceConfig = sealed(deviceConfigBody({true, "left"}), kDeviceConfigMagic);
  seeds.insert(
      seeds.end(),
      {
          {"calibration-hand-made-blob", verificationInput(kRichCalibration, handMadeRich)},
          {"device-config-hand-made-blob",
           verificationInput(deviceConfigDocument(""), handMadeDeviceConfig)},
          {"kind-mismatch", verificationInput(kMinimalCalibration, handMadeDeviceConfig)},
          {"unknown-magic", verificationInput(kMinimalCalibration, textBytes("XXXX"))},
      });
  return seeds;
}

// ---- diff inputs: u16 old text length, old JSON text, new JSON text ---------

// The example calibration changed wherever the comparison measures: a lens,
// a pose of each form, a spline value, IMU biases and scale factors, CAD and
// metadata; or with a camera dropped, another serial and a turned camera.
std::string perturbedCalibration(const std::string& text, bool dropCamera) {
  json document = json::parse(text);
  json& cameras = document["cameras"];
  if (dropCamera) {
    cameras.erase(1);
    cameras[0]["serial"] = "LC-99";
    cameras[0]["extrinsics"] = {0.9998477, -0.0174524, 0.0, -0.0625, 0.0174524, 0.9998477,
                                0.0,       0.0078125,  0.0, 0.0,     1.0,       0.015625,
                                0.0,       0.0,        0.0, 1.0};
    return document.dump();
  }
  json& lens = cameras[0]["intrinsics"][0];
  lens["fx"] = lens["fx"].get<double>() * 1.001;
  lens["cy"] = lens["cy"].get<double>() + 1.0;
  cameras[1]["extrinsics"]["position"][0] = 64.5;
  cameras[1]["intrinsics"][1]["sU"][3] = 0.5;
  json& imu = document["imus"][0];
  imu["bias_gyro"][0] = 0.002;
  imu["scaleFactors_accel"][1] = 0.9931875;
  imu["gyroBiasStdPerMinute"] = 0.01;
  document["cad"]["cameras"][0]["position"][1] = 9.0;
  document["metadata"]["date"] = "2026-01-01";
  return document.dump();
}

std::string perturbedDeviceConfig(const std::string& text) {
  json document = json::parse(text);
  json& eye = document["tracking_to_eye_transform"][0];
  eye["eye_to_head"][0][2] = -0.0335;
  eye["distortion"]["coeffs"][1] = 0.025;
  document["device_serial_number"] = "HMD-2203-000418";
  document["head"]["position"][2] = 0.001;
  return document.dump();
}

Bytes diffInput(std::string_view older, std::string_view newer) {
  Bytes out;
  appendLE(out, static_cast<std::uint16_t>(older.size()));
  appendBytes(out, textBytes(older));
  appendBytes(out, textBytes(newer));
  return out;
}

// Each example against itself and changed, unrelated pairs of one kind, and
// pairs of different kinds.
std::vector<Seed> diffSeeds(const std::vector<Document>& calibrations,
                            const std::vector<Document>& deviceConfigs) {
  const std::string& calibration = calibrations.back().text;
  const std::string& deviceConfig = deviceConfigs.back().text;
  return {
      {"calibration-identical", diffInput(calibration, calibration)},
      {"calibration-perturbed", diffInput(calibration, perturbedCalibration(calibration, false))},
      {"calibration-camera-dropped",
       diffInput(calibration, perturbedCalibration(calibration, true))},
      {"calibration-minimal-rich", diffInput(calibrations[0].text, calibrations[1].text)},
      {"calibration-implausible", diffInput(kImplausibleCalibration, calibration)},
      {"device-config-perturbed", diffInput(deviceConfig, perturbedDeviceConfig(deviceConfig))},
      {"device-config-required-every-optional",
       diffInput(deviceConfigs[0].text, deviceConfigs[1].text)},
      {"kinds-mixed", diffInput(calibration, deviceConfig)},
  };
}

void writeSeeds(const fs::path& directory, const std::vector<Seed>& seeds,
                std::string_view prefix = "") {
  fs::create_directories(directory);
  for (const Seed& seed : seeds) {
    const fs::path path = directory / (std::string(prefix) + seed.name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(seed.bytes.data()),
               static_cast<std::streamsize>(seed.bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
  }
  std::printf("%zu seeds in %s\n", seeds.size(), directory.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <repository>\n", argv[0]);
    return 2;
  }
  quietMode = true;
  const fs::path repo = argv[1];
  const fs::path corpus = repo / "fuzz" / "corpus";
  const auto calibrations = calibrationDocuments(repo);
  const auto deviceConfigs = deviceConfigDocuments(repo);

  auto calibrationBlobs = calibrationBlobSeeds();
  const auto encodedCalibrations = encodedSeeds(calibrations, encodeCompactCalibration);
  calibrationBlobs.insert(calibrationBlobs.end(), encodedCalibrations.begin(),
                          encodedCalibrations.end());
  auto deviceConfigBlobs = deviceConfigBlobSeeds();
  const auto encodedDeviceConfigs = encodedSeeds(deviceConfigs, encodeDeviceConfig);
  deviceConfigBlobs.insert(deviceConfigBlobs.end(), encodedDeviceConfigs.begin(),
                           encodedDeviceConfigs.end());

  writeSeeds(corpus / "calibration_decoder", calibrationBlobs);
  writeSeeds(corpus / "device_config_decoder", deviceConfigBlobs);
  writeSeeds(corpus / "blob_dispatch", calibrationBlobs, "calibration-");
  writeSeeds(corpus / "blob_dispatch", deviceConfigBlobs, "device-config-");
  writeSeeds(corpus / "inspect", calibrationBlobs, "calibration-");
  writeSeeds(corpus / "inspect", deviceConfigBlobs, "device-config-");
  writeSeeds(corpus / "inspect", {{"unknown-kind", textBytes("{\"cameras\": []}")}});
  writeSeeds(corpus / "calibration_encoder", calibrationJsonSeeds(calibrations));
  writeSeeds(corpus / "device_config_encoder", deviceConfigJsonSeeds(deviceConfigs));
  writeSeeds(corpus / "verification", verificationSeeds(calibrations, deviceConfigs));
  writeSeeds(corpus / "check", checkSeeds(calibrations, deviceConfigs));
  writeSeeds(corpus / "diff", diffSeeds(calibrations, deviceConfigs));
  return 0;
}
