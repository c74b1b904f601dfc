// The sections of a device config: the eye buffers to scale, the head and
// CAD poses, and each eye's transform with its distortion curves.

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <vector>

#include "geometry/pose.h"
#include "geometry/vector.h"
#include "report/markup.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

// The format holds two eyes; a document may list more, which the encoder refuses.
constexpr std::size_t kDrawnEyes = 2;
constexpr double kBufferFigureWidth = 560.0;

std::optional<Mat3> matrixAt(const Node& node) {
  if (node.size() != 3) return std::nullopt;
  Mat3 m{};
  for (std::size_t r = 0; r < 3; ++r) {
    if (node[r].size() != 3) return std::nullopt;
    for (std::size_t c = 0; c < 3; ++c) {
      const auto value = numberAt(node[r][c]);
      if (!value) return std::nullopt;
      m[3 * r + c] = *value;
    }
  }
  return m;
}

std::string matrixText(const Node& node) {
  if (!node.isArray()) return shownValue(node);
  std::string text;
  for (std::size_t r = 0; r < node.size(); ++r) text += (r ? " " : "") + numberList(node[r], "");
  return text;
}

void appendEyeBuffers(std::string& out, const Node& root) {
  const Node device = root["device"];
  const auto width = numberAt(device["eye_target_width_in_pixels"]);
  const auto height = numberAt(device["eye_target_height_in_pixels"]);
  out += "<section id=\"eye-buffers\"><h2>Eye buffers</h2><div class=\"facts\"><table>";
  row(out, "eye buffer", number(width) + " × " + number(height) + "\u00A0px each");
  for (const char* key : {"num_windows", "first_eye", "last_eye", "hidden_area_mesh"}) {
    if (device[key].value() != nullptr) row(out, key, shownValue(device[key]));
  }
  out += "</table></div>";
  if (!width || !height || !hasDrawableShape(*width, *height)) {
    out +=
        "<p class=\"note\">Not drawn: the eye buffer size is not two positive numbers of "
        "a display's proportions.</p></section>";
    return;
  }
  const double gap = 0.06 * *width;
  const double scale = kBufferFigureWidth / (2 * *width + gap);
  const double pad = 22;
  out += describe(
      "<figure><svg class=\"buffer-figure\" viewBox=\"0 0 %.1f %.1f\" role=\"img\" "
      "aria-label=\"eye buffers\">",
      kBufferFigureWidth + 2 * pad, *height * scale + 2 * pad + 10);
  const Node eyes = root["tracking_to_eye_transform"];
  for (std::size_t eye = 0; eye < kDrawnEyes; ++eye) {
    const double left = pad + static_cast<double>(eye) * (*width + gap) * scale;
    rect(out, {left, pad}, {*width * scale, *height * scale}, "class=\"image-rect\"");
    const Node name = device[eye == 0 ? "first_eye" : "last_eye"];
    text(out, {left, pad - 6}, shortened(shownValue(name), 30), "class=\"eye-label\"");
    const Node distortion = eyes[eye]["distortion"];
    const auto cx = numberAt(distortion["center_x"]);
    const auto cy = numberAt(distortion["center_y"]);
    if (cx && cy) {
      const Point centre{left + *cx * *width * scale, pad + *cy * *height * scale};
      line(out, {centre.x - 7, centre.y}, {centre.x + 7, centre.y}, "class=\"centre-mark\"");
      line(out, {centre.x, centre.y - 7}, {centre.x, centre.y + 7}, "class=\"centre-mark\"");
    }
  }
  out += "</svg><figcaption>";
  appendEscaped(out, "The two eye buffers to scale, " + number(width) + " × " + number(height) +
                         " px each; crosses: the distortion centres (green channel).");
  out += "</figcaption></figure></section>";
}

void poseTable(std::string& out, const Node& pose, const char* title) {
  out += "<table><tr><th colspan=\"2\">";
  appendEscaped(out, title);
  out += "</th></tr>";
  if (pose.value() == nullptr) {
    row(out, "pose", "— (absent)");
  } else {
    if (pose["method"].value() != nullptr) row(out, "method", shownValue(pose["method"]));
    row(out, "plus_x", numberList(pose["plus_x"], ""));
    row(out, "plus_z", numberList(pose["plus_z"], ""));
    std::string position = numberList(pose["position"], "m");
    if (pose["position"].size() == 3) {
      std::vector<std::string> mm;
      bool complete = true;
      for (std::size_t i = 0; i < 3; ++i) {
        const auto value = numberAt(pose["position"][i]);
        complete = complete && value.has_value();
        mm.push_back(number(value.value_or(0.0) * kMillimetresPerMetre, 4));
      }
      if (complete) position += " = (" + mm[0] + ", " + mm[1] + ", " + mm[2] + ")\u00A0mm";
    }
    row(out, "position", position);
  }
  out += "</table>";
}

void appendPoses(std::string& out, const Node& root) {
  out += "<section id=\"poses\"><h2>Head and CAD poses</h2><div class=\"facts\">";
  poseTable(out, root["head"], "head");
  poseTable(out, root["cv"]["cad_from_cal"], "CAD from calibration");
  out += "</div></section>";
}

// Both eyes' axes (the columns of eye_to_head) in one view, each eye at its
// own place: the transforms hold rotations only.
void appendEyeAxesFigure(std::string& out, const Node& eyes) {
  struct AxesView {
    const char* title;
    std::size_t right;
    std::size_t down;
    double downSign;
  };
  static constexpr std::array<AxesView, 2> kViews = {
      {{"top, seen from above: x right, z up", 0, 2, -1.0},
       {"front, seen from behind: x right, y down", 0, 1, 1.0}}};
  static constexpr std::array<const char*, 3> kNames = {"x", "y", "z"};
  constexpr double kAxisLength = 50.0;
  out +=
      "<figure><svg class=\"eye-axes-figure\" viewBox=\"0 0 520 170\" role=\"img\" "
      "aria-label=\"eye axes\">";
  for (std::size_t v = 0; v < kViews.size(); ++v) {
    const AxesView& view = kViews[v];
    text(out, {20.0 + 260.0 * static_cast<double>(v), 18}, view.title, "class=\"mark-label\"");
    for (std::size_t eye = 0; eye < kDrawnEyes; ++eye) {
      const auto m = matrixAt(eyes[eye]["eye_to_head"]);
      const Point origin{70.0 + 260.0 * static_cast<double>(v) + 110.0 * static_cast<double>(eye),
                         100};
      const std::string turned =
          m ? " · " + quantity(geometry::degrees(geometry::rotationAngle(*m)), "°", 3) : "";
      text(out, {origin.x - 20, 160}, describe("eye %zu", eye) + turned, "class=\"mark-label\"");
      if (!m) continue;
      out += describe("<g class=\"eye-axes\" data-eye=\"%zu\">", eye);
      for (std::size_t axis = 0; axis < 3; ++axis) {
        const Vec3 direction = geometry::column(*m, axis);
        const Point tip{origin.x + kAxisLength * direction[view.right],
                        origin.y + kAxisLength * view.downSign * direction[view.down]};
        line(out, origin, tip, "class=\"axis-" + std::string(kNames[axis]) + "\"");
        text(out, {tip.x + 2, tip.y - 2}, kNames[axis], "class=\"axis-letter\"");
      }
      out += "</g>";
    }
  }
  out +=
      "</svg><figcaption>Each eye's axes, the columns of its eye_to_head matrix, in the head "
      "frame.</figcaption></figure>";
}

struct Channel {
  const char* key;
  const char* name;
  const char* cls;
};

// Control points of one or more distortion objects against r², evenly
// spaced over [0, r2max] (over their index when r2max is not positive).
void appendCurveFigure(std::string& out, const Node& eye, std::span<const Channel> channels,
                       const char* title) {
  double r2max = 0.0;
  double low = 0.0;
  double high = 0.0;
  std::size_t longest = 0;
  for (const Channel& channel : channels) {
    const Node coeffs = eye[channel.key]["coeffs"];
    r2max = std::max(r2max, numberAt(eye[channel.key]["r2max"]).value_or(0.0));
    longest = std::max(longest, coeffs.size());
    for (std::size_t i = 0; i < coeffs.size(); ++i) {
      const double value = numberAt(coeffs[i]).value_or(0.0);
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  if (longest < 2) return;
  const bool overRadius = r2max > 0.0;
  const double xHigh = overRadius ? r2max : static_cast<double>(longest - 1);
  const double span = high - low > 0.0 ? high - low : 1.0;
  const ChartArea chart({56, 26}, {286, 170}, {0, xHigh}, {low, high + 0.1 * span});
  out += "<figure><svg class=\"curve-figure\" viewBox=\"0 0 360 250\" role=\"img\" aria-label=\"";
  appendEscaped(out, title);
  out += "\">";
  chart.drawAxes(out, overRadius ? "r² (normalised)" : "control point", "coefficient");
  for (std::size_t c = 0; c < channels.size(); ++c) {
    const Node object = eye[channels[c].key];
    const Node coeffs = object["coeffs"];
    const double last = static_cast<double>(std::max<std::size_t>(coeffs.size(), 2) - 1);
    const double ownMax = numberAt(object["r2max"]).value_or(0.0);
    std::vector<Point> points;
    for (std::size_t i = 0; i < coeffs.size(); ++i) {
      const auto value = numberAt(coeffs[i]);
      if (!value) continue;
      const double x = overRadius ? static_cast<double>(i) / last * ownMax : static_cast<double>(i);
      points.push_back(chart.at(x, *value));
    }
    polyline(out, points, describe("class=\"%s\"", channels[c].cls));
    text(out, {66, 44.0 + 15.0 * static_cast<double>(c)}, channels[c].name,
         describe("class=\"%s-label\"", channels[c].cls));
  }
  const auto cutoff = numberAt(eye["undistort_r2_cutoff"]);
  if (overRadius && cutoff && *cutoff > 0 && *cutoff <= xHigh) {
    line(out, chart.at(*cutoff, chart.yRange().low), chart.at(*cutoff, chart.yRange().high),
         "class=\"radius-mark\"");
    const Point top = chart.at(*cutoff, chart.yRange().high);
    text(out, {top.x - 3, top.y + 12}, "undistort cutoff",
         "class=\"mark-label\" text-anchor=\"end\"");
  }
  out += "</svg><figcaption>";
  appendEscaped(out, title);
  out += "</figcaption></figure>";
}

void rotationRows(std::string& out, const Node& eyeToHead) {
  row(out, "eye_to_head", matrixText(eyeToHead));
  const auto m = matrixAt(eyeToHead);
  if (!m) return;
  const Mat3& r = *m;
  const Vec3 skew{r[7] - r[5], r[2] - r[6], r[3] - r[1]};
  const double angle = geometry::degrees(geometry::rotationAngle(r));
  std::string rotation = quantity(angle, "°", 3);
  if (geometry::norm(skew) > 0.0) {
    const Vec3 axis = (1.0 / geometry::norm(skew)) * skew;
    rotation += describe(" about (%s, %s, %s)", number(axis[0], 3).c_str(),
                         number(axis[1], 3).c_str(), number(axis[2], 3).c_str());
  }
  row(out, "rotation from the head frame", rotation);
  row(out, "max |RᵀR − I|", number(geometry::orthonormalityDeviation(r), 3));
}

void appendEye(std::string& out, const Node& eye, std::size_t index) {
  out += describe("<section id=\"eye-%zu\" class=\"eye\"><h2>Eye %zu", index, index);
  if (const auto serial = eye["display_serial_number"].text()) {
    out += " · ";
    appendEscaped(out, shortened(*serial, 48));
  }
  out += "</h2><div class=\"facts\"><table>";
  rotationRows(out, eye["eye_to_head"]);
  out += "</table><table>";
  row(out, "intrinsics", matrixText(eye["intrinsics"]));
  row(out, "grow for undistort", shownValue(eye["grow_for_undistort"]));
  row(out, "undistort r² cutoff", shownValue(eye["undistort_r2_cutoff"]));
  const Node inverse = eye["inverse_distortion"];
  row(out, "inverse distortion control points", shownValue(inverse["nSplineCtrlPts"]));
  for (const char* key : {"distortion", "distortion_red", "distortion_blue"}) {
    row(out, std::string(key) + " centre",
        "(" + shownValue(eye[key]["center_x"]) + ", " + shownValue(eye[key]["center_y"]) +
            ") of the buffer, r2max " + shownValue(eye[key]["r2max"]));
  }
  out += "</table></div><div class=\"figures\">";
  static constexpr Channel kColours[] = {{"distortion_red", "red", "channel-red"},
                                         {"distortion", "green", "channel-green"},
                                         {"distortion_blue", "blue", "channel-blue"}};
  static constexpr Channel kInverse[] = {{"inverse_distortion", "inverse", "channel-inverse"}};
  appendCurveFigure(out, eye, kColours,
                    "Distortion of each colour channel: the spline's control points against r².");
  appendCurveFigure(out, eye, kInverse, "Inverse distortion: control points against r².");
  out += "</div></section>";
}

}  // namespace

void appendDeviceConfigSections(std::string& out, const Node& root) {
  appendEyeBuffers(out, root);
  appendPoses(out, root);
  const Node eyes = root["tracking_to_eye_transform"];
  out += "<section id=\"eye-axes\"><h2>Eye transforms</h2>";
  appendEyeAxesFigure(out, eyes);
  out += "</section>";
  for (std::size_t i = 0; i < eyes.size() && i < kDrawnEyes; ++i) appendEye(out, eyes[i], i);
}

}  // namespace ravelin::report
