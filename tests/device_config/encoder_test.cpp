#include "device_config/encoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <string>

#include "cli/file_io.h"
#include "device_config/device_config.h"
#include "tests/device_config/documents.h"
#include "tests/support/case_name.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using testing::decodeChecked;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::eye;
using testing::fullDocument;
using testing::PrintTo;
using testing::smallestDocument;

constexpr std::size_t kBodyStart = 16;
constexpr std::size_t kSmallestSize = 680;
constexpr std::size_t kOptionalFlagsOffset = kBodyStart + 44;  // in the smallest blob
constexpr std::size_t kEyeStart = kBodyStart + 84;             // first eye, smallest blob
constexpr std::size_t kInverseInEye = 208;

std::uint32_t u32At(const Bytes& blob, std::size_t offset) {
  ByteCursor cursor(blob);
  cursor.skip(offset);
  return cursor.read<std::uint32_t>();
}

TEST(DeviceConfigEncoder, SmallestDocumentIsTheSmallestBlobByteForByte) {
  const auto [document, expected] = testing::smallestDocumentAndBlob();
  const Bytes blob = encodeDeviceConfig(document);
  ASSERT_EQ(blob.size(), kSmallestSize);
  EXPECT_THAT(Bytes(blob.begin(), blob.begin() + 12),
              ElementsAre(0x47, 0x46, 0x43, 0x44, 0x01, 0x00, 0x00, 0x00, 0x98, 0x02, 0x00, 0x00));
  EXPECT_EQ(u32At(blob, 12), crc32(blob.data() + kBodyStart, blob.size() - kBodyStart));
  EXPECT_THAT(Bytes(blob.begin() + 16, blob.begin() + 24),
              ElementsAre(0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00));
  EXPECT_EQ(u32At(blob, kOptionalFlagsOffset), 0U);
  EXPECT_THAT(blob, ElementsAreArray(expected));
}

TEST(DeviceConfigEncoder, AbsentControlPointCountIsSixteenAtOffsetSeventyTwo) {
  const Bytes blob = encodeDeviceConfig(smallestDocument());
  const std::size_t inverse = kEyeStart + kInverseInEye;
  EXPECT_EQ(blob[inverse + 72], 0x10);
  EXPECT_EQ(blob[inverse + 73], 0x00);
  // r2max follows unaligned at offset 74; absent, it is 0.
  EXPECT_EQ(u32At(blob, inverse + 74), 0U);
}

TEST(DeviceConfigEncoder, FullDocumentAnnouncesEveryOptionalField) {
  const Bytes blob = encodeDeviceConfig(fullDocument());
  EXPECT_EQ(u32At(blob, kBodyStart + 4), 1U);  // DeviceFlags: hidden area mesh
  EXPECT_EQ(u32At(blob, 8), blob.size() - kBodyStart);
  EXPECT_EQ(u32At(blob, 12), crc32(blob.data() + kBodyStart, blob.size() - kBodyStart));
  const json decoded = decodeChecked(blob);
  EXPECT_EQ(decoded["device"]["hidden_area_mesh"], 7);
  EXPECT_EQ(decoded["display_edid"], json({"edid-a", "edid-b"}));
  EXPECT_EQ(decoded["tracking_to_eye_transform"][1]["display_serial_number"], "panel-R");
  EXPECT_EQ(decoded["cv"]["cad_from_cal"]["method"], "fixture");
}

TEST(DeviceConfigEncoder, OptionalFlagsAreInBitOrder) {
  // With every string empty the offset of OptionalFlags is fixed.
  json doc = smallestDocument();
  doc["device"]["hidden_area_mesh"] = 0;
  doc["revision"] = 6;
  doc["display_frequency"] = 5;
  const Bytes blob = encodeDeviceConfig(doc);
  const std::size_t flags = kOptionalFlagsOffset + 4;
  EXPECT_EQ(u32At(blob, flags), 0x41U);
  EXPECT_EQ(u32At(blob, flags + 4), 5U);
  EXPECT_EQ(u32At(blob, flags + 8), 6U);
}

TEST(DeviceConfigEncoder, EncodingIsRepeatable) {
  EXPECT_EQ(encodeDeviceConfig(fullDocument()), encodeDeviceConfig(fullDocument()));
}

TEST(AppendString, WritesCountThenBytesWithoutTerminator) {
  Bytes out;
  appendString(out, "ab");
  appendString(out, "");
  EXPECT_THAT(out, ElementsAre(0x02, 0x00, 0x00, 0x00, 0x61, 0x62, 0x00, 0x00, 0x00, 0x00));
}

TEST(AppendEyeTransform, WritesTheFixedPartOnly) {
  Bytes out;
  EyeTransform eye;
  eye.undistort_r2_cutoff = 1.5F;
  appendEyeTransform(out, eye);
  ASSERT_EQ(out.size(), EyeTransform::kWireSize);
  EXPECT_EQ(u32At(out, 286), 0x3FC00000U);
}

TEST(DeviceConfigEncoder, UnsignedRangeEndsAtTwoToTheThirtyTwoMinusOne) {
  json doc = smallestDocument();
  doc["device_pid"] = 4294967295ULL;
  doc["revision"] = 4294967295ULL;
  const json decoded = decodeChecked(encodeDeviceConfig(doc));
  EXPECT_EQ(decoded["device_pid"], 4294967295ULL);
  EXPECT_EQ(decoded["revision"], 4294967295ULL);
}

// Values the encoder leaves out or replaces by a default without complaint:
// each document encodes exactly like its plainly written counterpart.
struct EquivalentCase {
  const char* name;
  std::function<void(json&)> given;
  std::function<void(json&)> sameAs;
};

class EncodesLike : public ::testing::TestWithParam<EquivalentCase> {};

TEST_P(EncodesLike, ItsPlainCounterpart) {
  json given = fullDocument();
  json plain = fullDocument();
  GetParam().given(given);
  GetParam().sameAs(plain);
  EXPECT_EQ(encodeDeviceConfig(given), encodeDeviceConfig(plain));
}

json& inverse(json& doc) {
  return eye(doc, 1)["inverse_distortion"];
}

const EquivalentCase kEquivalents[] = {
    {"FloatDisplayFrequency", [](json& d) { d["display_frequency"] = 90.0; },
     [](json& d) { d.erase("display_frequency"); }},
    {"StringRevision", [](json& d) { d["revision"] = "4"; }, [](json& d) { d.erase("revision"); }},
    {"ObjectExpectedBases", [](json& d) { d["expected_bases"] = json::object(); },
     [](json& d) { d.erase("expected_bases"); }},
    {"BoolExpectedControllers", [](json& d) { d["expected_controllers"] = true; },
     [](json& d) { d.erase("expected_controllers"); }},
    {"NumberManufacturer", [](json& d) { d["manufacturer"] = 5; },
     [](json& d) { d.erase("manufacturer"); }},
    {"NullModelNumber", [](json& d) { d["model_number"] = nullptr; },
     [](json& d) { d.erase("model_number"); }},
    {"EdidOfOneString", [](json& d) { d["display_edid"] = {"only"}; },
     [](json& d) { d.erase("display_edid"); }},
    {"EdidOfThreeNumbers",
     [](json& d) {
       d["display_edid"] = {1, 2, 3};
     },
     [](json& d) { d.erase("display_edid"); }},
    {"EdidString", [](json& d) { d["display_edid"] = "edid"; },
     [](json& d) { d.erase("display_edid"); }},
    {"HiddenAreaMeshArray",
     [](json& d) {
       d["device"]["hidden_area_mesh"] = {1, 2};
     },
     [](json& d) { d["device"].erase("hidden_area_mesh"); }},
    {"HiddenAreaMeshFloat", [](json& d) { d["device"]["hidden_area_mesh"] = 7.0; },
     [](json& d) { d["device"].erase("hidden_area_mesh"); }},
    {"NumericSerialNumberDropsBoth", [](json& d) { eye(d, 0)["display_serial_number"] = 1; },
     [](json& d) {
       eye(d, 0).erase("display_serial_number");
       eye(d, 1).erase("display_serial_number");
     }},
    {"LoneSerialNumberDropped", [](json& d) { eye(d, 0).erase("display_serial_number"); },
     [](json& d) { eye(d, 1).erase("display_serial_number"); }},
    {"ImuOfAnyKind",
     [](json& d) {
       d["imu"] = {{"gyro", {1, 2}}};
     },
     [](json&) {}},
    {"TypeOfAnyKind", [](json& d) { eye(d, 1)["distortion_red"]["type"] = 42; }, [](json&) {}},
    {"CvNull", [](json& d) { d["cv"] = nullptr; }, [](json& d) { d.erase("cv"); }},
    {"CvEmpty", [](json& d) { d["cv"] = json::object(); }, [](json& d) { d.erase("cv"); }},
    {"CvEmptyArray", [](json& d) { d["cv"] = json::array(); }, [](json& d) { d.erase("cv"); }},
    {"R2maxAbsent", [](json& d) { eye(d, 0)["distortion"].erase("r2max"); },
     [](json& d) { eye(d, 0)["distortion"]["r2max"] = 0.0; }},
    {"R2maxString", [](json& d) { eye(d, 0)["distortion"]["r2max"] = "1"; },
     [](json& d) { eye(d, 0)["distortion"]["r2max"] = 0; }},
    {"InverseR2maxNull", [](json& d) { inverse(d)["r2max"] = nullptr; },
     [](json& d) { inverse(d)["r2max"] = 0; }},
    {"IntegersAsFloats", [](json& d) { eye(d, 1)["grow_for_undistort"] = 2; },
     [](json& d) { eye(d, 1)["grow_for_undistort"] = 2.0; }},
    {"DoubleRoundsToNearestFloat", [](json& d) { eye(d, 1)["undistort_r2_cutoff"] = 0.1; },
     [](json& d) { eye(d, 1)["undistort_r2_cutoff"] = 0.100000001490116119384765625; }},
};
INSTANTIATE_TEST_SUITE_P(IgnoredAndDefaulted, EncodesLike, ::testing::ValuesIn(kEquivalents),
                         testing::ByCaseName());

struct ControlPointCase {
  const char* name;
  json given;  // null: the key is left out
  unsigned stored;
};

class ControlPointCount : public ::testing::TestWithParam<ControlPointCase> {};

TEST_P(ControlPointCount, KeepsTheLow16BitsOfIntegersOnly) {
  json doc = smallestDocument();
  json& inverseDistortion = eye(doc, 1)["inverse_distortion"];
  if (!GetParam().given.is_null()) inverseDistortion["nSplineCtrlPts"] = GetParam().given;
  const json decoded = decodeChecked(encodeDeviceConfig(doc));
  EXPECT_EQ(decoded["tracking_to_eye_transform"][1]["inverse_distortion"]["nSplineCtrlPts"],
            GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Values, ControlPointCount,
                         ::testing::Values(ControlPointCase{"Absent", nullptr, 16},
                                           ControlPointCase{"Twelve", 12, 12},
                                           ControlPointCase{"WrapsPast65535", 65536 + 12, 12},
                                           ControlPointCase{"WrapsToZero", 65536, 0},
                                           ControlPointCase{"MinusOneWrapsToMax", -1, 65535},
                                           ControlPointCase{"FloatIgnored", 12.0, 16},
                                           ControlPointCase{"StringIgnored", "12", 16}),
                         testing::ByCaseName());

TEST(DeviceConfigEncoder, NumbersBeyondFloatRangeBecomeInfinite) {
  json doc = smallestDocument();
  eye(doc, 0)["grow_for_undistort"] = 1e300;
  eye(doc, 0)["undistort_r2_cutoff"] = -1e39;
  const json decoded = decodeChecked(encodeDeviceConfig(doc));
  const json& first = decoded["tracking_to_eye_transform"][0];
  EXPECT_EQ(first["grow_for_undistort"].get<double>(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(first["undistort_r2_cutoff"].get<double>(), -std::numeric_limits<double>::infinity());
}

TEST(DeviceConfigExample, EncodesAndDecodesToItselfAtNineDigits) {
  const json example = loadJsonFile(fs::path(PROJECT_SOURCE_DIR) / "examples/device_config.json");
  const Bytes blob = encodeDeviceConfig(example);
  EXPECT_EQ(u32At(blob, kBodyStart + 4), 1U);
  json decoded = decodeChecked(blob);
  roundJsonFloats(decoded);
  EXPECT_EQ(decoded, example) << json::diff(decoded, example).dump(2);
  EXPECT_EQ(decoded.dump(), example.dump());
}

}  // namespace
}  // namespace ravelin
