#include <cmath>
#include <optional>
#include <string>

#include "check/calibration_rules.h"
#include "check/check.h"
#include "check/document.h"
#include "check/thresholds.h"

namespace ravelin {

namespace check {

std::optional<double> positive(Findings& findings, const Node& node) {
  const std::optional<double> value = findings.number(node);
  if (!value || *value > 0.0) return value;
  findings.error(node, "must be positive");
  return std::nullopt;
}

std::string unitSlipHint(double converted, double low, double high, const char* slip) {
  if (!(converted >= low && converted <= high)) return "";
  return describe(" (%s)", slip);
}

namespace {

using namespace thresholds;

constexpr double kKelvinAtZeroCelsius = 273.15;
// Width and height are 16-bit in the blob.
constexpr double kMaxImageSide = 65535.0;

std::optional<double> temperature(Findings& findings, const Node& node) {
  const std::optional<double> celsius = findings.number(node);
  if (!celsius || (*celsius >= kMinTemperatureCelsius && *celsius <= kMaxTemperatureCelsius)) {
    return celsius;
  }
  findings.warning(node,
                   describe("outside [%g, %g] degrees Celsius, where electronics work%s",
                            kMinTemperatureCelsius, kMaxTemperatureCelsius,
                            unitSlipHint(*celsius - kKelvinAtZeroCelsius, kMinTemperatureCelsius,
                                         kMaxTemperatureCelsius, "kelvin written as Celsius?")
                                .c_str()));
  return celsius;
}

}  // namespace

void checkTemperatureRange(Findings& findings, const Node& temperatureNode) {
  const std::optional<double> min = temperature(findings, temperatureNode["min"]);
  const std::optional<double> max = temperature(findings, temperatureNode["max"]);
  if (min && max && *min > *max) {
    findings.warning(temperatureNode, describe("min %g above max %g", *min, *max));
  }
}

namespace {

std::optional<double> imageSide(Findings& findings, const Node& node) {
  const std::optional<double> side = findings.number(node);
  if (!side || (*side >= 1.0 && *side <= kMaxImageSide)) return side;
  findings.error(node,
                 describe("image side outside 1..%g, what the blob's 16 bits hold", kMaxImageSide));
  return std::nullopt;
}

void checkCropRegion(Findings& findings, const Node& crop, const std::optional<ImageSize>& image) {
  const std::optional<double> x = findings.number(crop["x"]);
  const std::optional<double> y = findings.number(crop["y"]);
  if (!image) return;
  if (x && (*x < 0.0 || *x > image->width)) {
    findings.warning(crop["x"], describe("outside the image: must lie in [0, %g]", image->width));
  }
  if (y && (*y < 0.0 || *y > image->height)) {
    findings.warning(crop["y"], describe("outside the image: must lie in [0, %g]", image->height));
  }
}

// The image is turned by whole quarter turns: a pixel grid has no other
// rotation that keeps it a grid.
void checkPreRotation(Findings& findings, const Node& node) {
  const std::optional<double> degrees = findings.number(node);
  if (!degrees || std::remainder(*degrees, 90.0) == 0.0) return;
  findings.warning(node, "not a multiple of 90 degrees, the only turns of a pixel grid");
}

void checkMtf50(Findings& findings, const Node& mtf50) {
  findings.number(mtf50["center"]);
  temperature(findings, mtf50["temp"]);
}

void checkCamera(Findings& findings, const Node& camera) {
  const std::optional<double> width = imageSide(findings, camera["width"]);
  const std::optional<double> height = imageSide(findings, camera["height"]);
  std::optional<ImageSize> image;
  if (width && height) image = ImageSize{*width, *height};

  checkExtrinsics(findings, camera["extrinsics"]);
  findings.allNumbers(camera["extrinsicsOffset"]);
  checkThermalModel(findings, camera);
  checkCropRegion(findings, camera["cropRegion"], image);
  checkTemperatureRange(findings, camera["temperature"]);
  checkPreRotation(findings, camera["preRotateClockwiseByDeg"]);
  checkMtf50(findings, camera["mtf50"]);
  const ImageCircle circle = imageCircle(findings, camera["imageCircleDiameterInDeg"]);

  const Node intrinsics = camera["intrinsics"];
  for (std::size_t i = 0; i < intrinsics.size(); ++i) {
    checkIntrinsics(findings, intrinsics[i], image, circle);
  }
}

// A calibration with neither cameras nor IMUs calibrates nothing.
void checkNotEmpty(Findings& findings, const Node& cameras, const Node& imus) {
  if (!cameras.isArray() || cameras.size() > 0 || imus.size() > 0) return;
  findings.add(
      FindingSeverity::ERROR, cameras, cameras.dump(),
      describe("no camera, and %s holds no IMU: nothing is calibrated", imus.pointer().c_str()));
}

}  // namespace

}  // namespace check

std::vector<Finding> checkCompactCalibration(const json& document) {
  check::Findings findings;
  const check::Node root(document);
  const check::Node cameras = root["cameras"];
  const check::Node imus = root["imus"];
  check::checkNotEmpty(findings, cameras, imus);
  for (std::size_t i = 0; i < cameras.size(); ++i) check::checkCamera(findings, cameras[i]);
  for (std::size_t i = 0; i < imus.size(); ++i) check::checkImu(findings, imus[i]);
  check::checkCad(findings, root["cad"], cameras, imus);
  findings.number(root["metadata"]["dataset_duration_in_sec"]);
  findings.number(root["metadata"]["rig_json_version"]);
  check::checkRig(findings, root);
  return findings.take();
}

}  // namespace ravelin
