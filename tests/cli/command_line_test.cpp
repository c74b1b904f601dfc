#include "cli/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/log.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::runRavelin;
using testing::TempDir;
using testing::writeText;

// The usage text as users see it, written out independently of the program.
const std::string kExpectedUsage = R"(Usage:
  ravelin <command> [options]

Commands:
  decode            --bin <cal.bin> --json <cal.json>
  encode            --json <cal.json> --bin <cal.bin>  [--verify] [--force]
  verify            --json <cal.json> --bin <cal.bin>
  compare-encodings --json <cal.json>
  test-crc          --json <cal.json>
  check             [--json <cal.json>] [--bin <cal.bin>]  (one or both)
  inspect           --bin <cal.bin> [--json <listing.json>] [--force]
  diff              --old <path> --new <path>  [--json <report>] [--force]

Options:
  --json <path>     JSON file (encode/decode/verify/compare-encodings/test-crc)
                    (check: the document to judge; inspect: the listing's JSON)
                    (diff: the report's JSON)
  --bin <path>      Binary file (encode/decode/verify)
                    (check and inspect: the blob to read)
  --verify          Do a round-trip verification when encoding
  --force           Overwrite output file if it exists
  --quiet           Print no log line; the exit code tells the outcome
  --old <path>      Older calibration or device config, JSON or blob (diff)
  --new <path>      Newer one of the same kind, JSON or blob (diff)
  --tolerance-px <px>  Pixel tolerance of the projections (diff)
  --help, -h        Show this help

Examples:
  ravelin decode --bin cal.bin --json cal.json
  ravelin encode --json cal.json --bin cal.bin --force
  ravelin verify --json cal.json --bin cal.bin
  ravelin check --json cal.json --bin cal.bin
  ravelin inspect --bin cal.bin --quiet
  ravelin diff --old factory.bin --new field.bin
)";

std::optional<ParsedArguments> parse(std::vector<std::string> words) {
  words.insert(words.begin(), "ravelin");
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  return parseArguments(static_cast<int>(argv.size()), argv.data());
}

struct ParseCase {
  const char* name;
  std::vector<std::string> words;
  bool valid;
  std::string command;
  std::vector<std::pair<std::string, std::string>> options;
  bool verify;
  bool force;
};

class ParseArgumentsTest : public ::testing::TestWithParam<ParseCase> {
 protected:
  void TearDown() override { quietMode = false; }
};

TEST_P(ParseArgumentsTest, ProducesTheExpectedRecord) {
  const ParseCase& c = GetParam();
  const auto parsed = parse(c.words);
  ASSERT_EQ(parsed.has_value(), c.valid);
  if (!parsed) return;
  EXPECT_EQ(parsed->command, c.command);
  EXPECT_EQ(parsed->options.size(), c.options.size());
  for (const auto& [key, value] : c.options) {
    ASSERT_TRUE(parsed->options.contains(key)) << key;
    EXPECT_EQ(parsed->options.at(key), value) << key;
  }
  EXPECT_EQ(parsed->verify, c.verify);
  EXPECT_EQ(parsed->force, c.force);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseArgumentsTest,
    ::testing::Values(
        ParseCase{"NoCommand", {}, false, "", {}, false, false},
        ParseCase{"HelpWord", {"help", "anything", "at all"}, true, "help", {}, false, false},
        ParseCase{"DashDashHelp", {"--help"}, true, "help", {}, false, false},
        ParseCase{"DashHelp", {"-help"}, true, "help", {}, false, false},
        ParseCase{"DashH", {"-h"}, true, "help", {}, false, false},
        ParseCase{"CommandAlone", {"decode"}, true, "decode", {}, false, false},
        ParseCase{"DecodeVerifyAlias",
                  {"decode-verify", "--bin", "a.bin", "--json", "a.json"},
                  true,
                  "decode",
                  {{"--bin", "a.bin"}, {"--json", "a.json"}},
                  false,
                  false},
        ParseCase{"EncodeVerifyAlias",
                  {"encode-verify", "--json", "a.json", "--bin", "a.bin"},
                  true,
                  "encode",
                  {{"--json", "a.json"}, {"--bin", "a.bin"}},
                  true,
                  false},
        ParseCase{"FlagsAnywhereAfterTheCommand",
                  {"encode", "--force", "--json", "a.json", "--verify", "--bin", "a.bin"},
                  true,
                  "encode",
                  {{"--json", "a.json"}, {"--bin", "a.bin"}},
                  true,
                  true},
        ParseCase{"HelpAfterTheCommandStillParsesTheRest",
                  {"decode", "--help", "--bin", "x"},
                  true,
                  "help",
                  {{"--bin", "x"}},
                  false,
                  false},
        ParseCase{"ValueTakenVerbatimEvenWhenItLooksLikeAFlag",
                  {"encode", "--json", "--force"},
                  true,
                  "encode",
                  {{"--json", "--force"}},
                  false,
                  false},
        ParseCase{"RepeatedOptionKeepsTheLastValue",
                  {"decode", "--bin", "first", "--bin", "second"},
                  true,
                  "decode",
                  {{"--bin", "second"}},
                  false,
                  false},
        ParseCase{"UnknownOptionIsStored",
                  {"test-crc", "--colour", "blue"},
                  true,
                  "test-crc",
                  {{"--colour", "blue"}},
                  false,
                  false},
        ParseCase{"DashAsAValue",
                  {"decode", "--bin", "a.bin", "--json", "-"},
                  true,
                  "decode",
                  {{"--bin", "a.bin"}, {"--json", "-"}},
                  false,
                  false},
        ParseCase{"QuietAsTheFirstWordIsACommand", {"--quiet"}, true, "--quiet", {}, false, false},
        ParseCase{
            "OptionWithoutValue", {"decode", "--bin", "a", "--json"}, false, "", {}, false, false},
        ParseCase{"StrayWord", {"decode", "stray"}, false, "", {}, false, false},
        ParseCase{"DashHelpAfterTheCommand", {"decode", "-help"}, false, "", {}, false, false},
        ParseCase{"CaseMatters", {"decode", "--Force"}, false, "", {}, false, false}),
    testing::ByCaseName());

TEST(ParseArguments, QuietAfterTheCommandSetsQuietMode) {
  quietMode = false;
  ASSERT_TRUE(parse({"decode", "--quiet"}).has_value());
  EXPECT_TRUE(quietMode);
  quietMode = false;
}

struct ProgramCase {
  const char* name;
  std::vector<std::string> arguments;
  int exitCode;
  bool usage;
  std::string err;
};

class RavelinProgramTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(RavelinProgramTest, ExitCodeAndConsoleOutput) {
  const ProgramCase& c = GetParam();
  const auto result = runRavelin(c.arguments);
  EXPECT_EQ(result.exitCode, c.exitCode);
  EXPECT_EQ(result.out, c.usage ? kExpectedUsage : "");
  EXPECT_EQ(result.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RavelinProgramTest,
    ::testing::Values(
        ProgramCase{"NoArguments", {}, kExitUsage, true, ""},
        ProgramCase{"Help", {"help"}, kExitUsage, true, ""},
        ProgramCase{"DashH", {"-h"}, kExitUsage, true, ""},
        ProgramCase{"HelpAfterCommand", {"decode", "--bin", "x", "--help"}, kExitUsage, true, ""},
        ProgramCase{"MalformedLine", {"decode", "--json"}, kExitUsage, true, ""},
        ProgramCase{"StrayWord", {"encode", "cal.json"}, kExitUsage, true, ""},
        ProgramCase{"QuietFirstIsAnUnknownCommand",
                    {"--quiet"},
                    kExitUsage,
                    true,
                    errorLine("Unrecognized command '--quiet'")},
        // Only the exact version words, and only as the first word, print the version.
        ProgramCase{
            "LowerCaseDashV", {"-v"}, kExitUsage, true, errorLine("Unrecognized command '-v'")},
        ProgramCase{"VersionAfterTheCommandIsAnOptionWithoutValue",
                    {"decode", "--version"},
                    kExitUsage,
                    true,
                    ""},
        ProgramCase{"UnknownCommand",
                    {"frobnicate"},
                    kExitUsage,
                    true,
                    errorLine("Unrecognized command 'frobnicate'")},
        ProgramCase{"DecodeMissingJson",
                    {"decode", "--bin", "x"},
                    kExitUsage,
                    true,
                    errorLine("decode requires --bin <cal.bin> and --json <cal.json>")},
        ProgramCase{"EncodeMissingBin",
                    {"encode", "--json", "x"},
                    kExitUsage,
                    true,
                    errorLine("encode requires --json <cal.json> and --bin <cal.bin>")},
        ProgramCase{"VerifyMissingBoth",
                    {"verify"},
                    kExitUsage,
                    true,
                    errorLine("verify requires --json <file> and --bin <file>")},
        ProgramCase{"CompareEncodingsMissingJson",
                    {"compare-encodings", "--bin", "x"},
                    kExitUsage,
                    true,
                    errorLine("compare-encodings requires --json <file>")},
        ProgramCase{"TestCrcMissingJson",
                    {"test-crc"},
                    kExitUsage,
                    true,
                    errorLine("test-crc requires --json <file>")},
        ProgramCase{
            "QuietSilencesTheMissingOptionMessage", {"test-crc", "--quiet"}, kExitUsage, true, ""},
        ProgramCase{"DecodeInputMissing",
                    {"decode", "--bin", "absent.bin", "--json", "o.json"},
                    kExitPathRefused,
                    false,
                    errorLine("Input binary 'absent.bin' does not exist.")},
        ProgramCase{"EncodeInputMissing",
                    {"encode", "--json", "absent.json", "--bin", "o.bin"},
                    kExitPathRefused,
                    false,
                    errorLine("Input JSON 'absent.json' does not exist.")},
        ProgramCase{"VerifyJsonMissing",
                    {"verify", "--json", "absent.json", "--bin", "x.bin"},
                    kExitPathRefused,
                    false,
                    errorLine("JSON 'absent.json' does not exist.")},
        ProgramCase{"CompareEncodingsInputMissing",
                    {"compare-encodings", "--json", "absent"},
                    kExitPathRefused,
                    false,
                    errorLine("JSON 'absent' does not exist.")},
        ProgramCase{"TestCrcInputMissing",
                    {"test-crc", "--json", "absent"},
                    kExitPathRefused,
                    false,
                    errorLine("JSON 'absent' does not exist.")},
        ProgramCase{"VerifyBothInputsFromStandardInput",
                    {"verify", "--json", "-", "--bin", "-"},
                    kExitUsage,
                    true,
                    errorLine("verify cannot read both --json and --bin from standard input "
                              "('-')")},
        ProgramCase{"CheckBothInputsFromStandardInput",
                    {"check", "--bin", "-", "--json", "-"},
                    kExitUsage,
                    true,
                    errorLine("check cannot read both --json and --bin from standard input "
                              "('-')")},
        ProgramCase{"AFileNamedDashIsReachedAsDotSlashDash",
                    {"decode", "--bin", "./-", "--json", "o.json"},
                    kExitPathRefused,
                    false,
                    errorLine("Input binary './-' does not exist.")},
        ProgramCase{"QuietSilencesThePathCheck",
                    {"decode", "--quiet", "--bin", "absent.bin", "--json", "o.json"},
                    kExitPathRefused,
                    false,
                    ""}),
    testing::ByCaseName());

struct VersionCase {
  const char* name;
  std::vector<std::string> arguments;
};

class VersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTest, PrintsTheProjectVersionAndExitsZero) {
  const auto result = runRavelin(GetParam().arguments);
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, "ravelin " RAVELIN_VERSION "\n");
  EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Words, VersionTest,
                         ::testing::Values(VersionCase{"DashDashVersion", {"--version"}},
                                           VersionCase{"Version", {"version"}},
                                           VersionCase{"DashCapitalV", {"-V", "--bin", "stray"}}),
                         testing::ByCaseName());

struct ColourCase {
  const char* name;
  std::vector<std::string> environment;
  bool coloured;
};

class NoColorTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(NoColorTest, LogLinesCarryColoursUnlessNoColorIsSetAndNotEmpty) {
  const ColourCase& c = GetParam();
  ProcessOptions options;
  options.environment = c.environment;
  const auto result = runRavelin({"frobnicate"}, options);
  const std::string message = "Unrecognized command 'frobnicate'";
  EXPECT_EQ(result.err, c.coloured ? errorLine(message) : "[ERROR] " + message + "\n");
  EXPECT_EQ(result.out, kExpectedUsage);
}

INSTANTIATE_TEST_SUITE_P(Environments, NoColorTest,
                         ::testing::Values(ColourCase{"Unset", {}, true},
                                           ColourCase{"Empty", {"NO_COLOR="}, true},
                                           ColourCase{"Set", {"NO_COLOR=1"}, false},
                                           ColourCase{"SetToZero", {"NO_COLOR=0"}, false}),
                         testing::ByCaseName());

TEST(RavelinProgram, VerifyChecksTheBinaryAfterTheJson) {
  TempDir dir;
  writeText(dir / "cal.json", "{}");
  ProcessOptions options;
  options.workingDirectory = dir.path();
  const auto result = runRavelin({"verify", "--json", "cal.json", "--bin", "absent.bin"}, options);
  EXPECT_EQ(result.exitCode, kExitPathRefused);
  EXPECT_EQ(result.err, errorLine("Binary 'absent.bin' does not exist."));
}

TEST(RavelinProgram, AnExistingOutputIsRefusedWithoutForce) {
  TempDir dir;
  writeText(dir / "cal.json", "{}");
  writeText(dir / "cal.bin", "old");
  ProcessOptions options;
  options.workingDirectory = dir.path();
  const auto result = runRavelin({"encode", "--json", "cal.json", "--bin", "cal.bin"}, options);
  EXPECT_EQ(result.exitCode, kExitPathRefused);
  EXPECT_EQ(result.err,
            errorLine("Output binary 'cal.bin' already exists. Use --force to overwrite."));
  EXPECT_EQ(testing::readText(dir / "cal.bin"), "old");
}

TEST(RavelinProgram, AFileSystemErrorEndsInTheLastResortHandler) {
  const std::string tooLong(300, 'a');
  const auto result = runRavelin({"test-crc", "--json", tooLong});
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, ::testing::StartsWith("\x1b[31m[ERROR] Unhandled exception: "));
  EXPECT_THAT(result.err, HasSubstr("File name too long"));
}

}  // namespace
}  // namespace ravelin
