#include "calibration/strings_optionals_encode.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/calibration/encode_test_documents.h"

namespace ravelin {
namespace {

using testing::bytes;
using testing::concat;
using testing::floatBytes;
using ::testing::HasSubstr;
using testing::matrixCamera;
using testing::matrixImu;
using ::testing::ThrowsMessage;

const Bytes kEmptyIdentity = bytes({0x01, 0x00, 0x00, 0x02, 0x00, 0x00});

TEST(CameraStrings, AlwaysWritesIdentityAndSourceEvenWhenEmpty) {
  EXPECT_EQ(cameraStringsFromJson(matrixCamera()), kEmptyIdentity);
}

TEST(CameraStrings, WritesParentAndSerialWhenPresentEvenIfEmpty) {
  json camera = matrixCamera();
  camera["serial"] = "S1";
  camera["parent"] = "";
  camera["hardwareIdentifier"] = "hw";
  EXPECT_EQ(cameraStringsFromJson(camera), bytes({0x01, 0x02, 0x00, 'h', 'w', 0x02, 0x00, 0x00,
                                                  0x03, 0x00, 0x00, 0x04, 0x02, 0x00, 'S', '1'}));
}

TEST(ImuStrings, HaveNoSerialEntry) {
  json imu = matrixImu();
  imu["serial"] = "ignored";
  imu["sourceImu"] = "a";
  EXPECT_EQ(imuStringsFromJson(imu), bytes({0x01, 0x00, 0x00, 0x02, 0x01, 0x00, 'a'}));
}

TEST(IdentityStrings, RefuseMissingOrNonStringValuesInTheLibrarysWords) {
  struct Case {
    const char* key;
    json value;
    const char* message;
  };
  const Case cases[] = {
      {"hardwareIdentifier", nullptr, "type must be string, but is null"},
      {"sourceCamera", 5, "type must be string, but is number"},
      {"parent", json::array(), "type must be string, but is array"},
  };
  for (const Case& c : cases) {
    json camera = matrixCamera();
    if (c.value.is_null()) {
      camera.erase(c.key);
    } else {
      camera[c.key] = c.value;
    }
    EXPECT_THAT([&] { cameraStringsFromJson(camera); },
                ThrowsMessage<json::type_error>(HasSubstr(c.message)));
  }
}

TEST(MetadataStrings, WriteOnlyNonEmptyTextsInIdOrder) {
  EXPECT_EQ(metaStringsFromJson({{"dataset_duration_in_sec", 1}}), Bytes{});
  EXPECT_EQ(metaStringsFromJson({{"created_by", ""}, {"date", "abc"}}),
            bytes({0x03, 0x03, 0x00, 'a', 'b', 'c'}));
  EXPECT_EQ(metaStringsFromJson({{"hardwareIdentifier", "h"}, {"created_by", "c"}}),
            bytes({0x01, 0x01, 0x00, 'c', 0x04, 0x01, 0x00, 'h'}));
  EXPECT_THAT(
      [] {
        metaStringsFromJson({{"device_serial", 12}});
      },
      ThrowsMessage<json::type_error>(HasSubstr("type must be string, but is number")));
}

TEST(StringEntries, CutLongTextsTo65535Bytes) {
  const std::string serial(70000, 's');
  Bytes payload;
  appendStringEntry(payload, 4, serial);
  ASSERT_EQ(payload.size(), 3U + 65535U);
  EXPECT_EQ(payload[1], 0xFF);
  EXPECT_EQ(payload[2], 0xFF);
  EXPECT_EQ(payload.back(), 's');
}

TEST(StringEntries, CutAtTheLastWholeUtf8Character) {
  struct Case {
    std::size_t leadingAscii;
    std::string tail;
    std::size_t kept;
  };
  const Case cases[] = {
      {65534, "\xC3\xA9", 65534},           // two-byte character across the limit
      {65533, "\xE2\x82\xAC", 65533},       // three-byte character
      {65532, "\xF0\x9F\x98\x80", 65532},   // four-byte character
      {65531, "\xF0\x9F\x98\x80x", 65535},  // ends exactly at the limit
      {65535, "\xC3\xA9", 65535},           // starts after the limit
      {65534, "\xFF\xC3\xA9", 65535},       // not UTF-8: cut by bytes
      {65534, "\xC3\x28", 65535},           // broken sequence across the limit
      {65533, "\xE0\x80\x80", 65535},       // overlong form is not UTF-8
      {65535, "", 65535},                   // fits as it is
  };
  for (const Case& c : cases) {
    const std::string text = std::string(c.leadingAscii, 'a') + c.tail;
    EXPECT_EQ(stringEntryLength(text), c.kept) << c.leadingAscii << " + " << c.tail.size();
  }
  EXPECT_EQ(stringEntryLength("\xC3\xA9"), 2U);
}

TEST(StringEntries, KeepOnlyWholeCharactersOfAMultiByteText) {
  std::string text;
  while (text.size() < 70000) text += "\xE2\x82\xAC";
  Bytes payload;
  appendStringEntry(payload, 1, text);
  const std::size_t kept = 65535 - 65535 % 3;
  ASSERT_EQ(payload.size(), 3 + kept);
  EXPECT_EQ(payload[1] | (payload[2] << 8), static_cast<int>(kept));
  EXPECT_EQ(payload.back(), 0xAC);
}

TEST(CameraOptionals, EmptyWhenNothingIsPresent) {
  json camera = matrixCamera();
  camera["cropRegion"] = 5;
  camera["mtf50"] = json::object();
  EXPECT_EQ(cameraOptionalsFromJson(camera, "cameras[0]"), Bytes{});
}

TEST(CameraOptionals, WriteMaskThenValuesInTableOrder) {
  struct Case {
    json values;
    Bytes payload;
  };
  const Case cases[] = {
      {{{"preRotateClockwiseByDeg", 90.5}},
       concat({bytes({0x10, 0, 0, 0, 0, 0, 0, 0}), floatBytes(90.5F)})},
      {{{"cropRegion", {{"y", 3}}}}, bytes({0x02, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x00})},
      {{{"cropRegion", {{"y", 7}, {"x", -5}}}},
       bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0xFB, 0xFF, 0x07, 0x00})},
      {{{"mtf50", {{"temp", 1.5}}}, {"temperature", {{"min", -10}, {"max", true}}}},
       concat({bytes({0x8C, 0, 0, 0, 0, 0, 0, 0}), floatBytes(-10.0F), floatBytes(1.0F),
               floatBytes(1.5F)})},
      {{{"cropRegion", {{"x", 40000}}}}, bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x9C})},
  };
  for (const Case& c : cases) {
    json camera = matrixCamera();
    camera.update(c.values);
    EXPECT_EQ(cameraOptionalsFromJson(camera, "cameras[0]"), c.payload) << c.values.dump();
  }
}

TEST(CameraOptionals, RefuseValuesThatDoNotConvert) {
  json camera = matrixCamera();
  camera["temperature"] = {{"max", "hot"}};
  EXPECT_THAT([&] { cameraOptionalsFromJson(camera, "cameras[0]"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be number, but is string")));
  camera["temperature"] = json::object();
  camera["imageCircleDiameterInDeg"] = nullptr;
  EXPECT_THAT([&] { cameraOptionalsFromJson(camera, "cameras[0]"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be number, but is null")));
  camera.erase("imageCircleDiameterInDeg");
  camera["cropRegion"] = {{"x", 40000.5}};
  EXPECT_THAT([&] { cameraOptionalsFromJson(camera, "cameras[1]"); },
              ThrowsMessage<std::runtime_error>(
                  ::testing::StrEq("'x' in cameras[1].cropRegion is 40000.5, outside the range "
                                   "of a signed 16-bit integer")));
}

TEST(ImuOptionals, WriteTheSynchronisationFlagAsOneByte) {
  json imu = matrixImu();
  imu["temperature"] = json::object();
  EXPECT_EQ(imuOptionalsFromJson(imu, "imus[0]"), Bytes{});
  imu["isGyroAndAccelDataSynchronized"] = true;
  EXPECT_EQ(imuOptionalsFromJson(imu, "imus[0]"), bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 0x01}));
  imu["samplingRateInHz"] = 800;
  imu["isGyroAndAccelDataSynchronized"] = false;
  EXPECT_EQ(imuOptionalsFromJson(imu, "imus[0]"),
            concat({bytes({0x84, 0, 0, 0, 0, 0, 0, 0}), floatBytes(800.0F), bytes({0x00})}));
  imu["isGyroAndAccelDataSynchronized"] = 1;
  EXPECT_THAT([&] { imuOptionalsFromJson(imu, "imus[0]"); },
              ThrowsMessage<json::type_error>(HasSubstr("type must be boolean, but is number")));
}

}  // namespace
}  // namespace ravelin
