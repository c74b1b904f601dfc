#include "geometry/rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace ravelin::geometry {
namespace {

const Pose kTurnedAndMoved{rotationAboutAxis({0, 0, 1}, std::numbers::pi / 2), {1, 0, 0}};
const Pose kTilted{rotationAboutAxis({1, 0, 0}, 0.3), {0, 2, 0}};
const Pose kShifted{kIdentity, {0, 0, 3}};

void expectSamePose(const Pose& actual, const Pose& expected) {
  EXPECT_NEAR(distance(actual.translation, expected.translation), 0.0, 1e-12);
  EXPECT_NEAR(rotationAngleBetween(actual.rotation, expected.rotation), 0.0, 1e-12);
}

void expectSamePose(const std::optional<PlacedPose>& actual, const Pose& expected) {
  ASSERT_TRUE(actual);
  expectSamePose(actual->pose, expected);
}

// root <- 0 <- 1 <- 2: the innermost link is applied first, as a point of the
// last object travels out through each frame to the root.
TEST(PlaceAll, ChainsOuterLinksInFrontOfInnerOnes) {
  const std::vector<std::optional<RigLink>> links{RigLink{1, kShifted}, RigLink{2, kTilted},
                                                  RigLink{std::nullopt, kTurnedAndMoved}};
  const std::vector<std::optional<PlacedPose>> placed = placeAll(links);
  ASSERT_EQ(placed.size(), 3U);
  for (const auto& each : placed) EXPECT_TRUE(each && !each->frame);
  expectSamePose(placed[2], kTurnedAndMoved);
  expectSamePose(placed[1], compose(kTurnedAndMoved, kTilted));
  expectSamePose(placed[0], compose(compose(kTurnedAndMoved, kTilted), kShifted));
  // The origin of object 0: (0, 0, 3) tilted and moved to (0, 2 - 3 sin 0.3, 3 cos 0.3), then
  // turned a quarter about z and moved by (1, 0, 0).
  const Vec3 origin = apply(placed[0]->pose, {0, 0, 0});
  EXPECT_NEAR(origin[0], 1 - (2 - 3 * std::sin(0.3)), 1e-12);
  EXPECT_NEAR(origin[1], 0, 1e-12);
  EXPECT_NEAR(origin[2], 3 * std::cos(0.3), 1e-12);
}

// 1 has no link: 2 and 3 are placed in its frame, 1 in its own. 4 and 5 are
// each other's parents, 6 its own, and 7's parent is no object at all.
TEST(PlaceAll, StopsWhereALinkIsMissingAndGivesUpOnCycles) {
  const std::vector<std::optional<RigLink>> links{RigLink{std::nullopt, kShifted},
                                                  std::nullopt,
                                                  RigLink{1, kTilted},
                                                  RigLink{2, kShifted},
                                                  RigLink{5, kTilted},
                                                  RigLink{4, kShifted},
                                                  RigLink{6, kTilted},
                                                  RigLink{9, kShifted}};
  const std::vector<std::optional<PlacedPose>> placed = placeAll(links);
  expectSamePose(placed[0], kShifted);
  EXPECT_FALSE(placed[0]->frame);
  for (const std::size_t i : {1U, 2U, 3U}) {
    ASSERT_TRUE(placed[i]) << i;
    EXPECT_EQ(placed[i]->frame, 1U) << i;
  }
  expectSamePose(placed[1], Pose{});
  expectSamePose(placed[3], compose(kTilted, kShifted));
  for (const std::size_t i : {4U, 5U, 6U, 7U}) EXPECT_FALSE(placed[i]) << i;
}

// Neighbours across a cell boundary and in a crowd; a point exactly the
// radius away is no neighbour.
TEST(EarlierNeighbours, FindsAnEarlierPointWithinTheRadius) {
  const double r = 0.25;
  const std::vector<Vec3> points{
      {0.234375, 0, 0}, {0.265625, 0.015625, 0}, {0.5625, 0.015625, 0}, {5, 5, 5},
      {5, 5, 5},        {5, 5, 5.1875},          {-1, -1, -1},          {-1, -1, -1 + r}};
  const std::vector<std::optional<std::size_t>> neighbours = earlierNeighbours(points, r);
  const std::vector<std::optional<std::size_t>> expected{
      std::nullopt, 0U, std::nullopt, std::nullopt, 3U, 3U, std::nullopt, std::nullopt};
  EXPECT_EQ(neighbours, expected);
}

TEST(RelativePose, UndoesTheParent) {
  const Pose child = compose(kTurnedAndMoved, kTilted);
  expectSamePose(relativePose(kTurnedAndMoved, child), kTilted);
  expectSamePose(relativePose(child, child), Pose{});
}

TEST(PoseDifference, IsTheDistanceAndTheAngleBetween) {
  const PoseDifference d = difference(kTilted, kShifted);
  EXPECT_DOUBLE_EQ(d.distance, std::sqrt(4.0 + 9.0));
  EXPECT_NEAR(d.angle, 0.3, 1e-12);
  EXPECT_NEAR(difference(kShifted, kShifted).distance, 0.0, 0.0);
}

}  // namespace
}  // namespace ravelin::geometry
