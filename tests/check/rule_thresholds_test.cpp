#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "check/check.h"
#include "tests/support/case_name.h"

namespace ravelin {
namespace {

using json = nlohmann::json;
using testing::PrintTo;

const char* const kCal = "calibration.json";
const char* const kConfig = "device_config.json";
const json kErase = json(json::value_t::discarded);

enum class Expect { kNothing, kWarning, kError };
constexpr Expect N = Expect::kNothing;
constexpr Expect W = Expect::kWarning;
constexpr Expect E = Expect::kError;

// A value set (or, given kErase, removed) at a JSON Pointer.
using Change = std::pair<const char*, json>;

// One value of an example swept across a threshold (at it, just inside, just
// outside) or onto each branch of a rule, with the level the rule must give
// for each. Other rules may speak at the same place; `rule` is a phrase of
// this rule's reason that tells its findings from theirs.
struct Sweep {
  const char* name;
  const char* at;  // the value swept
  std::vector<std::pair<json, Expect>> values;
  const char* rule = "";
  const char* reportedAt = nullptr;  // where the rule speaks, when not at `at`
  std::vector<Change> setup = {};    // made first
  const char* document = kCal;
};

void apply(json& document, const Change& change) {
  const json::json_pointer pointer(change.first);
  json& parent = document[pointer.parent_pointer()];
  if (!change.second.is_discarded()) {
    document[pointer] = change.second;
  } else if (parent.is_array()) {
    parent.erase(std::stoul(pointer.back()));
  } else {
    parent.erase(pointer.back());
  }
}

std::string listed(const std::vector<Finding>& findings) {
  std::ostringstream out;
  for (const Finding& f : findings)
    out << "\n  " << f.pointer << " = " << f.value << ": " << f.reason;
  return out.str();
}

json example(const char* name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

class RuleThreshold : public ::testing::TestWithParam<Sweep> {};

TEST_P(RuleThreshold, GivesTheLevelOnEachSide) {
  const Sweep& sweep = GetParam();
  const json original = example(sweep.document);
  const std::string reportedAt = sweep.reportedAt != nullptr ? sweep.reportedAt : sweep.at;
  for (const auto& [value, expect] : sweep.values) {
    SCOPED_TRACE(value.is_discarded() ? "erased" : value.dump());
    json document = original;
    for (const Change& change : sweep.setup) apply(document, change);
    apply(document, {sweep.at, value});
    const std::vector<Finding> all =
        sweep.document == kConfig ? checkDeviceConfig(document) : checkCompactCalibration(document);
    std::vector<Finding> judged;
    for (const Finding& finding : all) {
      if (finding.pointer == reportedAt && finding.reason.find(sweep.rule) != std::string::npos) {
        judged.push_back(finding);
      }
    }
    if (expect == N) {
      EXPECT_TRUE(judged.empty()) << listed(judged);
    } else if (judged.size() != 1) {
      ADD_FAILURE() << "expected one finding, all are:" << listed(all);
    } else {
      EXPECT_EQ(judged[0].severity, expect == E ? FindingSeverity::ERROR : FindingSeverity::WARNING)
          << listed(judged);
    }
  }
}

// Where the rows change the example calibration.
const char* const kM0 = "/cameras/0/extrinsics";
const char* const kM0Row0 = "/cameras/0/extrinsics/0";
const char* const kM0Tx = "/cameras/0/extrinsics/3";
const char* const kM0Ty = "/cameras/0/extrinsics/7";
const char* const kM0Tz = "/cameras/0/extrinsics/11";
const char* const kM0Bottom = "/cameras/0/extrinsics/12";
const char* const kM0Corner = "/cameras/0/extrinsics/15";
const char* const kCam1Position = "/cameras/1/extrinsics/position";
const char* const kLens = "/cameras/0/intrinsics/0";
const char* const kFx = "/cameras/0/intrinsics/0/fx";
const char* const kFy = "/cameras/0/intrinsics/0/fy";
const char* const kCx = "/cameras/0/intrinsics/0/cx";
const char* const kCy = "/cameras/0/intrinsics/0/cy";
const char* const kK1 = "/cameras/0/intrinsics/0/k1";
const char* const kK2 = "/cameras/0/intrinsics/0/k2";
const char* const kCircle = "/cameras/0/imageCircleDiameterInDeg";
const char* const kThermal = "/cameras/0/focalLengthThermalModel";
const char* const kSlope = "/cameras/0/focalLengthThermalModel/slope";
const char* const kGrid = "/cameras/1/intrinsics/1/gridSize";
const char* const kSpacing = "/cameras/1/intrinsics/1/nodeSpacing";
const Change kNoCircle{kCircle, kErase};

// The first lens's distortion coefficients, with more changes.
std::vector<Change> lens(double k1, double k2, double k3, double k4, std::vector<Change> more) {
  more.insert(more.end(), {{kK1, k1},
                           {kK2, k2},
                           {"/cameras/0/intrinsics/0/k3", k3},
                           {"/cameras/0/intrinsics/0/k4", k4}});
  return more;
}

// Every position of the CAD section, in its millimetres, times `factor`.
std::vector<Change> cadPositionsTimes(double factor) {
  std::vector<Change> changes;
  for (const char* pose :
       {"/cad/cameras/0/position", "/cad/cameras/1/position", "/cad/imus/0/position"}) {
    json position = example(kCal)[json::json_pointer(pose)];
    for (json& v : position) v = v.get<double>() * factor;
    changes.emplace_back(pose, position);
  }
  return changes;
}

// Camera 0 over again under camera 1's names, with its k4 as given.
json cameraZeroAgain(double k4) {
  const json cameras = example(kCal)["cameras"];
  json camera = cameras[0];
  for (const char* key : {"hardwareIdentifier", "sourceCamera", "serial"}) {
    camera[key] = cameras[1][key];
  }
  camera["intrinsics"][0]["k4"] = k4;
  return camera;
}

// Camera 0's CAD pose turned about y.
json cadPose(const json& plusX, const json& plusZ) {
  return {{"plus_x", plusX}, {"plus_z", plusZ}, {"position", {-62.5, 7.8125, 15.625}}};
}

// The rows are a table: one sweep to a row, laid out by hand.
// clang-format off
const Sweep kCalibrationSweeps[] = {
    // Matrix extrinsics: the bottom row, the rotation block, the translation.
    {"BottomRow", kM0Bottom, {{1e-6, N}, {2e-6, E}}, "bottom row", kM0},
    {"BottomRowCorner", kM0Corner, {{1.000002, E}}, "bottom row", kM0},
    {"NotTransposedWithATranslation", kM0Bottom, {{0.5, N}}, "transposed", kM0},
    {"NotTransposedWithTheCornerOff", kM0Corner, {{2, N}}, "transposed", kM0,
     {{kM0Tx, 0}, {kM0Ty, 0}, {kM0Tz, 0}}},
    {"RotationNotQuite", "/cameras/0/extrinsics/10", {{-1.0000049, N}, {-1.0000051, W}}, "ortho",
     kM0},
    {"RotationUpToTheError", "/cameras/0/extrinsics/5", {{-1.00049, W}}, "ortho", kM0},
    {"RotationBeyondTheError", kM0Row0, {{1.00051, E}}, "ortho", kM0},
    {"TranslationLength", kM0Tx, {{1.0, N}, {1.001, W}}, "translation", kM0,
     {{kM0Ty, 0}, {kM0Tz, 0}}},
    // CAD-form extrinsics (millimetres) and the CAD section (here millimetres).
    {"CadFormPositionFar", kCam1Position, {{{1000, 0, 0}, N}, {{1000.5, 0, 0}, W}}},
    {"CadFormPositionInMetres", kCam1Position,
     {{{1, 0, 0}, N}, {{0.999, 0, 0}, W}, {{0.01, 0, 0}, W}, {{0.0099, 0, 0}, N}}},
    {"CadPoseFromTheHead", "/cad/imus/0/position", {{{1000, 0, 0}, N}, {{1000.5, 0, 0}, W}}},
    {"CadSectionInMetres", "/cad/__units", {{"mm", W}, {"m", N}}, "a millimetre", "/cad",
     cadPositionsTimes(1e-3)},
    {"CadSectionTooSmallForMetres", "/cad/__units", {{"mm", N}}, "a millimetre", "/cad",
     cadPositionsTimes(1e-4)},
    {"CadAgainstTheCalibratedDistance", "/cad/cameras/0/position/0", {{-82.4, N}, {-82.6, W}}, "",
     "/cad/cameras/0"},
    {"CadAgainstTheCalibratedAngle", "/cad/cameras/0",
     {{cadPose({0.996345, 0, -0.085417}, {-0.085417, 0, -0.996345}), N},
      {cadPose({0.996041, 0, -0.088894}, {-0.088894, 0, -0.996041}), W}}},
    {"CadImuAgainstItsHeadPose", "/cad/imus/0/position/2", {{56.5, W}}, "", "/cad/imus/0"},
    // Focal lengths, principal point, and the transposed image.
    {"FocalRatioLow", kFy, {{310, N}, {314, W}}, "fx/fy", kLens, {{kFx, 279}}},
    {"FocalRatioHigh", kFx, {{341, N}, {345, W}}, "fx/fy", kLens, {{kFy, 310}}},
    {"PrincipalPointInTheWidth", kCx, {{0, N}, {-0.01, E}, {640, N}, {640.01, E}}, "outside"},
    {"PrincipalPointInTheHeight", kCy, {{480.01, E}}, "outside"},
    {"PrincipalPointOffCentre", kCx, {{480, N}, {480.5, W}}, "centre"},
    {"AtTheTransposedCentre", kCx, {{264, W}, {264.5, N}}, "swapped", kLens, {{kCy, 320}}},
    {"TransposedCentreFarFromThisOne", "/cameras/0/height", {{500, N}, {496, W}}, "swapped", kLens,
     {{"/cameras/0/width", 600}, {kCx, 250}, {kCy, 300}}},
    // The distortion curve against what the image needs; a circle given in
    // radians or too small in pixels hides no fold-back.
    {"TurnInTheCircle", kCircle, {{116.1, N}, {116.2, E}}, "stops", kLens, lens(0, 0, 0, -0.1, {})},
    {"TurnBeforeTheCorner", kFx, {{445, N}, {440, E}}, "stops", kLens,
     lens(0, 0, 0, -0.1, {kNoCircle, {kFy, 445}})},
    {"TinyCircleHidesNoFoldBack", kCircle, {{3.15, E}}, "corner needs", kLens,
     lens(0, 0, 0, -0.1, {})},
    {"SmallCircleHidesNoFoldBack", kFx, {{50, E}}, "corner needs", kLens, {{kFy, 50}}},
    // The field of view: too narrow, beyond 180 degrees, a circle of another size.
    {"CornerNarrow", kFx, {{9000, N}, {9300, W}}, "off the axis", kLens, {kNoCircle, {kFy, 9000}}},
    {"CornerBeyond180Degrees", kFx, {{128, N}, {127, W}}, "180 deg", kLens,
     lens(0, 0, 0, 0, {kNoCircle, {kFy, 128}})},
    {"CircleAgainstTheShortSide", kFx, {{73.2, N}, {73.0, W}}, "circle is", kLens, {{kFy, 73.2}}},
    {"CircleAgainstTheDiagonal", kFx, {{365.5, N}, {365.9, W}}, "circle is", kLens, {{kFy, 365.7}}},
    {"CircleInDegrees", kCircle, {{360, N}, {360.5, W}, {10, N}, {9.99, W}, {0, W}}},
    // How far the distortion compresses or stretches the field.
    {"Stretch", kK1, {{8.7, N}, {8.9, W}}, "theta_d/theta", kLens, lens(0, 0, 0, 0, {kNoCircle})},
    {"Compression", kK2, {{0.0451, N}, {0.0449, W}}, "theta_d/theta", kLens,
     lens(-0.3, 0, 0, 0, {kNoCircle})},
    // The focal length's thermal model against the focal lengths.
    {"ThermalOffsetX", "/cameras/0/focalLengthThermalModel/offset/0", {{275, N}, {275.5, W}}, "",
     kThermal, {{"/cameras/0/temperature", kErase}, {kFx, 250}}},
    {"ThermalOffsetY", "/cameras/0/focalLengthThermalModel/offset/1", {{0, W}}, "", kThermal},
    {"ThermalSlopeWarm", kSlope, {{1.0, W}}, "", kThermal},
    {"ThermalSlopeCold", kSlope, {{1.0, N}}, "", kThermal,
     {{"/cameras/0/temperature/max", kErase}}},
    {"ThermalSlopeAtZero", kSlope, {{1.0, N}}, "", kThermal, {{"/cameras/0/temperature", kErase}}},
    // Temperatures, pre-rotation, crop region, spline grid.
    {"TemperatureCold", "/cameras/0/temperature/min", {{-55, N}, {-55.5, W}}},
    {"TemperatureHot", "/cameras/0/temperature/max", {{150, N}, {150.5, W}}},
    {"Mtf50TemperatureInKelvin", "/cameras/0/mtf50/temp", {{308.65, W}}},
    {"ImuTemperatureInKelvin", "/imus/0/temperature/max", {{318.15, W}}},
    {"TemperaturesInOrder", "/cameras/0/temperature/min", {{45.25, N}, {45.5, W}}, "above",
     "/cameras/0/temperature"},
    {"PreRotation", "/cameras/1/preRotateClockwiseByDeg", {{270, N}, {-90, N}, {45, W}, {90.5, W}}},
    {"CropAcross", "/cameras/0/cropRegion/x", {{0, N}, {-1, W}, {640, N}, {641, W}}},
    {"CropDown", "/cameras/0/cropRegion/y", {{480, N}, {481, W}}},
    {"SplineSu", "/cameras/1/intrinsics/1/sU/24", {{kErase, E}}, "", kGrid},
    {"SplineSv", "/cameras/1/intrinsics/1/sV/24", {{kErase, E}}, "", kGrid},
    {"SplineGridAcross", "/cameras/1/intrinsics/1/gridSize/0", {{0, E}}, "", kGrid},
    {"SplineGridDown", "/cameras/1/intrinsics/1/gridSize/1", {{0, E}}, "", kGrid},
    {"SplineSpacingAcross", "/cameras/1/intrinsics/1/nodeSpacing/0", {{0, E}}, "", kSpacing},
    {"SplineSpacingDown", "/cameras/1/intrinsics/1/nodeSpacing/1", {{0, E}}, "", kSpacing},
    // IMU scale factors, cross-axis terms, biases, unit scale.
    {"ScaleFactorLow", "/imus/0/scaleFactors_accel/0", {{0.8, N}, {0.79, W}}},
    {"ScaleFactorHigh", "/imus/0/scaleFactors_accel/2", {{1.2, N}, {1.21, W}}},
    {"CrossAxisHigh", "/imus/0/scaleFactorsCrossAxis_gyro/5", {{0.1, N}, {0.11, W}}},
    {"CrossAxisLow", "/imus/0/scaleFactorsCrossAxis_accel/0", {{-0.1, N}, {-0.11, W}}},
    {"MetricAccelBias", "/imus/0/bias_accel", {{{1, 0, 0}, N}, {{1.001, 0, 0}, W}}, "", nullptr,
     {{"/imus/0/is_bias_metric", true}}},
    {"ScaledAccelBias", "/imus/0/bias_accel", {{{0.5, 0, 0}, N}, {{0.5005, 0, 0}, W}}, "", nullptr,
     {{"/imus/0/meters_per_accel_unit", 2}}},
    {"GyroBias", "/imus/0/bias_gyro", {{{0.2, 0, 0}, N}, {{0, 0, 0.2001}, W}}},
    {"UnitScale", "/imus/0/meters_per_accel_unit", {{0, E}, {9.80665, N}}},
    {"UnitScaleOfMetricBiases", "/imus/0/meters_per_accel_unit",
     {{10.29, W}, {10.3, N}, {0.10197, W}}, "", nullptr, {{"/imus/0/is_bias_metric", true}}},
    // IMU rates, noise figures and clocks.
    {"SamplingRate", "/imus/0/samplingRateInHz", {{10, N}, {9.99, W}, {100000, N}, {100001, W}}},
    {"GyroNoise", "/imus/0/gyroNoiseDensityStdDegsPerSecPerSqrtHz",
     {{1e-5, N}, {0.99e-5, W}, {1, N}, {1.01, W}}},
    {"AccelNoise", "/imus/0/accelNoiseDensityStdMtrsPerSecSqPerSqrtHz",
     {{1e-6, N}, {0.99e-6, W}, {1, N}, {1.01, W}}},
    {"GyroDrift", "/imus/0/gyroBiasStdPerMinute", {{1e-6, N}, {0.99e-6, W}, {10, N}, {10.1, W}}},
    {"AccelDrift", "/imus/0/accelBiasStdPerMinute",
     {{1e-6, N}, {0.99e-6, W}, {1, N}, {1.01, W}, {0, E}}},
    {"TimeOffset", "/imus/0/imuToCamTimeOffset", {{0.1, N}, {0.1001, W}, {-0.1001, W}}},
    // Cameras against each other, names and parents.
    {"Baseline", kCam1Position,
     {{{-68.2125, 23.4375, -15.625}, N}, {{-68.4125, 23.4375, -15.625}, W}}, "one place",
     "/cameras/1/extrinsics"},
    {"BaselineThroughTheImu", kCam1Position, {{{-62.5, 7.8125, 15.625}, W}}, "one place",
     "/cameras/1/extrinsics", {{"/cameras/1/parent", "head"}}},
    {"CopiedCamera", "/cameras/1",
     {{cameraZeroAgain(-0.0009765625), E}, {cameraZeroAgain(-0.001), N}}, "copied"},
    {"OwnParent", "/imus/0/parent", {{"imu0", E}}},
    {"ParentCycle", "/imus/0/parent", {{"cam-left-7f3a", E}}, "cycle", "/cameras/0/parent"},
    {"ParentCycleNamedOnce", "/imus/0/parent", {{"cam-left-7f3a", N}}},
    {"ParentCycleEnteredFromOutside", "/imus/0/parent", {{"camera_right", E}}, "cycle",
     "/cameras/1/parent"},
    {"SourceCameraTwice", "/cameras/1/sourceCamera", {{"camera_left", W}}},
    {"NothingCalibrated", "/imus", {{json::array(), E}}, "", "/cameras",
     {{"/cameras", json::array()}}},
    {"OnlyAnImu", "/cameras", {{json::array(), N}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Calibration, RuleThreshold, ::testing::ValuesIn(kCalibrationSweeps),
                         testing::ByCaseName());

const char* const kEyeToHead = "/tracking_to_eye_transform/0/eye_to_head";
const char* const kControlPoints = "/tracking_to_eye_transform/0/inverse_distortion/nSplineCtrlPts";

// clang-format off
const Sweep kDeviceConfigSweeps[] = {
    {"DisplayFrequency", "/display_frequency", {{0, E}, {1, N}, {-1, E}, {0.0, N}}, "", nullptr, {},
     kConfig},
    {"R2max", "/tracking_to_eye_transform/0/distortion/r2max", {{nullptr, E}, {"x", N}}, "",
     nullptr, {}, kConfig},
    {"ControlPoints", kControlPoints, {{16, N}, {1, N}, {0, E}, {-1, E}}, "", nullptr, {}, kConfig},
    {"EyeRotation", "/tracking_to_eye_transform/0/eye_to_head/1/1",
     {{1.000999, N}, {1.00101, W}, {1.00995, W}, {1.0101, E}}, "", kEyeToHead, {}, kConfig},
    {"HeadAxisLength", "/head/plus_z", {{{0, 0, 1.001}, N}, {{0, 0, 1.0011}, E}}, "", nullptr, {},
     kConfig},
    {"HeadAxesCosine", "/head/plus_z", {{{0.0009, 0, 1}, N}, {{0.0011, 0, 1}, E}}, "cos", "/head",
     {{"/head/plus_x", {1, 0, 0}}}, kConfig},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(DeviceConfig, RuleThreshold, ::testing::ValuesIn(kDeviceConfigSweeps),
                         testing::ByCaseName());

}  // namespace
}  // namespace ravelin
