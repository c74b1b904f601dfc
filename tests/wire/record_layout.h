#pragma once

// Checks every fixed-layout record of a floor: instantiate RecordLayoutTest
// with the floor's records in one source file of its test program.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/console.h"
#include "wire/container.h"

namespace ravelin::testing {

template <typename Record>
class RecordLayoutTest : public ::testing::Test {};

TYPED_TEST_SUITE_P(RecordLayoutTest);

// Each record's field list must add up to its wire size, or every offset after
// a wrong field would shift.
TYPED_TEST_P(RecordLayoutTest, FieldsFillExactlyTheWireSize) {
  Bytes out;
  appendRecord(out, TypeParam{});
  EXPECT_EQ(out.size(), TypeParam::kWireSize);
}

TYPED_TEST_P(RecordLayoutTest, AShortRangeNamesTheRecord) {
  const Bytes bytes(TypeParam::kWireSize - 1, 0);
  const std::uint8_t* p = bytes.data();
  const auto console = captureConsole([&] { readPod<TypeParam>(p, bytes.data() + bytes.size()); });
  EXPECT_EQ(console.thrown, "blob truncated while reading " + std::string(TypeParam::kTypeName));
  EXPECT_THAT(console.err, ::testing::StartsWith("\x1b[31m[ERROR] Blob got truncated while "
                                                 "reading. BlobID " +
                                                 std::string(TypeParam::kTypeName)));
  EXPECT_EQ(p, bytes.data());
}

REGISTER_TYPED_TEST_SUITE_P(RecordLayoutTest, FieldsFillExactlyTheWireSize,
                            AShortRangeNamesTheRecord);

}  // namespace ravelin::testing
