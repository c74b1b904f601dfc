#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/case_name.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using testing::PrintTo;
// The definition of the checksum, one bit at a time: slow, but independent of
// the table-driven code under test.
std::uint32_t bitwiseCrc32(const std::uint8_t* data, std::size_t length) {
  std::uint32_t r = 0xFFFFFFFFU;
  for (std::size_t i = 0; i < length; ++i) {
    r ^= data[i];
    for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (0xEDB88320U & (0U - (r & 1U)));
  }
  return r ^ 0xFFFFFFFFU;
}

struct CheckValueCase {
  std::string name;
  std::string text;
  std::uint32_t expected;
};

class Crc32CheckValueTest : public ::testing::TestWithParam<CheckValueCase> {};

TEST_P(Crc32CheckValueTest, MatchesPublishedValue) {
  const std::string& text = GetParam().text;
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  EXPECT_EQ(crc32(bytes.data(), bytes.size()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Crc32, Crc32CheckValueTest,
    ::testing::Values(CheckValueCase{"Empty", "", 0x00000000U},
                      CheckValueCase{"OneByte", "a", 0xE8B7BE43U},
                      CheckValueCase{"CheckString", "123456789", 0xCBF43926U},
                      CheckValueCase{"Sentence", "The quick brown fox jumps over the lazy dog",
                                     0x414FA339U}),
    testing::ByCaseName());

// Every length and start offset around the eight-byte steps, so that both the
// wide loop and the byte-wise tail are checked, also on unaligned data.
TEST(Crc32Test, AgreesWithBitwiseDefinitionForEveryLengthAndOffset) {
  std::vector<std::uint8_t> bytes(80);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 151U + 7U);
  }
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t length = 0; offset + length <= bytes.size(); ++length) {
      EXPECT_EQ(crc32(bytes.data() + offset, length), bitwiseCrc32(bytes.data() + offset, length))
          << "offset " << offset << ", length " << length;
    }
  }
}

}  // namespace
}  // namespace ravelin
