// The sections of a compact calibration's cameras and IMUs.

#include <algorithm>
#include <cmath>

#include "geometry/pose.h"
#include "report/lens_figures.h"
#include "report/markup.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

std::string millimetreTriple(const Vec3& metres) {
  return describe("(%s, %s, %s) mm", number(kMillimetresPerMetre * metres[0], 4).c_str(),
                  number(kMillimetresPerMetre * metres[1], 4).c_str(),
                  number(kMillimetresPerMetre * metres[2], 4).c_str());
}

std::string directionTriple(const Vec3& v) {
  return describe("(%s, %s, %s)", number(v[0], 3).c_str(), number(v[1], 3).c_str(),
                  number(v[2], 3).c_str());
}

void rowIfPresent(std::string& out, std::string_view name, const Node& node,
                  std::string_view unit = "") {
  if (node.value() == nullptr) return;
  const auto value = numberAt(node);
  row(out, name, value ? quantity(*value, unit) : shownValue(node));
}

void rowListIfPresent(std::string& out, std::string_view name, const Node& node,
                      std::string_view unit) {
  if (node.value() != nullptr) row(out, name, numberList(node, unit));
}

// Single precision leaves poses that agree some 1e-5 mm and 1e-5 degrees
// apart; shown as such, that would read as a mismatch. A thousandth of a
// millimetre or of a degree is far below what a CAD pose is held to.
constexpr double kAgreedMillimetres = 1e-3;
constexpr double kAgreedDegrees = 1e-3;

double roundedOff(double difference, double agreed) {
  return std::fabs(difference) < agreed ? 0.0 : difference;
}

// Where a pose sits in the head frame, and how far its CAD pose lies from it.
void poseRows(std::string& out, const std::optional<Pose>& pose, const std::optional<Pose>& cadPose,
              const char* forwardName) {
  if (!pose) {
    row(out, "position in the head frame", "— (its extrinsics cannot be placed)");
  } else {
    row(out, "position in the head frame", millimetreTriple(pose->translation));
    row(out, forwardName, directionTriple(geometry::column(pose->rotation, 2)));
  }
  if (!cadPose) return;
  row(out, "CAD position", millimetreTriple(cadPose->translation));
  if (!pose) return;
  const double apart =
      kMillimetresPerMetre * geometry::distance(pose->translation, cadPose->translation);
  const double turned =
      geometry::degrees(geometry::rotationAngleBetween(pose->rotation, cadPose->rotation));
  row(out, "calibrated against CAD",
      quantity(roundedOff(apart, kAgreedMillimetres), "mm", 3) + " apart, turned by " +
          quantity(roundedOff(turned, kAgreedDegrees), "°", 3));
}

void temperatureRow(std::string& out, const Node& temperature) {
  if (temperature.value() == nullptr) return;
  row(out, "temperature range",
      quantity(numberAt(temperature["min"]), "°C") + " to " +
          quantity(numberAt(temperature["max"]), "°C"));
}

void identityRows(std::string& out, const Node& object, const char* sourceKey) {
  for (const char* key : {"hardwareIdentifier", sourceKey, "parent", "serial"}) {
    if (object[key].value() != nullptr) row(out, key, shownValue(object[key]));
  }
}

void cameraFacts(std::string& out, const Node& camera, const RigCamera* placed) {
  out += "<div class=\"facts\"><table>";
  identityRows(out, camera, "sourceCamera");
  const auto width = numberAt(camera["width"]);
  const auto height = numberAt(camera["height"]);
  row(out, "image", number(width) + " × " + number(height) + "\u00A0px");
  if (placed) poseRows(out, placed->pose, placed->cadPose, "looks along (head frame)");
  out += "</table><table>";
  rowListIfPresent(out, "extrinsics offset", camera["extrinsicsOffset"], "");
  const Node thermal = camera["focalLengthThermalModel"];
  if (thermal.value() != nullptr) {
    row(out, "focal length thermal model",
        "slope " + quantity(numberAt(thermal["slope"]), "px/°C") + ", offset " +
            numberList(thermal["offset"], "px"));
  }
  const Node crop = camera["cropRegion"];
  if (crop.value() != nullptr) {
    row(out, "crop region",
        "x " + quantity(numberAt(crop["x"]), "px") + ", y " + quantity(numberAt(crop["y"]), "px"));
  }
  temperatureRow(out, camera["temperature"]);
  rowIfPresent(out, "pre-rotation clockwise", camera["preRotateClockwiseByDeg"], "°");
  rowIfPresent(out, "image circle diameter", camera["imageCircleDiameterInDeg"], "°");
  const Node mtf = camera["mtf50"];
  if (mtf.value() != nullptr) {
    row(out, "MTF50",
        "centre " + quantity(numberAt(mtf["center"]), "cycles/px") + " at " +
            quantity(numberAt(mtf["temp"]), "°C"));
  }
  out += "</table></div>";
}

void lensTable(std::string& out, const Node& intrinsics) {
  out += "<table class=\"coefficients\"><tr>";
  static constexpr const char* kKeys[] = {"fx", "fy", "cx", "cy", "k1", "k2", "k3", "k4"};
  for (const char* key : kKeys) {
    if (intrinsics[key].value() != nullptr) out += describe("<th>%s</th>", key);
  }
  out += "</tr><tr>";
  for (const char* key : kKeys) {
    const Node node = intrinsics[key];
    if (node.value() == nullptr) continue;
    out += "<td>";
    const auto value = numberAt(node);
    const bool pixels = key[0] != 'k';
    appendEscaped(out, value ? quantity(*value, pixels ? "px" : "") : shownValue(node));
    out += "</td>";
  }
  out += "</tr></table>";
}

std::optional<SplineGrid> splineGridOf(const Node& intrinsics) {
  const auto gx = numberAt(intrinsics["gridSize"][0]);
  const auto gy = numberAt(intrinsics["gridSize"][1]);
  const auto sx = numberAt(intrinsics["nodeSpacing"][0]);
  const auto sy = numberAt(intrinsics["nodeSpacing"][1]);
  const Node su = intrinsics["sU"];
  const Node sv = intrinsics["sV"];
  if (!gx || !gy || !sx || !sy || !(*gx >= 1 && *gy >= 1 && *sx > 0 && *sy > 0))
    return std::nullopt;
  const std::size_t available = std::min(su.size(), sv.size());
  // Sizes beyond the values present draw only the nodes that have values.
  const auto columns = static_cast<std::size_t>(std::min(*gx, static_cast<double>(available)));
  SplineGrid grid{*sx, *sy, {}};
  for (std::size_t i = 0; i < available && columns > 0; ++i) {
    const auto du = numberAt(su[i]);
    const auto dv = numberAt(sv[i]);
    if (!du || !dv) continue;
    grid.nodes.push_back(
        {static_cast<double>(i % columns) * *sx, static_cast<double>(i / columns) * *sy, *du, *dv});
  }
  return grid;
}

void appendIntrinsics(std::string& out, const Node& intrinsics, std::size_t camera,
                      std::size_t index, const std::optional<geometry::ImageSize>& image) {
  const std::string model = shownValue(intrinsics["cameraModel"]);
  out += "<div class=\"intrinsics\"><h3>";
  appendEscaped(out, describe("Intrinsics %zu · ", index) + model);
  out += "</h3>";
  lensTable(out, intrinsics);
  const auto lens = lensOf(*intrinsics.value());
  if (!lens || !image || !hasDrawableShape(image->width, image->height)) {
    out += "<p class=\"note\">Not drawn: ";
    out += !image  ? "the image size is not two positive numbers."
           : !lens ? "no Kannala-Brandt model with finite coefficients."
                   : "the image is far narrower than any sensor.";
    out += "</p></div>";
    return;
  }
  if (!(lens->lens().fx > 0 && lens->lens().fy > 0)) {
    out += "<p class=\"note\">Not drawn: the focal lengths are not positive.</p></div>";
    return;
  }
  appendLensNumbers(out, *lens, *image);
  const std::string id = describe("c%zu-i%zu", camera, index);
  appendLensFigures(out, *lens, *image, id);
  if (model == "kb_spline") {
    if (const auto grid = splineGridOf(intrinsics)) {
      out += "<div class=\"figures\">";
      appendSplineFigure(out, *grid, *image, id);
      out += "</div>";
    } else {
      out +=
          "<p class=\"note\">Correction grid not drawn: its size and spacing are not "
          "positive numbers.</p>";
    }
  }
  out += "</div>";
}

// Where the IMU sits as each camera sees it.
void imuFromCameras(std::string& out, const RigImu& imu, const Rig& rig) {
  if (!imu.pose || rig.cameras.empty()) return;
  out +=
      "<h3>Relative to the cameras</h3><table class=\"relative\"><tr><th>camera</th>"
      "<th>IMU origin in the camera frame</th><th>distance</th><th>rotation between "
      "frames</th></tr>";
  for (std::size_t i = 0; i < rig.cameras.size(); ++i) {
    const auto& camera = rig.cameras[i];
    out += "<tr><td>";
    appendEscaped(out, describe("%zu · ", i) + shortened(camera.label, 32));
    out += "</td>";
    if (!camera.pose) {
      out += "<td>—</td><td>—</td><td>—</td></tr>";
      continue;
    }
    const Pose inCamera = geometry::compose(geometry::inverse(*camera.pose), *imu.pose);
    out += "<td>" + escaped(millimetreTriple(inCamera.translation)) + "</td><td>";
    appendEscaped(out,
                  quantity(kMillimetresPerMetre * geometry::norm(inCamera.translation), "mm", 4));
    out += "</td><td>";
    appendEscaped(out,
                  quantity(geometry::degrees(geometry::rotationAngle(inCamera.rotation)), "°", 4));
    out += "</td></tr>";
  }
  out += "</table>";
}

std::string yesNo(const Node& node) {
  const json* value = node.value();
  if (value == nullptr) return "no (absent: the default)";
  if (value->is_boolean()) return value->get<bool>() ? "yes" : "no";
  return shownValue(node);
}

void imuBiasRows(std::string& out, const Node& imu) {
  const bool metric = imu["is_bias_metric"].value() != nullptr &&
                      imu["is_bias_metric"].value()->is_boolean() &&
                      imu["is_bias_metric"].value()->get<bool>();
  const auto metresPerUnit = numberAt(imu["meters_per_accel_unit"]);
  std::string accel = numberList(imu["bias_accel"], metric ? "m/s²" : "accel units");
  if (!metric && metresPerUnit && imu["bias_accel"].size() == 3) {
    Vec3 bias{};
    bool complete = true;
    for (std::size_t i = 0; i < 3; ++i) {
      const auto value = numberAt(imu["bias_accel"][i]);
      complete = complete && value.has_value();
      bias[i] = value.value_or(0.0) * *metresPerUnit;
    }
    if (complete) accel += ", |b| = " + quantity(geometry::norm(bias), "m/s²", 4);
  }
  row(out, "accelerometer bias", accel);
  row(out, "gyroscope bias", numberList(imu["bias_gyro"], "rad/s"));
  row(out, "accelerometer scale factors", numberList(imu["scaleFactors_accel"], ""));
  row(out, "gyroscope scale factors", numberList(imu["scaleFactors_gyro"], ""));
  row(out, "accelerometer cross-axis", numberList(imu["scaleFactorsCrossAxis_accel"], ""));
  row(out, "gyroscope cross-axis", numberList(imu["scaleFactorsCrossAxis_gyro"], ""));
  rowIfPresent(out, "metres per accelerometer unit", imu["meters_per_accel_unit"], "m/s² per unit");
}

void imuNoiseRows(std::string& out, const Node& imu) {
  rowIfPresent(out, "IMU to camera time offset", imu["imuToCamTimeOffset"], "s");
  rowIfPresent(out, "sampling rate", imu["samplingRateInHz"], "Hz");
  rowIfPresent(out, "gyroscope noise density", imu["gyroNoiseDensityStdDegsPerSecPerSqrtHz"],
               "°/s/√Hz");
  rowIfPresent(out, "accelerometer noise density", imu["accelNoiseDensityStdMtrsPerSecSqPerSqrtHz"],
               "m/s²/√Hz");
  rowIfPresent(out, "gyroscope bias instability", imu["gyroBiasStdPerMinute"], "per minute");
  rowIfPresent(out, "accelerometer bias instability", imu["accelBiasStdPerMinute"], "per minute");
  temperatureRow(out, imu["temperature"]);
  for (const char* flag : {"is_accel_in_device_frame", "is_bias_additive", "is_bias_metric",
                           "is_bias_prescaled", "isGyroAndAccelDataSynchronized"}) {
    // The four flags default to false; the synchronisation flag has no default.
    const bool defaulted = std::string_view(flag).starts_with("is_");
    if (defaulted || imu[flag].value() != nullptr) row(out, flag, yesNo(imu[flag]));
  }
}

}  // namespace

void appendCameraSection(std::string& out, const Node& camera, std::size_t index, const Rig& rig,
                         const diff::CameraDiff* change) {
  const RigCamera* placed = index < rig.cameras.size() ? &rig.cameras[index] : nullptr;
  out += describe("<section id=\"camera-%zu\" class=\"camera\"><h2>", index);
  appendEscaped(out, describe("Camera %zu", index) +
                         (placed ? " · " + shortened(placed->label, 48) : std::string()));
  out += "</h2>";
  cameraFacts(out, camera, placed);
  const Node intrinsics = camera["intrinsics"];
  const std::optional<geometry::ImageSize> image = imageSizeOf(*camera.value());
  for (std::size_t i = 0; i < intrinsics.size() && i < kMaxDrawnIntrinsics; ++i) {
    appendIntrinsics(out, intrinsics[i], index, i, image);
  }
  if (intrinsics.size() > kMaxDrawnIntrinsics) {
    out += describe("<p class=\"note\">Only the first %zu intrinsics are shown.</p>",
                    kMaxDrawnIntrinsics);
  }
  if (change) appendCameraComparison(out, *change, image);
  out += "</section>";
}

void appendImuSection(std::string& out, const Node& imu, std::size_t index, const Rig& rig) {
  const RigImu* placed = index < rig.imus.size() ? &rig.imus[index] : nullptr;
  out += describe("<section id=\"imu-%zu\" class=\"imu\"><h2>", index);
  appendEscaped(out, describe("IMU %zu", index) +
                         (placed ? " · " + shortened(placed->label, 48) : std::string()));
  out += "</h2><div class=\"facts\"><table>";
  identityRows(out, imu, "sourceImu");
  if (placed) poseRows(out, placed->pose, placed->cadPose, "z axis (head frame)");
  imuBiasRows(out, imu);
  out += "</table><table>";
  imuNoiseRows(out, imu);
  out += "</table></div>";
  if (placed) imuFromCameras(out, *placed, rig);
  out += "</section>";
}

}  // namespace ravelin::report
