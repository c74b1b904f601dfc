#include "console/format.h"

#include <algorithm>
#include <cstdio>

namespace ravelin {

std::string describe(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = describeList(format, arguments);
  va_end(arguments);
  return text;
}

std::string describeList(const char* format, std::va_list arguments) {
  va_list counting;
  va_copy(counting, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, counting);
  va_end(counting);
  std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, arguments);
  return text;
}

}  // namespace ravelin
