#pragma once

// Judging and reporting the differences between a decoded blob and the JSON
// it was made from. Blobs store most numbers in single precision, so a float
// that differs only by that loss is acceptable, and so are added or removed
// fields whose path carries a warning-level marker.

#include <array>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "console/log.h"

namespace ravelin {

using json = nlohmann::json;

inline constexpr std::array<std::string_view, 4> WARNING_LEVEL_PATH_MARKERS = {
    "__note", "__plus_", "camera_input", "imu_input"};

// True when `decoded` is `source` stored in single precision (within one
// float32 epsilon, relative, plus 1e-12 absolute). NaN or infinity on either
// side, including a source beyond the float range: false.
bool isPrecisionLoss(double decoded, double source);

// One entry of the JSON Patch that turns the decoded document into the source.
struct PatchEntry {
  std::string_view op;  // "add", "remove" or "replace"
  std::string path;     // a JSON Pointer
  const json* value;    // the source's value; nullptr for "remove"
};

// Calls `visit` with every entry of json::diff(decoded, source), in the same
// order, without building the patch: for a source unrelated to the blob that
// patch can take hundreds of times the memory of both documents.
void forEachPatchEntry(const json& decoded, const json& source,
                       const std::function<void(const PatchEntry&)>& visit);

// The verdict on one entry; `exactDecoded` is the decoded value before rounding.
bool isAcceptableDifference(const PatchEntry& entry, const json& exactDecoded, const json& source);

// The entry's log line; `decoded` is the rounded value the patch was computed from.
LogLine describeDifference(const PatchEntry& entry, const json& decoded, const json& source);

// Judges `source` against `decoded`, the document its blob decodes to, before
// rounding: kExitSuccess when they match, kExitVerifyWarnings when every
// difference is acceptable, kExitVerifyMismatch otherwise. Each difference goes
// to `report` as its log line, in the order of the patch.
int judgeRoundTrip(const json& source, json decoded,
                   const std::function<void(const LogLine&)>& report);

}  // namespace ravelin
