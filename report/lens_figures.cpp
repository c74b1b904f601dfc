// What one lens does to its image: straight lines bent by the model, the
// radial curve beside the pinhole's, the field of view, the region where the
// model turns back, and a spline's correction grid.

#include "report/lens_figures.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/field_of_view.h"
#include "report/markup.h"

namespace ravelin::report {

namespace {

using geometry::KannalaBrandtCamera;
using geometry::Pixel;

constexpr double kFigureWidth = 360.0;
constexpr double kFigurePad = 14.0;
// Grid lines lie in the planes through the camera at every kGridStep of
// azimuth and elevation, sampled at every kGridSampleStep along them, out to
// kGridReach: a plane at 90 degrees would be seen edge-on.
constexpr double kGridStep = std::numbers::pi / 18.0;
constexpr double kGridSampleStep = std::numbers::pi / 90.0;
constexpr double kGridReach = 4.0 * std::numbers::pi / 9.0;
// Points this far outside the image (a fraction of its side) end a line.
constexpr double kGridOverhang = 0.1;
constexpr int kCurveSamples = 180;

// Image pixels to drawing units.
class ImageFrame {
 public:
  explicit ImageFrame(const geometry::ImageSize& image)
      : image_(image), scale_(kFigureWidth / image.width) {}

  Point at(double u, double v) const { return {kFigurePad + u * scale_, kFigurePad + v * scale_}; }
  double width() const { return kFigureWidth + 2 * kFigurePad; }
  double height() const { return image_.height * scale_ + 2 * kFigurePad; }
  double scale() const { return scale_; }
  const geometry::ImageSize& image() const { return image_; }
  bool nearImage(const Pixel& p) const {
    const double du = kGridOverhang * image_.width;
    const double dv = kGridOverhang * image_.height;
    return p.u >= -du && p.u <= image_.width + du && p.v >= -dv && p.v <= image_.height + dv;
  }

 private:
  geometry::ImageSize image_;
  double scale_;
};

void openFigure(std::string& out, const ImageFrame& frame, std::string_view cls,
                std::string_view label) {
  out += describe("<figure><svg class=\"%.*s\" viewBox=\"0 0 %.1f %.1f\" role=\"img\" ",
                  static_cast<int>(cls.size()), cls.data(), frame.width(), frame.height());
  out += "aria-label=\"";
  appendEscaped(out, label);
  out += "\">";
}

void closeFigure(std::string& out, std::string_view caption) {
  out += "</svg><figcaption>";
  appendEscaped(out, caption);
  out += "</figcaption></figure>";
}

void defineImageClip(std::string& out, const ImageFrame& frame, const std::string& id) {
  const Point corner = frame.at(0, 0);
  const Point far = frame.at(frame.image().width, frame.image().height);
  out += "<clipPath id=\"" + id + "\">";
  rect(out, corner, {far.x - corner.x, far.y - corner.y}, "");
  out += "</clipPath>";
}

void drawImageRectangle(std::string& out, const ImageFrame& frame) {
  const Point corner = frame.at(0, 0);
  const Point far = frame.at(frame.image().width, frame.image().height);
  rect(out, corner, {far.x - corner.x, far.y - corner.y}, "class=\"image-rect\"");
}

// Half the angle the image spans from its centre along one axis, for the
// extent of the grid: the larger field angle of the two edges.
double gridHalfAngle(const KannalaBrandtCamera& lens, const Pixel& a, const Pixel& b) {
  const double edge = std::max(lens.fieldAngle(a).value_or(lens.validFieldAngle()),
                               lens.fieldAngle(b).value_or(lens.validFieldAngle()));
  return std::min(edge + kGridStep, kGridReach);
}

// One straight line of the grid: the plane at angle `fixed` (about the
// vertical axis when `vertical`), sampled along it.
void drawGridLine(std::string& out, const KannalaBrandtCamera& lens, const ImageFrame& frame,
                  double fixed, bool vertical) {
  std::vector<Point> run;
  const auto flush = [&] {
    polyline(out, run, "class=\"grid-line\"");
    run.clear();
  };
  const double across = std::tan(fixed);
  for (double along = -kGridReach; along <= kGridReach + 1e-9; along += kGridSampleStep) {
    const double t = std::tan(along);
    const geometry::Vec3 ray =
        vertical ? geometry::Vec3{across, t, 1.0} : geometry::Vec3{t, across, 1.0};
    const std::optional<Pixel> pixel = lens.project(ray);
    if (pixel && frame.nearImage(*pixel)) {
      run.push_back(frame.at(pixel->u, pixel->v));
    } else {
      flush();
    }
  }
  flush();
}

void drawPinholeLine(std::string& out, const KannalaBrandtCamera& lens, const ImageFrame& frame,
                     double fixed, bool vertical) {
  const auto& l = lens.lens();
  const double across = std::tan(fixed);
  const double reach = std::tan(kGridReach);
  if (vertical) {
    line(out, frame.at(l.fx * across + l.cx, l.cy - l.fy * reach),
         frame.at(l.fx * across + l.cx, l.cy + l.fy * reach), "class=\"pinhole-line\"");
  } else {
    line(out, frame.at(l.cx - l.fx * reach, l.fy * across + l.cy),
         frame.at(l.cx + l.fx * reach, l.fy * across + l.cy), "class=\"pinhole-line\"");
  }
}

void drawGrid(std::string& out, const KannalaBrandtCamera& lens, const ImageFrame& frame) {
  const auto& l = lens.lens();
  const auto& image = frame.image();
  const double halfX = gridHalfAngle(lens, {0, l.cy}, {image.width, l.cy});
  const double halfY = gridHalfAngle(lens, {l.cx, 0}, {l.cx, image.height});
  for (const bool vertical : {true, false}) {
    const double half = vertical ? halfX : halfY;
    const int count = static_cast<int>(std::floor(half / kGridStep + 1e-9));
    for (int i = -count; i <= count; ++i)
      drawPinholeLine(out, lens, frame, i * kGridStep, vertical);
    for (int i = -count; i <= count; ++i) drawGridLine(out, lens, frame, i * kGridStep, vertical);
  }
}

// The normalised radius of the image corner farthest from the principal point.
double cornerRadius(const KannalaBrandtCamera& lens, const geometry::ImageSize& image) {
  const auto& l = lens.lens();
  double farthest = 0.0;
  for (const double u : {0.0, image.width}) {
    for (const double v : {0.0, image.height}) {
      farthest = std::max(farthest, std::hypot((u - l.cx) / l.fx, (v - l.cy) / l.fy));
    }
  }
  return farthest;
}

// The image radius (normalised) beyond which the model turns back, when
// part of the image lies there.
std::optional<double> turnRadiusInsideImage(const KannalaBrandtCamera& lens,
                                            const geometry::ImageSize& image) {
  if (lens.validFieldAngle() >= std::numbers::pi) return std::nullopt;
  const double radius = geometry::distortedAngle(lens.lens().k, lens.validFieldAngle());
  if (cornerRadius(lens, image) <= radius) return std::nullopt;
  return radius;
}

void drawTurnRegion(std::string& out, const KannalaBrandtCamera& lens, const ImageFrame& frame,
                    double radius, const std::string& id) {
  const auto& l = lens.lens();
  const Point centre = frame.at(l.cx, l.cy);
  const double rx = l.fx * radius * frame.scale();
  const double ry = l.fy * radius * frame.scale();
  const Point corner = frame.at(0, 0);
  const Point far = frame.at(frame.image().width, frame.image().height);
  out += describe(
      "<pattern id=\"%s-hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(45)\"><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" "
      "class=\"hatch\"/></pattern>",
      id.c_str());
  out += describe("<path class=\"turn-region\" fill=\"url(#%s-hatch)\" fill-rule=\"evenodd\" ",
                  id.c_str());
  out += describe(
      "d=\"M%.1f,%.1f H%.1f V%.1f H%.1f Z M%.1f,%.1f a%.1f,%.1f 0 1,0 %.1f,0 "
      "a%.1f,%.1f 0 1,0 %.1f,0 Z\"/>",
      drawable(corner.x), drawable(corner.y), drawable(far.x), drawable(far.y), drawable(corner.x),
      drawable(centre.x - rx), drawable(centre.y), drawable(rx), drawable(ry), drawable(2 * rx),
      drawable(rx), drawable(ry), drawable(-2 * rx));
  out += describe("<ellipse class=\"turn-edge\" cx=\"%.1f\" cy=\"%.1f\" rx=\"%.1f\" ry=\"%.1f\"/>",
                  drawable(centre.x), drawable(centre.y), drawable(rx), drawable(ry));
}

void drawPrincipalPoint(std::string& out, const KannalaBrandtCamera& lens,
                        const ImageFrame& frame) {
  const auto& l = lens.lens();
  const Point p = frame.at(l.cx, l.cy);
  out += "<g class=\"principal-point\"><title>principal point</title>";
  line(out, {p.x - 7, p.y}, {p.x + 7, p.y}, "");
  line(out, {p.x, p.y - 7}, {p.x, p.y + 7}, "");
  out += "</g>";
}

// The radial curve: image radius along x against field angle, model and pinhole.
struct CurveRange {
  double maxTheta;
  double maxRadius;
};

CurveRange curveRange(const KannalaBrandtCamera& lens, const geometry::ImageSize& image) {
  const auto& l = lens.lens();
  const double corner = cornerRadius(lens, image);
  const std::optional<double> cornerTheta =
      geometry::undistortedAngle(l.k, corner, lens.validFieldAngle());
  const double reach = cornerTheta.value_or(lens.validFieldAngle());
  const double maxTheta = std::clamp(1.2 * reach, geometry::radians(20.0), std::numbers::pi);
  return {maxTheta, 1.3 * corner * l.fx};
}

void drawCurve(std::string& out, const ChartArea& chart, const KannalaBrandtCamera& lens,
               double maxTheta) {
  const auto& l = lens.lens();
  std::vector<Point> valid;
  std::vector<Point> beyond;
  std::vector<Point> pinhole;
  for (int i = 0; i <= kCurveSamples; ++i) {
    const double theta = maxTheta * i / kCurveSamples;
    const double degrees = geometry::degrees(theta);
    const Point p = chart.at(degrees, l.fx * geometry::distortedAngle(l.k, theta));
    if (theta <= lens.validFieldAngle()) {
      valid.push_back(p);
    } else {
      // The dashed part starts where the solid one ends.
      if (beyond.empty() && !valid.empty()) beyond.push_back(valid.back());
      beyond.push_back(p);
    }
    if (theta < geometry::radians(89.0))
      pinhole.push_back(chart.at(degrees, l.fx * std::tan(theta)));
  }
  polyline(out, pinhole, "class=\"pinhole-curve\"");
  polyline(out, valid, "class=\"model-curve\"");
  polyline(out, beyond, "class=\"model-curve beyond\"");
}

void drawRadiusMark(std::string& out, const ChartArea& chart, double radius, const char* label) {
  if (!(radius < chart.yRange().high)) return;
  const Point from = chart.at(chart.xRange().low, radius);
  const Point to = chart.at(chart.xRange().high, radius);
  line(out, from, to, "class=\"radius-mark\"");
  text(out, {to.x - 3, to.y - 3}, label, "class=\"mark-label\" text-anchor=\"end\"");
}

void appendRadialFigure(std::string& out, const KannalaBrandtCamera& lens,
                        const geometry::ImageSize& image, const std::string& id) {
  const auto& l = lens.lens();
  const CurveRange range = curveRange(lens, image);
  const ChartArea chart({56, 26}, {286, 170}, {0, geometry::degrees(range.maxTheta)},
                        {0, range.maxRadius});
  out +=
      "<figure><svg class=\"radial-figure\" viewBox=\"0 0 360 250\" role=\"img\" "
      "aria-label=\"radial curve\">";
  out += "<clipPath id=\"" + id + "-chart\">";
  rect(out, chart.at(0, range.maxRadius), {286, 170}, "");
  out += "</clipPath>";
  chart.drawAxes(out, "field angle θ (°)", "image radius along x (px)");
  out += "<g clip-path=\"url(#" + id + "-chart)\">";
  drawRadiusMark(out, chart, std::max(l.cx, image.width - l.cx), "edge x");
  drawRadiusMark(out, chart, std::max(l.cy, image.height - l.cy) * l.fx / l.fy, "edge y");
  drawRadiusMark(out, chart, cornerRadius(lens, image) * l.fx, "corner");
  drawCurve(out, chart, lens, range.maxTheta);
  if (lens.validFieldAngle() < range.maxTheta) {
    const double degrees = geometry::degrees(lens.validFieldAngle());
    line(out, chart.at(degrees, 0), chart.at(degrees, range.maxRadius), "class=\"turn-edge\"");
  }
  out += "</g>";
  text(out, {66, 44}, "model", "class=\"legend-model\"");
  text(out, {66, 60}, "pinhole, same f", "class=\"legend-pinhole\"");
  out +=
      "</svg><figcaption>Field angle against image radius: the model's curve, dashed where "
      "it has turned back, beside a pinhole's with the same focal length.</figcaption>"
      "</figure>";
}

std::string degreesOrBeyond(const std::optional<double>& angle) {
  return angle ? quantity(geometry::degrees(*angle), "°", 4) : "beyond the valid region";
}

}  // namespace

void appendLensFigures(std::string& out, const KannalaBrandtCamera& lens,
                       const geometry::ImageSize& image, const std::string& id) {
  const ImageFrame frame(image);
  const std::optional<double> turn = turnRadiusInsideImage(lens, image);
  out += "<div class=\"figures\">";
  openFigure(out, frame, "image-figure", "distorted grid");
  out += "<defs>";
  defineImageClip(out, frame, id + "-image");
  out += "</defs>";
  drawImageRectangle(out, frame);
  out += "<g clip-path=\"url(#" + id + "-image)\">";
  drawGrid(out, lens, frame);
  if (turn) drawTurnRegion(out, lens, frame, *turn, id);
  out += "</g>";
  drawPrincipalPoint(out, lens, frame);
  closeFigure(out, turn ? "Straight lines at every 10° of azimuth and elevation as the lens "
                          "images them (pinhole's faint); hatched: beyond the angle where the "
                          "model turns back."
                        : "Straight lines at every 10° of azimuth and elevation as the lens "
                          "images them; faint: where a pinhole would put them. Cross: "
                          "principal point.");
  appendRadialFigure(out, lens, image, id);
  out += "</div>";
}

void appendLensNumbers(std::string& out, const KannalaBrandtCamera& lens,
                       const geometry::ImageSize& image) {
  const geometry::FieldOfView fov = geometry::fieldOfView(lens, image);
  out += "<table class=\"lens-numbers\"><tr><th>field of view</th><td>horizontal ";
  appendEscaped(out, degreesOrBeyond(fov.horizontal));
  out += ", vertical ";
  appendEscaped(out, degreesOrBeyond(fov.vertical));
  out += ", diagonal ";
  appendEscaped(out, degreesOrBeyond(fov.diagonal));
  out += "</td></tr><tr><th>model one to one</th><td>";
  if (lens.validFieldAngle() >= std::numbers::pi) {
    out += "out to θ = 180°";
  } else {
    appendEscaped(out, "out to θ = " + quantity(geometry::degrees(lens.validFieldAngle()), "°", 4));
    out += turnRadiusInsideImage(lens, image)
               ? " <span class=\"badge error\">inside the image</span>"
               : ", outside the image";
  }
  out += "</td></tr></table>";
}

void appendSplineFigure(std::string& out, const SplineGrid& grid, const geometry::ImageSize& image,
                        const std::string& id) {
  const ImageFrame frame(image);
  double largest = 0.0;
  for (const auto& node : grid.nodes) largest = std::max(largest, std::hypot(node.du, node.dv));
  const double shortest = std::min(grid.spacingX, grid.spacingY);
  const double magnification = largest > 0.0 ? niceLength(0.45 * shortest / largest) : 1.0;
  openFigure(out, frame, "spline-figure", "spline correction grid");
  out += describe(
      "<defs><marker id=\"%s-arrow\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" "
      "markerWidth=\"5\" markerHeight=\"5\" orient=\"auto\"><path class=\"spline-head\" "
      "d=\"M0,0 L10,5 L0,10 z\"/></marker></defs>",
      id.c_str());
  drawImageRectangle(out, frame);
  for (const auto& node : grid.nodes) {
    const Point from = frame.at(node.u, node.v);
    const Point to = frame.at(node.u + magnification * node.du, node.v + magnification * node.dv);
    circle(out, from, 1.6, "class=\"spline-node\"");
    if (from.x != to.x || from.y != to.y) {
      line(out, from, to,
           describe("class=\"spline-arrow\" marker-end=\"url(#%s-arrow)\"", id.c_str()));
    }
  }
  closeFigure(out, largest > 0.0
                       ? describe("Spline correction at each grid node (dots), arrows drawn %s "
                                  "times their length; the largest is %s.",
                                  number(magnification).c_str(), quantity(largest, "px", 3).c_str())
                       : std::string("Correction grid: every correction is zero."));
}

}  // namespace ravelin::report
