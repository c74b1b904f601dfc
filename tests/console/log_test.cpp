#include "console/log.h"

#include <gtest/gtest.h>

#include <string>

namespace ravelin {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

struct Captured {
  std::string out;
  std::string err;
};

template <typename Emit>
Captured capture(Emit emit) {
  CaptureStdout();
  CaptureStderr();
  emit();
  return {GetCapturedStdout(), GetCapturedStderr()};
}

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    quietMode = false;
    routeAllLogLinesToStderr(false);
  }
};

struct LevelCase {
  const char* name;
  void (*log)(const char*, ...);
  bool toStderr;
  std::string expected;
};

TEST_F(LogTest, EachLevelWritesItsColourTagMessageAndResetToItsStream) {
  const LevelCase cases[] = {
      {"error", logError, true, "\x1b[31m[ERROR] value 7 and text\x1b[0m\n"},
      {"warning", logWarning, false, "\x1b[33m[WARNING] value 7 and text\x1b[0m\n"},
      {"success", logSuccess, false, "\x1b[32m[SUCCESS] value 7 and text\x1b[0m\n"},
      {"info", logInfo, false, "\x1b[36m[INFO] value 7 and text\x1b[0m\n"},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Captured captured = capture([&] { c.log("value %d and %s", 7, "text"); });
    EXPECT_EQ(c.toStderr ? captured.err : captured.out, c.expected);
    EXPECT_EQ(c.toStderr ? captured.out : captured.err, "");
  }
}

TEST_F(LogTest, EmbeddedNewlinesAndTrailingSpacesStayInsideTheColouredSpan) {
  const Captured captured =
      capture([] { logError(" DIFF - op %s:\n\toriginal = %s ", "add", "1"); });
  EXPECT_EQ(captured.err, "\x1b[31m[ERROR]  DIFF - op add:\n\toriginal = 1 \x1b[0m\n");
}

TEST_F(LogTest, QuietModeSilencesEveryLevel) {
  quietMode = true;
  const Captured captured = capture([] {
    logError("e");
    logWarning("w");
    logSuccess("s");
    logInfo("i");
  });
  EXPECT_EQ(captured.out, "");
  EXPECT_EQ(captured.err, "");
}

TEST_F(LogTest, RoutingToStderrMovesTheOtherLevelsOffStandardOutput) {
  routeAllLogLinesToStderr(true);
  const Captured captured = capture([] {
    logInfo("i");
    logError("e");
  });
  EXPECT_EQ(captured.out, "");
  EXPECT_EQ(captured.err, "\x1b[36m[INFO] i\x1b[0m\n\x1b[31m[ERROR] e\x1b[0m\n");
}

TEST(PrintableCount, GivesTheLowThirtyTwoBitsAsSigned) {
  EXPECT_EQ(printableCount(10000), 10000);
  EXPECT_EQ(printableCount(3000000000ULL), -1294967296);
  EXPECT_EQ(printableCount((1ULL << 32) + 5), 5);
}

}  // namespace
}  // namespace ravelin
