#include <stdexcept>

#include "cli/commands.h"

namespace ravelin {

int runEncode(const fs::path&, const fs::path&, bool) {
  throw std::runtime_error("encode is not available yet");
}

}  // namespace ravelin
