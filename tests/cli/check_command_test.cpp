#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <vector>

#include "check/check.h"
#include "cli/command_line.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "wire/byte_io.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using json = nlohmann::json;
using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using testing::ProcessResult;
using testing::runRavelin;
using testing::successLine;
using testing::TempDir;
using testing::warningLine;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

class CheckCommand : public ::testing::Test {
 protected:
  ProcessResult checkJson(const json& document) {
    testing::writeText(json_, document.dump(2));
    return runRavelin({"check", "--json", json_});
  }

  // The example calibration encoded, for cases that start from a blob.
  Bytes exampleBlob() {
    testing::writeText(json_, loadExample("calibration.json").dump());
    EXPECT_EQ(runRavelin({"encode", "--json", json_, "--bin", blob_, "--force"}).exitCode, 0);
    return testing::readBytes(blob_);
  }

  TempDir dir_;
  std::string json_ = (dir_ / "in.json").string();
  std::string blob_ = (dir_ / "in.bin").string();
};

TEST_F(CheckCommand, TheBundledExamplesArePlausible) {
  for (const char* name : {"calibration.json", "device_config.json"}) {
    const std::string path = std::string(PROJECT_SOURCE_DIR) + "/examples/" + name;
    const ProcessResult result = runRavelin({"check", "--json", path});
    EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
    EXPECT_EQ(result.out, successLine("Check of " + path + ": nothing implausible found"));
    EXPECT_EQ(result.err, "");
  }
}

// One thing broken in an example; the check must find exactly that.
struct BrokenCase {
  const char* name;
  const char* example;
  void (*breakIt)(json&);
  FindingSeverity severity;
  std::string line;
};

json& camera0(json& d) {
  return d["cameras"][0];
}
json& kb0(json& d) {
  return d["cameras"][0]["intrinsics"][0];
}
json& eye0(json& d) {
  return d["tracking_to_eye_transform"][0];
}

constexpr auto kError = FindingSeverity::ERROR;
constexpr auto kWarning = FindingSeverity::WARNING;
const char* const kCal = "calibration.json";
const char* const kConfig = "device_config.json";

const BrokenCase kBrokenCases[] = {
    {"MatrixWrittenTransposed", kCal,
     [](json& d) {
       json& m = camera0(d)["extrinsics"];
       for (std::size_t r = 0; r < 4; ++r) {
         for (std::size_t c = r + 1; c < 4; ++c) std::swap(m[4 * r + c], m[4 * c + r]);
       }
     },
     kError,
     "/cameras/0/extrinsics = [1.0,0.0,0.0,0.0,0.0,-1.0,0.0,0.0,0.0,0.0,-1.0,0.0,0.0703125,"
     "0.0234375,-0.015625,1.0]: bottom row [0.0703125, 0.0234375, -0.015625, 1] is not 0 0 0 1 "
     "within 1e-06: the translation sits in the bottom row, the matrix is written transposed"},
    {"ReflectedAxis", kCal, [](json& d) { camera0(d)["extrinsics"][0] = -1.0; }, kError,
     "/cameras/0/extrinsics = [-1.0,0.0,0.0,0.0703125,0.0,-1.0,0.0,0.0234375,0.0,0.0,-1.0,"
     "-0.015625,0.0,0.0,0.0,1.0]: det(R) = -1: a reflection (a flipped axis), not a rotation"},
    {"TranslationInMillimetres", kCal,
     [](json& d) {
       json& m = camera0(d)["extrinsics"];
       for (std::size_t i = 3; i < 12; i += 4) m[i] = m[i].get<double>() * 1000;
       d["cad"].erase("cameras");
     },
     kWarning,
     "/cameras/0/extrinsics = [1.0,0.0,0.0,70.3125,0.0,-1.0,0.0,23.4375,0.0,0.0,-1.0,-15.625,0.0,"
     "0.0,0.0,1.0]: translation 75.74 m long, more than the 1 m a head-mounted device spans "
     "(millimetres written as metres?)"},
    // As millimetres 1.76 m would be no offset within a device.
    {"VehicleBaselineIsNoMillimetreSlip", kCal,
     [](json& d) {
       camera0(d)["extrinsics"][3] = 1.76;
       d["cad"].erase("cameras");
     },
     kWarning,
     "/cameras/0/extrinsics = "
     "[1.0,0.0,0.0,1.76,0.0,-1.0,0.0,0.0234375,0.0,0.0,-1.0,-0.015625,0.0,0.0,0.0,1.0]: "
     "translation 1.76 m long, more than the 1 m a head-mounted device spans"},
    {"PrincipalPointOutside", kCal, [](json& d) { kb0(d)["cx"] = 700.0; }, kError,
     "/cameras/0/intrinsics/0/cx = 700.0: principal point outside the image: must lie in [0, 640], "
     "the image width"},
    {"DistortionTurnsInsideTheImageCircle", kCal,
     [](json& d) {
       kb0(d).update({{"k1", 0.0}, {"k2", 0.0}, {"k3", 0.0}, {"k4", -0.1}});
     },
     kError,
     "/cameras/0/intrinsics/0 = k1 0.0, k2 0.0, k3 0.0, k4 -0.1: distortion theta_d(theta) stops "
     "increasing at theta = 58.1 deg, inside the image circle (out to theta = 90.25 deg)"},
    {"DistortionTurnsBeforeTheFarthestCorner", kCal,
     [](json& d) {
       camera0(d).erase("imageCircleDiameterInDeg");
       kb0(d).update({{"k1", 0.0}, {"k2", 0.0}, {"k3", 0.0}, {"k4", -0.1}});
     },
     kError,
     "/cameras/0/intrinsics/0 = k1 0.0, k2 0.0, k3 0.0, k4 -0.1: distortion theta_d(theta) stops "
     "increasing at theta = 58.1 deg (theta_d = 51.6 deg), short of the theta_d = 82.0 deg that "
     "the farthest image corner needs"},
    {"SplineGridAndControlPointsDisagree", kCal,
     [](json& d) {
       d["cameras"][1]["intrinsics"][1]["gridSize"] = {4, 5};
     },
     kError,
     "/cameras/1/intrinsics/1/gridSize = [4,5]: a 4x5 grid has 20 control points, but sU holds 25 "
     "and sV 25"},
    {"NanWrittenAsNull", kCal, [](json& d) { kb0(d)["fx"] = nullptr; }, kError,
     "/cameras/0/intrinsics/0/fx = null: not a finite number (decode writes a NaN or an infinity "
     "as null)"},
    {"DuplicateSerial", kCal, [](json& d) { d["cameras"][1]["serial"] = camera0(d)["serial"]; },
     kWarning, "/cameras/1/serial = \"LC-20431-0087\": the same as /cameras/0/serial"},
    {"ParentNamesNothing", kCal, [](json& d) { d["imus"][0]["parent"] = "imu1"; }, kWarning,
     "/imus/0/parent = \"imu1\": names no camera or IMU (by source name or hardware identifier) "
     "and is not \"head\""},
    {"CadPoseCountDiffers", kCal, [](json& d) { d["cad"]["imus"].push_back(d["cad"]["imus"][0]); },
     kWarning, "/cad/imus = 2 poses: the calibration has 1 entries in /imus"},
    {"CadAxisNotUnit", kCal,
     [](json& d) {
       d["cad"]["__head"]["plus_z"] = {0.0, 0.0, 1.01};
     },
     kError, "/cad/__head/plus_z = [0.0,0.0,1.01]: length 1.01, not 1 within 0.001"},
    {"CadPoseFarInTheStatedUnits", kCal,
     [](json& d) {
       d["cad"]["__units"] = "m";
       for (const char* list : {"cameras", "imus"}) {
         for (json& pose : d["cad"][list]) {
           for (json& v : pose["position"]) v = v.get<double>() / 1000;
         }
       }
       d["cad"]["imus"][0]["position"][0] = 1.25;
       for (json& object : d["cameras"]) object.erase("parent");
       d["imus"][0].erase("parent");
     },
     kWarning,
     "/cad/imus/0/position = [1.25,-0.015625,0.03125]: 1.25 m from the head, farther than 1 m"},
    {"CadFormExtrinsicsClaimMetres", kCal,
     [](json& d) { d["cameras"][1]["extrinsics"]["__units"] = "m"; }, kWarning,
     "/cameras/1/extrinsics/__units = \"m\": the blob keeps CAD-form extrinsics in millimetres and "
     "drops this annotation: the device reads the position in mm"},
    {"AccelBiasInAccelUnits", kCal,
     [](json& d) {
       d["imus"][0].update({{"meters_per_accel_unit", 9.80665}, {"bias_accel", {0.1, 0.05, 0.0}}});
     },
     kWarning,
     "/imus/0/bias_accel = [0.1,0.05,0.0]: |bias| = 1.096 m/s^2 (0.1118 accel units of 9.80665 "
     "m/s^2), beyond 1 m/s^2"},
    {"ScaleFactorFarFromOne", kCal, [](json& d) { d["imus"][0]["scaleFactors_gyro"][1] = 1.3; },
     kWarning, "/imus/0/scaleFactors_gyro/1 = 1.3: scale factor outside [0.8, 1.2]"},
    {"SamplingRateZero", kCal, [](json& d) { d["imus"][0]["samplingRateInHz"] = 0; }, kError,
     "/imus/0/samplingRateInHz = 0: must be positive"},
    {"FocalLengthsFarApart", kCal,
     [](json& d) {
       kb0(d)["fy"] = 200.0;
       camera0(d)["focalLengthThermalModel"]["offset"][1] = 200.0;
     },
     kWarning, "/cameras/0/intrinsics/0 = fx 279.5, fy 200: fx/fy = 1.397, outside [0.9, 1.1]"},
    // Lens against sensor.
    {"FocalLengthInMillimetres", kCal,
     [](json& d) {
       camera0(d).erase("imageCircleDiameterInDeg");
       camera0(d).erase("focalLengthThermalModel");
       kb0(d).update(
           {{"fx", 1.8}, {"fy", 1.8}, {"k1", 0.0}, {"k2", 0.0}, {"k3", 0.0}, {"k4", 0.0}});
     },
     kWarning,
     "/cameras/0/intrinsics/0 = fx 1.8, fy 1.8: the farthest image corner needs theta_d = "
     "222.4, beyond the 3.142 the lens reaches at 180 deg: focal lengths too short for a "
     "640x480 image"},
    {"FocalLengthHundredTimes", kCal,
     [](json& d) {
       camera0(d).erase("imageCircleDiameterInDeg");
       camera0(d).erase("focalLengthThermalModel");
       kb0(d).update({{"fx", 27950.0}, {"fy", 27962.5}});
     },
     kWarning,
     "/cameras/0/intrinsics/0 = fx 27950, fy 27962.5: the farthest image corner lies 0.82 deg "
     "off the axis, under 2.5 deg: focal lengths too long for a 640x480 image"},
    {"ImageCircleOfAnotherFocalLength", kCal,
     [](json& d) {
       camera0(d).erase("focalLengthThermalModel");
       kb0(d).update({{"fx", 559.0}, {"fy", 559.25}});
     },
     kWarning,
     "/cameras/0/intrinsics/0 = fx 559, fy 559.25, circle 180.5 deg: the image circle is 1835 "
     "px across, beyond 1.5 times the image diagonal (800 px): focal lengths or circle of "
     "another image"},
    {"WidthAndHeightSwapped", kCal,
     [](json& d) {
       camera0(d).update({{"width", 480}, {"height", 640}});
     },
     kWarning,
     "/cameras/0/intrinsics/0 = cx 319.75, cy 239.875: the principal point lies at the centre "
     "of a 640x480 image (within 5%), 16.6% off the centre of this 480x640 one: width and "
     "height swapped, or cx and cy?"},
    {"DistortionStretchesTooFar", kCal,
     [](json& d) {
       camera0(d).erase("imageCircleDiameterInDeg");
       kb0(d).update({{"k1", 9.0}, {"k2", 0.0}, {"k3", 0.0}, {"k4", 0.0}});
     },
     kWarning,
     "/cameras/0/intrinsics/0 = k1 9.0, k2 0.0, k3 0.0, k4 0.0: theta_d/theta rises to 3.02 "
     "at theta = 27.2 deg, beyond 3: the distortion stretches the image more than a "
     "rectilinear lens"},
    {"ThermalModelOfAnotherFocalLength", kCal,
     [](json& d) {
       camera0(d)["focalLengthThermalModel"]["offset"] = {0.25, 0.25};
     },
     kWarning,
     "/cameras/0/focalLengthThermalModel = slope 0.0078125, offset [0.25, 0.25]: slope * T + "
     "offset gives fx = 0.3711 px at 15.5 C, 99.9% from the 279.5 px of "
     "/cameras/0/intrinsics/0, beyond 10%"},
    {"ImageCircleInRadians", kCal, [](json& d) { camera0(d)["imageCircleDiameterInDeg"] = 3.15; },
     kWarning,
     "/cameras/0/imageCircleDiameterInDeg = 3.15: under 10 degrees, narrower than any lens "
     "that draws a circle (radians written as degrees?)"},
    // Units.
    {"TimeOffsetInMilliseconds", kCal, [](json& d) { d["imus"][0]["imuToCamTimeOffset"] = 2.5; },
     kWarning,
     "/imus/0/imuToCamTimeOffset = 2.5: beyond 0.1 s, farther than the camera and IMU clocks "
     "of one device lie apart (milliseconds written as seconds?)"},
    {"TemperatureInKelvin", kCal, [](json& d) { camera0(d)["temperature"]["max"] = 318.4; },
     kWarning,
     "/cameras/0/temperature/max = 318.4: outside [-55, 150] degrees Celsius, where "
     "electronics work (kelvin written as Celsius?)"},
    {"SamplingRateInKilohertz", kCal, [](json& d) { d["imus"][0]["samplingRateInHz"] = 1.0; },
     kWarning,
     "/imus/0/samplingRateInHz = 1.0: outside [10, 100000] Hz, the output rates of MEMS IMUs "
     "(kilohertz written as hertz?)"},
    {"GyroNoiseMillionTimes", kCal,
     [](json& d) { d["imus"][0]["gyroNoiseDensityStdDegsPerSecPerSqrtHz"] = 3906.25; }, kWarning,
     "/imus/0/gyroNoiseDensityStdDegsPerSecPerSqrtHz = 3906.25: outside [1e-05, 1] "
     "deg/s/sqrt(Hz), what gyroscopes from navigation grade to consumer MEMS span"},
    {"UnitScaleOfGWithMetricBiases", kCal,
     [](json& d) {
       d["imus"][0].update({{"is_bias_metric", true}, {"meters_per_accel_unit", 9.81}});
     },
     kWarning,
     "/imus/0/meters_per_accel_unit = 9.81: about g (g = 9.80665 m/s^2), though "
     "is_bias_metric says the biases are in m/s^2 already"},
    {"GyroBiasInDegrees", kCal,
     [](json& d) {
       d["imus"][0]["bias_gyro"] = {0.5, 0.125, 0.0};
     },
     kWarning,
     "/imus/0/bias_gyro = [0.5,0.125,0.0]: |bias| = 0.5154 rad/s, beyond 0.2 rad/s (deg/s "
     "written as rad/s?)"},
    {"CadFormPositionInMetres", kCal,
     [](json& d) {
       d["cameras"][1]["extrinsics"]["position"] = {0.0546875, 0.0234375, -0.046875};
       d["cad"].erase("cameras");
     },
     kWarning,
     "/cameras/1/extrinsics/position = [0.0546875,0.0234375,-0.046875]: 0.07574 mm from the "
     "parent's origin, under a millimetre: metres written as millimetres?"},
    {"CadSectionInMetresSaysMillimetres", kCal,
     [](json& d) {
       for (const char* list : {"cameras", "imus"}) {
         for (json& pose : d["cad"][list]) {
           for (json& v : pose["position"]) v = v.get<double>() / 1000;
         }
       }
       for (json& object : d["cameras"]) object.erase("parent");
       d["imus"][0].erase("parent");
     },
     kWarning,
     "/cad = units mm, poses within 0.0649 mm: every CAD pose lies within a millimetre of the "
     "head: metres written as millimetres?"},
    // The rig.
    {"ExtrinsicsWrittenAsThePose", kCal,
     [](json& d) {
       json& m = d["imus"][0]["extrinsics"];
       for (std::size_t i = 3; i < 12; i += 4) m[i] = -m[i].get<double>();
     },
     kWarning,
     "/cad/imus/0 = "
     "{\"plus_x\":[1.0,0.0,0.0],\"plus_z\":[0.0,0.0,1.0],\"position\":[7.8125,-15.625,31.25]}: "
     "71.6 mm and 0.00 deg from the pose that /imus/0/extrinsics gives, beyond 20 mm or 5 "
     "deg: the extrinsics hold the object's pose, not the transform into its frame?"},
    {"CamerasInOnePlace", kCal,
     [](json& d) {
       d["cameras"][1]["extrinsics"]["position"] = {-70.3125, 23.4375, -15.625};
       d["cad"].erase("cameras");
     },
     kWarning,
     "/cameras/1/extrinsics = "
     "{\"__units\":\"mm\",\"plus_x\":[0.0,-1.0,0.0],\"plus_z\":[1.0,0.0,0.0],\"position\":[-70."
     "3125,23.4375,-15.625]}: 0 mm from /cameras/0, closer than 2 mm: two cameras in one place"},
    {"CameraCopied", kCal,
     [](json& d) {
       json copy = camera0(d);
       for (const char* key : {"hardwareIdentifier", "sourceCamera", "serial"}) {
         copy[key] = d["cameras"][1][key];
       }
       d["cameras"][1] = copy;
       d["cad"].erase("cameras");
     },
     kError,
     "/cameras/1 = sourceCamera \"camera_right\": the record of /cameras/0 over again, all "
     "but its names: a copied camera"},
    // Identity and graph.
    {"SourceCameraTwice", kCal, [](json& d) { d["cameras"][1]["sourceCamera"] = "camera_left"; },
     kWarning, "/cameras/1/sourceCamera = \"camera_left\": the same as /cameras/0/sourceCamera"},
    {"ImuIsItsOwnParent", kCal, [](json& d) { d["imus"][0]["parent"] = "imu0"; }, kError,
     "/imus/0/parent = \"imu0\": names the object itself: a pose cannot be given in its own "
     "frame"},
    {"ParentsInACycle", kCal, [](json& d) { d["imus"][0]["parent"] = "camera_left"; }, kError,
     "/cameras/0/parent = \"imu0\": parents run in a cycle, camera_left -> imu0 -> "
     "camera_left, that never reaches \"head\""},
    {"PreRotationOfHalfAQuarter", kCal,
     [](json& d) { d["cameras"][1]["preRotateClockwiseByDeg"] = 45.0; }, kWarning,
     "/cameras/1/preRotateClockwiseByDeg = 45.0: not a multiple of 90 degrees, the only turns "
     "of a pixel grid"},
    {"NothingCalibrated", kCal,
     [](json& d) {
       d["cameras"] = json::array();
       d["imus"] = json::array();
       d["cad"].erase("cameras");
       d["cad"].erase("imus");
     },
     kError, "/cameras = []: no camera, and /imus holds no IMU: nothing is calibrated"},
    {"EyeToHeadReflected", kConfig, [](json& d) { eye0(d)["eye_to_head"][1][1] = -1.0; }, kError,
     "/tracking_to_eye_transform/0/eye_to_head = [[1.0,0.0,-0.03125],[0.0,-1.0,0.0],[0.03125,0.0,"
     "1.0]]: det(R) = -1.001: a reflection (a flipped axis), not a rotation"},
    {"EyeToHeadScaled", kConfig, [](json& d) { eye0(d)["eye_to_head"][1][1] = 1.005; }, kWarning,
     "/tracking_to_eye_transform/0/eye_to_head = [[1.0,0.0,-0.03125],[0.0,1.005,0.0],[0.03125,0.0,"
     "1.0]]: rotation not quite orthonormal: max |R^T R - I| = 0.01, above 0.002 (an error above "
     "0.02)"},
    {"NoWindows", kConfig, [](json& d) { d["device"]["num_windows"] = 0; }, kError,
     "/device/num_windows = 0: must be positive"},
    {"HeadAxisNotUnit", kConfig,
     [](json& d) {
       d["head"]["plus_x"] = {2.0, 0.0, 0.0};
     },
     kError, "/head/plus_x = [2.0,0.0,0.0]: length 2, not 1 within 0.001"},
    {"MoreControlPointsThanCoefficients", kConfig,
     [](json& d) { eye0(d)["inverse_distortion"]["nSplineCtrlPts"] = 17; }, kError,
     "/tracking_to_eye_transform/0/inverse_distortion/nSplineCtrlPts = 17: outside 1..16: the "
     "inverse distortion holds 16 coefficients"},
    {"DistortionCoefficientNull", kConfig,
     [](json& d) { eye0(d)["distortion_blue"]["coeffs"][3] = nullptr; }, kError,
     "/tracking_to_eye_transform/0/distortion_blue/coeffs/3 = null: not a finite number (decode "
     "writes a NaN or an infinity as null)"},
};

class CheckFindsTheBrokenThing : public CheckCommand,
                                 public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(CheckFindsTheBrokenThing, AndOnlyThat) {
  const BrokenCase& tested = GetParam();
  json document = loadExample(tested.example);
  tested.breakIt(document);
  const ProcessResult result = checkJson(document);
  if (tested.severity == kError) {
    EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
    EXPECT_EQ(result.err,
              errorLine(tested.line) + errorLine("Check of " + json_ + ": 1 error, 0 warnings"));
  } else {
    EXPECT_EQ(result.exitCode, kExitVerifyWarnings);
    EXPECT_EQ(result.out,
              warningLine(tested.line) + warningLine("Check of " + json_ + ": 1 warning"));
  }
}

INSTANTIATE_TEST_SUITE_P(OneFaultEach, CheckFindsTheBrokenThing, ::testing::ValuesIn(kBrokenCases),
                         testing::ByCaseName());

// Unusual but sound: none of these may draw a finding.
struct SoundCase {
  const char* name;
  void (*change)(json&);
};

// theta_d = 2 sin(theta / 2) to the ninth power: an equisolid-angle fisheye.
void equisolidFisheye(json& camera, double fx, double cx, double cy) {
  camera["focalLengthThermalModel"]["offset"] = {fx, fx};
  camera["intrinsics"][0].update({{"fx", fx},
                                  {"fy", fx},
                                  {"cx", cx},
                                  {"cy", cy},
                                  {"k1", -1.0 / 24},
                                  {"k2", 1.0 / 1920},
                                  {"k3", -1.0 / 322560},
                                  {"k4", 0.0}});
}

const SoundCase kSoundCases[] = {
    // 190 degrees across the diagonal: the corners sit at 95 degrees off-axis.
    {"DiagonalFisheyeOf190Degrees",
     [](json& d) {
       camera0(d).erase("imageCircleDiameterInDeg");
       equisolidFisheye(camera0(d), 400.0 / (2 * std::sin(95.0 / 2 * std::numbers::pi / 180)),
                        320.0, 240.0);
     }},
    // A circle of 190 degrees inside the frame: the curve turns only near 180.
    {"CircularFisheyeOf190Degrees",
     [](json& d) {
       camera0(d)["imageCircleDiameterInDeg"] = 190.0;
       equisolidFisheye(camera0(d), 240.0 / (2 * std::sin(95.0 / 2 * std::numbers::pi / 180)),
                        320.0, 240.0);
     }},
    // A portrait sensor turned a quarter about the optical axis, its principal
    // point off-centre along the long side.
    {"CameraRotated90Degrees",
     [](json& d) {
       camera0(d).update({{"width", 480}, {"height", 640}, {"preRotateClockwiseByDeg", 270.0}});
       camera0(d)["extrinsics"] = {0.0, -1.0, 0.0, 0.0234375, 1.0, 0.0, 0.0, 0.0703125,
                                   0.0, 0.0,  1.0, 0.015625,  0.0, 0.0, 0.0, 1.0};
       d["cad"]["cameras"][0].update({{"plus_x", {0.0, -1.0, 0.0}}, {"plus_z", {0.0, 0.0, 1.0}}});
       kb0(d).update({{"cx", 239.5}, {"cy", 440.0}});
     }},
};

class CheckPassesTheSound : public CheckCommand, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(CheckPassesTheSound, Calibration) {
  json document = loadExample(kCal);
  GetParam().change(document);
  const ProcessResult result = checkJson(document);
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err << result.out;
  EXPECT_EQ(result.out, successLine("Check of " + json_ + ": nothing implausible found"));
}

INSTANTIATE_TEST_SUITE_P(Unusual, CheckPassesTheSound, ::testing::ValuesIn(kSoundCases),
                         testing::ByCaseName());

TEST_F(CheckCommand, ANanInABlobIsFoundLikeTheNullItDecodesTo) {
  Bytes blob = exampleBlob();
  Bytes cx;
  appendLE(cx, 319.75f);  // camera 0's, no other value in the blob
  const auto at = std::search(blob.begin(), blob.end(), cx.begin(), cx.end());
  ASSERT_NE(at, blob.end());
  storeLE(blob, static_cast<std::size_t>(at - blob.begin()),
          std::numeric_limits<float>::quiet_NaN());
  sealBlob(blob, kCalibrationMagic);
  testing::writeBytes(blob_, blob);

  const ProcessResult result = runRavelin({"check", "--bin", blob_});
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_EQ(result.err, errorLine("/cameras/0/intrinsics/0/cx = null: not a finite number "
                                  "(decode writes a NaN or an infinity as null)") +
                            errorLine("Check of " + blob_ + ": 1 error, 0 warnings"));
}

TEST_F(CheckCommand, ACorruptBlobIsAnErrorAndItsContentsAreStillJudged) {
  Bytes blob = exampleBlob();
  blob[12] ^= 0xFF;  // the stored CRC
  testing::writeBytes(blob_, blob);
  const std::string example = std::string(PROJECT_SOURCE_DIR) + "/examples/device_config.json";
  const ProcessResult result = runRavelin({"check", "--bin", blob_, "--json", example});
  EXPECT_EQ(result.exitCode, kExitVerifyMismatch);
  EXPECT_THAT(result.out,
              HasSubstr(successLine("Check of " + example + ": nothing implausible found")));
  EXPECT_THAT(result.err,
              ::testing::EndsWith(errorLine("Stored and computed CRC32 of " + blob_ +
                                            " do not match: the blob is corrupt") +
                                  errorLine("Check of " + blob_ + ": 1 error, 0 warnings")));
}

TEST_F(CheckCommand, RefusesWhatItCannotJudge) {
  const ProcessResult noInput = runRavelin({"check"});
  EXPECT_EQ(noInput.exitCode, kExitUsage);
  EXPECT_EQ(noInput.err, errorLine("check requires --json <file> or --bin <file>"));
  EXPECT_EQ(noInput.out, kUsageText);

  const ProcessResult missing = runRavelin({"check", "--bin", blob_});
  EXPECT_EQ(missing.exitCode, kExitPathRefused);
  EXPECT_EQ(missing.err, errorLine("Input binary '" + blob_ + "' does not exist."));

  const ProcessResult neither = checkJson({{"device", json::object()}});
  EXPECT_EQ(neither.exitCode, kExitException);
  EXPECT_THAT(
      neither.err,
      ::testing::EndsWith(errorLine("Unhandled exception: Unsupported JSON format for checking")));
}

}  // namespace
}  // namespace ravelin
