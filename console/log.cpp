#include "console/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace ravelin {

bool quietMode = false;

namespace {

bool allLinesToStderr = false;
bool coloured = true;

constexpr const char* kReset = "\x1b[0m";

struct Level {
  const char* colour;
  const char* tag;
  bool isError;
};

constexpr Level kError{"\x1b[31m", "[ERROR]", true};
constexpr Level kWarning{"\x1b[33m", "[WARNING]", false};
constexpr Level kSuccess{"\x1b[32m", "[SUCCESS]", false};
constexpr Level kInfo{"\x1b[36m", "[INFO]", false};

__attribute__((format(printf, 2, 0))) void emit(const Level& level, const char* format,
                                                std::va_list args) {
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

void printPlain(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::vfprintf(allLinesToStderr ? stderr : stdout, format, args);
  va_end(args);
}

}  // namespace ravelin
