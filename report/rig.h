#pragma once

// The rig as the page draws it: every camera and IMU placed in the head
// frame by following its "parent" from one extrinsics to the next, and the
// CAD section's poses brought into the same frame through its head pose.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "geometry/field_of_view.h"
#include "geometry/kannala_brandt.h"
#include "geometry/pose.h"

namespace ravelin::report {

struct RigCamera {
  std::string label;                                  // its serial, else its source name
  std::optional<geometry::Pose> pose;                 // camera to head frame, metres
  std::optional<geometry::Pose> cadPose;              // the CAD section's pose, same frame
  std::optional<geometry::KannalaBrandtCamera> lens;  // its first Kannala-Brandt lens
  std::optional<geometry::ImageSize> image;
};

struct RigImu {
  std::string label;  // its hardware identifier, else its source name
  std::optional<geometry::Pose> pose;
  std::optional<geometry::Pose> cadPose;
};

struct Rig {
  std::vector<RigCamera> cameras;
  std::vector<RigImu> imus;
};

// A parent that is "head", absent or names nothing is the head frame itself;
// a pose whose chain of parents loops or passes an unreadable extrinsics has
// none. Only the first `maxCameras` cameras and `maxImus` IMUs are listed.
Rig placeRig(const nlohmann::json& document, std::size_t maxCameras, std::size_t maxImus);

// The first intrinsics object of a camera that is a readable
// Kannala-Brandt lens.
std::optional<geometry::KannalaBrandtCamera> firstLens(const nlohmann::json& camera);
// A "kb", "kb4" or "kb_spline" lens; nothing for any other object.
std::optional<geometry::KannalaBrandtCamera> lensOf(const nlohmann::json& intrinsics);
// "width" and "height" when both are positive numbers.
std::optional<geometry::ImageSize> imageSizeOf(const nlohmann::json& camera);

}  // namespace ravelin::report
