#include <stdexcept>

#include "cli/commands.h"

namespace ravelin {

void runCompareEncodings(const fs::path&) {
  throw std::runtime_error("compare-encodings is not available yet");
}

void runTestCrc(const fs::path&) {
  throw std::runtime_error("test-crc is not available yet");
}

}  // namespace ravelin
