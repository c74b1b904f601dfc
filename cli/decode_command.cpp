#include <stdexcept>

#include "cli/commands.h"

namespace ravelin {

void runDecode(const fs::path&, const fs::path&) {
  throw std::runtime_error("decode is not available yet");
}

}  // namespace ravelin
