#pragma once

// printf-style formatting into a string, for messages built before they are
// logged or stored.

#include <cstdarg>
#include <string>

namespace ravelin {

std::string describe(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string describeList(const char* format, std::va_list arguments)
    __attribute__((format(printf, 1, 0)));

}  // namespace ravelin
