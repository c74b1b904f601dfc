#include "geometry/field_of_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/support/case_name.h"

namespace ravelin::geometry {
namespace {

using testing::PrintTo;

// An equidistant lens (k = 0) puts a ray at field angle theta at radius
// f theta: the angles an image spans follow from its sides in closed form.
struct SpanCase {
  const char* name;
  double cx;
  double cy;
  double horizontal;  // radians
  double vertical;
  double diagonal;
};

constexpr double kF = 200.0;
constexpr ImageSize kImage{400.0, 300.0};

class FieldOfViewTest : public ::testing::TestWithParam<SpanCase> {};

TEST_P(FieldOfViewTest, SpansTheImageThroughThePrincipalPoint) {
  const SpanCase& c = GetParam();
  const KannalaBrandtCamera camera({kF, kF, c.cx, c.cy, {}});
  const FieldOfView fov = fieldOfView(camera, kImage);
  ASSERT_TRUE(fov.horizontal && fov.vertical && fov.diagonal);
  EXPECT_NEAR(*fov.horizontal, c.horizontal, 1e-9);
  EXPECT_NEAR(*fov.vertical, c.vertical, 1e-9);
  EXPECT_NEAR(*fov.diagonal, c.diagonal, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldOfViewTest,
    ::testing::Values(SpanCase{"Centred", 200, 150, 400 / kF, 300 / kF, 500 / kF},
                      // Off centre the two sides still add up to the whole image.
                      SpanCase{"OffCentre", 100, 50, 400 / kF, 300 / kF,
                               (std::hypot(100.0, 50.0) + std::hypot(300.0, 250.0)) / kF},
                      // A principal point beyond the left edge: both edges on one side.
                      SpanCase{"PrincipalPointLeftOfTheImage", -100, 150, 400 / kF, 300 / kF,
                               (std::hypot(500.0, 150.0) - std::hypot(100.0, 150.0)) / kF}),
    testing::ByCaseName());

TEST(FieldOfViewTest, AnEdgeBeyondTheValidRegionSpansNothing) {
  // theta - theta^3 / 3 turns at theta = 1 rad, where theta_d = 2/3: the
  // left and right edges at 200/150 of f lie beyond, the top and bottom within.
  const KannalaBrandtCamera camera({150.0, 300.0, 200.0, 150.0, {-1.0 / 3.0, 0, 0, 0}});
  const FieldOfView fov = fieldOfView(camera, kImage);
  EXPECT_FALSE(fov.horizontal);
  EXPECT_TRUE(fov.vertical);
  EXPECT_FALSE(fov.diagonal);
}

TEST(BorderRaysTest, RunClockwiseFromTheTopLeftCorner) {
  const KannalaBrandtCamera camera({kF, kF, 200.0, 150.0, {}});
  const auto rays = borderRays(camera, kImage, 4);
  ASSERT_EQ(rays.size(), 16u);
  // Corners at 0, 4, 8 and 12: up-left, up-right, down-right, down-left
  // (+x right, +y down), each at its equidistant field angle.
  const double signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (std::size_t corner = 0; corner < 4; ++corner) {
    const auto& ray = rays[4 * corner];
    ASSERT_TRUE(ray) << corner;
    EXPECT_GT((*ray)[0] * signs[corner][0], 0.0) << corner;
    EXPECT_GT((*ray)[1] * signs[corner][1], 0.0) << corner;
    EXPECT_NEAR(std::acos((*ray)[2]), 250.0 / kF, 1e-9) << corner;
  }
  // The middle of the top side looks straight up.
  ASSERT_TRUE(rays[2]);
  EXPECT_NEAR((*rays[2])[0], 0.0, 1e-12);
}

}  // namespace
}  // namespace ravelin::geometry
