// Bounds on input: blobs above kMaxBlobFileSize and JSON files above
// kMaxJsonFileSize are refused by their size, before they are read (sparse
// files give the sizes without using the disk), and JSON nested deeper than
// kMaxJsonDepth is refused while it is parsed.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "tests/support/case_name.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessOptions;
using testing::runRavelin;
using ::testing::StrEq;
using testing::TempDir;
using ::testing::ThrowsMessage;
using testing::writeText;

void makeSparseFile(const fs::path& path, std::uintmax_t size) {
  writeText(path, "");
  fs::resize_file(path, size);
}

struct LibraryReader {
  const char* name;
  std::function<void(const fs::path&)> read;
  std::uintmax_t limit;
};

std::string refusal(const std::string& name, std::uintmax_t limit) {
  return "Input file " + name + " is " + std::to_string(limit + 1) + " bytes; files above " +
         std::to_string(limit) + " bytes are refused";
}

class LibraryReaders : public ::testing::TestWithParam<LibraryReader> {};

TEST_P(LibraryReaders, RefuseAFileOneByteOverTheLimitByItsSize) {
  TempDir dir;
  const fs::path big = dir / "big.input";
  makeSparseFile(big, GetParam().limit + 1);

  ::testing::internal::CaptureStderr();
  EXPECT_THAT([&] { GetParam().read(big); },
              ThrowsMessage<std::runtime_error>(StrEq("Input file too large: " + big.string())));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              HasSubstr(refusal(big.string(), GetParam().limit)));
}

INSTANTIATE_TEST_SUITE_P(
    InputLimit, LibraryReaders,
    ::testing::Values(LibraryReader{"readFile", [](const fs::path& p) { readFile(p); },
                                    kMaxBlobFileSize},
                      LibraryReader{"loadJsonFile", [](const fs::path& p) { loadJsonFile(p); },
                                    kMaxJsonFileSize}),
    testing::ByCaseName());

TEST(InputLimit, AFileOfExactlyTheLimitIsParsedNotRefused) {
  TempDir dir;
  const fs::path atLimit = dir / "limit.json";
  makeSparseFile(atLimit, kMaxJsonFileSize);
  // The parser stops at the first zero byte, so the size check is all that
  // could refuse this file without reading it.
  EXPECT_THROW(loadJsonFile(atLimit), json::parse_error);
}

// `depth` containers around the number 0.
std::string nested(const std::string& open, const std::string& close, int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += "0";
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

struct NestingCase {
  const char* name;
  std::string open;
  std::string close;
};

class JsonNesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(JsonNesting, IsParsedUpToTheLimitAndRefusedOneLevelBeyond) {
  const NestingCase& c = GetParam();
  EXPECT_NO_THROW(parseJsonDocument(nested(c.open, c.close, kMaxJsonDepth)));

  ::testing::internal::CaptureStderr();
  EXPECT_THAT([&] { parseJsonDocument(nested(c.open, c.close, kMaxJsonDepth + 1)); },
              ThrowsMessage<std::runtime_error>(StrEq("JSON nesting too deep")));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              HasSubstr("JSON input nests deeper than 512 levels"));
}

INSTANTIATE_TEST_SUITE_P(
    InputLimit, JsonNesting,
    ::testing::Values(NestingCase{"Arrays", "[", "]"}, NestingCase{"Objects", "{\"a\":", "}"},
                      NestingCase{"ArraysWithComments", "[ // level\n", "/* end */]"}),
    testing::ByCaseName());

TEST(InputLimit, LoadJsonFileRefusesDeepNestingLikeTheTextParser) {
  TempDir dir;
  writeText(dir / "deep.json", nested("[", "]", kMaxJsonDepth + 1));
  ::testing::internal::CaptureStderr();
  EXPECT_THAT([&] { loadJsonFile(dir / "deep.json"); },
              ThrowsMessage<std::runtime_error>(StrEq("JSON nesting too deep")));
  ::testing::internal::GetCapturedStderr();
}

// Deep enough to overflow the stack of any writer that recursed per level.
TEST(InputLimit, RavelinRefusesHostileNestingWithExitTen) {
  TempDir dir;
  writeText(dir / "deep.json", "{\"cameras\": [{\"width\": " + nested("[", "]", 200000) + "}]}");
  ProcessOptions options;
  options.workingDirectory = dir.path();

  const auto result = runRavelin({"encode", "--json", "deep.json", "--bin", "out.bin"}, options);

  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, HasSubstr("Unhandled exception: JSON nesting too deep"));
  EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

// Inputs that claim no size (a character device, a pipe) are counted as they
// are read.
TEST(InputLimit, EndlessInputsAreRefusedOnceTheyPassTheLimit) {
#ifdef TEST_EMULATOR
  GTEST_SKIP() << "reading the whole limit takes minutes under emulation";
#endif
  TempDir dir;
  const fs::path pipe = dir / "endless";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  std::thread feeder([&] {
    sigset_t pipeSignal;  // held, so that a write without a reader fails instead
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    const int fd = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
    const std::string chunk(64 * 1024, 'x');
    while (::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    ::close(fd);
  });
  ProcessOptions patient;  // the whole limit is read, slowly on a loaded machine
  patient.timeout = std::chrono::minutes(5);
  for (const fs::path& input : {fs::path("/dev/zero"), pipe}) {
    const auto result = runRavelin({"decode", "--bin", input, "--json", dir / "o.json"}, patient);
    EXPECT_EQ(result.exitCode, kExitException) << input << (result.timedOut ? " timed out" : "");
    EXPECT_THAT(result.err, HasSubstr("Input file " + input.string() + " is over " +
                                      std::to_string(kMaxBlobFileSize) + " bytes"));
  }
  ::close(::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));  // frees a feeder still waiting
  feeder.join();
  EXPECT_FALSE(fs::exists(dir / "o.json"));
}

struct CommandCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* oversized;  // the input made too large
  std::uintmax_t limit;   // its limit
  const char* output;     // must not appear; empty for commands that write nothing
};

class RavelinRefusesOversizedInput : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RavelinRefusesOversizedInput, WithExitTenAndNoOutput) {
  const CommandCase& c = GetParam();
  TempDir dir;
  writeText(dir / "small.json", "{}");
  makeSparseFile(dir / c.oversized, c.limit + 1);
  ProcessOptions options;
  options.workingDirectory = dir.path();

  const auto result = runRavelin(c.arguments, options);

  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, HasSubstr(refusal(c.oversized, c.limit)));
  EXPECT_THAT(result.err,
              HasSubstr(std::string("Unhandled exception: Input file too large: ") + c.oversized));
  if (*c.output != '\0') {
    EXPECT_FALSE(fs::exists(dir / c.output));
  }
}

INSTANTIATE_TEST_SUITE_P(
    InputLimit, RavelinRefusesOversizedInput,
    ::testing::Values(CommandCase{"EncodeJson",
                                  {"encode", "--json", "big.json", "--bin", "out.bin"},
                                  "big.json",
                                  kMaxJsonFileSize,
                                  "out.bin"},
                      CommandCase{"DecodeBlob",
                                  {"decode", "--bin", "big.bin", "--json", "out.json"},
                                  "big.bin",
                                  kMaxBlobFileSize,
                                  "out.json"},
                      CommandCase{"VerifyBlob",
                                  {"verify", "--json", "small.json", "--bin", "big.bin"},
                                  "big.bin",
                                  kMaxBlobFileSize,
                                  ""}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
