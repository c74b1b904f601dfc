#include "geometry/field_of_view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/case_name.h"

namespace ravelin::geometry {
namespace {

using testing::PrintTo;

// A principal point near each corner in turn makes the opposite corner the
// farthest: with fy half of fx, distances along v count twice.
struct CornerCase {
  const char* name;
  double cx;
  double cy;
  Pixel farthest;
};

class FarthestCornerTest : public ::testing::TestWithParam<CornerCase> {};

TEST_P(FarthestCornerTest, IsTheOneWithTheLargestDistortedRadius) {
  const CornerCase& c = GetParam();
  const KannalaBrandtLens lens{100, 50, c.cx, c.cy, {}};
  const Pixel corner = farthestCorner(lens, {200, 100});
  EXPECT_EQ(corner.u, c.farthest.u);
  EXPECT_EQ(corner.v, c.farthest.v);
  const double du = (corner.u - c.cx) / 100;
  const double dv = (corner.v - c.cy) / 50;
  EXPECT_DOUBLE_EQ(distortedRadius(lens, corner), std::sqrt(du * du + dv * dv));
}

INSTANTIATE_TEST_SUITE_P(Corners, FarthestCornerTest,
                         ::testing::Values(CornerCase{"near_top_left", 30, 40, {200, 100}},
                                           CornerCase{"near_top_right", 170, 40, {0, 100}},
                                           CornerCase{"near_bottom_left", 30, 60, {200, 0}},
                                           CornerCase{"near_bottom_right", 170, 60, {0, 0}}),
                         testing::ByCaseName());

// (fx + fy) theta_d: every coefficient counts at its own power.
TEST(ImageCircleDiameter, IsTheDistortedRadiusAtTheHalfAngleAcross) {
  const double half = 1.5;
  EXPECT_DOUBLE_EQ(imageCircleDiameter({300, 200, 0, 0, {}}, half), 500 * half);
  const KannalaBrandtLens lens{300, 200, 0, 0, {0.1, -0.02, 0.003, -4e-4}};
  const double expected = half + 0.1 * std::pow(half, 3) - 0.02 * std::pow(half, 5) +
                          0.003 * std::pow(half, 7) - 4e-4 * std::pow(half, 9);
  EXPECT_NEAR(imageCircleDiameter(lens, half), 500 * expected, 1e-9);
}

// 1 + k1 theta^2 + k2 theta^4 has its least value 1 - k1^2 / (4 k2) at
// theta^2 = -k1 / (2 k2); a single positive coefficient makes the ratio
// greatest at the far end, a single negative one least there.
struct RatioCase {
  const char* name;
  DistortionCoefficients k;
  double maxTheta;
  DistortionRatio least;
  DistortionRatio greatest;
};

class DistortionRatioTest : public ::testing::TestWithParam<RatioCase> {};

TEST_P(DistortionRatioTest, FindsTheExtremes) {
  const RatioCase& c = GetParam();
  const DistortionRatioRange range = distortionRatioRange(c.k, c.maxTheta);
  EXPECT_NEAR(range.least.ratio, c.least.ratio, 1e-6);
  EXPECT_NEAR(range.least.theta, c.least.theta, kDistortionSampleStep);
  EXPECT_NEAR(range.greatest.ratio, c.greatest.ratio, 1e-6);
  EXPECT_NEAR(range.greatest.theta, c.greatest.theta, kDistortionSampleStep);
}

INSTANTIATE_TEST_SUITE_P(
    Curves, DistortionRatioTest,
    ::testing::Values(
        RatioCase{"k1_stretches", {0.5, 0, 0, 0}, 1.2, {1, 0}, {1 + 0.5 * 1.44, 1.2}},
        RatioCase{"k2_compresses", {0, -0.1, 0, 0}, 1.2, {1 - 0.1 * std::pow(1.2, 4), 1.2}, {1, 0}},
        RatioCase{"k3_stretches", {0, 0, 0.01, 0}, 2.0, {1, 0}, {1.64, 2.0}},
        RatioCase{"k4_compresses", {0, 0, 0, -0.001}, 2.0, {1 - 0.256, 2.0}, {1, 0}},
        RatioCase{"dips_inside",
                  {-0.2, 0.05, 0, 0},
                  2.2,
                  {0.8, std::sqrt(2.0)},
                  {1 - 0.2 * 4.84 + 0.05 * 4.84 * 4.84, 2.2}}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin::geometry
