#include "geometry/rotation_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "geometry/imager_grid.h"
#include "geometry/pose.h"
#include "tests/support/case_name.h"

namespace ravelin::geometry {
namespace {

using testing::PrintTo;

struct FitCase {
  const char* name;
  Vec3 axis;
  double angle;
};

class BestFittingRotationTest : public ::testing::TestWithParam<FitCase> {};

// A camera's rays, all in front of it: the fit must recover the rotation that
// carried them, at every size from rounding noise up to a half turn.
TEST_P(BestFittingRotationTest, RecoversTheRotationOfABundle) {
  const FitCase& c = GetParam();
  const Mat3 rotation = rotationAboutAxis(c.axis, c.angle);
  std::vector<Vec3> from;
  std::vector<Vec3> to;
  for (int i = 0; i < 40; ++i) {
    const double theta = 1.2 * i / 40.0;
    const double phi = 0.7 * i;
    const Vec3 ray{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                   std::cos(theta)};
    from.push_back(ray);
    to.push_back(rotation * ray);
  }
  const Mat3 fitted = bestFittingRotation(from, to);
  EXPECT_NEAR(rotationAngleBetween(fitted, rotation), 0.0, 1e-12);
  EXPECT_NEAR(rotationAngle(fitted), c.angle, 1e-12);
  EXPECT_NEAR(determinant(fitted), 1.0, 1e-14);
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, BestFittingRotationTest,
    ::testing::Values(FitCase{"none", {1, 0, 0}, 0.0}, FitCase{"tiny_about_x", {1, 0, 0}, 1e-9},
                      FitCase{"tenth_degree_about_y", {0, 1, 0}, radians(0.1)},
                      FitCase{"about_the_optical_axis", {0, 0, 1}, 0.3},
                      FitCase{"tilted_axis", {1, -2, 3}, 2.0},
                      FitCase{"nearly_half_turn", {0, 1, 1}, std::numbers::pi - 1e-3}),
    testing::ByCaseName());

// Noisy pairs: the least-squares rotation of two rays 90 degrees apart,
// each pulled by the same angle in opposite directions, is the midway one.
TEST(BestFittingRotation, SplitsTheDisagreementOfItsPairs) {
  const std::vector<Vec3> from{{0, 0, 1}, {1, 0, 0}};
  const double pull = 0.01;
  const std::vector<Vec3> to{{std::sin(pull), 0, std::cos(pull)},
                             {std::cos(pull), 0, std::sin(pull)}};
  EXPECT_NEAR(rotationAngle(bestFittingRotation(from, to)), 0.0, 1e-12);
  EXPECT_EQ(bestFittingRotation({}, {}), kIdentity);
}

TEST(ImagerGrid, RunsFromCornerToCornerInEqualSteps) {
  const std::vector<Pixel> grid = imagerGrid(640, 480, 32);
  ASSERT_EQ(grid.size(), 33u * 33u);
  EXPECT_EQ(grid.front().u, 0.0);
  EXPECT_EQ(grid.front().v, 0.0);
  EXPECT_EQ(grid[1].u, 639.0 / 32);
  EXPECT_EQ(grid[33].v, 479.0 / 32);
  EXPECT_DOUBLE_EQ(grid.back().u, 639.0);
  EXPECT_DOUBLE_EQ(grid.back().v, 479.0);
  EXPECT_TRUE(imagerGrid(0.5, 480, 32).empty());
  EXPECT_TRUE(imagerGrid(640, 480, 0).empty());
}

}  // namespace
}  // namespace ravelin::geometry
