#pragma once

// Is a calibration or device config physically plausible? Each check reads
// the JSON value only and returns what it found, section by section; printing
// and exit codes are the command's business. A value that a rule needs but
// that is absent is skipped (whether it may be absent is the encoder's
// business); a value that is present but is no finite number is an error.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace ravelin {

using json = nlohmann::json;

enum class FindingSeverity {
  WARNING,  // implausible
  ERROR,    // certainly wrong
};

struct Finding {
  FindingSeverity severity;
  std::string pointer;  // JSON Pointer of the value judged
  std::string value;    // that value as compact JSON, or the named parts a rule weighed
  std::string reason;   // with the numbers that decided it

  bool operator==(const Finding&) const = default;
};

// For a compact calibration (one that passed isCompactCalibrationJson).
std::vector<Finding> checkCompactCalibration(const json& document);

// For a device_config (one that passed isDeviceConfigJson).
std::vector<Finding> checkDeviceConfig(const json& document);

}  // namespace ravelin
