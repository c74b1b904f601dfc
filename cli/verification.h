#pragma once

// Judging and reporting the differences between a decoded blob and the JSON
// it was made from. Blobs store most numbers in single precision, so a float
// that differs only by that loss is acceptable, and so are added or removed
// fields whose path carries a warning-level marker.

#include <array>
#include <nlohmann/json.hpp>
#include <string_view>

namespace ravelin {

using json = nlohmann::json;

inline constexpr std::array<std::string_view, 4> WARNING_LEVEL_PATH_MARKERS = {
    "__note", "__plus_", "camera_input", "imu_input"};

// True when `decoded` is `source` stored in single precision (within one
// float32 epsilon, relative, plus 1e-12 absolute). NaN or infinity on either
// side, including a source beyond the float range: false.
bool isPrecisionLoss(double decoded, double source);

// The verdict on one JSON Patch entry; `exactDecoded` is the decoded value
// before rounding.
bool isAcceptableDifference(const json& entry, const json& exactDecoded, const json& source);

// One log line per patch entry, in patch order; `decoded` is the rounded value
// the patch was computed from.
void printDiffReport(const json& decoded, const json& source, const json& patch);

}  // namespace ravelin
