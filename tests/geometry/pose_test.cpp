#include "geometry/pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <numbers>

#include "geometry/document_models.h"
#include "tests/support/case_name.h"

namespace ravelin::geometry {
namespace {

struct AngleCase {
  const char* name;
  Vec3 axis;
  double angle;
};

using testing::PrintTo;

class RotationAngleTest : public ::testing::TestWithParam<AngleCase> {};

// The angle comes back exactly where acos of the trace would lose half the
// digits (small angles) or the sign of the axis (near pi).
TEST_P(RotationAngleTest, ComesBackFromTheMatrix) {
  const AngleCase& c = GetParam();
  const Mat3 r = rotationAboutAxis(c.axis, c.angle);
  EXPECT_NEAR(rotationAngle(r), c.angle, 1e-12 * c.angle + 1e-18);
  EXPECT_NEAR(rotationAngleBetween(kIdentity, r), c.angle, 1e-12 * c.angle + 1e-18);
  EXPECT_NEAR(orthonormalityDeviation(r), 0.0, 1e-15);
  EXPECT_NEAR(determinant(r), 1.0, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Angles, RotationAngleTest,
                         ::testing::Values(AngleCase{"tiny_about_x", {1, 0, 0}, 1e-9},
                                           AngleCase{"small_about_y", {0, 2, 0}, 1e-4},
                                           AngleCase{"tilted_axis", {1, -2, 3}, 0.7},
                                           AngleCase{"near_pi", {0, 0, 1}, std::numbers::pi - 1e-6},
                                           AngleCase{"half_turn", {1, 1, 0}, std::numbers::pi}),
                         testing::ByCaseName());

// Each of the nine entries of an identity disturbed by itself must show: a
// deviation taken over fewer rows or columns misses some of them.
TEST(OrthonormalityDeviation, SeesEveryEntry) {
  constexpr double kNudge = 1e-4;
  for (std::size_t i = 0; i < 9; ++i) {
    Mat3 m = kIdentity;
    m[i] += kNudge;
    EXPECT_GT(orthonormalityDeviation(m), 0.9 * kNudge) << "entry " << i;
  }
}

TEST(Determinant, TellsAReflection) {
  EXPECT_DOUBLE_EQ(determinant({1, 0, 0, 0, -1, 0, 0, 0, 1}), -1.0);
  EXPECT_DOUBLE_EQ(determinant({0, 1, 0, 0, 0, 1, 1, 0, 0}), 1.0);
  EXPECT_DOUBLE_EQ(determinant({2, 0, 0, 0, 3, 0, 1, 0, 5}), 30.0);
}

// Matrix extrinsics map the parent's frame into the object's: the object's
// origin in its parent is -R^T t and its axes are the rows of R.
TEST(PoseConventions, MatrixExtrinsicsAreTheInverseOfThePose) {
  const Mat3 r = rotationAboutAxis({0, 0, 1}, std::numbers::pi / 2);
  const MatrixExtrinsics m{r[0], r[1], r[2], 0.1, r[3], r[4], r[5], 0.2,
                           r[6], r[7], r[8], 0.3, 0,    0,    0,    1};
  const Pose pose = poseFromMatrixExtrinsics(m);
  const Vec3 origin = pose.translation;
  EXPECT_NEAR(origin[0], -0.2, 1e-15);
  EXPECT_NEAR(origin[1], 0.1, 1e-15);
  EXPECT_NEAR(origin[2], -0.3, 1e-15);
  const Vec3 xAxis = column(pose.rotation, 0);
  EXPECT_NEAR(distance(xAxis, row(r, 0)), 0.0, 1e-15);
  const MatrixExtrinsics back = matrixExtrinsicsFromPose(pose);
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(back[i], m[i], 1e-15) << i;
}

TEST(PoseConventions, CadPoseIsAxesAndPositionInTheParent) {
  const Pose pose = poseFromCad({0, -1, 0}, {1, 0, 0}, {62.5, 7.8125, -15.625}, 1e-3);
  EXPECT_NEAR(distance(column(pose.rotation, 1), {0, 0, -1}), 0.0, 1e-15);  // y = z × x
  EXPECT_NEAR(distance(pose.translation, {0.0625, 0.0078125, -0.015625}), 0.0, 1e-15);
  const Pose identity = compose(pose, inverse(pose));
  EXPECT_NEAR(rotationAngle(identity.rotation), 0.0, 1e-15);
  EXPECT_NEAR(norm(identity.translation), 0.0, 1e-15);
}

TEST(DocumentModels, ReadBothExtrinsicsFormsAndTheCadUnits) {
  const nlohmann::json matrix = {1, 0, 0, -0.0625, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
  const nlohmann::json cad = {
      {"plus_x", {1, 0, 0}}, {"plus_z", {0, 0, -1}}, {"position", {62.5, 0, 0}}, {"__units", "m"}};
  const std::optional<Pose> fromMatrix = poseFromExtrinsicsJson(matrix);
  const std::optional<Pose> fromCad = poseFromExtrinsicsJson(cad);
  ASSERT_TRUE(fromMatrix && fromCad);
  EXPECT_NEAR(distance(fromMatrix->translation, fromCad->translation), 0.0, 1e-15);
  EXPECT_NEAR(rotationAngleBetween(fromMatrix->rotation, fromCad->rotation), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(metresPerCadUnit({{"__units", "m"}}), 1.0);
  EXPECT_DOUBLE_EQ(metresPerCadUnit({{"__units", "mm"}}), 1e-3);
  EXPECT_FALSE(poseFromExtrinsicsJson(nlohmann::json::array({1, 0, 0})));
  EXPECT_FALSE(poseFromExtrinsicsJson({{"plus_x", {1, 0, 0}}, {"plus_z", {0, 0, 1}}}));
}

}  // namespace
}  // namespace ravelin::geometry
