// Outputs as an operator running as root meets them: device nodes, FIFOs,
// symlinks, the input itself, other users' files, full and read-only file
// systems, and runs ended by a signal. Cases that need root, a mount or a
// tool the machine lacks skip and say why.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "calibration/encoder.h"
#include "cli/command_line.h"
#include "cli/file_io.h"
#include "tests/calibration/sample_blob.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace ravelin {
namespace {

using testing::errorLine;
using testing::PrintTo;
using testing::ProcessResult;
using testing::readText;
using testing::TempDir;
using testing::writeText;

constexpr uid_t kNobody = 65534;

#ifdef TEST_EMULATOR
constexpr bool kUnderEmulator = true;
#else
constexpr bool kUnderEmulator = false;
#endif

testing::ProcessOptions inDirectory(const fs::path& dir) {
  testing::ProcessOptions options;
  options.workingDirectory = dir;
  return options;
}

bool canRunAsNobody() {
  return ::geteuid() == 0 && !kUnderEmulator &&
         testing::runProcess(
             {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", RAVELIN_EXE, "--help"})
                 .exitCode == kExitUsage;
}

// Every case works in a directory holding the sample blob "cal.bin", the
// example document "cal.json" and "decoded.json", what decoding the blob writes.
class Outputs : public ::testing::Test {
 protected:
  Outputs() {
    ::chmod(dir_.path().c_str(), 0777);  // for the cases run as nobody
    testing::writeBytes(dir_ / "cal.bin", testing::sampleCalibrationBlob());
    fs::copy_file(fs::path(PROJECT_SOURCE_DIR) / "examples" / "calibration.json",
                  dir_ / "cal.json");
    run({"decode", "--bin", "cal.bin", "--json", "decoded.json"});
    decoded_ = readText(dir_ / "decoded.json");
  }

  // `standardInput` names a file of the directory to redirect standard input from.
  ProcessResult run(std::vector<std::string> arguments, bool asNobody = false,
                    const std::string& standardInput = "") {
    testing::ProcessOptions options = inDirectory(dir_.path());
    if (!standardInput.empty()) options.inputPath = dir_ / standardInput;
    if (asNobody) {
      arguments.insert(arguments.begin(), {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups", RAVELIN_EXE});
      return testing::runProcess(arguments, options);
    }
    return testing::runRavelin(arguments, options);
  }

  TempDir dir_;
  std::string decoded_;
};

// What a case finds in the directory besides the fixture's files, made in
// order: 'd' a directory, 'f' a file holding "old", 'l' a symlink to
// `target`, 'h' a hard link to `target`, 'n' a null device node.
struct Entry {
  char kind;
  std::string name;
  std::string target = "";
};

// False when a device node cannot be made here (not root, or a nodev mount).
bool makeEntries(const fs::path& dir, const std::vector<Entry>& entries) {
  for (const auto& [kind, name, target] : entries) {
    if (kind == 'd') fs::create_directory(dir / name);
    if (kind == 'f') writeText(dir / name, "old");
    if (kind == 'l') fs::create_symlink(target, dir / name);
    if (kind == 'h') fs::create_hard_link(dir / target, dir / name);
    if (kind == 'n' && ::mknod((dir / name).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
      return false;
    }
  }
  return true;
}

struct WrittenOutput {
  const char* name;
  std::vector<Entry> entries;
  std::string output;
  mode_t kind;         // what must still be at the output path
  std::string holder;  // the file that must hold the document: "-" standard output, "" none
};

class WrittenOutputs : public Outputs, public ::testing::WithParamInterface<WrittenOutput> {};

TEST_P(WrittenOutputs, TakeTheDocumentAndStayWhatTheyWere) {
  const WrittenOutput& c = GetParam();
  if (!makeEntries(dir_.path(), c.entries))
    GTEST_SKIP() << "no device nodes here (needs root, a dev mount)";
  const ProcessResult result =
      run({"decode", "--bin", "cal.bin", "--json", c.output, "--force", "--quiet"});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  struct stat status {};
  ASSERT_EQ(::lstat((dir_ / c.output).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & S_IFMT, c.kind);
  if (c.holder == "-") {
    EXPECT_EQ(result.out, decoded_);
  } else if (!c.holder.empty()) {
    EXPECT_EQ(readText(dir_ / c.holder), decoded_);
  }
}

const std::string kLongestName(255, 'n');

INSTANTIATE_TEST_SUITE_P(
    Kinds, WrittenOutputs,
    ::testing::Values(
        WrittenOutput{"NullDevice", {{'n', "null"}}, "null", S_IFCHR, ""},
        WrittenOutput{
            "LinkToStandardOutput", {{'l', "stdout", "/proc/self/fd/1"}}, "stdout", S_IFLNK, "-"},
        WrittenOutput{"RelativeLinkChain",
                      {{'d', "store"},
                       {'f', "store/target.json"},
                       {'l', "store/inner", "target.json"},
                       {'l', "outer", "store/inner"}},
                      "outer",
                      S_IFLNK,
                      "store/target.json"},
        WrittenOutput{
            "LongestLegalName", {{'f', kLongestName}}, kLongestName, S_IFREG, kLongestName}),
    testing::ByCaseName());

// The reader holds the FIFO open from the start; the blob fits in its buffer.
TEST_F(Outputs, EncodeWritesIntoAFifoWithAReader) {
  ASSERT_EQ(run({"encode", "--json", "cal.json", "--bin", "plain.bin"}).exitCode, kExitSuccess);
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0644), 0);
  const int reader = ::open((dir_ / "pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const ProcessResult result = run({"encode", "--json", "cal.json", "--bin", "pipe", "--force"});
  Bytes received(65536);
  received.resize(static_cast<std::size_t>(
      std::max<ssize_t>(0, ::read(reader, received.data(), received.size()))));
  ::close(reader);

  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(received, testing::readBytes(dir_ / "plain.bin"));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir_ / "pipe")));
}

// A log that the shell appends standard output or standard error to, named as
// the output: written through that descriptor after what the log held, with
// the log lines on the other stream. No --force: it is no file to overwrite.
struct AppendedLog {
  const char* name;
  std::string output;
  int stream;  // the descriptor the log is opened on
};

class AppendedLogs : public Outputs, public ::testing::WithParamInterface<AppendedLog> {};

TEST_P(AppendedLogs, KeepWhatTheyHeldAndGainTheDocument) {
  const fs::path log = dir_ / "log.txt";
  writeText(log, "old line\n");
  testing::ProcessOptions options = inDirectory(dir_.path());
  const int appended = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (GetParam().stream == STDOUT_FILENO) {
    options.outputPath = log;
  } else {
    options.errorDescriptor = appended;
  }
  const ProcessResult result =
      testing::runRavelin({"decode", "--bin", "cal.bin", "--json", GetParam().output}, options);
  ::close(appended);

  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(readText(log), "old line\n" + decoded_);
  const std::string& logLines = GetParam().stream == STDOUT_FILENO ? result.err : result.out;
  EXPECT_THAT(logLines, ::testing::HasSubstr("Finished decoding calibration binary file"));
}

INSTANTIATE_TEST_SUITE_P(Descriptors, AppendedLogs,
                         ::testing::Values(AppendedLog{"DevStdout", "/dev/stdout", STDOUT_FILENO},
                                           AppendedLog{"ProcSelfFd", "/proc/self/fd/1",
                                                       STDOUT_FILENO},
                                           AppendedLog{"DevStderr", "/dev/stderr", STDERR_FILENO}),
                         testing::ByCaseName());

// Every path below the fixture's directory, to show that nothing was left.
std::set<fs::path> treeOf(const fs::path& dir) {
  std::set<fs::path> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    paths.insert(entry.path().lexically_relative(dir));
  }
  return paths;
}

struct FailedRun {
  const char* name;
  std::vector<std::string> arguments;
  std::string error;  // part of what standard error shows
};

class FailedRuns : public Outputs, public ::testing::WithParamInterface<FailedRun> {};

TEST_P(FailedRuns, LeaveNoDirectoryBehind) {
  writeText(dir_ / "bad.json", "{\"cameras\": [");
  writeText(dir_ / "garbage.bin", "not a blob");
  const std::set<fs::path> before = treeOf(dir_.path());
  const ProcessResult result = run(GetParam().arguments);
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, ::testing::HasSubstr(GetParam().error));
  EXPECT_EQ(treeOf(dir_.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedRuns,
    ::testing::Values(FailedRun{"EncodeOfBrokenJson",
                                {"encode", "--json", "bad.json", "--bin", "new1/new2/out.bin"},
                                "parse_error"},
                      FailedRun{"DecodeOfGarbage",
                                {"decode", "--bin", "garbage.bin", "--json", "new3/x.json"},
                                "Unrecognized binary magic in garbage.bin"},
                      FailedRun{"NameEndingInSlash",
                                {"encode", "--json", "cal.json", "--bin", "newdir/"},
                                errorLine("Failed to open file for writing: newdir/") +
                                    errorLine("Is a directory")}),
    testing::ByCaseName());

struct RefusedOutput {
  const char* name;
  std::vector<Entry> entries;
  std::vector<std::string> arguments;
  std::string error;
  std::string standardInput = "";  // the file standard input is redirected from
};

class RefusedOutputs : public Outputs, public ::testing::WithParamInterface<RefusedOutput> {};

TEST_P(RefusedOutputs, ExitThreeBeforeAnythingIsWritten) {
  makeEntries(dir_.path(), GetParam().entries);
  const std::set<std::string> before = testing::entryNames(dir_.path());
  const std::string json = readText(dir_ / "cal.json");
  const Bytes blob = testing::readBytes(dir_ / "cal.bin");

  std::vector<std::string> arguments = GetParam().arguments;
  arguments.push_back("--force");
  const ProcessResult result = run(arguments, false, GetParam().standardInput);

  EXPECT_EQ(result.exitCode, kExitPathRefused);
  EXPECT_EQ(result.err, errorLine(GetParam().error));
  EXPECT_EQ(testing::entryNames(dir_.path()), before);
  EXPECT_EQ(readText(dir_ / "cal.json"), json);
  EXPECT_EQ(testing::readBytes(dir_ / "cal.bin"), blob);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedOutputs,
    ::testing::Values(
        RefusedOutput{"DanglingSymlink",
                      {{'l', "out.json", "gone.json"}},
                      {"decode", "--bin", "cal.bin", "--json", "out.json"},
                      "Output JSON 'out.json' is a symbolic link to 'gone.json', which does not "
                      "exist. Not writing through it."},
        RefusedOutput{"InputSpeltAnotherWay",
                      {},
                      {"encode", "--json", "cal.json", "--bin", "./cal.json"},
                      "Output binary './cal.json' is the same file as Input JSON 'cal.json'. "
                      "Refusing to overwrite the input."},
        RefusedOutput{"HardLinkToTheInput",
                      {{'h', "h", "cal.json"}},
                      {"encode", "--json", "cal.json", "--bin", "h"},
                      "Output binary 'h' is the same file as Input JSON 'cal.json'. Refusing to "
                      "overwrite the input."},
        RefusedOutput{"SymlinkToTheInput",
                      {{'l', "s", "cal.bin"}},
                      {"decode", "--bin", "cal.bin", "--json", "s"},
                      "Output JSON 's' is the same file as Input binary 'cal.bin'. Refusing to "
                      "overwrite the input."},
        RefusedOutput{"StandardInputRedirectedFromIt",
                      {},
                      {"encode", "--json", "-", "--bin", "cal.json"},
                      "Output binary 'cal.json' is the same file as Input JSON '-'. Refusing to "
                      "overwrite the input.",
                      "cal.json"}),
    testing::ByCaseName());

struct Ownership {
  const char* name;
  bool asNobody;
  uid_t owner;
  mode_t mode;
  uid_t expectedOwner;
  mode_t expectedMode;
};

class ReplacedOwnership : public Outputs, public ::testing::WithParamInterface<Ownership> {};

TEST_P(ReplacedOwnership, KeepsWhatItMayAndNoSetIdBitsOtherwise) {
  const Ownership& c = GetParam();
  if (::geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
  if (c.asNobody && !canRunAsNobody()) GTEST_SKIP() << "cannot run ravelin as nobody here";
  const fs::path out = dir_ / "owned.json";
  writeText(out, "old");
  ASSERT_EQ(::chown(out.c_str(), c.owner, c.owner), 0);
  ASSERT_EQ(::chmod(out.c_str(), c.mode), 0);
  const bool hasAttribute = ::setxattr(out.c_str(), "user.origin", "line 4", 6, 0) == 0;

  const ProcessResult result =
      run({"decode", "--bin", "cal.bin", "--json", "owned.json", "--force"}, c.asNobody);

  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(readText(out), decoded_);
  struct stat status {};
  ASSERT_EQ(::stat(out.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, c.expectedOwner);
  EXPECT_EQ(status.st_gid, c.expectedOwner);
  EXPECT_EQ(status.st_mode & 07777, c.expectedMode);
  std::array<char, 16> value{};
  if (hasAttribute) {
    EXPECT_EQ(::getxattr(out.c_str(), "user.origin", value.data(), value.size()), 6);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplacedOwnership,
    ::testing::Values(Ownership{"RootKeepsAnotherUsersFile", false, kNobody, 06640, kNobody, 06640},
                      Ownership{"NobodyCannotKeepRootsSetIdBits", true, 0, 06755, kNobody, 0755}),
    testing::ByCaseName());

// The kernel refuses to follow a link that another user planted in a shared
// sticky directory; writing through the link must not get around that.
TEST_F(Outputs, ALinkPlantedInAStickyDirectoryIsNotFollowed) {
  std::ifstream setting("/proc/sys/fs/protected_symlinks");
  int protectedSymlinks = 0;
  setting >> protectedSymlinks;
  if (::geteuid() != 0 || protectedSymlinks != 1) {
    GTEST_SKIP() << "needs root and fs.protected_symlinks = 1";
  }
  fs::create_directory(dir_ / "shared");
  ::chmod((dir_ / "shared").c_str(), 01777);
  writeText(dir_ / "victim", "precious");
  fs::create_symlink("../victim", dir_ / "shared" / "out.json");
  ASSERT_EQ(::lchown((dir_ / "shared" / "out.json").c_str(), kNobody - 1, kNobody - 1), 0);

  for (const bool asNobody : {false, true}) {
    if (asNobody && !canRunAsNobody()) continue;
    const ProcessResult result =
        run({"decode", "--bin", "cal.bin", "--json", "shared/out.json", "--force"}, asNobody);
    EXPECT_NE(result.exitCode, kExitSuccess) << asNobody;
    EXPECT_EQ(readText(dir_ / "victim"), "precious") << asNobody;
  }
}

struct MountedCase {
  const char* name;
  unsigned long flags;
  const char* options;
  std::string output;
  const char* failure;
  const char* reason;
};

class FailingFileSystem : public Outputs, public ::testing::WithParamInterface<MountedCase> {};

TEST_P(FailingFileSystem, TheSystemsReasonFollowsTheFixedMessage) {
  const MountedCase& c = GetParam();
  fs::create_directory(dir_ / "m");
  if (::mount("ravelin-test", (dir_ / "m").c_str(), "tmpfs", c.flags, c.options) != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  const ProcessResult result = run({"decode", "--bin", "cal.bin", "--json", c.output});
  const std::set<std::string> left = testing::entryNames(dir_ / "m");
  ::umount2((dir_ / "m").c_str(), MNT_DETACH);

  EXPECT_EQ(result.exitCode, kExitException);
  const std::string failure = c.failure + c.output;
  EXPECT_THAT(result.err, ::testing::EndsWith(errorLine(failure) + errorLine(c.reason) +
                                              errorLine("Unhandled exception: " + failure)));
  EXPECT_TRUE(left.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingFileSystem,
    ::testing::Values(MountedCase{"Full", 0, "size=4k", "m/out.json",
                                  "Failed to write data to file: ", "No space left on device"},
                      // The directory is made, the one inside it no longer: the
                      // first goes again.
                      MountedCase{"InodesRunOut", 0, "nr_inodes=3", "m/new/inner/out.json",
                                  "Failed to write data to file: ", "No space left on device"},
                      MountedCase{"ReadOnlyBelowAMissingDirectory", MS_RDONLY, "size=4k",
                                  "m/new/out.json",
                                  "Failed to open file for writing: ", "Read-only file system"}),
    testing::ByCaseName());

// Names can be added to an append-only directory but never taken away: a
// temporary name renamed over the output, or removed, would stay for good.
TEST_F(Outputs, AnAppendOnlyDirectoryIsRefusedBeforeAnythingIsNamed) {
  const fs::path kept = dir_ / "kept";
  fs::create_directory(kept);
  writeText(kept / "out.json", "old");
  const auto chattr = [&](const char* change) {
    return fs::exists("/usr/bin/chattr") &&
           testing::runProcess({"/usr/bin/chattr", change, kept}).exitCode == 0;
  };
  if (!chattr("+a")) GTEST_SKIP() << "chattr +a does not work here (needs root and ext4 or alike)";
  const ProcessResult result =
      run({"decode", "--bin", "cal.bin", "--json", "kept/out.json", "--force"});
  const std::set<std::string> left = testing::entryNames(kept);
  ASSERT_TRUE(chattr("-a"));

  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err,
              ::testing::HasSubstr(errorLine("Failed to open file for writing: kept/out.json") +
                                   errorLine("Operation not permitted")));
  EXPECT_EQ(left, std::set<std::string>{"out.json"});
  EXPECT_EQ(readText(kept / "out.json"), "old");
}

// Each writer renames its file over the one before, possibly between the
// moment another found the output and the moment it checked its name.
TEST_F(Outputs, ConcurrentWritersOfOneOutputAllSucceed) {
  std::vector<pid_t> writers;
  for (int writer = 0; writer < 40; ++writer) {
    writers.push_back(testing::startProcess({RAVELIN_EXE, "decode", "--bin", dir_ / "cal.bin",
                                             "--json", dir_ / "decoded.json", "--force"},
                                            {}));
  }
  for (const pid_t writer : writers) {
    const int status = testing::waitForProcess(writer, std::chrono::seconds(60));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitSuccess) << status;
  }
  EXPECT_EQ(readText(dir_ / "decoded.json"), decoded_);
  EXPECT_EQ(testing::entryNames(dir_.path()),
            (std::set<std::string>{"cal.bin", "cal.json", "decoded.json"}));
}

struct LostStandardOutput {
  const char* name;
  std::vector<std::string> arguments;
  std::string lastLines;  // what standard error ends with
};

class LostStandardOutputs : public Outputs,
                            public ::testing::WithParamInterface<LostStandardOutput> {};

TEST_P(LostStandardOutputs, AreReportedOnceWithExitTen) {
  testing::ProcessOptions full = inDirectory(dir_.path());
  full.outputPath = "/dev/full";
  const ProcessResult result = testing::runRavelin(GetParam().arguments, full);
  EXPECT_EQ(result.exitCode, kExitException);
  EXPECT_THAT(result.err, ::testing::EndsWith(GetParam().lastLines));
}

const std::string kLostAtExit =
    errorLine("Failed to write to standard output") + errorLine("No space left on device");

INSTANTIATE_TEST_SUITE_P(
    Cases, LostStandardOutputs,
    ::testing::Values(
        LostStandardOutput{
            "CompareEncodings", {"compare-encodings", "--json", "cal.json"}, kLostAtExit},
        LostStandardOutput{"TestCrc", {"test-crc", "--json", "cal.json"}, kLostAtExit},
        LostStandardOutput{"Version", {"--version"}, kLostAtExit},
        // Reported where it was written, and not again at exit.
        LostStandardOutput{
            "DecodedDocument",
            {"decode", "--bin", "cal.bin", "--json", "-"},
            errorLine("Failed to write data to standard output") +
                errorLine("Unhandled exception: Failed to write data to standard output")}),
    testing::ByCaseName());

// The durability protocol as the system sees it: the file is flushed before
// any link or rename gives it the output's name, the directory after.
TEST_F(Outputs, NewAndReplacedFilesAreFlushedBeforeAndAfterTheyAreNamed) {
  if (kUnderEmulator || !fs::exists("/usr/bin/strace")) GTEST_SKIP() << "needs strace, natively";
  fs::remove(dir_ / "decoded.json");
  testing::ProcessOptions traceable = inDirectory(dir_.path());
  traceable.environment = {"ASAN_OPTIONS=detect_leaks=0"};  // the leak check fails under ptrace
  for (const char* force : {"--quiet", "--force"}) {
    const ProcessResult traced = testing::runProcess(
        {"strace", "-f", "-qq", "-o", "trace", "-e",
         "trace=fsync,fdatasync,link,linkat,rename,renameat,renameat2", RAVELIN_EXE, "decode",
         "--bin", "cal.bin", "--json", "decoded.json", force},
        traceable);
    if (traced.exitCode != kExitSuccess) GTEST_SKIP() << "strace cannot trace here: " << traced.err;
    std::string calls;
    std::ifstream trace(dir_ / "trace");
    for (std::string line; std::getline(trace, line);) {
      calls += line.find("sync(") != std::string::npos ? 'F' : 'N';
    }
    EXPECT_THAT(calls, ::testing::MatchesRegex("F+N+F")) << force;
  }
}

// Whether `pid` holds back SIGTERM, as a run does while it gives the new
// contents their name: a signal sent then would take effect after it.
bool holdsEndingSignals(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0) {
      return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    }
  }
  return false;
}

// Stops `pid` while it writes its pending output: it holds open a file in
// `dir` other than the input and `output`, the output still holds
// "previous", and no signal is held back. False if it ended first.
bool stopWhileWriting(pid_t pid, const fs::path& dir, const fs::path& input,
                      const fs::path& output) {
  const auto writing = [&] {
    std::error_code gone;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", gone)) {
      const fs::path target = fs::read_symlink(fd.path(), gone);
      if (!gone && target.parent_path() == dir && target != input && target != output) return true;
    }
    return false;
  };
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (!writing()) continue;
    ::kill(pid, SIGSTOP);
    ::waitpid(pid, &status, WUNTRACED);
    if (writing() && !holdsEndingSignals(pid) && readText(output) == "previous") return true;
    ::kill(pid, SIGCONT);
  }
  return false;
}

// About 5 MB of decoded text, long enough to be caught while it is written,
// from a blob just under the input limit.
Bytes largeCalibrationBlob() {
  json document = loadJsonFile(fs::path(PROJECT_SOURCE_DIR) / "examples" / "calibration.json");
  const json cameras = document["cameras"];
  for (int copy = 0; copy < 900; ++copy) {
    document["cameras"].insert(document["cameras"].end(), cameras.begin(), cameras.end());
  }
  return encodeCompactCalibration(document);
}

class InterruptedDecode : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedDecode, LeavesTheOldOutputAndNothingElse) {
  TempDir temp;
  const fs::path dir = fs::canonical(temp.path());
  if (GetParam() == SIGKILL) {
    const int unnamed = ::open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (unnamed < 0) GTEST_SKIP() << "no unnamed files (O_TMPFILE) on this file system";
    ::close(unnamed);
  }
  static const Bytes kBlob = largeCalibrationBlob();
  testing::writeBytes(dir / "big.bin", kBlob);

  // A run that slips past every poll (a loaded machine) is simply run again.
  pid_t pid = -1;
  for (int attempt = 0; attempt < 10 && pid < 0; ++attempt) {
    writeText(dir / "out.json", "previous");
    pid = testing::startProcess(
        {RAVELIN_EXE, "decode", "--bin", dir / "big.bin", "--json", dir / "out.json", "--force"},
        {});
    if (!stopWhileWriting(pid, dir, dir / "big.bin", dir / "out.json")) pid = -1;
  }
  ASSERT_GE(pid, 0) << "never caught writing";
  ::kill(pid, GetParam());
  ::kill(pid, SIGCONT);
  const int status = testing::waitForProcess(pid, std::chrono::seconds(60));

  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
  EXPECT_EQ(readText(dir / "out.json"), "previous");
  EXPECT_EQ(testing::entryNames(dir), (std::set<std::string>{"big.bin", "out.json"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedDecode,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           return std::string(sigabbrev_np(signal.param));
                         });

}  // namespace
}  // namespace ravelin
