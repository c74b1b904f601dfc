#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "calibration/block_types.h"
#include "check/calibration_rules.h"
#include "check/thresholds.h"
#include "geometry/document_models.h"
#include "geometry/field_of_view.h"
#include "geometry/kannala_brandt.h"
#include "geometry/vector.h"

namespace ravelin::check {

namespace {

using geometry::degrees;
using geometry::distortedAngle;
using geometry::distortedRadius;
using geometry::DistortionCoefficients;
using geometry::distortionRatioRange;
using geometry::farthestCorner;
using geometry::firstDistortionTurn;
using geometry::imageCircleDiameter;
using geometry::KannalaBrandtCamera;
using geometry::KannalaBrandtLens;
using geometry::Pixel;
using geometry::radians;
using namespace thresholds;

constexpr double kNoStop = std::numeric_limits<double>::infinity();

// A lens, the image it draws, and where the document holds them.
struct LensOnImage {
  const Node& intrinsics;
  const std::string& coefficients;  // "k1 ..., k2 ..." as the document writes them
  const KannalaBrandtLens& lens;
  const ImageSize& image;
};

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

// The larger of the principal point's two distances from (width/2, height/2),
// each as a fraction of its side.
double offCentre(double cx, double cy, double width, double height) {
  return std::max(std::fabs(cx - width / 2.0) / width, std::fabs(cy - height / 2.0) / height);
}

void checkSidesSwapped(Findings& findings, const Node& intrinsics, double cx, double cy,
                       const ImageSize& image) {
  const double fromCentre = offCentre(cx, cy, image.width, image.height);
  const double fromTransposedCentre = offCentre(cx, cy, image.height, image.width);
  if (fromTransposedCentre > kSwappedCentreTolerance || fromCentre <= kSwappedOffCentre) return;
  findings.add(FindingSeverity::WARNING, intrinsics, describe("cx %g, cy %g", cx, cy),
               describe("the principal point lies at the centre of a %gx%g image (within %g%%), "
                        "%.3g%% off the centre of this %gx%g one: width and height swapped, or "
                        "cx and cy?",
                        image.height, image.width, 100.0 * kSwappedCentreTolerance,
                        100.0 * fromCentre, image.width, image.height));
}

std::string focalLengths(const KannalaBrandtLens& lens) {
  return describe("fx %g, fy %g", lens.fx, lens.fy);
}

// Whether the circle, in pixels at these focal lengths, can be this image's.
bool circleFitsImage(Findings& findings, const LensOnImage& on, double circleDegrees) {
  const double diameter = imageCircleDiameter(on.lens, radians(circleDegrees / 2.0));
  const double shortSide = std::min(on.image.width, on.image.height);
  const double diagonal = std::hypot(on.image.width, on.image.height);
  const std::string value = focalLengths(on.lens) + describe(", circle %g deg", circleDegrees);
  if (diameter < kMinImageCircleToShortSide * shortSide) {
    findings.add(FindingSeverity::WARNING, on.intrinsics, value,
                 describe("the image circle is %.4g px across, under %g of the image's short "
                          "side (%g px): focal lengths or circle of another image",
                          diameter, kMinImageCircleToShortSide, shortSide));
    return false;
  }
  if (diameter > kMaxImageCircleToDiagonal * diagonal) {
    findings.add(FindingSeverity::WARNING, on.intrinsics, value,
                 describe("the image circle is %.4g px across, beyond %g times the image "
                          "diagonal (%.4g px): focal lengths or circle of another image",
                          diameter, kMaxImageCircleToDiagonal, diagonal));
    return false;
  }
  return true;
}

// The field angle of the farthest corner, when the lens reaches it
// plausibly. Where theta_d turns before it, unprojection has two answers for
// one pixel.
std::optional<double> cornerFieldAngle(Findings& findings, const LensOnImage& on) {
  const Pixel corner = farthestCorner(on.lens, on.image);
  const double radius = distortedRadius(on.lens, corner);
  const DistortionCoefficients& k = on.lens.k;
  if (const std::optional<double> turn = firstDistortionTurn(k, std::numbers::pi, radius)) {
    findings.add(FindingSeverity::ERROR, on.intrinsics, on.coefficients,
                 describe("distortion theta_d(theta) stops increasing at theta = %.1f deg "
                          "(theta_d = %.1f deg), short of the theta_d = %.1f deg that the "
                          "farthest image corner needs",
                          degrees(*turn), degrees(distortedAngle(k, *turn)), degrees(radius)));
    return std::nullopt;
  }
  const std::optional<double> angle = KannalaBrandtCamera(on.lens).fieldAngle(corner);
  if (!angle) {
    findings.add(
        FindingSeverity::WARNING, on.intrinsics, focalLengths(on.lens),
        describe("the farthest image corner needs theta_d = %.4g, beyond the %.4g the "
                 "lens reaches at 180 deg: focal lengths too short for a %gx%g image",
                 radius, distortedAngle(k, std::numbers::pi), on.image.width, on.image.height));
    return std::nullopt;
  }
  if (degrees(*angle) < kMinCornerFieldAngleDegrees) {
    findings.add(
        FindingSeverity::WARNING, on.intrinsics, focalLengths(on.lens),
        describe("the farthest image corner lies %.3g deg off the axis, under %g deg: "
                 "focal lengths too long for a %gx%g image",
                 degrees(*angle), kMinCornerFieldAngleDegrees, on.image.width, on.image.height));
    return std::nullopt;
  }
  return angle;
}

// The field angle the image needs the lens out to: half the image circle when
// one is given and fits the image, otherwise the farthest corner's. A circle
// that does not fit switches no rule off: the corners are judged instead.
std::optional<double> neededFieldAngle(Findings& findings, const LensOnImage& on,
                                       std::optional<double> circleDegrees) {
  if (!circleDegrees) return cornerFieldAngle(findings, on);
  const double halfCircle = *circleDegrees / 2.0;
  if (const auto turn = firstDistortionTurn(on.lens.k, radians(halfCircle), kNoStop)) {
    findings.add(FindingSeverity::ERROR, on.intrinsics, on.coefficients,
                 describe("distortion theta_d(theta) stops increasing at theta = %.1f deg, inside "
                          "the image circle (out to theta = %.2f deg)",
                          degrees(*turn), halfCircle));
    return std::nullopt;
  }
  if (circleFitsImage(findings, on, *circleDegrees)) return radians(halfCircle);
  return cornerFieldAngle(findings, on);
}

void checkDistortionRatio(Findings& findings, const LensOnImage& on, double neededAngle) {
  const auto [least, greatest] = distortionRatioRange(on.lens.k, neededAngle);
  if (least.ratio < kMinDistortionRatio) {
    findings.add(FindingSeverity::WARNING, on.intrinsics, on.coefficients,
                 describe("theta_d/theta falls to %.3g at theta = %.1f deg, under %g: the "
                          "distortion compresses the image more than any fisheye projection",
                          least.ratio, degrees(least.theta), kMinDistortionRatio));
  } else if (greatest.ratio > kMaxDistortionRatio) {
    findings.add(FindingSeverity::WARNING, on.intrinsics, on.coefficients,
                 describe("theta_d/theta rises to %.3g at theta = %.1f deg, beyond %g: the "
                          "distortion stretches the image more than a rectilinear lens",
                          greatest.ratio, degrees(greatest.theta), kMaxDistortionRatio));
  }
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

}  // namespace

void checkIntrinsics(Findings& findings, const Node& intrinsics,
                     const std::optional<ImageSize>& image, const ImageCircle& circle) {
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
  if (image && cx && cy) checkSidesSwapped(findings, intrinsics, *cx, *cy, *image);
  std::string named;
  const auto k = distortionCoefficients(findings, intrinsics, model, named);
  if (k && fx && fy && cx && cy && image) {
    const KannalaBrandtLens lens{*fx, *fy, *cx, *cy, *k};
    const LensOnImage on{intrinsics, named, lens, *image};
    if (const auto needed = neededFieldAngle(findings, on, circle.degrees)) {
      checkDistortionRatio(findings, on, *needed);
    }
  }
  if (model == CamModel::KB_SPLINE) checkSplineGrid(findings, intrinsics);
}

ImageCircle imageCircle(Findings& findings, const Node& node) {
  const std::optional<double> circle = findings.number(node);
  if (!circle) return {node, std::nullopt};
  if (!(*circle > 0.0 && *circle <= kMaxImageCircleDegrees)) {
    findings.warning(node, describe("outside (0, %g] degrees", kMaxImageCircleDegrees));
    return {node, std::nullopt};
  }
  if (*circle < kMinImageCircleDegrees) {
    findings.warning(node,
                     describe("under %g degrees, narrower than any lens that draws a "
                              "circle%s",
                              kMinImageCircleDegrees,
                              unitSlipHint(degrees(*circle), kMinImageCircleDegrees,
                                           kMaxImageCircleDegrees, "radians written as degrees?")
                                  .c_str()));
    return {node, std::nullopt};
  }
  return {node, circle};
}

void checkThermalModel(Findings& findings, const Node& camera) {
  const Node model = camera["focalLengthThermalModel"];
  const std::optional<double> slope = findings.number(model["slope"]);
  const std::optional<std::vector<double>> offset = findings.allNumbers(model["offset"]);
  const Node intrinsics = camera["intrinsics"];
  std::optional<KannalaBrandtLens> lens;
  Node lensNode = intrinsics[0];
  for (std::size_t i = 0; i < intrinsics.size() && !lens; ++i) {
    lensNode = intrinsics[i];
    lens = geometry::kannalaBrandtLensFromJson(*lensNode.value());
  }
  if (!slope || !offset || offset->size() < 2 || !lens || !(lens->fx > 0.0 && lens->fy > 0.0)) {
    return;
  }
  std::vector<double> temperatures;
  for (const char* end : {"min", "max"}) {
    if (const auto t = camera["temperature"][end].finiteNumber()) temperatures.push_back(*t);
  }
  if (temperatures.empty()) temperatures.push_back(0.0);  // where the offset is the focal length
  struct Axis {
    const char* name;
    double offset;
    double calibrated;
  };
  for (const Axis& axis :
       {Axis{"fx", (*offset)[0], lens->fx}, Axis{"fy", (*offset)[1], lens->fy}}) {
    for (const double t : temperatures) {
      const double modelled = *slope * t + axis.offset;
      const double deviation = std::fabs(modelled - axis.calibrated) / axis.calibrated;
      if (deviation <= kMaxThermalFocalDeviation) continue;
      findings.add(FindingSeverity::WARNING, model,
                   describe("slope %g, offset [%g, %g]", *slope, (*offset)[0], (*offset)[1]),
                   describe("slope * T + offset gives %s = %.4g px at %g C, %.3g%% from the %g px "
                            "of %s, beyond %g%%",
                            axis.name, modelled, t, 100.0 * deviation, axis.calibrated,
                            lensNode.pointer().c_str(), 100.0 * kMaxThermalFocalDeviation));
      return;
    }
  }
}

}  // namespace ravelin::check
