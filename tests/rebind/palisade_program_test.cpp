#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/rebind/case_names.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace palisade {
namespace {

using cases::caseName;
using cases::PrintTo;

using namespace std::chrono_literals;
using ravelin::testing::ProcessOptions;
using ravelin::testing::ProcessResult;
using ravelin::testing::readText;
using ravelin::testing::TempDir;
using ravelin::testing::writeText;
namespace fs = std::filesystem;

// The program polls at about 0 s, 2 s, 4 s... A match on the first poll finishes
// well within one interval; stopping it at 3 s shows exactly two polls.
constexpr auto kWithinFirstInterval = 1500ms;
constexpr auto kPastSecondPoll = 3000ms;
constexpr auto kSeveralIntervals = 10s;

const std::string kDriverName = "vane-core.0";
const char* const kVariables[] = {"VANE_DRIVER_NAME", "VANE_CORE_STATE_PATH",
                                  "VANE_DRIVER_BIND_PATH", "VANE_DRIVER_UNBIND_PATH"};

ProcessResult runPalisade(std::vector<std::string> environment, std::chrono::milliseconds timeout,
                          const std::vector<std::string>& arguments = {}) {
  ProcessOptions options;
  options.environment = std::move(environment);
  options.timeout = timeout;
  std::vector<std::string> argv{PALISADE_EXE};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ravelin::testing::runProcess(argv, options);
}

std::string failedReadLine(const fs::path& path, const std::string& reason) {
  return "failed to read " + path.string() + ": " + reason + "\n";
}

std::string failedWriteLine(const fs::path& path, const std::string& reason) {
  return "failed to write " + path.string() + ": " + reason + "\n";
}

// A driver's state, bind and unbind files in a fresh directory; the sysfs
// files exist and are empty, the state file is up to each test.
class DriverFiles {
 public:
  DriverFiles() {
    writeText(bind(), "");
    writeText(unbind(), "");
  }

  fs::path state() const { return dir_ / "core_state"; }
  fs::path bind() const { return dir_ / "bind"; }
  fs::path unbind() const { return dir_ / "unbind"; }

  std::vector<std::string> environment() const {
    return {std::string(kVariables[0]) + "=" + kDriverName,
            std::string(kVariables[1]) + "=" + state().string(),
            std::string(kVariables[2]) + "=" + bind().string(),
            std::string(kVariables[3]) + "=" + unbind().string()};
  }

  ProcessResult run(std::chrono::milliseconds timeout) const {
    return runPalisade(environment(), timeout);
  }

  std::string matchedLine() const {
    return state().string() + " matched CORE_DEINIT, rebinding " + kDriverName + "\n";
  }

  void expectRebound(const ProcessResult& result) const {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readText(unbind()), kDriverName);
    EXPECT_EQ(readText(bind()), kDriverName);
  }

  void expectUntouched() const {
    EXPECT_EQ(readText(unbind()), "");
    EXPECT_EQ(readText(bind()), "");
  }

 private:
  TempDir dir_;
};

struct StateCase {
  const char* name;
  std::string content;
};

// "CORE_DEINIT" padded with spaces to the 255-byte read limit, then `tail`.
std::string paddedToReadLimit(const std::string& tail) {
  const std::string word = "CORE_DEINIT";
  return word + std::string(255 - word.size(), ' ') + tail;
}

class MatchingStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(MatchingStateTest, RebindsAtTheFirstPoll) {
  const DriverFiles files;
  writeText(files.state(), GetParam().content);
  const ProcessResult result = files.run(kWithinFirstInterval);
  files.expectRebound(result);
  EXPECT_EQ(result.err, files.matchedLine());
}

INSTANTIATE_TEST_SUITE_P(
    States, MatchingStateTest,
    ::testing::Values(StateCase{"Bare", "CORE_DEINIT"}, StateCase{"LineFeed", "CORE_DEINIT\n"},
                      StateCase{"CrLf", "CORE_DEINIT\r\n"},
                      StateCase{"SpacesAndTabs", "CORE_DEINIT  \t \t"},
                      StateCase{"AllBlanksMixed", "CORE_DEINIT\t \r\n \n"},
                      StateCase{"RestBeyondReadLimitIgnored",
                                paddedToReadLimit("garbage after the first 255 bytes\n")}),
    caseName<StateCase>);

class NonMatchingStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(NonMatchingStateTest, KeepsPollingSilently) {
  const DriverFiles files;
  writeText(files.state(), GetParam().content);
  const ProcessResult result = files.run(kPastSecondPoll);
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.err, "");
  files.expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(States, NonMatchingStateTest,
                         ::testing::Values(StateCase{"LeadingSpace", " CORE_DEINIT\n"},
                                           StateCase{"LowerCase", "core_deinit\n"},
                                           StateCase{"Empty", ""},
                                           StateCase{"LastReadByteNotBlank",
                                                     paddedToReadLimit("").substr(0, 254) + "X\n"}),
                         caseName<StateCase>);

// Ways a driver file can be misconfigured; each may also change the path.
void removeFile(fs::path& path) {
  fs::remove(path);
}

void replaceWithDirectory(fs::path& path) {
  fs::remove(path);
  fs::create_directory(path);
}

void replaceWithFifo(fs::path& path) {
  fs::remove(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
}

void replaceWithDeviceFull(fs::path& path) {
  path = "/dev/full";
}

struct UnreadableCase {
  const char* name;
  void (*breakState)(fs::path& path);
  const char* reason;
};

class UnreadableStateTest : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableStateTest, ReportsEveryPollAndKeepsPolling) {
  const DriverFiles files;
  fs::path state = files.state();
  GetParam().breakState(state);
  const ProcessResult result = files.run(kPastSecondPoll);
  EXPECT_TRUE(result.timedOut);
  const std::string line = failedReadLine(state, GetParam().reason);
  EXPECT_EQ(result.err, line + line);
  files.expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    States, UnreadableStateTest,
    ::testing::Values(UnreadableCase{"Missing", removeFile, "No such file or directory"},
                      UnreadableCase{"Directory", replaceWithDirectory, "Is a directory"},
                      // No writer ever comes: the poll must neither wait nor see an empty state.
                      UnreadableCase{"Fifo", replaceWithFifo, "Is a FIFO, not a state file"}),
    caseName<UnreadableCase>);

struct StateChangeCase {
  const char* name;
  std::optional<std::string> firstState;  // none: the file is missing
};

class StateChangeTest : public ::testing::TestWithParam<StateChangeCase> {};

TEST_P(StateChangeTest, RebindsAtThePollAfterTheStateBecomesCoreDeinit) {
  const DriverFiles files;
  if (GetParam().firstState) writeText(files.state(), *GetParam().firstState);
  auto core = std::async(std::launch::async, [&files] {
    std::this_thread::sleep_for(1s);  // between the first and the second poll
    const fs::path draft = files.state().string() + ".draft";
    writeText(draft, "CORE_DEINIT\n");
    fs::rename(draft, files.state());
  });
  const ProcessResult result = files.run(kSeveralIntervals);
  core.get();
  files.expectRebound(result);
  const std::string firstPollLines =
      GetParam().firstState ? "" : failedReadLine(files.state(), "No such file or directory");
  EXPECT_EQ(result.err, firstPollLines + files.matchedLine());
}

INSTANTIATE_TEST_SUITE_P(
    States, StateChangeTest,
    ::testing::Values(StateChangeCase{"FileAppearsAfterAFailedPoll", std::nullopt},
                      StateChangeCase{"RunningBecomesDeinit", "CORE_RUNNING\n"}),
    caseName<StateChangeCase>);

TEST(PalisadeProgram, WritesTheBareNameOverExistingContentUnbindFirst) {
  const DriverFiles files;
  const std::string previous = "previous content, longer than the name\n";
  writeText(files.unbind(), previous);
  writeText(files.bind(), previous);
  writeText(files.state(), "CORE_DEINIT\n");
  const ProcessResult result = files.run(kWithinFirstInterval);
  EXPECT_EQ(result.exitCode, 0);
  const std::string overwritten = kDriverName + previous.substr(kDriverName.size());
  EXPECT_EQ(readText(files.unbind()), overwritten);
  EXPECT_EQ(readText(files.bind()), overwritten);
  // Bind comes after the 200 ms pause (less one tick of the file-time clock).
  EXPECT_GE(fs::last_write_time(files.bind()) - fs::last_write_time(files.unbind()), 180ms);
}

enum class Target : std::size_t { kBind = 2, kUnbind = 3 };  // index of its variable

struct FailedWriteCase {
  const char* name;
  Target failing;
  void (*breakTarget)(fs::path& path);
  const char* reason;
};

class FailedWriteTest : public ::testing::TestWithParam<FailedWriteCase> {};

TEST_P(FailedWriteTest, ReportsItWritesTheOtherAndExitsOne) {
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");
  const bool bindFails = GetParam().failing == Target::kBind;
  fs::path failing = bindFails ? files.bind() : files.unbind();
  GetParam().breakTarget(failing);
  const bool existed = fs::exists(failing);
  std::vector<std::string> environment = files.environment();
  const auto index = static_cast<std::size_t>(GetParam().failing);
  environment[index] = std::string(kVariables[index]) + "=" + failing.string();
  const ProcessResult result = runPalisade(environment, kWithinFirstInterval);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, files.matchedLine() + failedWriteLine(failing, GetParam().reason));
  EXPECT_EQ(readText(bindFails ? files.unbind() : files.bind()), kDriverName);
  EXPECT_EQ(fs::exists(failing), existed);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FailedWriteTest,
    ::testing::Values(
        FailedWriteCase{"BindMissing", Target::kBind, removeFile, "No such file or directory"},
        FailedWriteCase{"UnbindMissing", Target::kUnbind, removeFile, "No such file or directory"},
        FailedWriteCase{"BindWriteFails", Target::kBind, replaceWithDeviceFull,
                        "No space left on device"},
        // Without a reader, waiting for one would hang the rebind half done.
        FailedWriteCase{"BindFifoWithoutReader", Target::kBind, replaceWithFifo,
                        "No such device or address"}),
    caseName<FailedWriteCase>);

// Some file systems report a failed write only when the file is closed: a
// preloaded close() does so for the bind file.
TEST(PalisadeProgram, ReportsABindFileThatFailsWhenClosed) {
#ifdef TEST_EMULATOR
  GTEST_SKIP() << "the preloaded close() is built for the host, not for the emulated program";
#endif
#ifdef PALISADE_LOADS_NOTHING
  GTEST_SKIP() << "a fully static palisade loads no preloaded library";
#endif
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");
  std::vector<std::string> environment = files.environment();
  environment.insert(environment.end(),
                     {"LD_PRELOAD=" CLOSE_FAILURE_SHIM, "ASAN_OPTIONS=verify_asan_link_order=0",
                      "PALISADE_TEST_FAILING_CLOSE=" + files.bind().string()});
  const ProcessResult result = runPalisade(environment, kWithinFirstInterval);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, files.matchedLine() + failedWriteLine(files.bind(), "Input/output error"));
  EXPECT_EQ(readText(files.unbind()), kDriverName);
}

// Its lines cannot be written, which must not stop the rebind.
TEST(PalisadeProgram, RebindsWhenStandardErrorIsAPipeWithoutReader) {
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");
  std::array<int, 2> pipe{};
  ASSERT_EQ(::pipe2(pipe.data(), O_CLOEXEC), 0);
  ::close(pipe[0]);
  ProcessOptions options;
  options.environment = files.environment();
  options.timeout = kWithinFirstInterval;
  options.errorDescriptor = pipe[1];
  const ProcessResult result = ravelin::testing::runProcess({PALISADE_EXE}, options);
  ::close(pipe[1]);
  files.expectRebound(result);
}

bool waitUntilNotEmpty(const fs::path& path, std::chrono::steady_clock::time_point deadline) {
  std::error_code error;
  while (fs::file_size(path, error) == 0 || error) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

struct SignalCase {
  const char* name;
  int signal;
};

class HeldSignalTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(HeldSignalTest, SentDuringThePauseItEndsTheProgramOnlyAfterTheBind) {
  rlimit core{};
  ::getrlimit(RLIMIT_CORE, &core);
  core.rlim_cur = 0;  // SIGQUIT would leave a core file
  ::setrlimit(RLIMIT_CORE, &core);
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");
  const pid_t pid = ravelin::testing::startProcess({PALISADE_EXE}, files.environment());
  ASSERT_GT(pid, 0);
  const bool unbound =
      waitUntilNotEmpty(files.unbind(), std::chrono::steady_clock::now() + kWithinFirstInterval);
  if (unbound) ::kill(pid, GetParam().signal);  // the bind is 200 ms away
  const int status = ravelin::testing::waitForProcess(pid, kWithinFirstInterval);
  ASSERT_TRUE(unbound);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam().signal) << "status " << status;
  EXPECT_EQ(readText(files.bind()), kDriverName);
}

INSTANTIATE_TEST_SUITE_P(Signals, HeldSignalTest,
                         ::testing::Values(SignalCase{"Term", SIGTERM}, SignalCase{"Int", SIGINT},
                                           SignalCase{"Hup", SIGHUP}, SignalCase{"Quit", SIGQUIT},
                                           SignalCase{"Usr1", SIGUSR1}, SignalCase{"Usr2", SIGUSR2},
                                           SignalCase{"Alrm", SIGALRM}),
                         caseName<SignalCase>);

std::string notSetLine(const std::string& variable) {
  return "palisade: environment variable " + variable + " is not set\n";
}

// Which variable is missing, and whether it is set to "" rather than left out.
class MissingVariableTest : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {};

TEST_P(MissingVariableTest, ExitsTwoBeforePolling) {
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");  // a poll would rebind at once
  const auto [index, empty] = GetParam();
  std::vector<std::string> environment = files.environment();
  const std::string variable = kVariables[index];
  if (empty) {
    environment[index] = variable + "=";
  } else {
    environment.erase(environment.begin() + static_cast<std::ptrdiff_t>(index));
  }
  const ProcessResult result = runPalisade(environment, kWithinFirstInterval);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, notSetLine(variable));
  files.expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Variables, MissingVariableTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, 4), ::testing::Bool()),
                         [](const auto& tested) {
                           return std::string(kVariables[std::get<0>(tested.param)]) +
                                  (std::get<1>(tested.param) ? "_Empty" : "_Unset");
                         });

TEST(PalisadeProgram, NamesEveryMissingVariable) {
  const ProcessResult result = runPalisade({}, kWithinFirstInterval);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, notSetLine(kVariables[0]) + notSetLine(kVariables[1]) +
                            notSetLine(kVariables[2]) + notSetLine(kVariables[3]));
}

// Without its variables, and with a state that a poll would rebind at once.
TEST(PalisadeProgram, VersionWordsPrintTheVersionWithoutPolling) {
  const DriverFiles files;
  writeText(files.state(), "CORE_DEINIT\n");
  for (const char* word : {"--version", "-V"}) {
    for (const auto& environment : {std::vector<std::string>{}, files.environment()}) {
      SCOPED_TRACE(word);
      const ProcessResult result = runPalisade(environment, kWithinFirstInterval, {word, "stray"});
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(result.out, "palisade " PALISADE_VERSION "\n");
      EXPECT_EQ(result.err, "");
    }
  }
  files.expectUntouched();
}

TEST(PalisadeProgram, AVersionThatCannotBeWrittenExitsOne) {
  ProcessOptions full;
  full.environment = std::vector<std::string>{};
  full.outputPath = "/dev/full";
  const ProcessResult result = ravelin::testing::runProcess({PALISADE_EXE, "--version"}, full);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "Failed to write to standard output: No space left on device\n");
}

}  // namespace
}  // namespace palisade
