#pragma once

// Camera models and poses read from the documents' JSON, so that every
// command sees a lens and a pose the same way. Values that are absent or no
// finite number give nothing: judging them is the checks' business.

#include <nlohmann/json.hpp>
#include <optional>

#include "geometry/kannala_brandt.h"
#include "geometry/pose.h"

namespace ravelin::geometry {

// CAD-form extrinsics hold millimetres whatever their "__units" says: that is
// what the blob keeps.
inline constexpr double kMetresPerCadExtrinsicsUnit = 1e-3;

// The lens of a "kb" (also "kb4") or "kb_spline" intrinsics object; the
// spline's base curve has k4 = 0, its correction grid is not part of the lens.
std::optional<KannalaBrandtLens> kannalaBrandtLensFromJson(const nlohmann::json& intrinsics);

// The pose of an object from its "extrinsics" in either form.
std::optional<Pose> poseFromExtrinsicsJson(const nlohmann::json& extrinsics);

// A pose of the CAD section ("plus_x", "plus_z", "position") in its units.
std::optional<Pose> poseFromCadJson(const nlohmann::json& pose, double metresPerUnit);

// The metres per unit of a CAD section: its "__units" is "m" or millimetres.
double metresPerCadUnit(const nlohmann::json& cad);

}  // namespace ravelin::geometry
