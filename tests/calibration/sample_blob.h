#pragma once

// A calibration blob that holds every kind of block, with the JSON that it
// decodes to, for tests that need a complete, valid blob.

#include <nlohmann/json.hpp>

#include "tests/calibration/blob_builder.h"

namespace ravelin::testing {

inline CadPose samplePose(float base) {
  return CadPose{
      {base, base + 1, base + 2}, {base + 3, base + 4, base + 5}, {base + 6, base + 7, base + 8}};
}

inline ExtrinsicsMat sampleMatrix(float base) {
  ExtrinsicsMat matrix;
  for (std::size_t i = 0; i < matrix.values.size(); ++i) {
    matrix.values[i] = base + static_cast<float>(i);
  }
  return matrix;
}

inline ImuBlockPayload sampleImu(float base) {
  ImuBlockPayload imu;
  imu.bias_accel = {base, base, base};
  imu.scaleFactors_gyro = {1.5f, 2.5f, 3.5f};
  imu.scaleFactorsCrossAxis_gyro = {0, 0, 0, 0, 0, 0.25f};
  imu.meters_per_accel_unit = 9.75f;
  imu.imuToCamTimeOffset = -0.5f;
  imu.flags = kAccelInDeviceFrame | kBiasMetric;
  return imu;
}

inline Bytes sampleCadPayload() {
  CadBlockPayload cad;
  cad.alignmentMethod = 3;
  cad.units = 1;
  cad.head = samplePose(100);
  cad.cameras = {samplePose(10), samplePose(20)};
  cad.imus = {samplePose(30)};
  Bytes out;
  cad.appendTo(out);
  return out;
}

inline Bytes optionalsPayload(std::uint64_t mask, const Bytes& values) {
  return concat({optionalsMask(mask), values});
}

// Every top-level kind and every sub-block kind, ending in an end marker.
inline Bytes sampleCalibrationBody() {
  Bytes cameraOptionalValues;
  appendLE(cameraOptionalValues, std::int16_t{-5});
  appendLE(cameraOptionalValues, 20.0f);
  Bytes imuOptionalValues;
  appendLE(imuOptionalValues, 400.0f);
  appendLE(imuOptionalValues, std::uint8_t{1});

  const Bytes matCamera = concat({
      recordBytes(CameraBlockPayload{640, 480}),
      recordBytes(sampleMatrix(1)),
      block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{0.1f, 2, 3, 4, 5, 6, 7, 8})),
      block(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{})),
      block(BlockId::CAMERA_THERMAL_LINEAR, recordBytes(CameraThermalLinear{0.5f, {1, 2}})),
      block(BlockId::CAMERA_STRINGS, stringsPayload({{1, "cam-hw"}, {4, "SN-0"}})),
      block(BlockId::CAMERA_OPTIONALS, optionalsPayload(0x05, cameraOptionalValues)),
  });
  KbSplineIntrinsics spline;
  spline.fx = 250;
  spline.gridSize = {5, -5};
  const Bytes cadCamera = concat({
      recordBytes(CameraBlockPayload{1280, 800}),
      recordBytes(samplePose(40)),
      block(BlockId::INTRINSICS_KB_SPLINE, recordBytes(spline)),
      endMarker(),
  });
  const Bytes matImu = concat({
      recordBytes(sampleImu(0.25f)),
      recordBytes(sampleMatrix(50)),
      block(BlockId::EXTRINSICS_OFFSET, recordBytes(ExtrinsicsOffsetPayload{})),
      block(BlockId::IMU_STRINGS, stringsPayload({{2, "imu-source"}, {3, "cam0"}})),
      block(BlockId::IMU_OPTIONALS, optionalsPayload(0x84, imuOptionalValues)),
  });
  const Bytes cadImu = concat({recordBytes(sampleImu(-1)), recordBytes(samplePose(60))});

  return concat({
      block(BlockId::CAD, sampleCadPayload()),
      block(BlockId::CAMERA_MAT, matCamera),
      block(BlockId::CAMERA_CAD, cadCamera),
      block(BlockId::IMU_MAT, matImu),
      block(BlockId::IMU_CAD, cadImu),
      block(BlockId::META, recordBytes(MetaDataPayload{12.5f, 2, 1, 3})),
      block(BlockId::META_STRINGS, stringsPayload({{1, "tester"}, {3, "2024-01-01"}})),
      endMarker(),
  });
}

inline Bytes sampleCalibrationBlob() {
  return calibrationBlob(sampleCalibrationBody());
}

}  // namespace ravelin::testing
