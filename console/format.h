#pragma once

// printf-style formatting into a string, for messages built before they are
// logged or stored.

#include <string>

namespace ravelin {

std::string describe(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ravelin
