#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "tests/wire/record_layout.h"
#include "wire/cad_pose.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(Crc32, MatchesTheCheckValues) {
  const std::string check = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926U);
  EXPECT_EQ(crc32(nullptr, 0), 0U);
  const Bytes zeros(32, 0);
  EXPECT_EQ(crc32(zeros), 0x190A55ADU);
}

TEST(LittleEndian, WritesTheLowByteFirstWhateverTheHost) {
  Bytes out;
  appendLE<std::uint16_t>(out, 0x1234);
  appendLE<std::uint32_t>(out, 0xA1B2C3D4);
  appendLE<std::int16_t>(out, -5);
  appendLE(out, 1.5F);
  appendLE<std::uint64_t>(out, 0x0102030405060708ULL);
  EXPECT_THAT(out, ElementsAreArray({0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFB, 0xFF, 0x00, 0x00,
                                     0xC0, 0x3F, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));

  ByteCursor cursor(out);
  EXPECT_EQ(cursor.read<std::uint16_t>(), 0x1234);
  EXPECT_EQ(cursor.read<std::uint32_t>(), 0xA1B2C3D4U);
  EXPECT_EQ(cursor.read<std::int16_t>(), -5);
  EXPECT_EQ(cursor.read<float>(), 1.5F);
  EXPECT_EQ(cursor.read<std::uint64_t>(), 0x0102030405060708ULL);
  EXPECT_TRUE(cursor.atEnd());
}

TEST(ByteCursor, NeverMovesPastItsEnd) {
  const Bytes bytes = {1, 2, 3};
  ByteCursor cursor(bytes);
  EXPECT_THROW(cursor.read<std::uint32_t>(), std::out_of_range);
  EXPECT_EQ(cursor.remaining(), 3U);
  ByteCursor part = cursor.take(2);
  EXPECT_EQ(part.remaining(), 2U);
  EXPECT_EQ(cursor.remaining(), 1U);
  EXPECT_THROW(cursor.skip(2), std::out_of_range);
  EXPECT_THROW(part.readString(3), std::out_of_range);
  EXPECT_EQ(part.readString(2), std::string("\x01\x02"));
}

TEST(StoreLE, RefusesToPatchPastTheEnd) {
  Bytes out(6, 0);
  storeLE<std::uint32_t>(out, 2, 0xDDCCBBAA);
  EXPECT_THAT(out, ElementsAre(0, 0, 0xAA, 0xBB, 0xCC, 0xDD));
  EXPECT_THROW(storeLE<std::uint32_t>(out, 3, 1), std::out_of_range);
  EXPECT_THROW(storeLE<std::uint16_t>(out, 7, 1), std::out_of_range);
}

TEST(NarrowToFloat32, RoundsLikeIeeeIncludingOverflow) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(narrowToFloat32(0.1), 0.1F);
  EXPECT_EQ(narrowToFloat32(static_cast<double>(FLT_MAX)), FLT_MAX);
  EXPECT_EQ(narrowToFloat32(3.4028235e38), FLT_MAX);  // above FLT_MAX, below the midpoint
  EXPECT_EQ(narrowToFloat32(1e39), HUGE_VALF);
  EXPECT_EQ(narrowToFloat32(-1e39), -HUGE_VALF);
  EXPECT_EQ(narrowToFloat32(-kInf), -HUGE_VALF);
  EXPECT_TRUE(std::isnan(narrowToFloat32(std::nan(""))));
}

TEST(SealBlob, FillsTheHeaderAndTheCrcOfTheBody) {
  const std::string body = "123456789";
  Bytes blob(16 + body.size(), 0);
  std::copy(body.begin(), body.end(), blob.begin() + 16);
  sealBlob(blob, kCalibrationMagic);
  EXPECT_THAT(std::span<const std::uint8_t>(blob).first(16),
              ElementsAreArray({0x42, 0x4C, 0x41, 0x43, 0x01, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00,
                                0x00, 0x26, 0x39, 0xF4, 0xCB}));
}

}  // namespace
}  // namespace ravelin

namespace ravelin::testing {

using WireRecords = ::testing::Types<Header, CadPose>;
INSTANTIATE_TYPED_TEST_SUITE_P(WireRecords, RecordLayoutTest, WireRecords);

}  // namespace ravelin::testing
