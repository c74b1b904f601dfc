// "-" as an input is standard input, read once even where the verification
// needs the source again; as the blob output it refuses a terminal.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::errorLine;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::readText;
using testing::runRavelin;
using testing::successLine;

const std::string kExample = PROJECT_SOURCE_DIR "/examples/calibration.json";

struct PipedCase {
  const char* name;
  std::vector<std::string> arguments;  // run in a fresh directory, the example piped in
  std::string expected;                // a line of the output
};

class PipedInput : public ::testing::TestWithParam<PipedCase> {};

TEST_P(PipedInput, IsReadOnceAndTheCommandSucceeds) {
  testing::TempDir dir;
  ProcessOptions piped;
  piped.workingDirectory = dir.path();
  piped.input = readText(kExample);

  const auto result = runRavelin(GetParam().arguments, piped);

  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, ::testing::HasSubstr(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    StandardInput, PipedInput,
    ::testing::Values(PipedCase{"Verify",
                                {"verify", "--json", "-", "--bin",
                                 PROJECT_SOURCE_DIR "/tests/golden/calibration.bin"},
                                successLine("Decoded and source JSON match")},
                      // A pipe read again would be empty by now.
                      PipedCase{"EncodeVerifiesTheSourceAsRead",
                                {"encode", "--json", "/dev/stdin", "--bin", "out.bin", "--verify"},
                                successLine("Decoded and source JSON match")},
                      // A stream has no size to ask for: its bytes are counted.
                      PipedCase{
                          "CompareEncodingsCountsTheStream",
                          {"compare-encodings", "--json", "-"},
                          "[INFO] - " + std::to_string(readText(kExample).size()) + " bytes"}),
    testing::ByCaseName());

TEST(StandardOutput, ABlobIsNotWrittenToATerminal) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
  ProcessOptions toTerminal;
  toTerminal.outputPath = ::ptsname(terminal);
  // Held open here too, so that whatever is written stays to be read.
  const int farEnd = ::open(toTerminal.outputPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);

  const auto result = runRavelin({"encode", "--json", kExample, "--bin", "-"}, toTerminal);

  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_EQ(result.err, errorLine("Binary data not written to a terminal. Redirect standard "
                                  "output, or name a file with --bin.") +
                            errorLine("Unhandled exception: standard output is a terminal"));
  std::array<char, 64> written{};
  ::fcntl(terminal, F_SETFL, O_NONBLOCK);
  EXPECT_EQ(::read(terminal, written.data(), written.size()), -1) << written.data();
  ::close(farEnd);
  ::close(terminal);
}

}  // namespace
}  // namespace ravelin
