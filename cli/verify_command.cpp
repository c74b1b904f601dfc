#include <stdexcept>

#include "cli/commands.h"

namespace ravelin {

int runVerify(const fs::path&, const fs::path&) {
  throw std::runtime_error("verify is not available yet");
}

}  // namespace ravelin
