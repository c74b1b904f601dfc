#include "diff/diff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "geometry/pose.h"
#include "tests/support/case_name.h"

namespace ravelin::diff {
namespace {

using geometry::degrees;
using geometry::radians;
using geometry::operator*;
using testing::PrintTo;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

json& camera0(json& d) {
  return d["cameras"][0];
}
json& kb0(json& d) {
  return d["cameras"][0]["intrinsics"][0];
}

// Camera 0's pose turned about its own axis by `angleDeg`, its origin kept.
void rotateCamera0(json& d, const geometry::Vec3& axis, double angleDeg) {
  const geometry::Pose pose = geometry::poseFromMatrixExtrinsics(
      camera0(d)["extrinsics"].get<geometry::MatrixExtrinsics>());
  const geometry::Pose turned{
      pose.rotation * geometry::transpose(geometry::rotationAboutAxis(axis, radians(angleDeg))),
      pose.translation};
  camera0(d)["extrinsics"] = geometry::matrixExtrinsicsFromPose(turned);
}

// Camera 0 of the example: the principal point, and the grid point farthest
// from it (a corner).
constexpr double kFx = 279.5;
constexpr double kCx = 319.75;
const double kFarthestCorner = std::hypot(kCx, 239.875);

constexpr double kAngleDeg = 0.2;

struct Perturbation {
  const char* name;
  const char* example;
  void (*prepare)(json&);  // to both documents, or nullptr
  void (*change)(json&);   // to the new document
  Verdict verdict;
  std::size_t changes;
  void (*expect)(const DiffReport&);
};

void nothingMore(const DiffReport&) {}

const Change& onlyChange(const DiffReport& report) {
  std::vector<const Change*> all;
  forEachChange(report, [&](const Change& change) { all.push_back(&change); });
  EXPECT_EQ(all.size(), 1u);
  return *all.front();
}

void rotatedInPlace(const DiffReport& report) {
  const CameraDiff& camera = report.cameras[0];
  EXPECT_NEAR(*camera.rotationDeg, kAngleDeg, 1e-4);
  EXPECT_NEAR(*camera.translationMm, 0.0, 1e-9);
  EXPECT_LT(camera.intrinsicsProjection->max, 1e-6);
  EXPECT_LT(camera.bestRotationProjection->max, 1e-6);
  EXPECT_LT(*camera.bestRotationDeg, 1e-6);
  EXPECT_EQ(camera.projection->unseen, 0u);
}

// About the optical axis every point turns about the principal point: the
// farthest corner moves by 2 r sin(angle / 2).
void rolled(const DiffReport& report) {
  rotatedInPlace(report);
  const double expected = 2 * kFarthestCorner * std::sin(radians(kAngleDeg) / 2);
  EXPECT_NEAR(report.cameras[0].projection->max, expected, 0.01 * expected);
}

// Across the optical axis the image centre moves by fx times the angle, and
// no point moves twice that with this lens.
void tilted(const DiffReport& report) {
  rotatedInPlace(report);
  const double centreShift = kFx * radians(kAngleDeg);
  EXPECT_GT(report.cameras[0].projection->max, centreShift);
  EXPECT_LT(report.cameras[0].projection->max, 2 * centreShift);
}

const Perturbation kPerturbations[] = {
    {"Identity", "calibration.json", nullptr, [](json&) {}, Verdict::IDENTICAL, 0,
     [](const DiffReport& report) {
       ASSERT_EQ(report.cameras.size(), 2u);
       for (const CameraDiff& camera : report.cameras) {
         EXPECT_EQ(*camera.rotationDeg, 0.0);
         EXPECT_LT(camera.projection->max, 1e-9);
         EXPECT_EQ(camera.projection->seen, 33u * 33u);
       }
     }},
    {"BelowSinglePrecision", "calibration.json", nullptr,
     [](json& d) { kb0(d)["fx"] = kFx + 1e-5; }, Verdict::IDENTICAL, 0, nothingMore},
    {"SpelledKb4", "calibration.json", nullptr, [](json& d) { kb0(d)["cameraModel"] = "kb4"; },
     Verdict::IDENTICAL, 0, nothingMore},
    {"CadExtrinsicsInMetres", "calibration.json", nullptr,
     [](json& d) {
       d["cameras"][1]["extrinsics"].update(
           {{"__units", "m"}, {"position", {0.0546875, 0.0234375, -0.046875}}});
     },
     Verdict::IDENTICAL, 0, nothingMore},
    {"RotatedAboutX", "calibration.json", nullptr,
     [](json& d) {
       rotateCamera0(d, {1, 0, 0}, kAngleDeg);
     },
     Verdict::BEYOND, 2, tilted},
    {"RotatedAboutY", "calibration.json", nullptr,
     [](json& d) {
       rotateCamera0(d, {0, 1, 0}, kAngleDeg);
     },
     Verdict::BEYOND, 2, tilted},
    {"RotatedAboutZ", "calibration.json", nullptr,
     [](json& d) {
       rotateCamera0(d, {0, 0, 1}, kAngleDeg);
     },
     Verdict::BEYOND, 2, rolled},
    // Turned towards +x with the principal point moved back by as much: the
    // image centre stays, and only the lens's curvature leaves points apart.
    // Turned the other way the two would add up instead.
    {"TurnedAndRecentred", "calibration.json", nullptr,
     [](json& d) {
       rotateCamera0(d, {0, 1, 0}, kAngleDeg);
       kb0(d)["cx"] = kCx - kFx * radians(kAngleDeg);
     },
     Verdict::BEYOND, 4,
     [](const DiffReport& report) {
       EXPECT_LT(report.cameras[0].projection->max, 0.6 * kFx * radians(kAngleDeg));
     }},
    // The new curve turns back before the image corners: those points are lost.
    {"LensFoldsBeforeTheCorners", "calibration.json", nullptr,
     [](json& d) { kb0(d)["k4"] = -0.02; }, Verdict::BEYOND, 3,
     [](const DiffReport& report) {
       EXPECT_GT(report.cameras[0].intrinsicsProjection->lost, 0u);
       EXPECT_EQ(report.cameras[0].intrinsicsProjection->unseen,
                 report.cameras[0].intrinsicsProjection->lost);
     }},
    // fx alone scales u - cx: the farthest column moves by the scale times its distance.
    {"FocalLengthScaled", "calibration.json", nullptr,
     [](json& d) { kb0(d)["fx"] = kFx * (1 + 1e-4); }, Verdict::WITHIN, 3,
     [](const DiffReport& report) {
       const double expected = 1e-4 * kCx;
       EXPECT_NEAR(report.cameras[0].intrinsicsProjection->max, expected, 0.01 * expected);
       EXPECT_NEAR(report.cameras[0].projection->max, expected, 0.01 * expected);
     }},
    {"Translated2Millimetres", "calibration.json", nullptr,
     [](json& d) { d["cameras"][1]["extrinsics"]["position"][0] = 56.6875; }, Verdict::BEYOND, 1,
     [](const DiffReport& report) {
       EXPECT_NEAR(*report.cameras[1].translationMm, 2.0, 1e-9);
       EXPECT_LT(report.cameras[1].projection->max, 1e-9);
       EXPECT_EQ(onlyChange(report).measure->unit, std::string("mm"));
     }},
    {"GyroBiasDrifted", "calibration.json", nullptr,
     [](json& d) { d["imus"][0]["bias_gyro"][2] = 5e-4; }, Verdict::WITHIN, 1,
     [](const DiffReport& report) {
       EXPECT_NEAR(onlyChange(report).measure->value, degrees(5e-4), 1e-12);
     }},
    // A bias in accelerometer units: 0.1 units of 0.25 m/s^2 is 0.025 m/s^2.
    {"AccelBiasInAccelUnits", "calibration.json",
     [](json& d) { d["imus"][0]["meters_per_accel_unit"] = 0.25; },
     [](json& d) { d["imus"][0]["bias_accel"][0] = 0.015625 + 0.1; }, Verdict::WITHIN, 1,
     [](const DiffReport& report) { EXPECT_NEAR(onlyChange(report).measure->value, 0.025, 1e-9); }},
    {"ScaleFactorBeyond500Ppm", "calibration.json", nullptr,
     [](json& d) { d["imus"][0]["scaleFactors_accel"][1] = 0.9921875 + 6e-4; }, Verdict::BEYOND, 1,
     [](const DiffReport& report) { EXPECT_NEAR(onlyChange(report).measure->value, 600.0, 1e-6); }},
    {"MetadataDate", "calibration.json", nullptr,
     [](json& d) { d["metadata"]["date"] = "2025-06-01"; }, Verdict::WITHIN, 1,
     [](const DiffReport& report) {
       EXPECT_EQ(changeLine(onlyChange(report)),
                 "/metadata/date: \"2024-03-18\" -> \"2025-06-01\"");
     }},
    {"AnotherCamera", "calibration.json", nullptr,
     [](json& d) { camera0(d)["serial"] = "LC-20431-0099"; }, Verdict::BEYOND, 1, nothingMore},
    {"SplineGridValue", "calibration.json", nullptr,
     [](json& d) { d["cameras"][1]["intrinsics"][1]["sU"][3] = 0.1875; }, Verdict::BEYOND, 1,
     [](const DiffReport& report) {
       EXPECT_EQ(changeLine(onlyChange(report)),
                 "/cameras/1/intrinsics/1/sU: largest change 0.0625 (element 3), 1 of 25 values "
                 "changed");
     }},
    {"CameraRemoved", "calibration.json", nullptr, [](json& d) { d["cameras"].erase(1); },
     Verdict::BEYOND, 1,
     [](const DiffReport& report) {
       EXPECT_EQ(report.cameras.size(), 1u);
       EXPECT_EQ(changeLine(onlyChange(report)), "/cameras/1: only in the old document");
     }},
    {"EyeRotated", "device_config.json", nullptr,
     [](json& d) {
       json& m = d["tracking_to_eye_transform"][0]["eye_to_head"];
       const geometry::Mat3 turn = geometry::rotationAboutAxis({0, 1, 0}, radians(0.1));
       geometry::Mat3 r{};
       for (std::size_t i = 0; i < 9; ++i) r[i] = m[i / 3][i % 3].get<double>();
       r = turn * r;
       for (std::size_t i = 0; i < 9; ++i) m[i / 3][i % 3] = r[i];
     },
     Verdict::BEYOND, 1,
     [](const DiffReport& report) { EXPECT_NEAR(onlyChange(report).measure->value, 0.1, 5e-4); }},
    {"DistortionCoefficient", "device_config.json", nullptr,
     [](json& d) { d["tracking_to_eye_transform"][1]["distortion_red"]["coeffs"][2] = 0.05; },
     Verdict::BEYOND, 1,
     [](const DiffReport& report) {
       EXPECT_EQ(changeLine(onlyChange(report)),
                 "/tracking_to_eye_transform/1/distortion_red/coeffs/2: 0.03515625 -> 0.05: "
                 "+0.0148438 (+42.2 %)");
     }},
};

class DiffOfAPerturbedExample : public ::testing::TestWithParam<Perturbation> {};

TEST_P(DiffOfAPerturbedExample, FindsWhatChangedAndWeighsIt) {
  const Perturbation& tested = GetParam();
  json older = loadExample(tested.example);
  if (tested.prepare != nullptr) tested.prepare(older);
  json newer = older;
  tested.change(newer);
  const DiffReport report = tested.example == std::string("device_config.json")
                                ? diffDeviceConfigs(older, newer)
                                : diffCalibrations(older, newer);
  const ChangeCounts counts = countChanges(report);
  std::string lines;
  forEachChange(report, [&](const Change& change) { lines += changeLine(change) + '\n'; });
  EXPECT_EQ(counts.within + counts.beyond, tested.changes) << lines;
  EXPECT_EQ(verdictOf(report), tested.verdict) << lines;
  tested.expect(report);
}

INSTANTIATE_TEST_SUITE_P(KnownAnswers, DiffOfAPerturbedExample, ::testing::ValuesIn(kPerturbations),
                         testing::ByCaseName());

// Every change of the log is in the report, under its camera, its IMU or the top.
TEST(DiffReportJson, HoldsEveryChangeWhereItBelongs) {
  const json older = loadExample("calibration.json");
  json newer = older;
  kb0(newer)["fx"] = kFx * 1.01;
  newer["imus"][0]["sourceImu"] = "imu-main";
  newer["metadata"]["created_by"] = "station-7";
  DiffReport report = diffCalibrations(older, newer);
  addCorruptBlob(report, Side::NEW);
  const json rendered = reportJson(report);
  EXPECT_EQ(rendered["kind"], "calibration");
  EXPECT_EQ(rendered["verdict"], "beyond");
  EXPECT_EQ(rendered["cameras"][0]["changes"].size(), 3u);
  EXPECT_EQ(rendered["cameras"][0]["changes"][0]["pointer"], "/cameras/0/intrinsics/0/fx");
  EXPECT_EQ(rendered["imus"][0]["changes"][0]["new"], "imu-main");
  ASSERT_EQ(rendered["changes"].size(), 2u);
  EXPECT_EQ(rendered["changes"][0]["pointer"], "/metadata/created_by");
  EXPECT_EQ(rendered["changes"][1]["pointer"], "");
  EXPECT_FALSE(rendered["changes"][1]["within"].get<bool>());
  EXPECT_LT(rendered["cameras"][1]["projection_px"]["max"], 1e-9);
  EXPECT_GT(rendered["cameras"][0]["projection_px_best_rotation"]["rotation_deg"], 0.0);
}

}  // namespace
}  // namespace ravelin::diff
