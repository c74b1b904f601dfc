#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "calibration/strings_optionals.h"
#include "tests/calibration/blob_builder.h"
#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using testing::concat;
using testing::optionalsMask;
using testing::PrintTo;
using ::testing::StrEq;
using testing::stringsPayload;
using ::testing::ThrowsMessage;

json decodeAll(const Bytes& payload, std::span<const StringId> ids) {
  const std::uint8_t* p = payload.data();
  const std::uint8_t* end = payload.data() + payload.size();
  json decoded = decodeStrings(p, end, ids);
  EXPECT_EQ(p, end);
  return decoded;
}

json decodeAll(const Bytes& payload, std::span<const OptionalField> fields) {
  const std::uint8_t* p = payload.data();
  const std::uint8_t* end = payload.data() + payload.size();
  json decoded = decodeOptionals(p, end, fields);
  EXPECT_EQ(p, end);
  return decoded;
}

struct StringsCase {
  std::string name;
  Bytes payload;
  std::span<const StringId> ids;
  json expected;
};

class StringsDecodeTest : public ::testing::TestWithParam<StringsCase> {};

TEST_P(StringsDecodeTest, DecodesToObject) {
  EXPECT_EQ(decodeAll(GetParam().payload, GetParam().ids), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringsDecodeTest,
    ::testing::Values(
        StringsCase{"Empty", {}, kCameraStringIds, json::object()},
        StringsCase{"CameraKeys",
                    stringsPayload({{1, "hw"}, {2, "src"}, {3, "par"}, {4, "sn"}}),
                    kCameraStringIds,
                    {{"hardwareIdentifier", "hw"},
                     {"sourceCamera", "src"},
                     {"parent", "par"},
                     {"serial", "sn"}}},
        StringsCase{"ImuKeysSkipId4",
                    stringsPayload({{2, "src"}, {4, "ignored"}, {3, "p"}}),
                    kImuStringIds,
                    {{"sourceImu", "src"}, {"parent", "p"}}},
        StringsCase{"MetaKeys",
                    stringsPayload({{1, "me"}, {2, "dev"}, {3, "today"}, {4, "hw"}}),
                    kMetaStringIds,
                    {{"created_by", "me"},
                     {"device_serial", "dev"},
                     {"date", "today"},
                     {"hardwareIdentifier", "hw"}}},
        StringsCase{"CameraId5SkippedRestKept",
                    stringsPayload({{5, "x"}, {0, "y"}, {4, "sn"}}),
                    kCameraStringIds,
                    {{"serial", "sn"}}},
        StringsCase{"EmptyText", stringsPayload({{3, ""}}), kCameraStringIds, {{"parent", ""}}},
        StringsCase{"LaterEntryWins",
                    stringsPayload({{3, "a"}, {3, "b"}}),
                    kCameraStringIds,
                    {{"parent", "b"}}},
        StringsCase{"BytesKeptAsGiven",
                    stringsPayload({{4, std::string("a\0b", 3)}}),
                    kCameraStringIds,
                    {{"serial", std::string("a\0b", 3)}}}),
    testing::ByCaseName());

TEST(StringsDecode, LengthIsLittleEndian) {
  const Bytes payload = {4, 0x02, 0x00, 'o', 'k'};
  EXPECT_EQ(decodeAll(payload, kCameraStringIds), json({{"serial", "ok"}}));
}

struct PayloadFault {
  std::string name;
  Bytes payload;
  std::string message;
};

class StringsFaultTest : public ::testing::TestWithParam<PayloadFault> {};

TEST_P(StringsFaultTest, Throws) {
  const Bytes& payload = GetParam().payload;
  const std::uint8_t* p = payload.data();
  EXPECT_THAT([&] { decodeStrings(p, payload.data() + payload.size(), kMetaStringIds); },
              ThrowsMessage<std::runtime_error>(StrEq(GetParam().message)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringsFaultTest,
    ::testing::Values(PayloadFault{"OneByte", {1}, "STRINGS trailing bytes"},
                      PayloadFault{"TwoBytes", {1, 0}, "STRINGS trailing bytes"},
                      PayloadFault{"TwoAfterEntry", concat({stringsPayload({{1, "a"}}), {1, 0}}),
                                   "STRINGS trailing bytes"},
                      PayloadFault{"LengthPastEnd", {1, 3, 0, 'a', 'b'}, "STRINGS overrun"},
                      PayloadFault{"HugeLength", {1, 0xFF, 0xFF}, "STRINGS overrun"}),
    testing::ByCaseName());

struct OptionalsCase {
  std::string name;
  Bytes payload;
  std::span<const OptionalField> fields;
  json expected;
};

class OptionalsDecodeTest : public ::testing::TestWithParam<OptionalsCase> {};

TEST_P(OptionalsDecodeTest, DecodesToObject) {
  const json decoded = decodeAll(GetParam().payload, GetParam().fields);
  EXPECT_EQ(decoded, GetParam().expected);
}

template <typename... Values>
Bytes optionals(std::uint64_t mask, Values... values) {
  Bytes out = optionalsMask(mask);
  (appendLE(out, values), ...);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionalsDecodeTest,
    ::testing::Values(
        OptionalsCase{"EmptyMask", optionals(0), kCameraOptionalFields, json::object()},
        OptionalsCase{"CropRegion", optionals(0x03, std::int16_t{-5}, std::int16_t{7}),
                      kCameraOptionalFields, json::parse(R"({"cropRegion": {"x": -5, "y": 7}})")},
        OptionalsCase{
            "AllCameraFields",
            optionals(0xFF, std::int16_t{1}, std::int16_t{2}, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f),
            kCameraOptionalFields, json::parse(R"({"cropRegion": {"x": 1, "y": 2},
                          "temperature": {"min": 3.0, "max": 4.0},
                          "preRotateClockwiseByDeg": 5.0, "imageCircleDiameterInDeg": 6.0,
                          "mtf50": {"center": 7.0, "temp": 8.0}})")},
        OptionalsCase{"HighMaskBitsIgnored", optionals(0xFFFFFFFFFFFFFF00ULL | 0x20, 1.5f),
                      kCameraOptionalFields, json::parse(R"({"imageCircleDiameterInDeg": 1.5})")},
        OptionalsCase{"ImuSynchronizedNonZero", optionals(0x80, std::uint8_t{2}),
                      kImuOptionalFields,
                      json::parse(R"({"isGyroAndAccelDataSynchronized": true})")},
        OptionalsCase{"ImuSynchronizedZero", optionals(0x80, std::uint8_t{0}), kImuOptionalFields,
                      json::parse(R"({"isGyroAndAccelDataSynchronized": false})")},
        OptionalsCase{"AllImuFields",
                      optionals(0xFF, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, std::uint8_t{1}),
                      kImuOptionalFields, json::parse(R"({"temperature": {"min": 1.0, "max": 2.0},
                          "samplingRateInHz": 3.0, "gyroNoiseDensityStdDegsPerSecPerSqrtHz": 4.0,
                          "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz": 5.0,
                          "gyroBiasStdPerMinute": 6.0, "accelBiasStdPerMinute": 7.0,
                          "isGyroAndAccelDataSynchronized": true})")}),
    testing::ByCaseName());

TEST(OptionalsDecode, IntegersStaySignedIntegers) {
  const json decoded = decodeAll(optionals(0x01, std::int16_t{-32768}), kCameraOptionalFields);
  EXPECT_TRUE(decoded["cropRegion"]["x"].is_number_integer());
  EXPECT_EQ(decoded["cropRegion"]["x"].get<int>(), -32768);
}

class OptionalsFaultTest : public ::testing::TestWithParam<PayloadFault> {};

TEST_P(OptionalsFaultTest, Throws) {
  const Bytes& payload = GetParam().payload;
  const std::uint8_t* p = payload.data();
  EXPECT_THAT([&] { decodeOptionals(p, payload.data() + payload.size(), kCameraOptionalFields); },
              ThrowsMessage<std::runtime_error>(StrEq(GetParam().message)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionalsFaultTest,
    ::testing::Values(PayloadFault{"Empty", {}, "OPTIONALS too small"},
                      PayloadFault{"SevenBytes", Bytes(7, 0), "OPTIONALS too small"},
                      PayloadFault{"OneByteMore",
                                   concat({optionals(0x03, std::int16_t{1}, std::int16_t{2}), {0}}),
                                   "OPTIONALS trailing bytes"},
                      PayloadFault{"OneByteLess", optionals(0x03, std::int16_t{1}, std::uint8_t{2}),
                                   "OPTIONALS trailing bytes"},
                      PayloadFault{"MaskWithoutValues", optionals(0x10),
                                   "OPTIONALS trailing bytes"},
                      PayloadFault{"UnknownBitsWithBytes", optionals(0x100, std::uint8_t{0}),
                                   "OPTIONALS trailing bytes"}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
