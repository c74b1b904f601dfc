#pragma once

// palisade: waits until a kernel driver's core reports "CORE_DEINIT", then
// detaches and re-attaches the driver through its sysfs unbind and bind files.
// Plain POSIX on purpose: it runs early on the device and links nothing else.

#include <optional>
#include <string_view>

namespace palisade {

inline constexpr int kExitDone = 0;
inline constexpr int kExitMissingVariable = 2;

inline constexpr std::string_view kCoreDeinitWord = "CORE_DEINIT";

// The four settings, each taken from its environment variable once at start.
struct WatchdogSettings {
  const char* driverName = nullptr;
  const char* coreStatePath = nullptr;
  const char* bindPath = nullptr;
  const char* unbindPath = nullptr;
};

// Reads the four variables. Every one that is unset or empty is reported on
// standard error; the result is empty when any was missing.
std::optional<WatchdogSettings> readSettingsFromEnvironment();

// Cuts trailing spaces, tabs, line feeds and carriage returns; nothing else.
std::string_view stripTrailingBlanks(std::string_view text);

// True when the state text, once stripped, is exactly the word.
bool isCoreDeinit(std::string_view stateText);

// One poll of the state file: true when it reads "CORE_DEINIT". A file that
// cannot be opened or read is reported on standard error and counts as no match.
bool pollCoreState(const char* coreStatePath);

// Writes the text, without terminator or newline, to an existing file (no
// create, no truncate). Returns -1 with errno from open when the file cannot be
// opened, else 0; a short or failed write is not detected.
int writeString(const char* path, std::string_view text);

// Unbinds the driver, pauses, binds it again; failures are reported and skipped.
void rebindDriver(const WatchdogSettings& settings);

// The whole program: returns its exit code.
int runWatchdog();

}  // namespace palisade
