#include "geometry/rig.h"

#include <array>
#include <cmath>
#include <map>

namespace ravelin::geometry {

namespace {

enum class Visit { kNotYet, kOnPath, kPlaced };

}  // namespace

std::vector<std::optional<PlacedPose>> placeAll(const std::vector<std::optional<RigLink>>& links) {
  std::vector<std::optional<PlacedPose>> placed(links.size());
  std::vector<Visit> visit(links.size(), Visit::kNotYet);
  for (std::size_t start = 0; start < links.size(); ++start) {
    // Up from `start` to the root, an object without a link, one placed
    // already, or one on this very path (a cycle).
    std::vector<std::size_t> path;
    std::optional<PlacedPose> above = PlacedPose{};
    for (std::optional<std::size_t> at = start; at; at = links[*at]->parent) {
      if (*at >= links.size() || visit[*at] == Visit::kOnPath) {
        above.reset();
        break;
      }
      if (visit[*at] == Visit::kPlaced) {
        above = placed[*at];
        break;
      }
      if (!links[*at]) {
        above = PlacedPose{*at, Pose{}};
        visit[*at] = Visit::kPlaced;
        placed[*at] = above;
        break;
      }
      visit[*at] = Visit::kOnPath;
      path.push_back(*at);
    }
    for (auto at = path.rbegin(); at != path.rend(); ++at) {
      if (above) above->pose = compose(above->pose, links[*at]->inParent);
      placed[*at] = above;
      visit[*at] = Visit::kPlaced;
    }
  }
  return placed;
}

Pose relativePose(const Pose& parent, const Pose& object) {
  return compose(inverse(parent), object);
}

PoseDifference difference(const Pose& a, const Pose& b) {
  return {geometry::distance(a.translation, b.translation),
          rotationAngleBetween(a.rotation, b.rotation)};
}

std::vector<std::optional<std::size_t>> earlierNeighbours(const std::vector<Vec3>& points,
                                                          double radius) {
  using Cell = std::array<double, 3>;  // floor(x / radius) kept as a double cannot overflow
  std::map<Cell, std::vector<std::size_t>> cells;
  std::vector<std::optional<std::size_t>> neighbours(points.size());
  for (std::size_t j = 0; j < points.size(); ++j) {
    const Cell home{std::floor(points[j][0] / radius), std::floor(points[j][1] / radius),
                    std::floor(points[j][2] / radius)};
    for (int n = 0; n < 27 && !neighbours[j]; ++n) {
      const Cell cell{home[0] + n % 3 - 1, home[1] + n / 3 % 3 - 1, home[2] + n / 9 - 1};
      const auto found = cells.find(cell);
      if (found == cells.end()) continue;
      for (const std::size_t i : found->second) {
        if (geometry::distance(points[i], points[j]) < radius) {
          neighbours[j] = i;
          break;
        }
      }
    }
    cells[home].push_back(j);
  }
  return neighbours;
}

}  // namespace ravelin::geometry
