#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <fstream>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "geometry/document_models.h"
#include "geometry/imager_grid.h"
#include "geometry/kannala_brandt.h"
#include "tests/support/case_name.h"

namespace ravelin::geometry {
namespace {

using testing::PrintTo;

// A curve theta + k theta^(2n+1) with a single negative coefficient turns
// where its slope 1 + (2n+1) k theta^(2n) is zero: a closed form for each
// coefficient in turn.
struct TurnCase {
  const char* name;
  std::size_t index;
  double value;
};

class DistortionTurnTest : public ::testing::TestWithParam<TurnCase> {};

TEST_P(DistortionTurnTest, IsWhereTheSlopeVanishes) {
  const TurnCase& c = GetParam();
  DistortionCoefficients k{};
  k[c.index] = c.value;
  const double power = 2.0 * static_cast<double>(c.index + 1);
  const double expected = std::pow(-1.0 / ((power + 1.0) * c.value), 1.0 / power);
  const std::optional<double> turn =
      firstDistortionTurn(k, std::numbers::pi, std::numeric_limits<double>::infinity());
  ASSERT_TRUE(turn);
  EXPECT_NEAR(*turn, expected, 1e-9);
  EXPECT_NEAR(monotonicLimit(k), expected, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(EachCoefficient, DistortionTurnTest,
                         ::testing::Values(TurnCase{"k1", 0, -0.1}, TurnCase{"k2", 1, -0.05},
                                           TurnCase{"k3", 2, -0.01}, TurnCase{"k4", 3, -0.002}),
                         testing::ByCaseName());

// The slope against a central difference, with every coefficient non-zero in
// turn and all together: a wrong factor on any term shows.
TEST(DistortionSlope, IsTheDerivativeOfTheCurve) {
  const DistortionCoefficients cases[] = {{0.3, 0, 0, 0},
                                          {0, -0.2, 0, 0},
                                          {0, 0, 0.1, 0},
                                          {0, 0, 0, -0.05},
                                          {0.04, -0.01, 0.002, -3e-4}};
  constexpr double kStep = 1e-6;
  for (const DistortionCoefficients& k : cases) {
    for (const double theta : {0.2, 0.9, 1.6}) {
      const double numeric =
          (distortedAngle(k, theta + kStep) - distortedAngle(k, theta - kStep)) / (2 * kStep);
      EXPECT_NEAR(distortionSlope(k, theta), numeric, 1e-7)
          << "k " << k[0] << ' ' << k[1] << ' ' << k[2] << ' ' << k[3] << " at " << theta;
    }
  }
}

TEST(DistortionTurn, StopsWhereTheImageEnds) {
  const DistortionCoefficients k{-0.1, 0, 0, 0};  // turns at 1.826 rad
  EXPECT_FALSE(firstDistortionTurn(k, std::numbers::pi, 1.0));
  EXPECT_FALSE(firstDistortionTurn(k, 1.8, 10.0));
  EXPECT_TRUE(firstDistortionTurn(k, 1.9, 10.0));
  EXPECT_DOUBLE_EQ(monotonicLimit({0.04, 0.01, 0.002, 3e-4}), std::numbers::pi);
}

struct LensCase {
  const char* name;
  KannalaBrandtLens lens;
};

class KannalaBrandtTest : public ::testing::TestWithParam<LensCase> {};

// unproject ∘ project is the identity over the whole valid region.
TEST_P(KannalaBrandtTest, UnprojectInvertsProject) {
  const KannalaBrandtCamera camera(GetParam().lens);
  const double limit = camera.validFieldAngle();
  for (int a = 0; a <= 20; ++a) {
    const double theta = limit * a / 20.0 * (1 - 1e-9);
    for (int b = 0; b < 12; ++b) {
      const double phi = 2 * std::numbers::pi * b / 12.0;
      const Vec3 ray{std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                     std::cos(theta)};
      const std::optional<Pixel> pixel = camera.project(ray);
      ASSERT_TRUE(pixel) << theta;
      const std::optional<Vec3> back = camera.unproject(*pixel);
      ASSERT_TRUE(back) << theta;
      const std::optional<Pixel> again = camera.project(*back);
      ASSERT_TRUE(again);
      EXPECT_NEAR(again->u, pixel->u, 1e-6) << theta << ' ' << phi;
      EXPECT_NEAR(again->v, pixel->v, 1e-6) << theta << ' ' << phi;
      EXPECT_NEAR(norm(*back), 1.0, 1e-12);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lenses, KannalaBrandtTest,
    ::testing::Values(
        LensCase{"equidistant", {280, 280, 320, 240, {0, 0, 0, 0}}},
        LensCase{"every_coefficient",
                 {279.5, 279.6, 319.8, 239.9, {0.039, -0.0078, 0.0019, -0.00098}}},
        LensCase{"folding_back", {286.6, 286.5, 422.3, 395.2, {-0.1, 0.01, -0.002, 1e-4}}},
        LensCase{"anisotropic", {460.8, 459.4, 365.9, 249.3, {1.3e-5, 0.0067, -0.0028, 3.5e-4}}}),
    testing::ByCaseName());

// With no distortion the radius is the field angle itself: fx * theta.
TEST(KannalaBrandt, EquidistantInClosedForm) {
  const KannalaBrandtCamera camera({300, 200, 320, 240, {0, 0, 0, 0}});
  const double theta = std::numbers::pi / 6;
  const std::optional<Pixel> right = camera.project({std::sin(theta), 0, std::cos(theta)});
  const std::optional<Pixel> down = camera.project({0, std::sin(theta), std::cos(theta)});
  ASSERT_TRUE(right && down);
  EXPECT_NEAR(right->u, 320 + 300 * theta, 1e-12);
  EXPECT_NEAR(right->v, 240, 1e-12);
  EXPECT_NEAR(down->v, 240 + 200 * theta, 1e-12);
  const std::optional<double> angle = camera.fieldAngle({320 + 300 * theta, 240});
  ASSERT_TRUE(angle);
  EXPECT_NEAR(*angle, theta, 1e-12);
  const std::optional<Pixel> centre = camera.project({0, 0, 2});
  ASSERT_TRUE(centre);
  EXPECT_EQ(centre->u, 320);
  EXPECT_EQ(centre->v, 240);
}

TEST(KannalaBrandt, RefusesWhatItCannotMap) {
  const KannalaBrandtCamera folding({300, 300, 320, 240, {-0.1, 0, 0, 0}});
  const double limit = folding.validFieldAngle();
  EXPECT_FALSE(folding.project({std::sin(limit + 0.01), 0, std::cos(limit + 0.01)}));
  const double edge = distortedAngle({-0.1, 0, 0, 0}, limit);
  EXPECT_TRUE(folding.unproject({320 + 300 * edge * 0.999, 240}));
  EXPECT_FALSE(folding.unproject({320 + 300 * edge * 1.001, 240}));
  EXPECT_FALSE(folding.project({0, 0, 0}));
  const KannalaBrandtCamera flat({0, 300, 320, 240, {0, 0, 0, 0}});
  EXPECT_FALSE(flat.project({0, 0, 1}));
  EXPECT_FALSE(flat.unproject({320, 240}));
}

struct ImagedLens {
  KannalaBrandtLens lens;
  double width;
  double height;
};

// Every lens of the bundled example, with its camera's image size.
std::vector<ImagedLens> exampleLenses() {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/calibration.json");
  const nlohmann::json document = nlohmann::json::parse(in);
  std::vector<ImagedLens> lenses;
  for (const nlohmann::json& camera : document["cameras"]) {
    for (const nlohmann::json& intrinsics : camera["intrinsics"]) {
      const std::optional<KannalaBrandtLens> lens = kannalaBrandtLensFromJson(intrinsics);
      if (lens)
        lenses.push_back({*lens, camera["width"].get<double>(), camera["height"].get<double>()});
    }
  }
  return lenses;
}

// Plausible fisheyes and wide lenses from a fixed seed, every coefficient
// non-zero, some of them turning inside their image.
std::vector<ImagedLens> randomLenses() {
  std::mt19937 generator(20260107);
  const auto uniform = [&](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(generator);
  };
  std::vector<ImagedLens> lenses;
  for (int i = 0; i < 100; ++i) {
    const double width = uniform(320, 1600);
    const double height = uniform(240, 1200);
    const double fx = uniform(0.2, 0.8) * width;
    lenses.push_back(
        {{fx,
          fx * uniform(0.98, 1.02),
          width * uniform(0.4, 0.6),
          height * uniform(0.4, 0.6),
          {uniform(-0.1, 0.1), uniform(-0.05, 0.05), uniform(-0.01, 0.01), uniform(-0.005, 0.005)}},
         width,
         height});
  }
  return lenses;
}

// project ∘ unproject is the identity on every pixel of the imager that the
// lens maps one to one.
TEST(KannalaBrandt, ProjectInvertsUnprojectOverEachImager) {
  std::vector<ImagedLens> lenses = exampleLenses();
  ASSERT_EQ(lenses.size(), 3u);
  const std::vector<ImagedLens> random = randomLenses();
  lenses.insert(lenses.end(), random.begin(), random.end());
  for (const ImagedLens& imaged : lenses) {
    const KannalaBrandtCamera camera(imaged.lens);
    std::size_t unprojected = 0;
    for (const Pixel& pixel : imagerGrid(imaged.width, imaged.height, 32)) {
      const std::optional<Vec3> ray = camera.unproject(pixel);
      if (!ray) continue;
      ++unprojected;
      const std::optional<Pixel> back = camera.project(*ray);
      ASSERT_TRUE(back);
      EXPECT_NEAR(back->u, pixel.u, 1e-6) << imaged.lens.fx << " at " << pixel.u << ' ' << pixel.v;
      EXPECT_NEAR(back->v, pixel.v, 1e-6) << imaged.lens.fx << " at " << pixel.u << ' ' << pixel.v;
    }
    EXPECT_GT(unprojected, 0u) << imaged.lens.fx;
  }
}

}  // namespace
}  // namespace ravelin::geometry
