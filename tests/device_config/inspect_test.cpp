#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "device_config/device_config.h"
#include "tests/device_config/documents.h"
#include "tests/support/case_name.h"
#include "tests/support/listing.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using testing::PrintTo;

constexpr std::size_t kBodyStart = 16;

// The smallest blob (680 bytes, body 664) with the value at `offset` replaced;
// the header is resealed when the change lies in the body.
template <WireScalar T>
Bytes smallestWith(std::size_t offset, T value) {
  Bytes blob = testing::smallestDocumentAndBlob().blob;
  storeLE(blob, offset, value);
  return offset < kBodyStart ? blob : testing::resealed(std::move(blob));
}

Bytes smallestWithBodyBytesAdded(std::size_t count) {
  Bytes blob = testing::smallestDocumentAndBlob().blob;
  blob.insert(blob.end(), count, 0);
  return testing::resealed(std::move(blob));
}

// Each fault is marked where it lies with what was expected and what was
// found. A fault in the header leaves the body to be listed; one in the body
// ends the walk, the rest of the body shown as bytes.
struct MarkedFault {
  const char* name;
  Bytes blob;
  std::string faultLine;  // from the offset on, columns squeezed to one space
  bool listsTheHead;
};

class InspectDeviceConfig : public ::testing::TestWithParam<MarkedFault> {};

TEST_P(InspectDeviceConfig, MarksTheFaultWhereItLies) {
  const Bytes& blob = GetParam().blob;
  const Annotation annotation = inspectDeviceConfig(blob.data(), blob.data() + blob.size());
  EXPECT_TRUE(annotation.damaged());
  const testing::FaultLine fault = testing::firstFaultLine(renderListing(annotation));
  EXPECT_EQ(fault.line, GetParam().faultLine);
  EXPECT_EQ(fault.after.find("  head") != std::string::npos, GetParam().listsTheHead)
      << fault.after;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InspectDeviceConfig,
    ::testing::Values(
        MarkedFault{"TooSmall", Bytes(15, 0x47),
                    "00000000 15 FAULT device config blob too small: expected at least 16 bytes, "
                    "found 15 bytes",
                    false},
        MarkedFault{"VersionOnePointOne", smallestWith(6, std::uint16_t{1}),
                    "00000004 0 FAULT device config version mismatch: expected version 1.0, "
                    "found 1.1",
                    true},
        MarkedFault{"BodyBeyondTheBlob", smallestWith(8, std::uint32_t{665}),
                    "00000008 0 FAULT device config body truncated: expected 665 bytes of body, "
                    "found 664 bytes",
                    true},
        MarkedFault{"SchemaVersionTwo", smallestWith(kBodyStart, std::uint16_t{2}),
                    "00000010 664 FAULT device config schema version unsupported: expected "
                    "schema version 1.0, found 2.0",
                    false},
        // Marked at its length prefix, so that the bytes shown hold it.
        MarkedFault{"TextBeyondTheBody", smallestWith(kBodyStart + 20, std::uint32_t{1000}),
                    "00000024 644 FAULT device config blob truncated (string): expected 1000 "
                    "bytes of text for first_eye, found 640 bytes",
                    false},
        MarkedFault{"BytesAfterTheLastField", smallestWithBodyBytesAdded(4),
                    "000002a8 4 FAULT device config blob has unexpected trailing data: expected "
                    "the body to end here, found 4 bytes more",
                    false}),
    testing::ByCaseName());

TEST(InspectDeviceConfig, FlagWordsShowBitsThatNameNothing) {
  const Bytes blob = smallestWith(kBodyStart + 4, std::uint32_t{0x80000000});
  const std::string listing =
      renderListing(inspectDeviceConfig(blob.data(), blob.data() + blob.size()));
  EXPECT_EQ(testing::shownFor(listing, "DeviceFlags"),
            "0x80000000 (bits 0x80000000 name nothing: ignored)");
  EXPECT_EQ(testing::shownFor(listing, "HIDDEN_AREA_MESH"), "false");
}

}  // namespace
}  // namespace ravelin
