#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <ostream>
#include <stdexcept>
#include <string>

#include "console/log.h"
#include "device_config/device_config.h"
#include "tests/device_config/documents.h"
#include "tests/support/case_name.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using testing::decodeChecked;
using testing::fullDocument;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::resealed;
using testing::smallestDocument;
using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

constexpr std::size_t kBodyStart = 16;

bool decode(const Bytes& blob, json& out, bool verifyCrc = true) {
  return decodeDeviceConfig(blob.data(), blob.data() + blob.size(), out, verifyCrc);
}

// The decoder's message for `blob`; the inspector must mark the same fault first.
std::string decodeFailure(const Bytes& blob) {
  json out;
  std::string failure;
  try {
    decode(blob, out);
  } catch (const std::runtime_error& error) {
    failure = error.what();
  }
  const Annotation inspected = inspectDeviceConfig(blob.data(), blob.data() + blob.size());
  EXPECT_EQ(inspected.firstFaultMessage(), failure);
  return failure.empty() ? "decoded without error" : failure;
}

Bytes smallestBlob() {
  return encodeDeviceConfig(smallestDocument());
}

// Keeps the first `bodySize` body bytes and makes the header match them.
Bytes withBodyCut(Bytes blob, std::size_t bodySize) {
  blob.resize(kBodyStart + bodySize);
  return resealed(std::move(blob));
}

template <WireScalar T>
Bytes withBodyValue(Bytes blob, std::size_t bodyOffset, T value) {
  storeLE(blob, kBodyStart + bodyOffset, value);
  return resealed(std::move(blob));
}

TEST(DeviceConfigDecoder, SmallestBlobGainsOnlyWhatTheFormatAlwaysCarries) {
  const Bytes blob = smallestBlob();
  json expected = smallestDocument();
  for (json& eye : expected["tracking_to_eye_transform"]) {
    for (const char* key : {"distortion", "distortion_red", "distortion_blue"}) {
      eye[key]["r2max"] = 0.0;
      eye[key]["type"] = "DISTORT_BSPLINE";
    }
    eye["inverse_distortion"]["r2max"] = 0.0;
    eye["inverse_distortion"]["nSplineCtrlPts"] = 16;
    eye["inverse_distortion"]["type"] = "DISTORT_BSPLINE";
  }
  const json decoded = decodeChecked(blob);
  EXPECT_EQ(decoded, expected) << json::diff(decoded, expected).dump(2);
  EXPECT_TRUE(decoded["device_pid"].is_number_unsigned());
  EXPECT_TRUE(decoded["head"]["position"][2].is_number_float());
  EXPECT_EQ(encodeDeviceConfig(decoded), blob);
}

TEST(DeviceConfigDecoder, FullBlobReencodesToTheSameBytes) {
  const Bytes blob = encodeDeviceConfig(fullDocument());
  const json decoded = decodeChecked(blob);
  EXPECT_EQ(encodeDeviceConfig(decoded), blob);
  EXPECT_EQ(decoded["tracking_to_eye_transform"][0]["inverse_distortion"]["nSplineCtrlPts"], 12);
  EXPECT_EQ(decoded["display_frequency"], 90);
  EXPECT_EQ(decoded["cv"]["cad_from_cal"]["plus_x"][1].get<double>(), static_cast<double>(0.1F));
  EXPECT_FALSE(decoded.contains("imu"));
}

TEST(DeviceConfigDecoder, UndefinedFlagBitsAreIgnored) {
  Bytes blob = smallestBlob();
  blob = withBodyValue(blob, 4, std::uint32_t{0xFFFFFFFE});   // DeviceFlags
  blob = withBodyValue(blob, 44, std::uint32_t{0xFFFFFE00});  // OptionalFlags
  EXPECT_EQ(decodeChecked(blob), decodeChecked(smallestBlob()));
}

TEST(DeviceConfigDecoder, BytesAfterTheBodyAreNotLookedAt) {
  Bytes blob = smallestBlob();
  const json expected = decodeChecked(blob);
  blob.insert(blob.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x00});
  EXPECT_EQ(decodeChecked(blob), expected);
}

TEST(DeviceConfigDecoder, FlippedFloatStillDecodesAndReportsTheCrc) {
  const Bytes original = smallestBlob();
  Bytes blob = original;
  const std::size_t headPlusX = kBodyStart + 48;
  blob[headPlusX + 3] ^= 0x80;  // sign bit of head.plus_x[0]
  const std::uint32_t stored = crc32(original.data() + kBodyStart, original.size() - kBodyStart);
  const std::uint32_t computed = crc32(blob.data() + kBodyStart, blob.size() - kBodyStart);

  json out;
  ::testing::internal::CaptureStderr();
  const bool crcOk = decode(blob, out);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(crcOk);
  EXPECT_THAT(log, HasSubstr("Device config CRC mismatch: expected " + std::to_string(stored) +
                             " got " + std::to_string(computed)));
  const double before = decodeChecked(original)["head"]["plus_x"][0].get<double>();
  EXPECT_EQ(out["head"]["plus_x"][0].get<double>(), -before);
}

TEST(DeviceConfigDecoder, CrcLeftUncheckedWhenNotAsked) {
  Bytes blob = smallestBlob();
  blob[12] ^= 0xFF;
  json out;
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(decode(blob, out, /*verifyCrc=*/false));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(out, decodeChecked(smallestBlob()));
  const QuietScope quiet;
  EXPECT_FALSE(decode(blob, out, /*verifyCrc=*/true));
}

TEST(DeviceConfigDecoder, FailureLeavesTheReceivingValueUntouched) {
  const json sentinel = {{"kept", true}};
  json out = sentinel;
  EXPECT_THROW(decode(withBodyCut(smallestBlob(), 663), out), std::runtime_error);
  EXPECT_EQ(out, sentinel);
}

// The blob is built when its case runs: a fault in the encoder then fails
// these cases instead of aborting the test program while it registers them.
struct BlobFault {
  const char* name;
  Bytes (*blob)();
  const char* message;
};

class DecoderRejects : public ::testing::TestWithParam<BlobFault> {};

TEST_P(DecoderRejects, WithExactMessage) {
  const Bytes blob = GetParam().blob();
  const QuietScope quiet;  // some of these also carry a CRC mismatch
  EXPECT_EQ(decodeFailure(blob), GetParam().message);
}

template <WireScalar T>
Bytes withHeaderValue(std::size_t offset, T value) {
  Bytes blob = smallestBlob();
  storeLE(blob, offset, value);
  return blob;
}

Bytes headerOnly(std::uint32_t bodySize) {
  Bytes blob;
  appendRecord(blob, Header{kDeviceConfigMagic, 1, 0, bodySize, 0});
  return blob;
}

Bytes withHeaderFaults(std::uint32_t magic, std::uint16_t minor, std::uint32_t extraBodySize) {
  Bytes blob = smallestBlob();
  storeLE(blob, 0, magic);
  storeLE(blob, 6, minor);
  storeLE(blob, 8, static_cast<std::uint32_t>(blob.size() - kBodyStart + extraBodySize));
  return blob;
}

constexpr const char* kPod = "device config blob truncated (pod)";
constexpr const char* kFloats = "device config blob truncated (floats)";
constexpr const char* kString = "device config blob truncated (string)";

// Optional fields announced but absent shift every later read.
Bytes announcing(std::uint32_t optionalFlags) {
  return withBodyValue(smallestBlob(), 44, optionalFlags);
}

Bytes withFirstEye(const std::string& text) {
  json doc = smallestDocument();
  doc["device"]["first_eye"] = text;
  return encodeDeviceConfig(doc);
}

const BlobFault kHeaderFaults[] = {
    {"Empty", [] { return Bytes{}; }, "device config blob too small"},
    {"FifteenBytes", [] { return Bytes(15, 0x47); }, "device config blob too small"},
    {"CalibrationMagic", [] { return withHeaderValue(0, kCalibrationMagic); },
     "device config magic mismatch"},
    {"MagicBeforeVersion", [] { return withHeaderFaults(0, 1, 0); },
     "device config magic mismatch"},
    {"MinorVersionOne", [] { return withHeaderValue(6, std::uint16_t{1}); },
     "device config version mismatch"},
    {"MajorVersionTwo", [] { return withHeaderValue(4, std::uint16_t{2}); },
     "device config version mismatch"},
    {"VersionBeforeBodySize", [] { return withHeaderFaults(kDeviceConfigMagic, 1, 1); },
     "device config version mismatch"},
    {"BodyOneByteLonger", [] { return withHeaderFaults(kDeviceConfigMagic, 0, 1); },
     "device config body truncated"},
    {"BodyOfFourGiB", [] { return withHeaderValue(8, std::uint32_t{0xFFFFFFFF}); },
     "device config body truncated"},
    {"HeaderWithEmptyBody", [] { return headerOnly(0); }, kPod},
    {"HeaderWithBodyBeyondData", [] { return headerOnly(1); }, "device config body truncated"},
};
INSTANTIATE_TEST_SUITE_P(Header, DecoderRejects, ::testing::ValuesIn(kHeaderFaults),
                         testing::ByCaseName());

// Offsets are those of the smallest blob's body; each cut lands inside the
// field named, whose kind decides the message.
const BlobFault kBodyFaults[] = {
    {"SchemaMajorHalf", [] { return withBodyCut(smallestBlob(), 1); }, kPod},
    {"SchemaMinorMissing", [] { return withBodyCut(smallestBlob(), 2); }, kPod},
    {"SchemaTruncatedBeforeUnsupported",
     [] { return withBodyCut(withBodyValue(smallestBlob(), 0, std::uint16_t{2}), 3); }, kPod},
    {"SchemaMajorTwo", [] { return withBodyValue(smallestBlob(), 0, std::uint16_t{2}); },
     "device config schema version unsupported"},
    {"SchemaMinorOne", [] { return withBodyValue(smallestBlob(), 2, std::uint16_t{1}); },
     "device config schema version unsupported"},
    {"DeviceFlags", [] { return withBodyCut(smallestBlob(), 4); }, kPod},
    {"StringCount", [] { return withBodyCut(smallestBlob(), 22); }, kPod},
    {"StringText", [] { return withBodyCut(withFirstEye("left"), 26); }, kString},
    {"StringCountBeyondBody", [] { return withBodyValue(smallestBlob(), 20, std::uint32_t{1000}); },
     kString},
    {"OptionalFlags", [] { return withBodyCut(smallestBlob(), 47); }, kPod},
    {"HeadPlusXEmpty", [] { return withBodyCut(smallestBlob(), 48); }, kFloats},
    {"HeadPositionPartial", [] { return withBodyCut(smallestBlob(), 83); }, kFloats},
    {"EyeCentre", [] { return withBodyCut(smallestBlob(), 84); }, kPod},
    {"DistortionCoeffs", [] { return withBodyCut(smallestBlob(), 100); }, kFloats},
    {"DistortionR2max", [] { return withBodyCut(smallestBlob(), 124); }, kPod},
    {"EyeToHead", [] { return withBodyCut(smallestBlob(), 216); }, kFloats},
    {"GrowForUndistort", [] { return withBodyCut(smallestBlob(), 252); }, kPod},
    {"InverseCoeffs", [] { return withBodyCut(smallestBlob(), 363); }, kFloats},
    {"ControlPoints", [] { return withBodyCut(smallestBlob(), 365); }, kPod},
    {"InverseR2maxUnaligned", [] { return withBodyCut(smallestBlob(), 366); }, kPod},
    {"SecondEye", [] { return withBodyCut(smallestBlob(), 374); }, kPod},
    {"LastField", [] { return withBodyCut(smallestBlob(), 663); }, kPod},
    // The class name's count is read as the mesh, the product id as the count.
    {"AnnouncedHiddenAreaMesh", [] { return withBodyValue(smallestBlob(), 4, std::uint32_t{1}); },
     kString},
    {"AnnouncedFrequency", [] { return announcing(0x001); }, kPod},
    {"AnnouncedEdidReadsAFloatAsCount", [] { return announcing(0x002); }, kString},
    {"AnnouncedFourIntegers", [] { return announcing(0x04D); }, kFloats},
    {"ExtraBytesInBody",
     [] {
       Bytes blob = smallestBlob();
       blob.insert(blob.end(), 4, 0);
       return resealed(std::move(blob));
     },
     "device config blob has unexpected trailing data"},
};
INSTANTIATE_TEST_SUITE_P(Body, DecoderRejects, ::testing::ValuesIn(kBodyFaults),
                         testing::ByCaseName());

// No prefix and no single damaged byte of a full blob may crash the decoder:
// each either decodes or fails with a message.
TEST(DeviceConfigDecoderSweep, EveryPrefixFailsWithAHeaderMessage) {
  const Bytes blob = encodeDeviceConfig(fullDocument());
  for (std::size_t length = 0; length < blob.size(); ++length) {
    const Bytes prefix(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_EQ(decodeFailure(prefix),
              length < kBodyStart ? "device config blob too small" : "device config body truncated")
        << "length " << length;
  }
}

TEST(DeviceConfigDecoderSweep, EveryResealedPrefixFailsWithATruncationMessage) {
  const Bytes blob = encodeDeviceConfig(fullDocument());
  for (std::size_t bodySize = 0; bodySize + kBodyStart < blob.size(); ++bodySize) {
    EXPECT_THAT(decodeFailure(withBodyCut(blob, bodySize)),
                StartsWith("device config blob truncated ("))
        << "body size " << bodySize;
  }
}

TEST(DeviceConfigDecoderSweep, EverySingleByteFlipDecodesOrThrows) {
  const Bytes blob = encodeDeviceConfig(fullDocument());
  const QuietScope quiet;
  std::size_t decoded = 0;
  for (std::size_t offset = 0; offset < blob.size(); ++offset) {
    for (const unsigned mask : {0x01U, 0x80U, 0xFFU}) {
      Bytes damaged = blob;
      damaged[offset] = static_cast<std::uint8_t>(damaged[offset] ^ mask);
      json out;
      try {
        decode(damaged, out);
        ++decoded;
      } catch (const std::exception& error) {
        EXPECT_STRNE(error.what(), "") << "offset " << offset;
      }
    }
  }
  // Flips inside floats and text only change values, so most flips decode.
  EXPECT_GT(decoded, blob.size());
}

}  // namespace
}  // namespace ravelin
