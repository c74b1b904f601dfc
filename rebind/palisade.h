#pragma once

// palisade: waits until a kernel driver's core reports "CORE_DEINIT", then
// detaches and re-attaches the driver through its sysfs unbind and bind files.
// Plain POSIX on purpose: it runs early on the device and links nothing else.

#include <optional>
#include <string>
#include <string_view>

namespace palisade {

inline constexpr int kExitDone = 0;
inline constexpr int kExitRebindFailed = 1;
inline constexpr int kExitMissingVariable = 2;
inline constexpr int kExitStandardOutputFailed = 1;

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
// cannot be opened or read, or is a FIFO, is reported on standard error and
// counts as no match. Never waits for a writer or for data.
bool pollCoreState(const char* coreStatePath);

// Writes the text, without terminator or newline, to an existing file (no
// create, no truncate) in one write. Returns why it failed (the text of errno,
// or how many bytes a short write took), or nothing when every byte went
// through. Never waits for a reader.
std::optional<std::string> writeString(const char* path, std::string_view text);

// Unbinds the driver, pauses, binds it again; a failure is reported and the
// sequence goes on. Every signal that can be held is held back from the
// unbind until the bind is written, then takes effect. True when both writes
// went through.
bool rebindDriver(const WatchdogSettings& settings);

// The watchdog: returns its exit code (a signal held back during the rebind
// ends it first).
int runWatchdog();

// The whole program, with SIGPIPE ignored throughout. "--version" or "-V" as
// the first argument prints "palisade <version>" and returns 0 before the
// environment is read (1, after "Failed to write to standard output: <reason>"
// on standard error, when it cannot be written); any other argument is
// ignored and the watchdog runs.
int runProgram(int argc, const char* const argv[]);

}  // namespace palisade
