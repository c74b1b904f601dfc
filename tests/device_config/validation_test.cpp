#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "device_config/device_config.h"
#include "tests/device_config/documents.h"
#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using testing::eye;
using testing::fullDocument;
using ::testing::HasSubstr;
using testing::PrintTo;
using ::testing::Property;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

using Mutation = std::function<void(json&)>;

struct FaultCase {
  const char* name;
  Mutation mutate;
  const char* message;
};

json numbers(std::size_t count) {
  return json(std::vector<double>(count, 0.5));
}

// Faults reported with the encoder's own messages, each the whole text.
class EncoderRejects : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EncoderRejects, WithExactMessage) {
  json doc = fullDocument();
  GetParam().mutate(doc);
  EXPECT_THAT([&] { encodeDeviceConfig(doc); },
              ThrowsMessage<std::runtime_error>(StrEq(GetParam().message)));
}

constexpr const char* kRange = "device config integer out of range: ";

const FaultCase kOwnMessages[] = {
    {"DeviceNotObject", [](json& d) { d["device"] = json::array(); },
     "JSON is not a recognized device_config shape"},
    {"EyesNotArray", [](json& d) { d["tracking_to_eye_transform"] = json::object(); },
     "JSON is not a recognized device_config shape"},
    {"RootNotObject",
     [](json& d) {
       d = json::array({1, 2});
     },
     "JSON is not a recognized device_config shape"},
    {"ThreeEyes",
     [](json& d) { d["tracking_to_eye_transform"].push_back(d["tracking_to_eye_transform"][0]); },
     "device_config requires exactly two tracking_to_eye_transform entries"},
    {"NoEyes", [](json& d) { d["tracking_to_eye_transform"] = json::array(); },
     "device_config requires exactly two tracking_to_eye_transform entries"},
    {"RootKey", [](json& d) { d["colour"] = 1; },
     "device config unsupported key 'colour' in device_config root"},
    {"DeviceKey", [](json& d) { d["device"]["dpi"] = 1; },
     "device config unsupported key 'dpi' in device_config.device"},
    {"HeadKey", [](json& d) { d["head"]["plus_y"] = 1; },
     "device config unsupported key 'plus_y' in device_config.head"},
    {"EyeKeysSmallestNamed",
     [](json& d) {
       eye(d, 1)["zoom"] = 1;
       eye(d, 1)["aspect"] = 1;
     },
     "device config unsupported key 'aspect' in tracking_to_eye_transform[]"},
    {"DistortionRedKey", [](json& d) { eye(d, 0)["distortion_red"]["k1"] = 1; },
     "device config unsupported key 'k1' in distortion_red"},
    {"InverseDistortionKey", [](json& d) { eye(d, 0)["inverse_distortion"]["k1"] = 1; },
     "device config unsupported key 'k1' in inverse_distortion"},
    {"KeysAreCaseSensitive", [](json& d) { eye(d, 0)["distortion"]["Type"] = 1; },
     "device config unsupported key 'Type' in distortion"},
    {"CvKey", [](json& d) { d["cv"]["cad_to_cal"] = 1; },
     "device config unsupported key 'cad_to_cal' in device_config.cv"},
    {"CadFromCalKey", [](json& d) { d["cv"]["cad_from_cal"]["scale"] = 1; },
     "device config unsupported key 'scale' in device_config.cv.cad_from_cal"},
    {"MissingString", [](json& d) { d["device"].erase("first_eye"); },
     "device config missing string field: first_eye"},
    {"NotString", [](json& d) { d["device_class"] = 5; },
     "device config field not string: device_class"},
    {"MissingU32", [](json& d) { d.erase("device_pid"); },
     "device config missing u32 field: device_pid"},
    {"FloatIsNotInteger", [](json& d) { d["device_pid"] = 1.0; },
     "device config field not integer: device_pid"},
    {"StringIsNotInteger", [](json& d) { d["device_pid"] = "1"; },
     "device config field not integer: device_pid"},
    {"U32AboveRange", [](json& d) { d["device_pid"] = 4294967296ULL; },
     "device config integer out of range: device_pid"},
    {"U32Negative", [](json& d) { d["device_vid"] = -1; },
     "device config integer out of range: device_vid"},
    {"U32FarNegative", [](json& d) { d["device"]["num_windows"] = INT64_MIN; },
     "device config integer out of range: num_windows"},
    {"MissingFloat", [](json& d) { eye(d, 0).erase("grow_for_undistort"); },
     "device config missing float field: grow_for_undistort"},
    {"NotNumeric", [](json& d) { eye(d, 0)["distortion"]["center_x"] = "0.5"; },
     "device config field not numeric: center_x"},
    {"DistortionNotObject", [](json& d) { eye(d, 0)["distortion"] = nullptr; },
     "device config missing float field: center_x"},
    {"MissingArray", [](json& d) { eye(d, 0)["distortion"].erase("coeffs"); },
     "device config missing array: coeffs"},
    {"ArrayNotArray", [](json& d) { eye(d, 0)["distortion"]["coeffs"] = 0.5; },
     "device config missing array: coeffs"},
    {"NineCoefficients", [](json& d) { eye(d, 0)["distortion"]["coeffs"] = numbers(9); },
     "device config array wrong size for key: coeffs"},
    {"InverseWithEightCoefficients",
     [](json& d) { eye(d, 1)["inverse_distortion"]["coeffs"] = numbers(8); },
     "device config array wrong size for key: coeffs"},
    {"NullCoefficient", [](json& d) { eye(d, 0)["distortion"]["coeffs"][2] = nullptr; },
     "device config array entry not numeric for key: coeffs"},
    {"MissingMatrix", [](json& d) { eye(d, 0).erase("eye_to_head"); },
     "device config missing matrix: eye_to_head"},
    {"MatrixNotArray", [](json& d) { eye(d, 0)["intrinsics"] = json::object(); },
     "device config missing matrix: intrinsics"},
    {"MatrixTwoRows", [](json& d) { eye(d, 0)["eye_to_head"].erase(2); },
     "device config matrix wrong outer size: eye_to_head"},
    {"MatrixRowOfFour", [](json& d) { eye(d, 0)["eye_to_head"][1].push_back(0.5); },
     "device config matrix row wrong size: eye_to_head"},
    {"MatrixRowNotArray", [](json& d) { eye(d, 0)["eye_to_head"][0] = 0.5; },
     "device config matrix row wrong size: eye_to_head"},
    {"MatrixValueNotNumeric", [](json& d) { eye(d, 0)["intrinsics"][2][2] = "1"; },
     "device config matrix value not numeric: intrinsics"},
    {"CadFromCalOnlyMethod",
     [](json& d) {
       d["cv"]["cad_from_cal"] = {{"method", "fixture"}};
     },
     "device config missing array: plus_x"},
    {"CadFromCalMethodNotString", [](json& d) { d["cv"]["cad_from_cal"]["method"] = 1; },
     "device config field not string: method"},
    {"HeadPositionShort", [](json& d) { d["head"]["position"] = numbers(2); },
     "device config array wrong size for key: position"},
    {"HeadNull", [](json& d) { d["head"] = nullptr; }, "device config missing array: plus_x"},
    {"OptionalDisplayFrequencyNegative", [](json& d) { d["display_frequency"] = -1; },
     "device config integer out of range: display_frequency"},
    {"OptionalRevisionAboveRange", [](json& d) { d["revision"] = 4294967296ULL; },
     "device config integer out of range: revision"},
    {"OptionalExpectedBasesAboveRange",
     [](json& d) { d["expected_bases"] = 18446744073709551615ULL; },
     "device config integer out of range: expected_bases"},
    {"HiddenAreaMeshNegative", [](json& d) { d["device"]["hidden_area_mesh"] = -3; },
     "device config integer out of range: hidden_area_mesh"},
};
INSTANTIATE_TEST_SUITE_P(OwnMessages, EncoderRejects, ::testing::ValuesIn(kOwnMessages),
                         testing::ByCaseName());

// Several faults in one document: the one met first in the encoder's order wins.
const FaultCase kFirstFaultWins[] = {
    {"RootKeyBeforeDeviceValue",
     [](json& d) {
       d["device"].erase("first_eye");
       d["zzz"] = 1;
     },
     "device config unsupported key 'zzz' in device_config root"},
    {"RootKeyBeforeDeviceKey",
     [](json& d) {
       d["device"]["aaa"] = 1;
       d["zzz"] = 1;
     },
     "device config unsupported key 'zzz' in device_config root"},
    {"DeviceKeyBeforeHeadKey",
     [](json& d) {
       d["head"]["aaa"] = 1;
       d["device"]["zzz"] = 1;
     },
     "device config unsupported key 'zzz' in device_config.device"},
    {"HeadKeyBeforeEyeFault",
     [](json& d) {
       eye(d, 0).erase("distortion");
       d["head"]["zzz"] = 1;
     },
     "device config unsupported key 'zzz' in device_config.head"},
    {"EyeZeroBeforeEyeOne",
     [](json& d) {
       eye(d, 0)["inverse_distortion"]["center_y"] = "x";
       eye(d, 1)["distortion"]["center_x"] = "x";
     },
     "device config field not numeric: center_y"},
    {"DistortionBlueBeforeMatrix",
     [](json& d) {
       eye(d, 0)["eye_to_head"] = nullptr;
       eye(d, 0)["distortion_blue"]["coeffs"][7] = nullptr;
     },
     "device config array entry not numeric for key: coeffs"},
    {"MatrixRowZeroValueBeforeRowOneSize",
     [](json& d) {
       eye(d, 0)["eye_to_head"][1].push_back(1);
       eye(d, 0)["eye_to_head"][0][2] = true;
     },
     "device config matrix value not numeric: eye_to_head"},
    {"ArraySizeBeforeEntries",
     [](json& d) {
       eye(d, 0)["distortion"]["coeffs"] = json::array({nullptr, 1, 2});
     },
     "device config array wrong size for key: coeffs"},
    {"EyeOneBeforeCv",
     [](json& d) {
       d["cv"]["cad_from_cal"].erase("plus_z");
       eye(d, 1).erase("undistort_r2_cutoff");
     },
     "device config missing float field: undistort_r2_cutoff"},
    {"CvBeforeDeviceValue",
     [](json& d) {
       d["device"]["eye_target_width_in_pixels"] = -1;
       d["cv"]["cad_from_cal"].erase("plus_z");
     },
     "device config missing array: plus_z"},
    {"DeviceValuesBeforeIdentity",
     [](json& d) {
       d["device_class"] = 1;
       d["device"]["last_eye"] = 1;
     },
     "device config field not string: last_eye"},
    {"HiddenAreaMeshAfterLastEye",
     [](json& d) {
       d["device"]["hidden_area_mesh"] = -1;
       d["device"]["last_eye"] = 1;
     },
     "device config field not string: last_eye"},
    {"HiddenAreaMeshBeforeIdentity",
     [](json& d) {
       d["device"]["hidden_area_mesh"] = -1;
       d["device_class"] = 1;
     },
     "device config integer out of range: hidden_area_mesh"},
    {"DevicePidBeforeDisplayFrequency",
     [](json& d) {
       d["display_frequency"] = -1;
       d["device_pid"] = 0.5;
     },
     "device config field not integer: device_pid"},
    {"OptionalFieldsInBitOrder",
     [](json& d) {
       d["revision"] = -1;
       d["expected_controllers"] = -1;
     },
     "device config integer out of range: expected_controllers"},
    {"RevisionBeforeHead",
     [](json& d) {
       d["head"].erase("plus_x");
       d["revision"] = 4294967296ULL;
     },
     "device config integer out of range: revision"},
    {"HeadPlusXBeforePlusZ",
     [](json& d) {
       d["head"]["plus_z"] = nullptr;
       d["head"]["plus_x"] = numbers(4);
     },
     "device config array wrong size for key: plus_x"},
};
INSTANTIATE_TEST_SUITE_P(FirstFaultWins, EncoderRejects, ::testing::ValuesIn(kFirstFaultWins),
                         testing::ByCaseName());

// Faults that reach the user as the JSON library's own exceptions.
class EncoderPassesLibraryError : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EncoderPassesLibraryError, Unchanged) {
  json doc = fullDocument();
  GetParam().mutate(doc);
  EXPECT_THAT([&] { encodeDeviceConfig(doc); },
              ThrowsMessage<json::exception>(HasSubstr(GetParam().message)));
}

const FaultCase kLibraryErrors[] = {
    {"MissingHead", [](json& d) { d.erase("head"); }, "key 'head' not found"},
    {"MissingHeadBeforeEyeCount",
     [](json& d) {
       d.erase("head");
       d["tracking_to_eye_transform"].push_back(1);
     },
     "key 'head' not found"},
    {"MissingDistortionRed", [](json& d) { eye(d, 1).erase("distortion_red"); },
     "key 'distortion_red' not found"},
    {"MissingInverseDistortion", [](json& d) { eye(d, 0).erase("inverse_distortion"); },
     "key 'inverse_distortion' not found"},
    {"EyeNull", [](json& d) { eye(d, 0) = nullptr; }, "cannot use at() with null"},
    {"EyeEmptyArray", [](json& d) { eye(d, 1) = json::array(); }, "cannot use at() with array"},
    {"EyeNumber", [](json& d) { eye(d, 0) = 3; }, "cannot use key() for non-object iterators"},
    {"CvNumber", [](json& d) { d["cv"] = 3; }, "cannot use key() for non-object iterators"},
    {"HeadNonEmptyArray", [](json& d) { d["head"] = json::array({1}); },
     "cannot use key() for non-object iterators"},
    {"EdidNumbers",
     [](json& d) {
       d["display_edid"] = {1, 2};
     },
     "type must be string, but is number"},
    {"EdidSecondNull", [](json& d) { d["display_edid"][1] = nullptr; },
     "type must be string, but is null"},
};
INSTANTIATE_TEST_SUITE_P(LibraryErrors, EncoderPassesLibraryError,
                         ::testing::ValuesIn(kLibraryErrors), testing::ByCaseName());

TEST(IsDeviceConfigJson, LooksOnlyAtDeviceAndEyeKinds) {
  EXPECT_TRUE(isDeviceConfigJson(
      {{"device", json::object()}, {"tracking_to_eye_transform", json::array()}}));
  EXPECT_FALSE(isDeviceConfigJson(
      {{"device", json::array()}, {"tracking_to_eye_transform", json::array()}}));
  EXPECT_FALSE(isDeviceConfigJson(
      {{"device", json::object()}, {"tracking_to_eye_transform", json::object()}}));
  EXPECT_FALSE(isDeviceConfigJson({{"device", json::object()}}));
  EXPECT_FALSE(isDeviceConfigJson(json::array()));
}

TEST(EncoderRejectsRecognisedButEmpty, WithEyeCountMessage) {
  const json doc = {{"device", json::object()},
                    {"head", json::object()},
                    {"tracking_to_eye_transform", json::array()}};
  EXPECT_THAT([&] { encodeDeviceConfig(doc); },
              ThrowsMessage<std::runtime_error>(
                  StrEq("device_config requires exactly two tracking_to_eye_transform entries")));
}

}  // namespace
}  // namespace ravelin
