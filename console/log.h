#pragma once

// The console log: one tagged line per call, coloured unless switched off.
// Errors go to standard error, every other level to standard output; --quiet
// silences all four.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

// Silences the log of the calling thread while it lives, captures included,
// and restores what was set before. Other threads log on: a library call that
// silences its readers does not silence a thread beside it.
class QuietScope {
 public:
  QuietScope();
  ~QuietScope();
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  bool previous_;
};

// From the most severe down.
enum class LogLevel { ERROR, WARNING, SUCCESS, INFO };

struct LogLine {
  LogLevel level;
  std::string text;  // as it would be printed, without tag, colour or newline
  bool operator==(const LogLine&) const = default;
};

// Collects the lines its thread logs while it lives, instead of printing
// them, whatever quietMode says: a library caller gets the log as values and
// the console stays untouched. Lines less severe than `least` are dropped
// unformatted; plain text counts as info. Captures nest; the innermost one
// collects.
class LogCapture {
 public:
  explicit LogCapture(LogLevel least = LogLevel::INFO);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<LogLine>& lines() const { return lines_; }
  bool keeps(LogLevel level) const { return level <= least_; }
  void add(LogLevel level, std::string text) { lines_.push_back({level, std::move(text)}); }

 private:
  std::vector<LogLine> lines_;
  LogLevel least_;
  LogCapture* outer_;
};

// Logs `line` at its level.
void logLine(const LogLine& line);

// An uncoloured, untagged text on standard output (standard error while all
// log lines are routed there). Not a log level, so --quiet does not silence it.
void printPlain(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf's "%d" wants an int: the low 32 bits of a count, as a signed number.
inline int printableCount(std::uintmax_t count) {
  return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(count)));
}

}  // namespace ravelin
