#include "calibration/json_to_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/calibration/encode_test_documents.h"

namespace ravelin {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::kbIntrinsics;
using testing::kbSplineIntrinsics;
using testing::matrixCamera;
using testing::matrixImu;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::unitPose;

std::string capturedErrorsOf(const std::function<void()>& action) {
  ::testing::internal::CaptureStderr();
  action();
  return ::testing::internal::GetCapturedStderr();
}

struct WidthCase {
  json width;
  std::uint16_t stored;
};

TEST(CameraSize, ConvertsNumbersAndBooleansToSixteenBits) {
  const WidthCase cases[] = {{640.7, 640}, {65536, 0},       {true, 1}, {false, 0},
                             {-1, 65535},  {65535.9, 65535}, {-0.9, 0}, {70000u, 4464}};
  for (const WidthCase& c : cases) {
    json camera = matrixCamera();
    camera["width"] = c.width;
    EXPECT_EQ(cameraSizeFromJson(camera, "cameras[0]").width, c.stored) << c.width;
  }
}

TEST(CameraSize, RefusesWrongTypesInTheLibrarysWords) {
  json camera = matrixCamera();
  camera["width"] = "640";
  EXPECT_THAT([&] { cameraSizeFromJson(camera, "cameras[0]"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be number, but is string")));
  camera.erase("height");
  camera["width"] = 640;
  EXPECT_THAT([&] { cameraSizeFromJson(camera, "cameras[0]"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be number, but is null")));
}

TEST(CameraSize, RefusesFloatsOutsideTheFieldsRange) {
  for (const double width : {-3.5, -1.0, 65536.0, 1e300}) {
    json camera = matrixCamera();
    camera["width"] = width;
    EXPECT_THAT([&] { cameraSizeFromJson(camera, "cameras[2]"); },
                ThrowsMessage<std::runtime_error>(
                    StrEq("'width' in cameras[2] is " + json(width).dump() +
                          ", outside the range of an unsigned 16-bit integer")));
  }
}

TEST(CadPose, ReadsTheThreeVectorsInOrder) {
  const json pose = {
      {"plus_x", {1, 2, 3}}, {"plus_z", {4, -5, 16777217}}, {"position", {7.5, 8u, true}}};
  const CadPose result = cadPoseFromJson(pose, "cad.__head");
  EXPECT_THAT(result.plus_x, ElementsAre(1, 2, 3));
  EXPECT_THAT(result.plus_z, ElementsAre(4, -5, 16777216));
  EXPECT_THAT(result.position, ElementsAre(7.5, 8, 1));
}

struct RefusedPose {
  json pose;
  std::string message;
};

TEST(CadPose, RefusesMissingKeysAndWrongCountsNamingThePlace) {
  json noPosition = unitPose();
  noPosition.erase("position");
  json shortVector = unitPose();
  shortVector["plus_z"] = {0, 1};
  json longVector = unitPose();
  longVector["plus_x"] = {1, 0, 0, 0};
  const RefusedPose cases[] = {
      {noPosition, "missing required key 'position' in cad.cameras[1]"},
      {shortVector, "'plus_z' in cad.cameras[1] must have 3 elements, but has 2"},
      {longVector, "'plus_x' in cad.cameras[1] must have 3 elements, but has 4"},
      {json::array(), "cad.cameras[1] must be an object, but is array"},
  };
  for (const RefusedPose& c : cases) {
    EXPECT_THAT([&] { cadPoseFromJson(c.pose, "cad.cameras[1]"); },
                ThrowsMessage<std::runtime_error>(StrEq(c.message)));
  }
}

TEST(CadPose, RefusesAWrongElementInTheLibrarysWords) {
  json pose = unitPose();
  pose["position"] = {0, "1", 0};
  EXPECT_THAT([&] { cadPoseFromJson(pose, "cad.__head"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be number, but is string")));
  pose["position"] = 3;
  EXPECT_THAT([&] { cadPoseFromJson(pose, "cad.__head"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be array, but is number")));
}

TEST(CadBlock, MapsAlignmentMethodAndUnitsByExactName) {
  struct Case {
    json alignment;
    json units;
    std::uint8_t storedAlignment;
    std::uint8_t storedUnits;
  };
  const Case cases[] = {
      {"CamPositions", "m", 10, 1},
      {"camPositions", "M", 0, 0},
      {"RobotEyeBallCamPositionsAndCamForwardVectors", "meters", 12, 0},
      {nullptr, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    json cad = {{"__head", unitPose()}};
    if (!c.alignment.is_null()) cad["__alignment_method"] = c.alignment;
    if (!c.units.is_null()) cad["__units"] = c.units;
    const CadBlockPayload block = cadBlockFromJson(cad);
    EXPECT_EQ(block.alignmentMethod, c.storedAlignment) << cad.dump();
    EXPECT_EQ(block.units, c.storedUnits) << cad.dump();
  }
}

TEST(CadBlock, ReadsPoseListsAndTreatsOtherValuesAsNone) {
  json cad = {{"__head", unitPose()}, {"cameras", {unitPose(), unitPose()}}, {"imus", 5}};
  const CadBlockPayload block = cadBlockFromJson(cad);
  EXPECT_EQ(block.cameras.size(), 2U);
  EXPECT_TRUE(block.imus.empty());
  EXPECT_EQ(block.wireSize(), 42U + 72U);
}

TEST(CadBlock, RefusesAMissingHeadAndASectionThatIsNoObject) {
  EXPECT_THAT(
      [] {
        cadBlockFromJson({{"__units", "mm"}});
      },
      ThrowsMessage<std::runtime_error>(StrEq("missing required key '__head' in cad")));
  EXPECT_THAT([] { cadBlockFromJson(json::array()); },
              ThrowsMessage<json::type_error>(HasSubstr("cannot use value() with array")));
}

TEST(CadBlock, AcceptsAtMost65535PosesPerList) {
  json cad = {{"__head", unitPose()}, {"imus", json::array()}};
  cad["imus"].get_ref<json::array_t&>().assign(65535, unitPose());
  EXPECT_EQ(cadBlockFromJson(cad).imus.size(), 65535U);

  cad["cameras"] = cad["imus"];
  cad["cameras"].push_back(unitPose());
  const std::string errors = capturedErrorsOf([&] {
    EXPECT_THAT([&] { cadBlockFromJson(cad); },
                ThrowsMessage<std::runtime_error>(StrEq("CAD counts exceed uint16_t")));
  });
  EXPECT_THAT(errors, HasSubstr("CAD: counts exceed uint16_t limits (cams=65536, imus=65535)"));
}

TEST(Intrinsics, ReadsKbCoefficientsInOrder) {
  const KbIntrinsics kb = kbIntrinsicsFromJson(kbIntrinsics(), "cameras[0].intrinsics[0]");
  EXPECT_THAT(std::vector<float>({kb.fx, kb.fy, kb.cx, kb.cy, kb.k1, kb.k2, kb.k3, kb.k4}),
              ElementsAre(280.5F, 281.25F, 320.0F, 240.0F, 0.5F, -0.25F, 0.125F, -0.0625F));
}

TEST(Intrinsics, RefusesAMissingCoefficientNamingItsEntry) {
  json kb = kbIntrinsics();
  kb.erase("k4");
  EXPECT_THAT([&] { kbIntrinsicsFromJson(kb, "cameras[1].intrinsics[2]"); },
              ThrowsMessage<std::runtime_error>(
                  StrEq("missing required key 'k4' in cameras[1].intrinsics[2]")));
}

TEST(Intrinsics, SplineKeepsTheFrontOfLongerArrays) {
  json spline = kbSplineIntrinsics();
  spline["gridSize"] = {-5, 7, 9};
  spline["nodeSpacing"] = {1.5, 2.5, 3.5};
  spline["sU"].push_back(99.0);
  spline["sU"][0] = 1.0;
  spline["sV"][24] = 2.0;
  const KbSplineIntrinsics result = kbSplineIntrinsicsFromJson(spline, "cameras[0].intrinsics[0]");
  EXPECT_THAT(result.gridSize, ElementsAre(-5, 7));
  EXPECT_THAT(result.nodeSpacing, ElementsAre(1.5F, 2.5F));
  EXPECT_EQ(result.sU.front(), 1.0F);
  EXPECT_EQ(result.sU.back(), 0.25F);
  EXPECT_EQ(result.sV.back(), 2.0F);
}

TEST(Intrinsics, SplineRefusesShortArraysAndOutOfRangeGridSizes) {
  struct Case {
    const char* key;
    json value;
    std::string message;
  };
  const std::string where = " in cameras[0].intrinsics[1]";
  const Case cases[] = {
      {"sU", std::vector<double>(24, 0.0),
       "'sU'" + where + " must have at least 25 elements, but has 24"},
      {"sV", json::array(), "'sV'" + where + " must have at least 25 elements, but has 0"},
      {"gridSize", {5}, "'gridSize'" + where + " must have at least 2 elements, but has 1"},
      {"nodeSpacing", {1.0}, "'nodeSpacing'" + where + " must have at least 2 elements, but has 1"},
      {"gridSize",
       {5, 1e12},
       "'gridSize'[1]" + where +
           " is 1000000000000.0, outside the range of a signed 32-bit integer"},
  };
  for (const Case& c : cases) {
    json spline = kbSplineIntrinsics();
    spline[c.key] = c.value;
    EXPECT_THAT([&] { kbSplineIntrinsicsFromJson(spline, "cameras[0].intrinsics[1]"); },
                ThrowsMessage<std::runtime_error>(StrEq(c.message)));
  }
}

// At the end of the float range: what rounds to FLT_MAX is stored as FLT_MAX
// (decode writes FLT_MAX as 3.40282347e+38, above it), what rounds to infinity
// is refused.
TEST(Intrinsics, RoundsCoefficientsAtTheEndOfFloatRangeAndRefusesOverflow) {
  struct Case {
    double value;
    std::optional<float> stored;
  };
  constexpr double kHalfUlpAboveFloatMax = 0x1.ffffffp127;
  const Case cases[] = {
      {3.40282347e+38, FLT_MAX},
      {-3.40282347e+38, -FLT_MAX},
      {std::nextafter(kHalfUlpAboveFloatMax, 0.0), FLT_MAX},
      {kHalfUlpAboveFloatMax, std::nullopt},
      {-1e39, std::nullopt},
  };
  for (const Case& c : cases) {
    json kb = kbIntrinsics();
    kb["fy"] = c.value;
    if (c.stored) {
      EXPECT_EQ(kbIntrinsicsFromJson(kb, "cameras[0].intrinsics[0]").fy, *c.stored) << c.value;
    } else {
      EXPECT_THAT([&] { kbIntrinsicsFromJson(kb, "cameras[0].intrinsics[0]"); },
                  ThrowsMessage<std::runtime_error>(
                      StrEq("'fy' in cameras[0].intrinsics[0] is " + json(c.value).dump() +
                            ", outside the range of a 32-bit float")));
    }
  }
}

TEST(ThermalModel, TakesSlopeAndTheFirstTwoOffsets) {
  const CameraThermalLinear thermal = thermalModelFromJson({{"slope", 0.5}, {"offset", {1, 2, 3}}},
                                                           "cameras[0].focalLengthThermalModel");
  EXPECT_EQ(thermal.slope, 0.5F);
  EXPECT_THAT(thermal.offset, ElementsAre(1.0F, 2.0F));
  EXPECT_THAT(
      [] {
        thermalModelFromJson({{"offset", {1, 2}}}, "cameras[3].focalLengthThermalModel");
      },
      ThrowsMessage<std::runtime_error>(
          StrEq("missing required key 'slope' in cameras[3].focalLengthThermalModel")));
}

TEST(ExtrinsicsOffset, NeedsExactlySixNumbers) {
  EXPECT_THAT(ExtrinsicsOffsetPayload(json{1, 2, 3, 4, 5, 6.5}).values,
              ElementsAre(1, 2, 3, 4, 5, 6.5F));
  for (const json& offset : {json{1, 2, 3, 4, 5}, json{1, 2, 3, 4, 5, 6, 7}}) {
    EXPECT_THAT([&] { ExtrinsicsOffsetPayload{offset}; },
                ThrowsMessage<std::runtime_error>(
                    StrEq("extrinsics offset vector should have 6 elements")));
  }
}

TEST(ImuRecord, ReadsEveryFieldInOrderWithFlagBits) {
  json imu = matrixImu();
  imu["bias_accel"] = {1, 2, 3};
  imu["scaleFactorsCrossAxis_gyro"] = {1, 2, 3, 4, 5, 6};
  imu["meters_per_accel_unit"] = 9.5;
  imu["is_accel_in_device_frame"] = true;
  imu["is_bias_metric"] = true;
  imu["is_bias_prescaled"] = false;
  const ImuBlockPayload payload = imuBlockFromJson(imu, "imus[0]");
  EXPECT_THAT(payload.bias_accel, ElementsAre(1, 2, 3));
  EXPECT_THAT(payload.scaleFactorsCrossAxis_gyro, ElementsAre(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(payload.meters_per_accel_unit, 9.5F);
  EXPECT_EQ(payload.flags, kAccelInDeviceFrame | kBiasMetric);
}

TEST(ImuRecord, ReportsFaultsInTheirOwnWords) {
  struct Case {
    const char* key;
    json value;  // null: the key is removed
    std::string message;
  };
  const Case cases[] = {
      {"meters_per_accel_unit", nullptr, "key 'meters_per_accel_unit' not found"},
      {"imuToCamTimeOffset", nullptr, "key 'imuToCamTimeOffset' not found"},
      {"is_bias_metric", "yes", "type must be boolean, but is string"},
      {"bias_gyro", nullptr, "missing required key 'bias_gyro' in imus[1]"},
      {"scaleFactorsCrossAxis_accel",
       {1, 2, 3},
       "'scaleFactorsCrossAxis_accel' in imus[1] must have 6 elements, but has 3"},
  };
  for (const Case& c : cases) {
    json imu = matrixImu();
    if (c.value.is_null()) {
      imu.erase(c.key);
    } else {
      imu[c.key] = c.value;
    }
    EXPECT_THAT([&] { imuBlockFromJson(imu, "imus[1]"); },
                ThrowsMessage<std::exception>(HasSubstr(c.message)));
  }
}

TEST(Metadata, StoresIndexesAndTruncatesTheVersion) {
  const json metadata = {{"dataset_duration_in_sec", 2.5},
                         {"extrinsicsMethod", "fromPrimaryCal"},
                         {"pixel_coordinates_convention", "float"},
                         {"rig_json_version", 3.9}};
  std::string errors = capturedErrorsOf([&] {
    const MetaDataPayload payload = metaDataFromJson(metadata);
    EXPECT_EQ(payload.dataset_duration_in_sec, 2.5F);
    EXPECT_EQ(payload.extrinsicsMethod, 2);
    EXPECT_EQ(payload.pixel_coordinates_convention, 2);
    EXPECT_EQ(payload.rig_json_version, 3);
  });
  EXPECT_EQ(errors, "");
}

TEST(Metadata, AbsentNamesAreUnknownSilentlyAndUnknownNamesAreLogged) {
  const json absent = {{"dataset_duration_in_sec", 1}, {"rig_json_version", 1}};
  std::string errors = capturedErrorsOf([&] {
    const MetaDataPayload payload = metaDataFromJson(absent);
    EXPECT_EQ(payload.extrinsicsMethod, 0);
    EXPECT_EQ(payload.pixel_coordinates_convention, 0);
  });
  EXPECT_EQ(errors, "");

  json unknown = absent;
  unknown["extrinsicsMethod"] = "unknown";
  unknown["pixel_coordinates_convention"] = "Integer";
  errors = capturedErrorsOf([&] {
    const MetaDataPayload payload = metaDataFromJson(unknown);
    EXPECT_EQ(payload.extrinsicsMethod, -1);
    EXPECT_EQ(payload.pixel_coordinates_convention, -1);
  });
  EXPECT_THAT(errors,
              HasSubstr("Unknown or missing extrinsicsMethod in calibration methadata -- unknown"));
  EXPECT_THAT(errors,
              HasSubstr("Unknow or missing pixel coordinate convention in metadata -- Integer"));
}

TEST(Metadata, RefusesFaultySections) {
  EXPECT_THAT([] { metaDataFromJson(json::array()); },
              ThrowsMessage<json::type_error>(
                  HasSubstr("cannot use operator[] with a string argument with array")));
  EXPECT_THAT(
      [] {
        metaDataFromJson({{"dataset_duration_in_sec", 1}});
      },
      ThrowsMessage<std::runtime_error>(
          StrEq("missing required key 'rig_json_version' in metadata")));
  EXPECT_THAT(
      [] {
        metaDataFromJson({{"rig_json_version", 1}});
      },
      ThrowsMessage<std::runtime_error>(
          StrEq("missing required key 'dataset_duration_in_sec' in metadata")));
}

}  // namespace
}  // namespace ravelin
