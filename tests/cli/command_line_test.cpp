#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "tests/support/process.h"

namespace ravelin {
namespace {

using testing::runRavelin;

TEST(RavelinProgram, NoArgumentsPrintsUsageAndExitsTwo) {
  const auto result = runRavelin({});
  EXPECT_EQ(result.exitCode, kExitUsage);
  EXPECT_EQ(result.out, kUsageText);
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace ravelin
