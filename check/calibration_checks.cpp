#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <string>

#include "calibration/block_types.h"
#include "calibration/encoder.h"
#include "check/check.h"
#include "check/document.h"
#include "check/pose_rules.h"
#include "check/thresholds.h"
#include "geometry/kannala_brandt.h"
#include "geometry/vector.h"

namespace ravelin {

namespace {

using check::checkPoseAxes;
using check::checkRotation;
using check::describe;
using check::Findings;
using check::Node;
using geometry::degrees;
using geometry::distance;
using geometry::distortedAngle;
using geometry::DistortionCoefficients;
using geometry::firstDistortionTurn;
using geometry::norm;
using geometry::Vec3;
using namespace thresholds;

// CAD-form extrinsics are always millimetres (the decoder annotates them
// "mm" whatever the CAD section says); the CAD section is unless it says "m".
constexpr double kMillimetresPerMetre = 1000.0;
// Width and height are 16-bit in the blob.
constexpr double kMaxImageSide = 65535.0;

struct ImageSize {
  double width;
  double height;
};

struct PinholeLens {
  double fx, fy, cx, cy;
};

std::optional<double> positive(Findings& findings, const Node& node) {
  const std::optional<double> value = findings.number(node);
  if (!value || *value > 0.0) return value;
  findings.error(node, "must be positive");
  return std::nullopt;
}

std::optional<double> imageSide(Findings& findings, const Node& node) {
  const std::optional<double> side = findings.number(node);
  if (!side || (*side >= 1.0 && *side <= kMaxImageSide)) return side;
  findings.error(node,
                 describe("image side outside 1..%g, what the blob's 16 bits hold", kMaxImageSide));
  return std::nullopt;
}

// ---- extrinsics -------------------------------------------------------------

void checkBottomRow(Findings& findings, const Node& node, const std::array<double, 16>& m) {
  const double deviation =
      std::max({std::fabs(m[12]), std::fabs(m[13]), std::fabs(m[14]), std::fabs(m[15] - 1.0)});
  if (deviation <= kBottomRowTolerance) return;
  const bool translationBelow =
      std::max({std::fabs(m[3]), std::fabs(m[7]), std::fabs(m[11])}) <= kBottomRowTolerance &&
      std::max({std::fabs(m[12]), std::fabs(m[13]), std::fabs(m[14])}) > kBottomRowTolerance;
  findings.error(node, describe("bottom row [%g, %g, %g, %g] is not 0 0 0 1 within %g%s", m[12],
                                m[13], m[14], m[15], kBottomRowTolerance,
                                translationBelow ? ": the translation sits in the bottom row, "
                                                   "the matrix is written transposed"
                                                 : ""));
}

void checkMatrixExtrinsics(Findings& findings, const Node& node) {
  const std::optional<std::array<double, 16>> m = findings.numbers<16>(node);
  if (!m) return;
  const std::array<double, 16>& v = *m;
  checkBottomRow(findings, node, v);
  checkRotation(findings, node, {v[0], v[1], v[2], v[4], v[5], v[6], v[8], v[9], v[10]},
                {kRotationDeviationWarning, kRotationDeviationError});
  const double length = norm({v[3], v[7], v[11]});
  if (length > kMaxOffsetMetres) {
    findings.warning(node, describe("translation %.4g m long, more than the %g m a head-mounted "
                                    "device spans (millimetres written as metres?)",
                                    length, kMaxOffsetMetres));
  }
}

void checkCadExtrinsics(Findings& findings, const Node& pose) {
  checkPoseAxes(findings, pose);
  const Node units = pose["__units"];
  if (units.text() && *units.text() != "mm") {
    findings.warning(units,
                     "the blob keeps CAD-form extrinsics in millimetres and drops this "
                     "annotation: the device reads the position in mm");
  }
  const Node positionNode = pose["position"];
  const std::optional<Vec3> position = findings.numbers<3>(positionNode);
  if (position && norm(*position) > kMaxOffsetMetres * kMillimetresPerMetre) {
    findings.warning(positionNode, describe("%.4g mm from the parent's origin, farther than %g m",
                                            norm(*position), kMaxOffsetMetres));
  }
}

void checkExtrinsics(Findings& findings, const Node& extrinsics) {
  if (extrinsics.isArray()) {
    checkMatrixExtrinsics(findings, extrinsics);
  } else if (extrinsics.value() != nullptr && extrinsicsAreInCadFormat(*extrinsics.value())) {
    checkCadExtrinsics(findings, extrinsics);
  }
}

// ---- intrinsics -------------------------------------------------------------

void checkFocalRatio(Findings& findings, const Node& intrinsics, double fx, double fy) {
  const double ratio = fx / fy;
  if (ratio >= kMinFocalRatio && ratio <= kMaxFocalRatio) return;
  findings.add(FindingSeverity::WARNING, intrinsics, describe("fx %g, fy %g", fx, fy),
               describe("fx/fy = %.4g, outside [%g, %g]", ratio, kMinFocalRatio, kMaxFocalRatio));
}

void checkPrincipalCoordinate(Findings& findings, const Node& node, double coordinate, double side,
                              const char* sideName) {
  if (coordinate < 0.0 || coordinate > side) {
    findings.error(node, describe("principal point outside the image: must lie in [0, %g], the "
                                  "image %s",
                                  side, sideName));
    return;
  }
  const double fromCentre = std::fabs(coordinate - side / 2.0);
  if (fromCentre > kMaxPrincipalPointOffCentre * side) {
    findings.warning(node, describe("%g px from the image centre %g, more than %g%% of the image "
                                    "%s (%g px)",
                                    fromCentre, side / 2.0, 100.0 * kMaxPrincipalPointOffCentre,
                                    sideName, kMaxPrincipalPointOffCentre * side));
  }
}

// In this model the normalised distorted radius of a pixel is theta_d itself.
double farthestCornerDistortedAngle(const PinholeLens& lens, const ImageSize& image) {
  double farthest = 0.0;
  for (const double u : {0.0, image.width}) {
    for (const double v : {0.0, image.height}) {
      farthest = std::max(farthest, std::hypot((u - lens.cx) / lens.fx, (v - lens.cy) / lens.fy));
    }
  }
  return farthest;
}

// theta_d must rise from 0 out to the field angle the image needs: half the
// image circle when one is given, else the angle that reaches the farthest
// corner. Where it turns, unprojection has two answers for one pixel.
void checkDistortionCurve(Findings& findings, const Node& intrinsics, const std::string& named,
                          const DistortionCoefficients& k, const PinholeLens& lens,
                          const ImageSize& image, std::optional<double> imageCircleDegrees) {
  constexpr double kNoStop = std::numeric_limits<double>::infinity();
  if (imageCircleDegrees) {
    const double halfCircle = *imageCircleDegrees / 2.0;
    const std::optional<double> turn =
        firstDistortionTurn(k, halfCircle * std::numbers::pi / 180.0, kNoStop);
    if (!turn) return;
    findings.add(FindingSeverity::ERROR, intrinsics, named,
                 describe("distortion theta_d(theta) stops increasing at theta = %.1f deg, inside "
                          "the image circle (out to theta = %.2f deg)",
                          degrees(*turn), halfCircle));
    return;
  }
  const double corner = farthestCornerDistortedAngle(lens, image);
  const std::optional<double> turn = firstDistortionTurn(k, std::numbers::pi, corner);
  if (!turn) return;
  findings.add(FindingSeverity::ERROR, intrinsics, named,
               describe("distortion theta_d(theta) stops increasing at theta = %.1f deg "
                        "(theta_d = %.1f deg), short of the theta_d = %.1f deg that the farthest "
                        "image corner needs",
                        degrees(*turn), degrees(distortedAngle(k, *turn)), degrees(corner)));
}

// "kb" has k1..k4; "kb_spline" has k1..k3 under the same curve, k4 being 0.
std::optional<DistortionCoefficients> distortionCoefficients(Findings& findings,
                                                             const Node& intrinsics, CamModel model,
                                                             std::string& named) {
  const std::size_t count = model == CamModel::KB ? 4 : 3;
  DistortionCoefficients k{};
  bool complete = true;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string key = "k" + std::to_string(i + 1);
    const Node node = intrinsics[key];
    const std::optional<double> value = findings.number(node);
    complete = complete && value.has_value();
    k[i] = value.value_or(0.0);
    named += (i == 0 ? "" : ", ") + key + " " + node.dump();
  }
  if (!complete) return std::nullopt;
  return k;
}

// The blob holds KbSplineIntrinsics::kGridValues control points per axis
// (the encoder keeps the first of a longer list); the grid must account for them.
void checkSplineGrid(Findings& findings, const Node& intrinsics) {
  const Node gridNode = intrinsics["gridSize"];
  const Node spacingNode = intrinsics["nodeSpacing"];
  const auto grid = findings.numbers<2>(gridNode, /*longerAllowed=*/true);
  const auto spacing = findings.numbers<2>(spacingNode, /*longerAllowed=*/true);
  const auto sU = findings.allNumbers(intrinsics["sU"]);
  const auto sV = findings.allNumbers(intrinsics["sV"]);
  if (spacing && !((*spacing)[0] > 0.0 && (*spacing)[1] > 0.0)) {
    findings.error(spacingNode, "node spacing must be positive");
  }
  if (!grid) return;
  if (!((*grid)[0] > 0.0 && (*grid)[1] > 0.0)) {
    findings.error(gridNode, "grid dimensions must be positive");
    return;
  }
  const double points = (*grid)[0] * (*grid)[1];
  if (!sU || !sV) return;
  if (static_cast<double>(sU->size()) == points && static_cast<double>(sV->size()) == points) {
    return;
  }
  findings.error(gridNode,
                 describe("a %gx%g grid has %g control points, but sU holds %zu and sV %zu",
                          (*grid)[0], (*grid)[1], points, sU->size(), sV->size()));
}

void checkIntrinsics(Findings& findings, const Node& intrinsics,
                     const std::optional<ImageSize>& image,
                     std::optional<double> imageCircleDegrees) {
  const std::optional<std::string> name = intrinsics["cameraModel"].text();
  const CamModel model = name ? camModelFromName(*name) : CamModel::UNKNOWN;
  if (model == CamModel::UNKNOWN) return;  // the encoder refuses it

  const std::optional<double> fx = positive(findings, intrinsics["fx"]);
  const std::optional<double> fy = positive(findings, intrinsics["fy"]);
  const std::optional<double> cx = findings.number(intrinsics["cx"]);
  const std::optional<double> cy = findings.number(intrinsics["cy"]);
  if (fx && fy) checkFocalRatio(findings, intrinsics, *fx, *fy);
  if (image && cx) checkPrincipalCoordinate(findings, intrinsics["cx"], *cx, image->width, "width");
  if (image && cy) {
    checkPrincipalCoordinate(findings, intrinsics["cy"], *cy, image->height, "height");
  }
  std::string named;
  const auto k = distortionCoefficients(findings, intrinsics, model, named);
  if (k && fx && fy && cx && cy && image) {
    checkDistortionCurve(findings, intrinsics, named, *k, {*fx, *fy, *cx, *cy}, *image,
                         imageCircleDegrees);
  }
  if (model == CamModel::KB_SPLINE) checkSplineGrid(findings, intrinsics);
}

// ---- cameras and IMUs -------------------------------------------------------

void checkTemperatureRange(Findings& findings, const Node& temperature) {
  const std::optional<double> min = findings.number(temperature["min"]);
  const std::optional<double> max = findings.number(temperature["max"]);
  if (min && max && *min > *max) {
    findings.warning(temperature, describe("min %g above max %g", *min, *max));
  }
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

// The diameter when it is plausible enough to judge the distortion by.
std::optional<double> imageCircle(Findings& findings, const Node& node) {
  const std::optional<double> degrees = findings.number(node);
  if (!degrees || (*degrees > 0.0 && *degrees <= kMaxImageCircleDegrees)) return degrees;
  findings.warning(node, describe("outside (0, %g] degrees", kMaxImageCircleDegrees));
  return std::nullopt;
}

void checkCamera(Findings& findings, const Node& camera) {
  const std::optional<double> width = imageSide(findings, camera["width"]);
  const std::optional<double> height = imageSide(findings, camera["height"]);
  std::optional<ImageSize> image;
  if (width && height) image = ImageSize{*width, *height};

  checkExtrinsics(findings, camera["extrinsics"]);
  findings.allNumbers(camera["extrinsicsOffset"]);
  findings.number(camera["focalLengthThermalModel"]["slope"]);
  findings.allNumbers(camera["focalLengthThermalModel"]["offset"]);
  checkCropRegion(findings, camera["cropRegion"], image);
  checkTemperatureRange(findings, camera["temperature"]);
  findings.number(camera["preRotateClockwiseByDeg"]);
  findings.number(camera["mtf50"]["center"]);
  findings.number(camera["mtf50"]["temp"]);
  const std::optional<double> circle = imageCircle(findings, camera["imageCircleDiameterInDeg"]);

  const Node intrinsics = camera["intrinsics"];
  for (std::size_t i = 0; i < intrinsics.size(); ++i) {
    checkIntrinsics(findings, intrinsics[i], image, circle);
  }
}

void checkBiasMagnitude(Findings& findings, const Node& node, double unitScale, double limit,
                        const char* unit) {
  const std::optional<Vec3> bias = findings.numbers<3>(node);
  if (!bias) return;
  const double magnitude = norm(*bias) * unitScale;
  if (magnitude <= limit) return;
  findings.warning(
      node, unitScale == 1.0
                ? describe("|bias| = %.4g %s, beyond %g %s", magnitude, unit, limit, unit)
                : describe("|bias| = %.4g %s (%.4g accel units of %g %s), beyond %g %s", magnitude,
                           unit, norm(*bias), unitScale, unit, limit, unit));
}

void checkEachWithin(Findings& findings, const Node& node, double low, double high,
                     const char* what) {
  const std::optional<std::vector<double>> values = findings.allNumbers(node);
  if (!values) return;
  for (std::size_t i = 0; i < values->size(); ++i) {
    if ((*values)[i] < low || (*values)[i] > high) {
      findings.warning(node[i], describe("%s outside [%g, %g]", what, low, high));
    }
  }
}

void checkImu(Findings& findings, const Node& imu) {
  checkExtrinsics(findings, imu["extrinsics"]);
  findings.allNumbers(imu["extrinsicsOffset"]);
  findings.number(imu["imuToCamTimeOffset"]);

  // A bias that is not metric is in accelerometer units.
  const std::optional<double> metresPerUnit = positive(findings, imu["meters_per_accel_unit"]);
  const json* metric = imu["is_bias_metric"].value();
  const bool biasIsMetric = metric != nullptr && metric->is_boolean() && metric->get<bool>();
  if (biasIsMetric || metresPerUnit) {
    checkBiasMagnitude(findings, imu["bias_accel"], biasIsMetric ? 1.0 : *metresPerUnit,
                       kMaxAccelBias, "m/s^2");
  }
  checkBiasMagnitude(findings, imu["bias_gyro"], 1.0, kMaxGyroBias, "rad/s");
  for (const char* key : {"scaleFactors_accel", "scaleFactors_gyro"}) {
    checkEachWithin(findings, imu[key], kMinScaleFactor, kMaxScaleFactor, "scale factor");
  }
  for (const char* key : {"scaleFactorsCrossAxis_accel", "scaleFactorsCrossAxis_gyro"}) {
    checkEachWithin(findings, imu[key], -kMaxCrossAxis, kMaxCrossAxis, "cross-axis term");
  }
  for (const char* key : {"samplingRateInHz", "gyroNoiseDensityStdDegsPerSecPerSqrtHz",
                          "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz", "gyroBiasStdPerMinute",
                          "accelBiasStdPerMinute"}) {
    positive(findings, imu[key]);
  }
  checkTemperatureRange(findings, imu["temperature"]);
}

// ---- CAD, metadata, identities ----------------------------------------------

void checkCadPoses(Findings& findings, const Node& poses, const std::optional<Vec3>& head,
                   double unitsPerMetre, const char* unitName, const Node& owners) {
  for (std::size_t i = 0; i < poses.size(); ++i) {
    checkPoseAxes(findings, poses[i]);
    const Node positionNode = poses[i]["position"];
    const std::optional<Vec3> position = findings.numbers<3>(positionNode);
    if (!position || !head) continue;
    const double fromHead = distance(*position, *head);
    if (fromHead > kMaxOffsetMetres * unitsPerMetre) {
      findings.warning(positionNode, describe("%.4g %s from the head, farther than %g m", fromHead,
                                              unitName, kMaxOffsetMetres));
    }
  }
  if (poses.isArray() && owners.isArray() && poses.size() != owners.size()) {
    findings.add(
        FindingSeverity::WARNING, poses,
        describe("%zu pose%s", poses.size(), poses.size() == 1 ? "" : "s"),
        describe("the calibration has %zu entries in %s", owners.size(), owners.pointer().c_str()));
  }
}

void checkCad(Findings& findings, const Node& cad, const Node& cameras, const Node& imus) {
  const bool metres = cad["__units"].text() == "m";  // anything else is stored as mm
  const double unitsPerMetre = metres ? 1.0 : kMillimetresPerMetre;
  const char* unitName = metres ? "m" : "mm";
  const Node head = cad["__head"];
  checkPoseAxes(findings, head);
  const std::optional<Vec3> headPosition = findings.numbers<3>(head["position"]);
  checkCadPoses(findings, cad["cameras"], headPosition, unitsPerMetre, unitName, cameras);
  checkCadPoses(findings, cad["imus"], headPosition, unitsPerMetre, unitName, imus);
}

void checkUniqueStrings(Findings& findings, const Node& list, const char* key) {
  std::map<std::string, std::string> firstHolder;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Node node = list[i][key];
    const std::optional<std::string> text = node.text();
    if (!text || text->empty()) continue;
    const auto [first, isFirst] = firstHolder.emplace(*text, node.pointer());
    if (!isFirst) findings.warning(node, describe("the same as %s", first->second.c_str()));
  }
}

void collectNames(const Node& list, const char* sourceKey, std::set<std::string>& names) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (const char* key : {sourceKey, "hardwareIdentifier"}) {
      if (const auto name = list[i][key].text()) names.insert(*name);
    }
  }
}

void checkParents(Findings& findings, const Node& cameras, const Node& imus) {
  std::set<std::string> names = {"head"};
  collectNames(cameras, "sourceCamera", names);
  collectNames(imus, "sourceImu", names);
  for (const Node* list : {&cameras, &imus}) {
    for (std::size_t i = 0; i < list->size(); ++i) {
      const Node parent = (*list)[i]["parent"];
      const std::optional<std::string> name = parent.text();
      if (name && !names.contains(*name)) {
        findings.warning(parent,
                         "names no camera or IMU (by source name or hardware "
                         "identifier) and is not \"head\"");
      }
    }
  }
}

}  // namespace

std::vector<Finding> checkCompactCalibration(const json& document) {
  Findings findings;
  const Node root(document);
  const Node cameras = root["cameras"];
  const Node imus = root["imus"];
  for (std::size_t i = 0; i < cameras.size(); ++i) checkCamera(findings, cameras[i]);
  for (std::size_t i = 0; i < imus.size(); ++i) checkImu(findings, imus[i]);
  checkCad(findings, root["cad"], cameras, imus);
  findings.number(root["metadata"]["dataset_duration_in_sec"]);
  findings.number(root["metadata"]["rig_json_version"]);
  checkUniqueStrings(findings, cameras, "hardwareIdentifier");
  checkUniqueStrings(findings, cameras, "serial");
  checkUniqueStrings(findings, imus, "hardwareIdentifier");
  checkParents(findings, cameras, imus);
  return findings.take();
}

}  // namespace ravelin
