// The rig in three orthographic views drawn to one scale: every camera as
// its frustum, every IMU as its axes, the head frame, and the CAD poses
// beside the calibrated ones.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "geometry/field_of_view.h"
#include "report/markup.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

constexpr double kAxisMillimetres = 15.0;
constexpr int kBorderSamplesPerSide = 6;
// The longest side of the rig's bounds takes this many drawing units.
constexpr double kLongestSide = 230.0;
constexpr double kMargin = 28.0;
// Labels run to the right of what they name.
constexpr double kLabelRoom = 84.0;
constexpr double kFooter = 30.0;

// An orthographic view: which head-frame axis runs right and which down.
// The head frame is drawn as a camera's frame is defined: x right, y down,
// z forward.
struct View {
  const char* id;
  const char* title;
  std::size_t right;
  double rightSign;
  std::size_t down;
  double downSign;
  const char* rightLabel;
  const char* upLabel;
};

constexpr std::array<View, 3> kViews = {{
    {"rig-top", "Top, seen from above", 0, 1.0, 2, -1.0, "x", "z"},
    {"rig-front", "Front, seen from behind", 0, 1.0, 1, 1.0, "x", "−y"},
    {"rig-side", "Side, seen from the right", 2, 1.0, 1, 1.0, "z", "−y"},
}};

struct Segment {
  Vec3 from;
  Vec3 to;
};

// Everything of one object, in millimetres in the head frame.
struct Drawing {
  std::vector<std::vector<Vec3>> outlines;  // frustum border runs
  std::vector<Segment> rays;
  Vec3 centre{};
};

Vec3 millimetres(const Vec3& metres) {
  return kMillimetresPerMetre * metres;
}

Vec3 axisTip(const Pose& pose, std::size_t axis, double lengthMm) {
  return millimetres(pose.translation) + lengthMm * geometry::column(pose.rotation, axis);
}

Drawing frustumOf(const RigCamera& camera) {
  Drawing drawing;
  drawing.centre = millimetres(camera.pose->translation);
  const auto tip = [&](const Vec3& ray) {
    return drawing.centre + kFrustumRayMillimetres * (camera.pose->rotation * ray);
  };
  if (!camera.lens || !camera.image) {
    drawing.rays.push_back({drawing.centre, tip({0, 0, 1})});
    return drawing;
  }
  const auto rays = geometry::borderRays(*camera.lens, *camera.image, kBorderSamplesPerSide);
  std::vector<Vec3> run;
  for (std::size_t i = 0; i <= rays.size(); ++i) {
    const auto& ray = rays[i % rays.size()];
    if (ray) {
      run.push_back(tip(*ray));
      if (i % kBorderSamplesPerSide == 0 && i < rays.size()) {
        drawing.rays.push_back({drawing.centre, run.back()});
      }
    } else if (!run.empty()) {
      drawing.outlines.push_back(std::move(run));
      run.clear();
    }
  }
  if (!run.empty()) drawing.outlines.push_back(std::move(run));
  if (drawing.rays.empty()) drawing.rays.push_back({drawing.centre, tip({0, 0, 1})});
  return drawing;
}

struct Bounds {
  Vec3 low{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
           std::numeric_limits<double>::infinity()};
  Vec3 high{-low[0], -low[1], -low[2]};

  void include(const Vec3& p) {
    for (std::size_t i = 0; i < 3; ++i) {
      low[i] = std::min(low[i], p[i]);
      high[i] = std::max(high[i], p[i]);
    }
  }
  bool empty() const { return !(low[0] <= high[0]); }
};

// The content of the three views, gathered once.
struct Scene {
  std::vector<Drawing> frusta;  // one per camera, in order; cameras without pose skipped
  std::vector<std::size_t> frustumCamera;
  std::vector<Drawing> olderFrusta;  // of the older rig, drawn faintly beneath
  std::vector<Pose> olderImus;
  Bounds bounds;
  double scale = 1.0;  // drawing units per millimetre
};

void includeDrawing(Bounds& bounds, const Drawing& drawing) {
  bounds.include(drawing.centre);
  for (const Segment& ray : drawing.rays) bounds.include(ray.to);
  for (const auto& outline : drawing.outlines) {
    for (const Vec3& p : outline) bounds.include(p);
  }
}

Scene sceneOf(const Rig& rig, const Rig* older) {
  Scene scene;
  const auto includeAxes = [&](const Pose& pose) {
    scene.bounds.include(millimetres(pose.translation));
    for (std::size_t axis = 0; axis < 3; ++axis) {
      scene.bounds.include(axisTip(pose, axis, kAxisMillimetres));
    }
  };
  includeAxes(Pose{});
  for (std::size_t i = 0; i < rig.cameras.size(); ++i) {
    const RigCamera& camera = rig.cameras[i];
    if (camera.cadPose) includeAxes(*camera.cadPose);
    if (!camera.pose) continue;
    Drawing drawing = frustumOf(camera);
    includeDrawing(scene.bounds, drawing);
    scene.frusta.push_back(std::move(drawing));
    scene.frustumCamera.push_back(i);
  }
  for (const RigImu& imu : rig.imus) {
    if (imu.pose) includeAxes(*imu.pose);
    if (imu.cadPose) includeAxes(*imu.cadPose);
  }
  for (const RigCamera& camera : older ? older->cameras : std::vector<RigCamera>{}) {
    if (!camera.pose) continue;
    scene.olderFrusta.push_back(frustumOf(camera));
    includeDrawing(scene.bounds, scene.olderFrusta.back());
  }
  for (const RigImu& imu : older ? older->imus : std::vector<RigImu>{}) {
    if (!imu.pose) continue;
    scene.olderImus.push_back(*imu.pose);
    includeAxes(*imu.pose);
  }
  double longest = 1.0;
  for (std::size_t i = 0; i < 3; ++i) {
    longest = std::max(longest, scene.bounds.high[i] - scene.bounds.low[i]);
  }
  scene.scale = kLongestSide / longest;
  return scene;
}

class ViewCanvas {
 public:
  ViewCanvas(const View& view, const Scene& scene) : view_(view), scene_(scene) {}

  double width() const { return extent(view_.right) * scene_.scale + kMargin + kLabelRoom; }
  double height() const { return extent(view_.down) * scene_.scale + 2 * kMargin + kFooter; }

  Point at(const Vec3& p) const {
    return {kMargin + (view_.rightSign > 0 ? p[view_.right] - low(view_.right)
                                           : high(view_.right) - p[view_.right]) *
                          scene_.scale,
            kMargin + (view_.downSign > 0 ? p[view_.down] - low(view_.down)
                                          : high(view_.down) - p[view_.down]) *
                          scene_.scale};
  }

 private:
  double low(std::size_t axis) const { return scene_.bounds.low[axis]; }
  double high(std::size_t axis) const { return scene_.bounds.high[axis]; }
  double extent(std::size_t axis) const { return high(axis) - low(axis); }

  const View& view_;
  const Scene& scene_;
};

void drawAxesTriple(std::string& out, const ViewCanvas& canvas, const Pose& pose,
                    std::string_view extraClass) {
  static constexpr std::array<const char*, 3> kNames = {"x", "y", "z"};
  const Point origin = canvas.at(millimetres(pose.translation));
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const Point tip = canvas.at(axisTip(pose, axis, kAxisMillimetres));
    line(out, origin, tip,
         "class=\"axis-" + std::string(kNames[axis]) + std::string(extraClass) + "\"");
    text(out, {tip.x + 2, tip.y - 2}, kNames[axis], "class=\"axis-letter\"");
  }
}

// A frustum's border runs and rays, each line with the given attributes.
void drawLines(std::string& out, const ViewCanvas& canvas, const Drawing& drawing,
               std::string_view edgeAttributes, std::string_view rayAttributes) {
  for (const auto& outline : drawing.outlines) {
    std::vector<Point> points;
    for (const Vec3& p : outline) points.push_back(canvas.at(p));
    polyline(out, points, edgeAttributes);
  }
  for (const Segment& ray : drawing.rays) {
    line(out, canvas.at(ray.from), canvas.at(ray.to), rayAttributes);
  }
}

void drawFrustum(std::string& out, const ViewCanvas& canvas, const Drawing& drawing,
                 std::size_t index, const RigCamera& camera) {
  const Vec3 c = drawing.centre;
  out += describe("<g class=\"frustum\" data-camera=\"%zu\"><title>", index);
  appendEscaped(out, describe("camera %zu · ", index) + camera.label +
                         describe(" at (%s, %s, %s) mm in the head frame", number(c[0], 4).c_str(),
                                  number(c[1], 4).c_str(), number(c[2], 4).c_str()));
  out += "</title>";
  drawLines(out, canvas, drawing, "class=\"frustum-edge\"", "class=\"frustum-ray\"");
  const Point centre = canvas.at(c);
  circle(out, centre, 3, describe("class=\"camera-centre\" data-camera=\"%zu\"", index));
  text(out, {centre.x + 5, centre.y + 14}, describe("%zu · ", index) + shortened(camera.label, 24),
       "class=\"camera-label\"");
  out += "</g>";
}

// The older rig in outline only: no labels, so that nothing is read twice.
void drawOlderRig(std::string& out, const ViewCanvas& canvas, const Scene& scene) {
  if (scene.olderFrusta.empty() && scene.olderImus.empty()) return;
  out += "<g class=\"older-rig\"><title>the older calibration</title>";
  for (const Drawing& drawing : scene.olderFrusta) {
    drawLines(out, canvas, drawing, "class=\"older-edge\"", "class=\"older-edge\"");
  }
  for (const Pose& imu : scene.olderImus) drawAxesTriple(out, canvas, imu, "");
  out += "</g>";
}

void drawCadCamera(std::string& out, const ViewCanvas& canvas, const Pose& pose,
                   std::size_t index) {
  const Point centre = canvas.at(millimetres(pose.translation));
  const Point forward = canvas.at(axisTip(pose, 2, kFrustumRayMillimetres));
  out +=
      describe("<g class=\"cad-camera\" data-camera=\"%zu\"><title>CAD pose of camera %zu</title>",
               index, index);
  line(out, centre, forward, "class=\"cad-line\"");
  rect(out, {centre.x - 3.5, centre.y - 3.5}, {7, 7}, "class=\"cad-mark\"");
  text(out, {centre.x + 5, centre.y - 6}, describe("CAD %zu", index), "class=\"cad-label\"");
  out += "</g>";
}

void drawScaleBar(std::string& out, const ViewCanvas& canvas, double scale) {
  const double millimetresLong = niceLength(kLongestSide / 4 / scale);
  const double y = canvas.height() - 14;
  const Point from{kMargin, y};
  const Point to{kMargin + millimetresLong * scale, y};
  out += "<g class=\"scale-bar\">";
  line(out, from, to, "");
  line(out, {from.x, y - 4}, {from.x, y + 4}, "");
  line(out, {to.x, y - 4}, {to.x, y + 4}, "");
  text(out, {to.x + 6, y + 4}, quantity(millimetresLong, "mm"), "");
  out += "</g>";
}

void drawCompass(std::string& out, const ViewCanvas& canvas, const View& view) {
  const double x = canvas.width() - 34;
  const double y = canvas.height() - 14;
  out += "<g class=\"compass\">";
  const std::string arrow = describe("marker-end=\"url(#%s-arrow)\"", view.id);
  line(out, {x, y}, {x + 20, y}, arrow);
  line(out, {x, y}, {x, y - 20}, arrow);
  text(out, {x + 23, y + 4}, view.rightLabel, "");
  text(out, {x - 4, y - 24}, view.upLabel, "");
  out += "</g>";
}

void drawView(std::string& out, const View& view, const Scene& scene, const Rig& rig) {
  const ViewCanvas canvas(view, scene);
  // A drawing unit is a CSS pixel, so that every view keeps the one scale
  // and its text its size; a row too narrow for three wraps.
  out += describe("<figure style=\"width:%.0fpx\">", canvas.width());
  out += describe(
      "<svg id=\"%s\" class=\"rig-view\" data-px-per-mm=\"%.6g\" viewBox=\"0 0 %.1f %.1f\" "
      "role=\"img\" aria-label=\"%s\">",
      view.id, scene.scale, canvas.width(), canvas.height(), view.title);
  out += describe(
      "<defs><marker id=\"%s-arrow\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" "
      "markerWidth=\"6\" markerHeight=\"6\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\"/>"
      "</marker></defs>",
      view.id);
  drawOlderRig(out, canvas, scene);
  out += "<g class=\"head-axes\"><title>head frame</title>";
  const Point origin = canvas.at({0, 0, 0});
  circle(out, origin, 2.5, "class=\"head-origin\"");
  drawAxesTriple(out, canvas, Pose{}, " head");
  text(out, {origin.x - 6, origin.y + 14}, "head", "class=\"head-label\" text-anchor=\"end\"");
  out += "</g>";
  for (std::size_t i = 0; i < rig.cameras.size(); ++i) {
    if (rig.cameras[i].cadPose) drawCadCamera(out, canvas, *rig.cameras[i].cadPose, i);
  }
  for (std::size_t i = 0; i < rig.imus.size(); ++i) {
    if (!rig.imus[i].cadPose) continue;
    out +=
        describe("<g class=\"cad-imu\" data-imu=\"%zu\"><title>CAD pose of IMU %zu</title>", i, i);
    drawAxesTriple(out, canvas, *rig.imus[i].cadPose, " cad-axis");
    out += "</g>";
  }
  for (std::size_t i = 0; i < scene.frusta.size(); ++i) {
    const std::size_t camera = scene.frustumCamera[i];
    drawFrustum(out, canvas, scene.frusta[i], camera, rig.cameras[camera]);
  }
  for (std::size_t i = 0; i < rig.imus.size(); ++i) {
    if (!rig.imus[i].pose) continue;
    out += describe("<g class=\"imu-axes\" data-imu=\"%zu\"><title>", i);
    appendEscaped(out, describe("IMU %zu · ", i) + rig.imus[i].label);
    out += "</title>";
    drawAxesTriple(out, canvas, *rig.imus[i].pose, "");
    const Point at = canvas.at(millimetres(rig.imus[i].pose->translation));
    text(out, {at.x - 5, at.y + 14}, describe("IMU %zu", i),
         "class=\"imu-label\" text-anchor=\"end\"");
    out += "</g>";
  }
  drawScaleBar(out, canvas, scene.scale);
  drawCompass(out, canvas, view);
  out += "</svg><figcaption>";
  appendEscaped(out, view.title);
  out += "</figcaption></figure>";
}

void listUnplaced(std::string& out, const Rig& rig) {
  std::string missing;
  const auto note = [&](const std::string& what) {
    missing += missing.empty() ? "" : "; ";
    missing += what;
  };
  for (std::size_t i = 0; i < rig.cameras.size(); ++i) {
    if (!rig.cameras[i].pose) note(describe("camera %zu", i));
  }
  for (std::size_t i = 0; i < rig.imus.size(); ++i) {
    if (!rig.imus[i].pose) note(describe("IMU %zu", i));
  }
  if (missing.empty()) return;
  out +=
      "<p class=\"note\">Not drawn, as their extrinsics (or a parent's) cannot be read, or "
      "their parents loop: ";
  appendEscaped(out, missing);
  out += ".</p>";
}

}  // namespace

void appendRigSection(std::string& out, const Rig& rig, std::size_t cameraCount,
                      std::size_t imuCount, const Rig* older) {
  const Scene scene = sceneOf(rig, older);
  out += "<section id=\"rig\"><h2>Rig</h2>";
  out +=
      "<p class=\"lead\">Every pose is followed through its parents into the head frame, drawn as "
      "a "
      "camera's frame is defined: x right, y down, z forward. Frusta are the rays through the "
      "image border, ";
  out += quantity(kFrustumRayMillimetres, "mm");
  out +=
      " long, from each lens model; CAD poses come from the CAD section through its head pose.</p>";
  out +=
      "<div class=\"legend\"><span class=\"key frustum-key\"></span>calibrated camera "
      "<span class=\"key cad-key\"></span>CAD pose "
      "<span class=\"key x-key\"></span>x <span class=\"key y-key\"></span>y "
      "<span class=\"key z-key\"></span>z axes of an IMU or the head";
  if (older) out += "<span class=\"key older-key\"></span>older calibration, faint";
  out += "</div>";
  out += "<div class=\"views\">";
  for (const View& view : kViews) drawView(out, view, scene, rig);
  out += "</div>";
  listUnplaced(out, rig);
  if (cameraCount > rig.cameras.size() || imuCount > rig.imus.size()) {
    out += describe("<p class=\"note\">Only the first %zu cameras and %zu IMUs are drawn.</p>",
                    kMaxDrawnCameras, kMaxDrawnImus);
  }
  out += "</section>";
}

}  // namespace ravelin::report
