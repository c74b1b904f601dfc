#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "calibration/block_types.h"
#include "calibration/encoder.h"
#include "tests/calibration/encode_test_documents.h"

namespace ravelin {
namespace {

using testing::emptyDocument;
using ::testing::HasSubstr;
using testing::matrixCamera;
using ::testing::Not;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

struct Recognition {
  bool accepted;
  std::string errors;
  std::string output;
};

Recognition recognise(const json& document) {
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  const bool accepted = isCompactCalibrationJson(document);
  std::string output = ::testing::internal::GetCapturedStdout();
  return {accepted, ::testing::internal::GetCapturedStderr(), std::move(output)};
}

constexpr const char* kNoCameras =
    "Provided JSON does not contain a valid cameras section!! You either passed in the wrong file "
    "or there is something wrong with the calibration";
constexpr const char* kAlternateWarning =
    "Calibration contains an alternate_calibrations section but is otherwise in compact format. "
    "Calibrations in the alternate_calibrations section will be ignored.";

TEST(CompactCalibrationRecognition, RefusesDocumentsWithoutACamerasArray) {
  for (const json& document : {json::array({1, 2}), json{{"imus", json::array()}},
                               json{{"cameras", json::object()}}, json("cameras")}) {
    const Recognition result = recognise(document);
    EXPECT_FALSE(result.accepted) << document.dump();
    EXPECT_THAT(result.errors, HasSubstr(kNoCameras)) << document.dump();
  }
}

TEST(CompactCalibrationRecognition, EmptyCamerasPassWithoutAnyMessage) {
  const Recognition result = recognise({{"cameras", json::array()}});
  EXPECT_TRUE(result.accepted);
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(result.output, "");
}

TEST(CompactCalibrationRecognition, PrintsTheFaultyCameraIndentedByTwo) {
  const json camera = {{"intrinsics", {{"cameraModel", "kb"}}}, {"width", 640}};
  const Recognition result = recognise({{"cameras", {matrixCamera(), camera}}});
  EXPECT_FALSE(result.accepted);
  EXPECT_THAT(result.errors,
              HasSubstr("Camera JSON does not contain a valid intrinsics section!! {\n"
                        "  \"intrinsics\": {\n"
                        "    \"cameraModel\": \"kb\"\n"
                        "  },\n"
                        "  \"width\": 640\n"
                        "}"));
}

TEST(CompactCalibrationRecognition, RefusesACameraWithoutIntrinsics) {
  const Recognition result = recognise({{"cameras", {{{"width", 1}}}}});
  EXPECT_FALSE(result.accepted);
  EXPECT_THAT(result.errors, HasSubstr("valid intrinsics section!! {\n  \"width\": 1\n}"));
}

TEST(CompactCalibrationRecognition, PrintsTheIntrinsicsEntryThatLacksAModel) {
  json camera = matrixCamera();
  camera["intrinsics"] = {{{"cameraModel", "kb"}}, {{"fx", 1.5}}};
  const Recognition result = recognise({{"cameras", {camera}}});
  EXPECT_FALSE(result.accepted);
  EXPECT_THAT(result.errors,
              HasSubstr("Intrinsics JSON does not contain a valid camera model section!! {\n"
                        "  \"fx\": 1.5\n}"));
}

TEST(CompactCalibrationRecognition, AcceptsAnyTypeOfCameraModel) {
  json camera = matrixCamera();
  camera["intrinsics"] = {{{"cameraModel", 7}}};
  EXPECT_TRUE(recognise({{"cameras", {camera}}}).accepted);
}

TEST(CompactCalibrationRecognition, WarnsAboutAlternateCalibrationsOnlyWhenAllCamerasPass) {
  json document = emptyDocument();
  document["alternate_calibrations"] = json::array();
  const Recognition accepted = recognise(document);
  EXPECT_TRUE(accepted.accepted);
  EXPECT_THAT(accepted.output, HasSubstr(kAlternateWarning));

  document["cameras"] = {{{"width", 1}}};
  const Recognition refused = recognise(document);
  EXPECT_FALSE(refused.accepted);
  EXPECT_THAT(refused.output, Not(HasSubstr(kAlternateWarning)));
}

TEST(ExtrinsicsForm, CadFormNeedsAllThreeKeysWhateverTheirValues) {
  EXPECT_TRUE(extrinsicsAreInCadFormat(
      {{"plus_x", "a"}, {"plus_z", nullptr}, {"position", 1}, {"__units", "mm"}}));
  EXPECT_FALSE(extrinsicsAreInCadFormat({{"plus_x", 1}, {"plus_z", 1}}));
  EXPECT_FALSE(extrinsicsAreInCadFormat(json::array({"plus_x", "plus_z", "position"})));
  EXPECT_FALSE(extrinsicsAreInCadFormat(nullptr));
}

struct BlockTypeCase {
  json extrinsics;
  BlockId camera;
  BlockId imu;
};

TEST(BlockTypeSelection, FollowsTheFormOfTheExtrinsics) {
  const BlockTypeCase cases[] = {
      {json::array({1, 2, 3}), BlockId::CAMERA_MAT, BlockId::IMU_MAT},
      {testing::unitPose(), BlockId::CAMERA_CAD, BlockId::IMU_CAD},
  };
  for (const BlockTypeCase& c : cases) {
    const json object = {{"extrinsics", c.extrinsics}};
    EXPECT_EQ(getCameraBlockTypeBasedOnExtrinsicsFromat(object), c.camera);
    EXPECT_EQ(getIMUBlockTypeBasedOnExtrinsicsFormat(object), c.imu);
  }
}

TEST(BlockTypeSelection, RefusesExtrinsicsInNeitherForm) {
  const json cases[] = {
      {{"extrinsics", {{"plus_x", 1}, {"plus_z", 1}}}},
      {{"extrinsics", 5}},
      {{"width", 640}},
  };
  for (const json& object : cases) {
    EXPECT_THAT([&] { getCameraBlockTypeBasedOnExtrinsicsFromat(object); },
                ThrowsMessage<std::runtime_error>(StrEq("Uknown Camera extrinsics formats")));
    EXPECT_THAT([&] { getIMUBlockTypeBasedOnExtrinsicsFormat(object); },
                ThrowsMessage<std::runtime_error>(StrEq("Uknown IMU extrinsics formats")));
  }
}

TEST(BlockTypeSelection, MapsCameraModelNamesExactly) {
  EXPECT_EQ(camModelFromName("kb"), CamModel::KB);
  EXPECT_EQ(camModelFromName("kb4"), CamModel::KB);
  EXPECT_EQ(camModelFromName("kb_spline"), CamModel::KB_SPLINE);
  EXPECT_EQ(getIntrinsicsBlockTypeBasedOnIntrinsicsModel("kb4"), BlockId::INTRINSICS_KB);
  EXPECT_EQ(getIntrinsicsBlockTypeBasedOnIntrinsicsModel("kb_spline"),
            BlockId::INTRINSICS_KB_SPLINE);
  for (const char* name : {"KB", "kb ", "", "pinhole"}) {
    EXPECT_EQ(camModelFromName(name), CamModel::UNKNOWN) << name;
    EXPECT_THAT([&] { getIntrinsicsBlockTypeBasedOnIntrinsicsModel(name); },
                ThrowsMessage<std::runtime_error>(StrEq("Unknown camera model")));
  }
}

}  // namespace
}  // namespace ravelin
