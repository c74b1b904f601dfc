#include "rebind/palisade.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <tuple>

namespace palisade {

namespace {

constexpr std::size_t kReadLimit = 255;
constexpr timespec kPollInterval{2, 0};
constexpr useconds_t kUnbindToBindPauseMicroseconds = 200000;

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

void reportFailedRead(const char* path, int error) {
  std::fprintf(stderr, "failed to read %s: %s\n", path, std::strerror(error));
}

// Writes the driver name to one of its sysfs files, reporting a file that cannot be opened.
void writeDriverName(const char* path, const char* driverName) {
  if (writeString(path, driverName) == -1) {
    std::fprintf(stderr, "failed to write %s: %s\n", path, std::strerror(errno));
  }
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
  const int fd = ::open(coreStatePath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reportFailedRead(coreStatePath, errno);
    return false;
  }
  std::array<char, kReadLimit + 1> buffer{};
  const ssize_t count = ::read(fd, buffer.data(), kReadLimit);
  const int readError = errno;
  ::close(fd);
  if (count < 0) {
    reportFailedRead(coreStatePath, readError);
    return false;
  }
  // The state is text: like any C string it ends at the first NUL byte.
  buffer[static_cast<std::size_t>(count)] = '\0';
  return isCoreDeinit(buffer.data());
}

int writeString(const char* path, std::string_view text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  // sysfs takes the whole name in one write or rejects it; the driver's own
  // state, not this result, tells whether the rebind worked.
  std::ignore = ::write(fd, text.data(), text.size());
  ::close(fd);
  return 0;
}

void rebindDriver(const WatchdogSettings& settings) {
  std::fprintf(stderr, "%s matched CORE_DEINIT, rebinding %s\n", settings.coreStatePath,
               settings.driverName);
  // A failed unbind still gets the pause and the bind: the driver may have been
  // detached already, and binding it is what brings the device back.
  writeDriverName(settings.unbindPath, settings.driverName);
  ::usleep(kUnbindToBindPauseMicroseconds);
  writeDriverName(settings.bindPath, settings.driverName);
}

int runWatchdog() {
  const std::optional<WatchdogSettings> settings = readSettingsFromEnvironment();
  if (!settings) return kExitMissingVariable;
  while (!pollCoreState(settings->coreStatePath)) sleepPollInterval();
  rebindDriver(*settings);
  return kExitDone;
}

}  // namespace palisade
