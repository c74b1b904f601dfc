#include "console/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/format.h"

namespace ravelin {

bool quietMode = false;

namespace {

bool allLinesToStderr = false;
bool coloured = true;

constexpr const char* kReset = "\x1b[0m";

thread_local bool threadQuiet = false;
thread_local LogCapture* activeCapture = nullptr;

struct Level {
  const char* colour;
  const char* tag;
  bool isError;
  LogLevel level;
};

constexpr Level kError{"\x1b[31m", "[ERROR]", true, LogLevel::ERROR};
constexpr Level kWarning{"\x1b[33m", "[WARNING]", false, LogLevel::WARNING};
constexpr Level kSuccess{"\x1b[32m", "[SUCCESS]", false, LogLevel::SUCCESS};
constexpr Level kInfo{"\x1b[36m", "[INFO]", false, LogLevel::INFO};

__attribute__((format(printf, 2, 0))) void emit(const Level& level, const char* format,
                                                std::va_list args) {
  if (threadQuiet) return;
  if (activeCapture != nullptr) {
    if (activeCapture->keeps(level.level))
      activeCapture->add(level.level, describeList(format, args));
    return;
  }
  if (quietMode) return;
  std::FILE* stream = (level.isError || allLinesToStderr) ? stderr : stdout;
  if (coloured) std::fputs(level.colour, stream);
  std::fputs(level.tag, stream);
  std::fputc(' ', stream);
  std::vfprintf(stream, format, args);
  if (coloured) std::fputs(kReset, stream);
  std::fputc('\n', stream);
}

}  // namespace

QuietScope::QuietScope() : previous_(threadQuiet) {
  threadQuiet = true;
}

QuietScope::~QuietScope() {
  threadQuiet = previous_;
}

LogCapture::LogCapture(LogLevel least) : least_(least), outer_(activeCapture) {
  activeCapture = this;
}

LogCapture::~LogCapture() {
  activeCapture = outer_;
}

void routeAllLogLinesToStderr(bool enabled) {
  allLinesToStderr = enabled;
}

void enableColours(bool enabled) {
  coloured = enabled;
}

bool environmentForbidsColour() {
  const char* value = std::getenv("NO_COLOR");
  return value != nullptr && value[0] != '\0';
}

#define RAVELIN_DEFINE_LOG_FUNCTION(name, level) \
  void name(const char* format, ...) {           \
    std::va_list args;                           \
    va_start(args, format);                      \
    emit(level, format, args);                   \
    va_end(args);                                \
  }

RAVELIN_DEFINE_LOG_FUNCTION(logError, kError)
RAVELIN_DEFINE_LOG_FUNCTION(logWarning, kWarning)
RAVELIN_DEFINE_LOG_FUNCTION(logSuccess, kSuccess)
RAVELIN_DEFINE_LOG_FUNCTION(logInfo, kInfo)

#undef RAVELIN_DEFINE_LOG_FUNCTION

void logLine(const LogLine& line) {
  switch (line.level) {
    case LogLevel::ERROR:
      logError("%s", line.text.c_str());
      break;
    case LogLevel::WARNING:
      logWarning("%s", line.text.c_str());
      break;
    case LogLevel::SUCCESS:
      logSuccess("%s", line.text.c_str());
      break;
    case LogLevel::INFO:
      logInfo("%s", line.text.c_str());
      break;
  }
}

void printPlain(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  if (activeCapture != nullptr) {
    if (activeCapture->keeps(LogLevel::INFO))
      activeCapture->add(LogLevel::INFO, describeList(format, args));
  } else {
    std::vfprintf(allLinesToStderr ? stderr : stdout, format, args);
  }
  va_end(args);
}

}  // namespace ravelin
