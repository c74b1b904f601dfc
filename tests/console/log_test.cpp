#include "console/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "console/format.h"

namespace ravelin {
namespace {

using ::testing::ElementsAre;
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

TEST_F(LogTest, LogLinePrintsAtItsLevel) {
  const Captured captured = capture([] {
    logLine({LogLevel::WARNING, "w %d"});
    logLine({LogLevel::ERROR, "e"});
  });
  EXPECT_EQ(captured.out, "\x1b[33m[WARNING] w %d\x1b[0m\n");
  EXPECT_EQ(captured.err, "\x1b[31m[ERROR] e\x1b[0m\n");
}

// Quiet as the command line may have set it: a capture collects all the same.
TEST_F(LogTest, ACaptureCollectsItsThreadsLinesAndPrintsNothing) {
  quietMode = true;
  std::vector<LogLine> inner;
  std::vector<LogLine> outer;
  const Captured captured = capture([&] {
    const LogCapture outerCapture;
    logError("e%d", 1);
    {
      const LogCapture innerCapture;
      logInfo("nested");
      inner = innerCapture.lines();
    }
    printPlain("plain %s", "text");
    std::thread([] { logWarning("from another thread"); }).join();
    logSuccess("s");
    outer = outerCapture.lines();
  });
  EXPECT_EQ(captured.out, "");
  EXPECT_EQ(captured.err, "");
  EXPECT_THAT(inner, ElementsAre(LogLine{LogLevel::INFO, "nested"}));
  EXPECT_THAT(outer,
              ElementsAre(LogLine{LogLevel::ERROR, "e1"}, LogLine{LogLevel::INFO, "plain text"},
                          LogLine{LogLevel::SUCCESS, "s"}));
}

TEST_F(LogTest, AQuietScopeSilencesItsThreadOnlyCapturesIncluded) {
  std::vector<LogLine> silenced;
  std::vector<LogLine> beside;
  const Captured captured = capture([&] {
    const LogCapture collected;
    {
      const QuietScope quiet;
      logError("silenced");
      std::thread([&] {
        const LogCapture besideCapture;
        logError("beside");
        beside = besideCapture.lines();
      }).join();
    }
    logWarning("after");
    silenced = collected.lines();
  });
  EXPECT_EQ(captured.err, "");
  EXPECT_THAT(silenced, ElementsAre(LogLine{LogLevel::WARNING, "after"}));
  EXPECT_THAT(beside, ElementsAre(LogLine{LogLevel::ERROR, "beside"}));
}

TEST_F(LogTest, ACaptureKeepsTheLevelsAsSevereAsItsLeast) {
  const LogCapture capture(LogLevel::WARNING);
  logInfo("i");
  logSuccess("s");
  printPlain("p");
  logWarning("w");
  logError("e");
  EXPECT_THAT(capture.lines(),
              ElementsAre(LogLine{LogLevel::WARNING, "w"}, LogLine{LogLevel::ERROR, "e"}));
}

TEST_F(LogTest, TheConsoleIsBackOnceTheCaptureEnds) {
  { const LogCapture ended; }
  const Captured captured = capture([] { logWarning("w"); });
  EXPECT_EQ(captured.out, "\x1b[33m[WARNING] w\x1b[0m\n");
}

TEST(Describe, FormatsLongTextWhole) {
  const std::string longText(1000, 'x');
  EXPECT_EQ(describe("%s|%.*g", longText.c_str(), 3, 3.14159), longText + "|3.14");
}

TEST(PrintableCount, GivesTheLowThirtyTwoBitsAsSigned) {
  EXPECT_EQ(printableCount(10000), 10000);
  EXPECT_EQ(printableCount(3000000000ULL), -1294967296);
  EXPECT_EQ(printableCount((1ULL << 32) + 5), 5);
}

}  // namespace
}  // namespace ravelin
