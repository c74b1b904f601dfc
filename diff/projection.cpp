#include "diff/projection.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/imager_grid.h"
#include "geometry/pose.h"
#include "geometry/rotation_fit.h"

namespace ravelin::diff::detail {

namespace {

using geometry::KannalaBrandtCamera;
using geometry::Mat3;
using geometry::Pixel;
using geometry::Vec3;
using geometry::operator*;

class FigureSum {
 public:
  // `ray` is the old model's ray of `start`, none where it has none.
  void add(const KannalaBrandtCamera& newer, const std::optional<Vec3>& ray, const Pixel& start) {
    if (!ray) {
      ++figure_.unseen;
      return;
    }
    const std::optional<Pixel> landed = newer.project(*ray);
    if (!landed) {
      ++figure_.unseen;
      ++figure_.lost;
      return;
    }
    const double distance = std::hypot(landed->u - start.u, landed->v - start.v);
    figure_.max = std::max(figure_.max, distance);
    squares_ += distance * distance;
    ++figure_.seen;
  }

  ProjectionFigure figure() const {
    ProjectionFigure result = figure_;
    if (result.seen > 0) result.rms = std::sqrt(squares_ / static_cast<double>(result.seen));
    return result;
  }

 private:
  ProjectionFigure figure_;
  double squares_ = 0.0;
};

std::optional<Vec3> rotated(const std::optional<Mat3>& rotation, const std::optional<Vec3>& ray) {
  if (!ray) return std::nullopt;
  return *rotation * *ray;
}

}  // namespace

LensDifference compareLenses(const geometry::KannalaBrandtLens& older,
                             const geometry::KannalaBrandtLens& newer, const ImageSize& image,
                             const std::optional<Mat3>& oldToNew) {
  const KannalaBrandtCamera oldCamera(older);
  const KannalaBrandtCamera newCamera(newer);
  const std::vector<Pixel> grid = geometry::imagerGrid(image.width, image.height, kGridIntervals);

  std::vector<std::optional<Vec3>> oldRays;
  oldRays.reserve(grid.size());
  std::vector<Vec3> fitFrom;
  std::vector<Vec3> fitTo;
  FigureSum intrinsics;
  FigureSum withRotation;
  for (const Pixel& start : grid) {
    const std::optional<Vec3> ray = oldCamera.unproject(start);
    oldRays.push_back(ray);
    intrinsics.add(newCamera, ray, start);
    if (oldToNew) withRotation.add(newCamera, rotated(oldToNew, ray), start);
    const std::optional<Vec3> newRay = ray ? newCamera.unproject(start) : std::nullopt;
    if (newRay) {
      fitFrom.push_back(*ray);
      fitTo.push_back(*newRay);
    }
  }

  const Mat3 best = geometry::bestFittingRotation(fitFrom, fitTo);
  FigureSum afterBest;
  for (std::size_t i = 0; i < grid.size(); ++i) {
    afterBest.add(newCamera, rotated(best, oldRays[i]), grid[i]);
  }

  LensDifference difference;
  difference.intrinsics = intrinsics.figure();
  difference.bestRotation = afterBest.figure();
  difference.bestRotationDeg = geometry::degrees(geometry::rotationAngle(best));
  if (oldToNew) difference.withRotation = withRotation.figure();
  return difference;
}

}  // namespace ravelin::diff::detail
