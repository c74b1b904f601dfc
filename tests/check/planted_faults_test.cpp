#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "check/check.h"
#include "geometry/document_models.h"
#include "geometry/pose.h"

namespace ravelin {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

// Faults that calibration engineers make, one class each, planted into sound
// documents: the bundled example and the real calibrations of the control
// set, when this checkout has them beside it. A fault counts as caught when
// check finds anything at all.
struct PlantedFault {
  const char* name;
  void (*plant)(json&);
};

json& lens0(json& d) {
  return d["cameras"][0]["intrinsics"][0];
}

void scale(json& value, double factor) {
  value = value.get<double>() * factor;
}

using geometry::operator*;

geometry::Pose poseOf(const json& extrinsics) {
  return *geometry::poseFromExtrinsicsJson(extrinsics);
}

// A camera's extrinsics as a CAD-form pose, in millimetres.
json cadFormOf(const json& extrinsics) {
  const geometry::Pose pose = poseOf(extrinsics);
  return {{"plus_x", geometry::column(pose.rotation, 0)},
          {"plus_z", geometry::column(pose.rotation, 2)},
          {"position", 1000.0 * pose.translation}};
}

// Matrix extrinsics that hold the object's pose rather than its inverse.
json writtenAsThePose(const json& extrinsics) {
  return geometry::matrixExtrinsicsFromPose(geometry::inverse(poseOf(extrinsics)));
}

const PlantedFault kFaults[] = {
    // Lens against sensor.
    {"FocalLengthInMillimetres",
     [](json& d) {
       scale(lens0(d)["fx"], 0.003);  // a 3 micrometre pixel
       scale(lens0(d)["fy"], 0.003);
     }},
    {"FocalLengthHundredTimes",
     [](json& d) {
       scale(lens0(d)["fx"], 100);
       scale(lens0(d)["fy"], 100);
     }},
    {"IntrinsicsOfTwiceTheResolution",
     [](json& d) {
       for (const char* key : {"fx", "fy", "cx", "cy"}) scale(lens0(d)[key], 2);
     }},
    {"WidthAndHeightSwapped",
     [](json& d) { std::swap(d["cameras"][0]["width"], d["cameras"][0]["height"]); }},
    {"PrincipalPointSwapped", [](json& d) { std::swap(lens0(d)["cx"], lens0(d)["cy"]); }},
    {"DistortionStretching", [](json& d) { lens0(d)["k1"] = lens0(d)["k1"].get<double>() + 5; }},
    {"DistortionCompressing",
     [](json& d) {
       lens0(d).update({{"k1", -0.3}, {"k2", 0.0449}, {"k3", 0.0}, {"k4", 0.0}});
     }},
    {"ThermalOffsetsAsCorrections",
     [](json& d) {
       d["cameras"][0]["focalLengthThermalModel"] = {{"slope", 0.01}, {"offset", {0.3, 0.3}}};
     }},
    {"ImageCircleInRadians",
     [](json& d) { d["cameras"][0]["imageCircleDiameterInDeg"] = 180.5 * std::numbers::pi / 180; }},
    {"TinyCircleHidingAFoldBack",
     [](json& d) {
       d["cameras"][0]["imageCircleDiameterInDeg"] = 3.15;
       lens0(d).update({{"k1", 0.0}, {"k2", 0.0}, {"k3", 0.0}, {"k4", -0.1}});
     }},
    // Rig geometry.
    {"SecondCameraAtTheFirstsPlace",
     [](json& d) {
       json pose = cadFormOf(d["cameras"][1]["extrinsics"]);
       pose["position"] = cadFormOf(d["cameras"][0]["extrinsics"])["position"];
       d["cameras"][1]["extrinsics"] = pose;
     }},
    {"CamerasWithIdenticalPoses",
     [](json& d) { d["cameras"][1]["extrinsics"] = d["cameras"][0]["extrinsics"]; }},
    {"CameraCopied",
     [](json& d) {
       json copy = d["cameras"][0];
       for (const char* key : {"hardwareIdentifier", "sourceCamera", "serial"}) {
         copy[key] = d["cameras"][1][key];
       }
       d["cameras"][1] = copy;
     }},
    {"CadPosesOfCamerasSwapped",
     [](json& d) { std::swap(d["cad"]["cameras"][0], d["cad"]["cameras"][1]); }},
    {"ExtrinsicsWrittenAsThePose",
     [](json& d) {
       d["cameras"][0]["extrinsics"] = writtenAsThePose(d["cameras"][0]["extrinsics"]);
     }},
    // Units.
    {"CadFormExtrinsicsInMetres",
     [](json& d) {
       json pose = cadFormOf(d["cameras"][1]["extrinsics"]);
       for (json& v : pose["position"]) scale(v, 1e-3);
       d["cameras"][1]["extrinsics"] = pose;
     }},
    {"CadSectionUnitsFlipped",
     [](json& d) { d["cad"]["__units"] = d["cad"]["__units"] == "m" ? "mm" : "m"; }},
    {"TranslationInMillimetres",
     [](json& d) {
       json& m = d["cameras"][0]["extrinsics"];
       for (json* t : {&m[3], &m[7], &m[11]}) scale(*t, 1000);
     }},
    {"AccelScaleOfGWithMetricBiases",
     [](json& d) {
       d["imus"][0].update({{"is_bias_metric", true}, {"meters_per_accel_unit", 9.81}});
     }},
    {"GyroBiasInDegrees",
     [](json& d) {
       for (json& v : d["imus"][0]["bias_gyro"]) scale(v, 180 / std::numbers::pi);
     }},
    {"GyroNoiseMillionTimes",
     [](json& d) { scale(d["imus"][0]["gyroNoiseDensityStdDegsPerSecPerSqrtHz"], 1e6); }},
    {"AccelNoiseMillionth",
     [](json& d) { scale(d["imus"][0]["accelNoiseDensityStdMtrsPerSecSqPerSqrtHz"], 1e-6); }},
    {"SamplingRateInKilohertz", [](json& d) { scale(d["imus"][0]["samplingRateInHz"], 1e-3); }},
    {"TimeOffsetInMilliseconds", [](json& d) { d["imus"][0]["imuToCamTimeOffset"] = 2.5; }},
    {"TemperaturesInKelvin",
     [](json& d) {
       d["cameras"][0]["temperature"] = {{"min", 288.65}, {"max", 318.4}};
     }},
    // Identity and graph.
    {"SourceNameTwice",
     [](json& d) { d["cameras"][1]["sourceCamera"] = d["cameras"][0]["sourceCamera"]; }},
    {"ParentCycle", [](json& d) { d["imus"][0]["parent"] = d["cameras"][0]["sourceCamera"]; }},
    {"OwnParent", [](json& d) { d["imus"][0]["parent"] = d["imus"][0]["sourceImu"]; }},
    {"PreRotationOfHalfAQuarter",
     [](json& d) { d["cameras"][0]["preRotateClockwiseByDeg"] = 45.0; }},
    {"NothingCalibrated",
     [](json& d) {
       d["cameras"] = json::array();
       d["imus"] = json::array();
     }},
};

std::vector<std::pair<std::string, json>> soundDocuments() {
  std::vector<std::pair<std::string, json>> documents;
  const fs::path example = fs::path(PROJECT_SOURCE_DIR) / "examples" / "calibration.json";
  documents.emplace_back("example", json::parse(std::ifstream(example)));
  const fs::path real = REAL_CALIBRATIONS_DIR;
  std::vector<fs::path> found;
  std::error_code absent;
  for (const fs::directory_entry& entry : fs::directory_iterator(real, absent)) {
    if (entry.path().extension() == ".json") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  for (const fs::path& path : found) {
    documents.emplace_back(path.filename().string(), json::parse(std::ifstream(path)));
  }
  return documents;
}

TEST(PlantedFaults, AreCaughtNineTimesInTenWhileTheSoundDocumentsPass) {
  int planted = 0;
  int caught = 0;
  std::string missed;
  for (const auto& [base, document] : soundDocuments()) {
    ASSERT_TRUE(checkCompactCalibration(document).empty()) << base << " is not sound";
    for (const PlantedFault& fault : kFaults) {
      json broken = document;
      fault.plant(broken);
      ++planted;
      if (!checkCompactCalibration(broken).empty()) {
        ++caught;
      } else {
        missed += std::string("\n  ") + fault.name + " in " + base;
      }
    }
  }
  std::cout << "caught " << caught << " of " << planted << " planted faults; missed:" << missed
            << '\n';
  EXPECT_GE(10 * caught, 9 * planted) << "missed:" << missed;
}

}  // namespace
}  // namespace ravelin
