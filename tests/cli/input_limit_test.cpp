// Bounds on input: blobs above kMaxBlobFileSize and JSON files above
// kMaxJsonFileSize are refused by their size, before they are read (sparse
// files give the sizes without using the disk), and so is standard input once
// it has passed them; JSON nested deeper than kMaxJsonDepth is refused while it
// is parsed.

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

#include "calibration/encoder.h"
#include "cli/command_line.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
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

// A file is refused by its size, standard input ("-", a pipe) once it has
// passed the limit.
std::string refusal(const std::string& name, std::uintmax_t limit) {
  const std::string size =
      name == "-" ? "over " + std::to_string(limit) : std::to_string(limit + 1);
  return "Input file " + name + " is " + size + " bytes; files above " + std::to_string(limit) +
         " bytes are refused";
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
  std::string oversized;  // the input made too large; "-" pipes it in
  std::uintmax_t limit;   // its limit
  const char* output;     // must not appear; empty for commands that write nothing
};

class RavelinRefusesOversizedInput : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RavelinRefusesOversizedInput, WithExitTenAndNoOutput) {
  const CommandCase& c = GetParam();
  TempDir dir;
  writeText(dir / "small.json", "{}");
  ProcessOptions options;
  options.workingDirectory = dir.path();
  if (c.oversized == "-") {
#ifdef TEST_EMULATOR
    GTEST_SKIP() << "reading the whole limit takes minutes under emulation";
#endif
    options.input = std::string(c.limit + 1, ' ');  // JSON whitespace: parsed to the end
  } else {
    makeSparseFile(dir / c.oversized, c.limit + 1);
  }

  const auto result = runRavelin(c.arguments, options);

  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, HasSubstr(refusal(c.oversized, c.limit)));
  EXPECT_THAT(result.err, HasSubstr("Unhandled exception: Input file too large: " + c.oversized));
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
                                  ""},
                      CommandCase{"EncodePipedJson",
                                  {"encode", "--json", "-", "--bin", "out.bin"},
                                  "-",
                                  kMaxJsonFileSize,
                                  "out.bin"},
                      CommandCase{"DecodePipedBlob",
                                  {"decode", "--bin", "-", "--json", "out.json"},
                                  "-",
                                  kMaxBlobFileSize,
                                  "out.json"}),
    testing::ByCaseName());

// The example calibration grown to a blob of exactly `size` bytes: cameras
// to near it, then a metadata text of the length that makes up the rest.
json calibrationOfBlobSize(std::size_t size) {
  json document = loadJsonFile(fs::path(PROJECT_SOURCE_DIR) / "examples" / "calibration.json");
  const json camera = document["cameras"][0];
  const auto blobSize = [&document] { return encodeCompactCalibration(document).size(); };
  document["metadata"]["created_by"] = "x";
  const std::size_t oneCamera = blobSize();
  document["cameras"].push_back(camera);
  const std::size_t perCamera = blobSize() - oneCamera;
  const std::size_t textRoom = 60000;  // within the 65535 bytes of one text
  document["cameras"] = json::array();
  for (std::size_t i = 0; i < (size - oneCamera - textRoom) / perCamera; ++i) {
    document["cameras"].push_back(camera);
  }
  document["metadata"]["created_by"] = std::string(1 + size - blobSize(), 'x');
  return document;
}

// decode, inspect, check and verify read no blob above the limit, so encode
// writes none: a blob of the limit is written, one byte more refused.
TEST(InputLimit, EncodeWritesABlobOfTheLimitAndRefusesOneByteMore) {
  TempDir dir;
  ProcessOptions options;
  options.workingDirectory = dir.path();
  const std::vector<std::string> encode = {"encode", "--json", "cal.json", "--bin", "out.bin"};
  json document = calibrationOfBlobSize(kMaxBlobFileSize);
  writeText(dir / "cal.json", document.dump());
  const auto atLimit = runRavelin(encode, options);
  EXPECT_EQ(atLimit.exitCode, kExitSuccess) << atLimit.err;
  EXPECT_EQ(fs::file_size(dir / "out.bin"), kMaxBlobFileSize);
  fs::remove(dir / "out.bin");

  document["metadata"]["created_by"].get_ref<std::string&>() += 'x';
  writeText(dir / "cal.json", document.dump());
  const auto overLimit = runRavelin(encode, options);
  EXPECT_EQ(overLimit.exitCode, kExitException);
  EXPECT_THAT(overLimit.err,
              ::testing::EndsWith(
                  testing::errorLine("The encoded calibration binary would be 1048577 bytes, "
                                     "more than the 1048576 bytes that ravelin reads back. "
                                     "Nothing written.") +
                  testing::errorLine("Unhandled exception: encoded blob of 1048577 bytes "
                                     "exceeds the blob limit of 1048576 bytes")));
  EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

}  // namespace
}  // namespace ravelin
