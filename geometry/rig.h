#pragma once

// A rig as a tree of poses: every object's pose is given in its parent's
// frame, and chaining them gives each object in the root's frame (the head).

#include <cstddef>
#include <optional>
#include <vector>

#include "geometry/pose.h"

namespace ravelin::geometry {

struct RigLink {
  std::optional<std::size_t> parent;  // an index into the same list; nothing for the root
  Pose inParent;
};

// An object's pose chained as far up as the links go: in the root's frame, or
// in the frame of the first object above it that has no link of its own.
struct PlacedPose {
  std::optional<std::size_t> frame;  // nothing for the root
  Pose pose;
};

// Each object placed by its chain of links, outer links composed in front of
// inner ones; nothing for an object whose chain comes back to an object it
// has passed. An object without a link is placed in its own frame.
// Linear in the number of objects: each chain is walked once.
std::vector<std::optional<PlacedPose>> placeAll(const std::vector<std::optional<RigLink>>& links);

// `object` seen from `parent`, both given in one common frame.
Pose relativePose(const Pose& parent, const Pose& object);

// How far apart two poses are: the distance between their origins and the
// angle of the rotation from one to the other.
struct PoseDifference {
  double distance;
  double angle;  // radians
};

PoseDifference difference(const Pose& a, const Pose& b);

// For each point, an earlier point of the list closer than `radius`, or
// nothing. Points are sorted into cells `radius` wide, so that a crowd of
// points costs no more than a scattered few.
std::vector<std::optional<std::size_t>> earlierNeighbours(const std::vector<Vec3>& points,
                                                          double radius);

}  // namespace ravelin::geometry
