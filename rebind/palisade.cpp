#include "rebind/palisade.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace palisade {

namespace {

constexpr std::size_t kReadLimit = 255;
constexpr timespec kPollInterval{2, 0};
constexpr useconds_t kUnbindToBindPauseMicroseconds = 200000;

// Without blocking: a FIFO or a device with nothing to say fails at once
// instead of stalling the program; sysfs and regular files ignore the flag.
// Without a controlling terminal: a service has none and must not gain one.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

constexpr const char* kFifoReason = "Is a FIFO, not a state file";

// Returns the variable's value, or null after reporting it when unset or empty.
const char* requireVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] != '\0') return value;
  std::fprintf(stderr, "palisade: environment variable %s is not set\n", name);
  return nullptr;
}

bool isStrippedBlank(char character) {
  return character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

void reportFailedRead(const char* path, const char* reason) {
  std::fprintf(stderr, "failed to read %s: %s\n", path, reason);
}

// Reads the state text into the buffer, terminated after the bytes read.
// Returns why it could not, or null.
const char* readStateText(int fd, std::array<char, kReadLimit + 1>& buffer) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::strerror(errno);
  // A FIFO is a misconfigured path, not a state: reading one would take its
  // writer's data, or see an empty text while there is no writer.
  if (S_ISFIFO(status.st_mode)) return kFifoReason;
  const ssize_t count = ::read(fd, buffer.data(), kReadLimit);
  if (count < 0) return std::strerror(errno);
  buffer[static_cast<std::size_t>(count)] = '\0';
  return nullptr;
}

std::string shortWriteReason(ssize_t written, std::size_t wanted) {
  return "Only " + std::to_string(written) + " of " + std::to_string(wanted) + " bytes written";
}

// Writes the driver name to one of its sysfs files; true when it went through.
bool writeDriverName(const char* path, const char* driverName) {
  const std::optional<std::string> failure = writeString(path, driverName);
  if (failure) std::fprintf(stderr, "failed to write %s: %s\n", path, failure->c_str());
  return !failure;
}

// Holds back every signal that can be held (all but SIGKILL and SIGSTOP)
// while it lives: a stop, a timer or a user's signal may not end the program
// between the unbind and the bind. Restoring the previous mask lets a pending
// one take its default action.
class SignalsHeldBack {
 public:
  SignalsHeldBack() {
    sigset_t held;
    sigfillset(&held);
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeldBack() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeldBack(const SignalsHeldBack&) = delete;
  SignalsHeldBack& operator=(const SignalsHeldBack&) = delete;

 private:
  sigset_t previous_{};
};

// The only output on standard output, flushed here so that a failure is seen.
int printVersion() {
  if (std::fputs("palisade " PALISADE_VERSION "\n", stdout) >= 0 && std::fflush(stdout) == 0) {
    return kExitDone;
  }
  std::fprintf(stderr, "Failed to write to standard output: %s\n", std::strerror(errno));
  return kExitStandardOutputFailed;
}

void sleepPollInterval() {
  // An interrupted sleep is not resumed: the next poll simply comes early.
  ::nanosleep(&kPollInterval, nullptr);
}

}  // namespace

std::optional<WatchdogSettings> readSettingsFromEnvironment() {
  // Every variable is looked up so that one run names all that are missing.
  const WatchdogSettings settings{
      .driverName = requireVariable("VANE_DRIVER_NAME"),
      .coreStatePath = requireVariable("VANE_CORE_STATE_PATH"),
      .bindPath = requireVariable("VANE_DRIVER_BIND_PATH"),
      .unbindPath = requireVariable("VANE_DRIVER_UNBIND_PATH"),
  };
  if (settings.driverName == nullptr || settings.coreStatePath == nullptr ||
      settings.bindPath == nullptr || settings.unbindPath == nullptr) {
    return std::nullopt;
  }
  return settings;
}

std::string_view stripTrailingBlanks(std::string_view text) {
  while (!text.empty() && isStrippedBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool isCoreDeinit(std::string_view stateText) {
  return stripTrailingBlanks(stateText) == kCoreDeinitWord;
}

bool pollCoreState(const char* coreStatePath) {
  const int fd = ::open(coreStatePath, O_RDONLY | kOpenFlags);
  if (fd < 0) {
    reportFailedRead(coreStatePath, std::strerror(errno));
    return false;
  }
  std::array<char, kReadLimit + 1> buffer{};
  const char* failure = readStateText(fd, buffer);
  ::close(fd);
  if (failure != nullptr) {
    reportFailedRead(coreStatePath, failure);
    return false;
  }
  // The state is text: like any C string it ends at the first NUL byte.
  return isCoreDeinit(buffer.data());
}

std::optional<std::string> writeString(const char* path, std::string_view text) {
  const int fd = ::open(path, O_WRONLY | kOpenFlags);
  if (fd < 0) return std::strerror(errno);
  // One write, never resumed: sysfs takes each write as a store of its own, so
  // the rest of a short write would arrive as another name.
  const ssize_t written = ::write(fd, text.data(), text.size());
  const int writeError = errno;
  // Some file systems report a failed write only when the file is closed.
  const int closeError = ::close(fd) == 0 ? 0 : errno;
  if (written < 0) return std::strerror(writeError);
  if (static_cast<std::size_t>(written) < text.size())
    return shortWriteReason(written, text.size());
  if (closeError != 0) return std::strerror(closeError);
  return std::nullopt;
}

bool rebindDriver(const WatchdogSettings& settings) {
  std::fprintf(stderr, "%s matched CORE_DEINIT, rebinding %s\n", settings.coreStatePath,
               settings.driverName);
  // From the unbind on, only the bind brings the device back: a stop waits for
  // it, and a failed unbind still gets the pause and the bind (the driver may
  // have been detached already).
  const SignalsHeldBack heldBack;
  const bool unbound = writeDriverName(settings.unbindPath, settings.driverName);
  ::usleep(kUnbindToBindPauseMicroseconds);
  const bool bound = writeDriverName(settings.bindPath, settings.driverName);
  return unbound && bound;
}

int runWatchdog() {
  const std::optional<WatchdogSettings> settings = readSettingsFromEnvironment();
  if (!settings) return kExitMissingVariable;
  while (!pollCoreState(settings->coreStatePath)) sleepPollInterval();
  return rebindDriver(*settings) ? kExitDone : kExitRebindFailed;
}

int runProgram(int argc, const char* const argv[]) {
  // A line that cannot be written (standard error a pipe whose reader has
  // gone) fails on its own and never stops the rebind.
  ::signal(SIGPIPE, SIG_IGN);
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "--version" || first == "-V") return printVersion();
  return runWatchdog();
}

}  // namespace palisade
