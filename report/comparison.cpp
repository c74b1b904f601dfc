// What changed since the older document, in the numbers of diff: a section
// of every change, and for each camera its projection difference across the
// imager as a heat map.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "report/markup.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

// Viridis at every tenth of its range: perceptually uniform, readable with
// every common colour-vision deficiency and in grey on paper.
constexpr std::array<std::array<int, 3>, 11> kViridis = {{{0x44, 0x01, 0x54},
                                                          {0x48, 0x25, 0x76},
                                                          {0x41, 0x44, 0x87},
                                                          {0x35, 0x60, 0x8D},
                                                          {0x2A, 0x78, 0x8E},
                                                          {0x21, 0x90, 0x8C},
                                                          {0x22, 0xA8, 0x84},
                                                          {0x43, 0xBF, 0x71},
                                                          {0x7A, 0xD1, 0x51},
                                                          {0xBB, 0xDF, 0x27},
                                                          {0xFD, 0xE7, 0x25}}};

// Cells share a colour in this many steps, one path each: a page of many
// cameras stays small, and a step is below what the eye tells apart.
constexpr std::size_t kColourSteps = 32;

// The colour bar runs to at least this many pixels: an unchanged camera then
// reads as dark everywhere rather than as rounding noise spread over the bar.
constexpr double kLeastBarPixels = 0.1;

constexpr double kHeatMapWidth = 320.0;
constexpr double kBarGap = 18.0;
constexpr double kBarWidth = 14.0;
constexpr double kBarLabelRoom = 70.0;
constexpr double kPad = 8.0;

std::string viridis(double fraction) {
  const double at = std::clamp(fraction, 0.0, 1.0) * (kViridis.size() - 1);
  const auto low = static_cast<std::size_t>(std::floor(at));
  const std::size_t high = std::min(low + 1, kViridis.size() - 1);
  const double t = at - static_cast<double>(low);
  std::array<int, 3> colour{};
  for (std::size_t i = 0; i < 3; ++i) {
    colour[i] = static_cast<int>(
        std::lround(kViridis[low][i] + t * (kViridis[high][i] - kViridis[low][i])));
  }
  return describe("#%02X%02X%02X", colour[0], colour[1], colour[2]);
}

void colourBar(std::string& out, std::size_t camera, Point topLeft, double height, double top) {
  out += describe("<defs><linearGradient id=\"viridis-%zu\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">",
                  camera);
  for (std::size_t i = 0; i < kViridis.size(); ++i) {
    const double fraction = static_cast<double>(i) / (kViridis.size() - 1);
    out +=
        describe("<stop offset=\"%.2f\" stop-color=\"%s\"/>", fraction, viridis(fraction).c_str());
  }
  out += "</linearGradient></defs>";
  rect(out, topLeft, {kBarWidth, height},
       describe("class=\"colour-bar\" fill=\"url(#viridis-%zu)\"", camera));
  for (const double tick : niceTicks(0.0, top, 5)) {
    if (tick > top) continue;
    const double y = topLeft.y + height * (1.0 - tick / top);
    line(out, {topLeft.x + kBarWidth, y}, {topLeft.x + kBarWidth + 4, y}, "class=\"tick\"");
    text(out, {topLeft.x + kBarWidth + 7, y + 4}, number(tick, 3), "class=\"tick-label\"");
  }
  text(out, {topLeft.x, topLeft.y - 4}, "px", "class=\"axis-title\"");
}

// The colour step of a distance on a bar from 0 to `top`; a distance beyond
// any number (from a lens of extreme coefficients) takes the top step.
std::size_t colourStep(double px, double top) {
  const double fraction = px / top;
  if (!(fraction >= 0.0)) return 0;
  if (fraction >= 1.0) return kColourSteps - 1;
  return static_cast<std::size_t>(fraction * static_cast<double>(kColourSteps));
}

// One path per colour step: a rectangle around each point, the points being
// pixel centres from corner to corner.
void cells(std::string& out, const diff::ProjectionField& field, Point size, double top) {
  const double cellWidth = size.x / static_cast<double>(field.columns);
  const double cellHeight = size.y / static_cast<double>(field.rows);
  std::array<std::string, kColourSteps> paths;
  std::string unseen;
  for (std::size_t row = 0; row < field.rows; ++row) {
    for (std::size_t column = 0; column < field.columns; ++column) {
      const std::optional<double>& px = field.px[row * field.columns + column];
      std::string& path = px ? paths[colourStep(*px, top)] : unseen;
      path +=
          describe("M%.1f %.1fh%.1fv%.1fh%.1fz", kPad + static_cast<double>(column) * cellWidth,
                   kPad + static_cast<double>(row) * cellHeight, cellWidth, cellHeight, -cellWidth);
    }
  }
  for (std::size_t step = 0; step < paths.size(); ++step) {
    if (paths[step].empty()) continue;
    const double middle = (static_cast<double>(step) + 0.5) / static_cast<double>(kColourSteps);
    out += describe("<path fill=\"%s\" d=\"", viridis(middle).c_str());
    out += paths[step];
    out += "\"/>";
  }
  if (!unseen.empty()) out += "<path class=\"unseen\" d=\"" + unseen + "\"/>";
}

// The largest finite distance, so that the bar has ticks to draw.
double largest(const diff::ProjectionField& field) {
  double most = 0.0;
  for (const std::optional<double>& px : field.px) {
    if (px && std::isfinite(*px)) most = std::max(most, *px);
  }
  return most;
}

void heatMap(std::string& out, const diff::ProjectionField& field, std::size_t camera,
             const geometry::ImageSize& image) {
  const double top = std::max(largest(field), kLeastBarPixels);
  const Point size{kHeatMapWidth, kHeatMapWidth * image.height / image.width};
  const double width = 2 * kPad + size.x + kBarGap + kBarWidth + kBarLabelRoom;
  out += "<figure class=\"heat-map-figure\">";
  out += describe(
      "<svg class=\"heat-map\" data-camera=\"%zu\" viewBox=\"0 0 %.1f %.1f\" role=\"img\" "
      "aria-label=\"projection difference of camera %zu across its imager\">",
      camera, width, size.y + 2 * kPad, camera);
  cells(out, field, size, top);
  rect(out, {kPad, kPad}, size, "class=\"image-frame\"");
  colourBar(out, camera, {kPad + size.x + kBarGap, kPad + 12}, size.y - 12, top);
  out +=
      "</svg><figcaption>How far a point at infinity lands from where it landed before, "
      "extrinsic rotation included, across the imager";
  if (std::any_of(field.px.begin(), field.px.end(), [](const auto& px) { return !px; })) {
    out += "; grey where one model does not see the point";
  }
  out += ".</figcaption></figure>";
}

std::string figureText(const std::optional<diff::ProjectionFigure>& figure) {
  if (!figure) return "—";
  return describe("up to %s, %s RMS", quantity(figure->max, "px", 4).c_str(),
                  quantity(figure->rms, "px", 4).c_str()) +
         (figure->unseen > 0 ? describe(", %zu of %zu points unseen", figure->unseen,
                                        figure->seen + figure->unseen)
                             : "");
}

void changeRows(std::string& out, const std::vector<diff::Change>& changes,
                const SectionCounts& drawn) {
  for (std::size_t i = 0; i < changes.size() && i < kMaxListedFindings; ++i) {
    const diff::Change& change = changes[i];
    out += describe("<tr><td><span class=\"badge %s\">%s</span></td><td><a href=\"#",
                    change.within ? "warning" : "error", change.within ? "within" : "beyond");
    out += sectionAnchor(change.pointer, drawn);
    out += "\"><code>";
    appendEscaped(out, change.pointer.empty() ? "(whole blob)" : change.pointer);
    out += "</code></a></td><td>";
    appendEscaped(out, shortened(diff::changeText(change), 240));
    out += "</td></tr>";
  }
}

}  // namespace

void appendComparisonSection(std::string& out, const diff::DiffReport& report,
                             const std::string& olderName, const SectionCounts& drawn) {
  const diff::ChangeCounts counts = diff::countChanges(report);
  out += "<section id=\"comparison\"><h2>Changes since ";
  appendEscaped(out, olderName);
  out += "</h2><div class=\"verdicts\">";
  switch (diff::verdictOf(report)) {
    case diff::Verdict::IDENTICAL:
      out += "<span class=\"badge ok\">diff: identical</span>";
      break;
    case diff::Verdict::WITHIN:
      out += describe("<span class=\"badge warning\">diff: %zu within tolerance</span>",
                      counts.within);
      break;
    case diff::Verdict::BEYOND:
      out += describe("<span class=\"badge error\">diff: %zu beyond tolerance, %zu within</span>",
                      counts.beyond, counts.within);
      break;
  }
  out += "</div>";
  std::vector<diff::Change> all;
  diff::forEachChange(report, [&](const diff::Change& change) { all.push_back(change); });
  if (!all.empty()) {
    out += "<table class=\"changes\"><tr><th>tolerance</th><th>where</th><th>change</th></tr>";
    changeRows(out, all, drawn);
    out += "</table>";
  }
  appendListedNote(out, all.size(), "changes", "diff");
  out += "</section>";
}

void appendCameraComparison(std::string& out, const diff::CameraDiff& change,
                            const std::optional<geometry::ImageSize>& image) {
  out += "<div class=\"comparison\"><h3>Since the older calibration</h3><div class=\"figures\">";
  if (change.projectionField && image && hasDrawableShape(image->width, image->height) &&
      change.projectionField->columns > 0 && change.projectionField->rows > 0) {
    heatMap(out, *change.projectionField, change.index, *image);
  } else {
    out +=
        "<p class=\"note\">No heat map: a lens, the image size or a pose of one side cannot be "
        "read, or the image has no drawable shape.</p>";
  }
  out += "<table>";
  row(out, "rotation", quantity(change.rotationDeg, "°", 4));
  row(out, "translation", quantity(change.translationMm, "mm", 4));
  row(out, "projection, with the extrinsic rotation", figureText(change.projection));
  row(out, "projection, intrinsics alone", figureText(change.intrinsicsProjection));
  row(out, "projection, after the best-fitting rotation",
      figureText(change.bestRotationProjection));
  row(out, "best-fitting rotation", quantity(change.bestRotationDeg, "°", 4));
  row(out, "changes", std::to_string(change.changes.size()));
  out += "</table></div></div>";
}

}  // namespace ravelin::report
