#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/blob_dispatch.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::PrintTo;

// A blob beside the listing that `ravelin inspect` printed for it when both
// were committed: <blob>.bin and <blob>.listing under tests/golden.
struct ListingCase {
  const char* name;
  const char* blob;
};

class GoldenListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(GoldenListingTest, InspectingTheBlobGivesTheCommittedListing) {
  const auto stem =
      std::filesystem::path(PROJECT_SOURCE_DIR) / "tests" / "golden" / GetParam().blob;
  const Bytes blob = testing::readBytes(stem.string() + ".bin");
  EXPECT_EQ(renderListing(inspectBlob(blob)), testing::readText(stem.string() + ".listing"));
}

// The damaged blobs are the examples' blobs changed as their names say; a
// blob whose bytes were changed carries a header resealed to match them, so
// that its listing shows the structure's fault alone.
INSTANTIATE_TEST_SUITE_P(
    Blobs, GoldenListingTest,
    ::testing::Values(
        ListingCase{"CalibrationExample", "calibration"},
        ListingCase{"DeviceConfigExample", "device_config"},
        // One bit of the metadata text "factory-cal-station-12" flipped, not resealed.
        ListingCase{"CrcMismatch", "inspect/calibration-crc-mismatch"},
        // Only the first 700 bytes.
        ListingCase{"CutShort", "inspect/calibration-cut-short"},
        // The first camera's offset sub-block announces 200 bytes.
        ListingCase{"SubBlockOverrun", "inspect/calibration-sub-block-overrun"},
        // That sub-block's id is 6, and 5 bytes follow the end marker: intact.
        ListingCase{"SkippedAndUnread", "inspect/calibration-skipped-and-unread"},
        // The CAD block's size is 151, one byte into the next frame.
        ListingCase{"SizeOneByteTooLong", "inspect/calibration-size-one-too-long"},
        // The metadata text "factory-cal-station-12" with 0xFF for its "t".
        ListingCase{"NotUtf8", "inspect/calibration-not-utf8"},
        // device_class announces 65535 bytes.
        ListingCase{"StringOverrun", "inspect/device_config-string-overrun"},
        // The body ends inside the second eye record.
        ListingCase{"CutInEye", "inspect/device_config-cut-in-eye"},
        // A text file.
        ListingCase{"UnknownKind", "inspect/unknown-kind"}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
