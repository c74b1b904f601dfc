#pragma once

// The console log: one tagged line per call, coloured unless switched off.
// Errors go to standard error, every other level to standard output; --quiet
// silences all four.

#include <cstdint>

namespace ravelin {

// Set once while the command line is parsed, before the first log line.
extern bool quietMode;

// When set, warning, success and info lines go to standard error as well, so
// that standard output can carry a document or a blob (an output "-").
void routeAllLogLinesToStderr(bool enabled);

// Routes every log line to standard error for its lifetime when `enabled`:
// while a command writes its output to standard output.
class LogLinesToStderr {
 public:
  explicit LogLinesToStderr(bool enabled) : enabled_(enabled) {
    if (enabled_) routeAllLogLinesToStderr(true);
  }
  ~LogLinesToStderr() {
    if (enabled_) routeAllLogLinesToStderr(false);
  }
  LogLinesToStderr(const LogLinesToStderr&) = delete;
  LogLinesToStderr& operator=(const LogLinesToStderr&) = delete;

 private:
  bool enabled_;
};

// Lines are coloured until this turns colours off: then they carry no escape
// sequence at all, only the tag, the message and the newline.
void enableColours(bool enabled);

// True when NO_COLOR is set and not empty (https://no-color.org).
bool environmentForbidsColour();

void logError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logSuccess(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Silences the log while it lives, and restores what was set before.
class QuietScope {
 public:
  QuietScope() : previous_(quietMode) { quietMode = true; }
  ~QuietScope() { quietMode = previous_; }
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  bool previous_;
};

// An uncoloured, untagged text on standard output (standard error while all
// log lines are routed there). Not a log level, so --quiet does not silence it.
void printPlain(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf's "%d" wants an int: the low 32 bits of a count, as a signed number.
inline int printableCount(std::uintmax_t count) {
  return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(count)));
}

}  // namespace ravelin
