// "-" as an input is standard input, read once even where the verification
// needs the source again.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

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

}  // namespace
}  // namespace ravelin
