#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diff/diff.h"
#include "diff/poses.h"
#include "diff/projection.h"
#include "diff/values.h"
#include "geometry/document_models.h"

namespace ravelin::diff {

namespace {

using detail::ChangeList;
using detail::describe;
using detail::differs;
using detail::numberAt;
using detail::Pair;
using geometry::KannalaBrandtLens;
using geometry::Pose;
using geometry::operator*;

// Width and height are 16-bit in the blob.
constexpr double kMaxImageSide = 65535.0;
constexpr double kPartsPerMillion = 1e6;

// What the encoder stores for an optional value that is absent.
const json kUnknownName = "Unknown";
const json kNoText = "";
const json kFalse = false;
const json kMillimetres = "mm";

// Judgements of a change that no tolerance covers: a value that describes the
// calibration moves no pixel and no sample; any other one may, or names
// other hardware or another frame, and a change of it is beyond tolerance.
constexpr bool kDescriptive = true;
constexpr bool kDecisive = false;

// ---- cameras ------------------------------------------------------------------

std::optional<KannalaBrandtLens> lensOf(const json* intrinsics) {
  if (intrinsics == nullptr) return std::nullopt;
  return geometry::kannalaBrandtLensFromJson(*intrinsics);
}

// "kb4" is another spelling of "kb": both store the same model.
std::optional<std::string> modelName(const json* intrinsics) {
  if (intrinsics == nullptr || !intrinsics->is_object()) return std::nullopt;
  const auto model = intrinsics->find("cameraModel");
  if (model == intrinsics->end() || !model->is_string()) return std::nullopt;
  const std::string name = model->get<std::string>();
  return name == "kb4" ? "kb" : name;
}

std::optional<detail::ImageSize> imageSizeOf(const Pair& camera) {
  const std::optional<double> width = numberAt(camera["width"].older());
  const std::optional<double> height = numberAt(camera["height"].older());
  const auto fits = [](std::optional<double> side) {
    return side && *side >= 1.0 && *side <= kMaxImageSide;
  };
  if (!fits(width) || !fits(height)) return std::nullopt;
  return detail::ImageSize{*width, *height};
}

// A lens judged by its projection: what a tolerance covers.
bool projectionWithin(const ProjectionFigure& figure, double tolerance) {
  return figure.seen > 0 && figure.lost == 0 && figure.max <= tolerance;
}

std::string figureText(const ProjectionFigure& figure) {
  return describe("up to %.3g px, %.3g px RMS over %zu points (%zu unseen)", figure.max, figure.rms,
                  figure.seen, figure.unseen);
}

void addProjection(ChangeList& changes, const std::string& pointer, std::string detail,
                   const ProjectionFigure& figure, double tolerance) {
  changes.add({pointer, std::nullopt, std::nullopt, std::move(detail),
               Measure{figure.max, tolerance, "px"}, projectionWithin(figure, tolerance)});
}

// The spline's correction grid has no defined effect on a pixel here: its
// values are compared for what they are, and any change is beyond tolerance.
void compareSplineValues(ChangeList& changes, const Pair& values) {
  if (!differs(values)) return;
  const json* older = values.older();
  const json* newer = values.newer();
  if (older == nullptr || newer == nullptr || !older->is_array() || !newer->is_array() ||
      older->size() != newer->size()) {
    changes.whole(values, "", kDecisive);
    return;
  }
  double largest = 0.0;
  std::size_t at = 0;
  std::size_t changed = 0;
  for (std::size_t i = 0; i < older->size(); ++i) {
    const Pair element = values[i];
    if (!differs(element)) continue;
    ++changed;
    const std::optional<double> from = numberAt(element.older());
    const std::optional<double> to = numberAt(element.newer());
    const double change = from && to ? std::fabs(*to - *from) : 0.0;
    if (change >= largest) {
      largest = change;
      at = i;
    }
  }
  changes.add({values.pointer(), std::nullopt, std::nullopt,
               describe("largest change %.6g (element %zu), %zu of %zu values changed", largest, at,
                        changed, older->size()),
               std::nullopt, kDecisive});
}

struct EntryContext {
  std::optional<detail::ImageSize> image;
  std::optional<geometry::Mat3> oldToNew;  // for the first entry only
  bool alwaysMeasure;                      // the first entry's figures go into the report
};

struct EntryDifference {
  std::optional<detail::LensDifference> lenses;
  bool lensChanged = false;
};

// The lens values a blob keeps: "kb_spline" has no k4.
std::span<const char* const> lensKeys(const std::optional<std::string>& oldModel,
                                      const std::optional<std::string>& newModel) {
  static constexpr std::array<const char*, 8> kKeys = {"fx", "fy", "cx", "cy",
                                                       "k1", "k2", "k3", "k4"};
  const bool spline = oldModel == "kb_spline" && newModel == "kb_spline";
  return std::span(kKeys).first(spline ? 7 : 8);
}

// fx and fy also relative, cx and cy in pixels, k1 to k4 plain; each judged
// by what the whole lens does to the imager.
void compareLensFields(ChangeList& changes, const Pair& entry, std::span<const char* const> keys,
                       bool within) {
  for (const char* key : keys) {
    const bool focal = key[0] == 'f';
    const bool principal = key[0] == 'c';
    changes.number(entry[key], focal || principal ? "px" : "", focal, within);
  }
}

bool lensFieldsDiffer(const Pair& entry, std::span<const char* const> keys) {
  return std::any_of(keys.begin(), keys.end(),
                     [&](const char* key) { return differs(entry[key]); });
}

// One intrinsics entry of a camera pair: field by field, and when both lenses
// can be read, by where they put the points of the imager.
EntryDifference compareEntry(ChangeList& changes, const Pair& entry, const EntryContext& context,
                             const Tolerances& tolerances) {
  const std::optional<std::string> oldModel = modelName(entry.older());
  const std::optional<std::string> newModel = modelName(entry.newer());
  if (oldModel != newModel) changes.whole(entry["cameraModel"], "", kDecisive);

  const std::span<const char* const> keys = lensKeys(oldModel, newModel);
  EntryDifference result;
  result.lensChanged = lensFieldsDiffer(entry, keys);
  const std::optional<KannalaBrandtLens> older = lensOf(entry.older());
  const std::optional<KannalaBrandtLens> newer = lensOf(entry.newer());
  if (older && newer && context.image && (result.lensChanged || context.alwaysMeasure)) {
    result.lenses = detail::compareLenses(*older, *newer, *context.image, context.oldToNew);
  }
  const double tolerance = tolerances.intrinsicsProjectionPx;
  compareLensFields(changes, entry, keys,
                    result.lenses && projectionWithin(result.lenses->intrinsics, tolerance));
  if (oldModel == "kb_spline" || newModel == "kb_spline") {
    changes.leaves(entry["gridSize"], kDecisive);
    changes.leaves(entry["nodeSpacing"], kDecisive);
    compareSplineValues(changes, entry["sU"]);
    compareSplineValues(changes, entry["sV"]);
  }
  if (result.lenses && result.lensChanged) {
    const detail::LensDifference& d = *result.lenses;
    addProjection(
        changes, entry.pointer(),
        "intrinsics alone move a point " + figureText(d.intrinsics) +
            describe("; after the best-fitting rotation of %.4g deg, ", d.bestRotationDeg) +
            figureText(d.bestRotation),
        d.intrinsics, tolerance);
  }
  return result;
}

// Both cameras must have a serial: a serial that one of them lacks is a
// plain change of the text.
void compareSerials(ChangeList& changes, const Pair& serial) {
  const json* older = serial.older();
  const json* newer = serial.newer();
  if (older != nullptr && newer != nullptr && older->is_string() && newer->is_string()) {
    changes.whole(serial, "a different camera, still paired by its index", kDecisive);
  } else {
    changes.leaves(serial, kDecisive);
  }
}

// The first entry gives the camera's figures; with the extrinsic rotation,
// its projection is a change whenever the rotation or that lens changed.
void compareIntrinsics(CameraDiff& result, ChangeList& changes, const Pair& camera,
                       std::optional<geometry::Mat3> oldToNew, bool rotated,
                       const Tolerances& tolerances) {
  const Pair list = camera["intrinsics"];
  const std::size_t paired = std::min(list.olderSize(), list.newerSize());
  EntryContext context{imageSizeOf(camera), oldToNew, true};
  for (std::size_t i = 0; i < paired; ++i) {
    const EntryDifference difference = compareEntry(changes, list[i], context, tolerances);
    context.oldToNew.reset();
    context.alwaysMeasure = false;
    if (i > 0 || !difference.lenses) continue;
    const detail::LensDifference& lenses = *difference.lenses;
    result.intrinsicsProjection = lenses.intrinsics;
    result.bestRotationProjection = lenses.bestRotation;
    result.bestRotationDeg = lenses.bestRotationDeg;
    result.projection = lenses.withRotation;
    if (result.projection && (rotated || difference.lensChanged)) {
      addProjection(
          changes, camera.pointer(),
          "with the extrinsic rotation a point at infinity moves " + figureText(*result.projection),
          *result.projection, tolerances.projectionPx);
    }
  }
  changes.unpaired(list);
}

CameraDiff compareCamera(const Pair& camera, std::size_t index, const Tolerances& tolerances) {
  CameraDiff result;
  result.index = index;
  ChangeList changes(result.changes);
  compareSerials(changes, camera["serial"]);
  changes.members(camera, {"hardwareIdentifier", "parent"}, kDecisive);
  changes.members(camera, {"sourceCamera"}, kDescriptive);
  changes.members(camera, {"width", "height"}, kDecisive);

  const Pair extrinsics = camera["extrinsics"];
  const std::optional<Pose> older = detail::extrinsicsPose(extrinsics.older());
  const std::optional<Pose> newer = detail::extrinsicsPose(extrinsics.newer());
  std::optional<geometry::Mat3> oldToNew;
  bool rotated = false;
  if (const auto change =
          detail::comparePosesIfRead(changes, extrinsics, older, newer, tolerances)) {
    result.rotationDeg = change->rotationDeg;
    result.translationMm = change->translationMm;
    rotated = detail::rotatedBeyondRounding(geometry::radians(change->rotationDeg));
    // A ray of the old camera, into the parent's frame, into the new camera.
    oldToNew = geometry::transpose(newer->rotation) * older->rotation;
  }
  compareIntrinsics(result, changes, camera, oldToNew, rotated, tolerances);

  changes.members(camera, {"extrinsicsOffset", "preRotateClockwiseByDeg"}, kDecisive);
  changes.members(camera["focalLengthThermalModel"], {"slope", "offset"}, kDecisive);
  changes.members(camera["cropRegion"], {"x", "y"}, kDecisive);
  changes.members(camera["temperature"], {"min", "max"}, kDescriptive);
  changes.members(camera["mtf50"], {"center", "temp"}, kDescriptive);
  changes.members(camera, {"imageCircleDiameterInDeg"}, kDescriptive);
  return result;
}

// ---- IMUs -----------------------------------------------------------------------

std::optional<std::vector<double>> numbersOf(const json* value) {
  if (value == nullptr || !value->is_array()) return std::nullopt;
  std::vector<double> numbers;
  for (const json& element : *value) {
    const std::optional<double> number = numberAt(&element);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  return numbers;
}

// The largest change between two vectors of one length; none for others.
struct LargestChange {
  double size;
  std::size_t index;
};

std::optional<LargestChange> largestChange(const Pair& at) {
  const auto older = numbersOf(at.older());
  const auto newer = numbersOf(at.newer());
  if (!older || !newer || older->size() != newer->size()) return std::nullopt;
  LargestChange largest{0.0, 0};
  for (std::size_t i = 0; i < older->size(); ++i) {
    const double change = std::fabs((*newer)[i] - (*older)[i]);
    if (change > largest.size) largest = {change, i};
  }
  return largest;
}

double vectorChange(const std::vector<double>& older, const std::vector<double>& newer,
                    double oldScale, double newScale) {
  double squares = 0.0;
  for (std::size_t i = 0; i < older.size(); ++i) {
    const double change = newer[i] * newScale - older[i] * oldScale;
    squares += change * change;
  }
  return std::sqrt(squares);
}

// A bias that is not metric is in accelerometer units of meters_per_accel_unit.
std::optional<double> metresPerSecondSquaredPerUnit(const json* imu) {
  if (imu == nullptr || !imu->is_object()) return std::nullopt;
  const auto metric = imu->find("is_bias_metric");
  if (metric != imu->end() && metric->is_boolean() && metric->get<bool>()) return 1.0;
  const auto unit = imu->find("meters_per_accel_unit");
  return unit == imu->end() ? std::nullopt : numberAt(&*unit);
}

struct BiasUnits {
  std::optional<double> oldScale;
  std::optional<double> newScale;
  double shownScale;  // from the unit of the vectors to the one shown
  double tolerance;
  const char* unit;
};

void compareBias(ChangeList& changes, const Pair& bias, const BiasUnits& units) {
  const bool scaleChanged =
      !(units.oldScale && units.newScale && detail::sameNumber(*units.oldScale, *units.newScale));
  if (!differs(bias) && !scaleChanged) return;
  const auto older = numbersOf(bias.older());
  const auto newer = numbersOf(bias.newer());
  if (!older || !newer || older->size() != newer->size() || !units.oldScale || !units.newScale) {
    changes.leaves(bias, kDecisive);
    return;
  }
  const double change =
      units.shownScale * vectorChange(*older, *newer, *units.oldScale, *units.newScale);
  changes.measured(bias, describe("changed by %.4g %s", change, units.unit),
                   {change, units.tolerance, units.unit}, /*withValues=*/true);
}

void compareScaleFactors(ChangeList& changes, const Pair& factors, const Tolerances& tolerances) {
  if (!differs(factors)) return;
  const std::optional<LargestChange> largest = largestChange(factors);
  if (!largest) {
    changes.leaves(factors, kDecisive);
    return;
  }
  const double ppm = kPartsPerMillion * largest->size;
  changes.measured(factors, describe("largest change %.4g ppm (element %zu)", ppm, largest->index),
                   {ppm, tolerances.scalePpm, "ppm"}, /*withValues=*/true);
}

ImuDiff compareImu(const Pair& imu, std::size_t index, const Tolerances& tolerances) {
  ImuDiff result;
  result.index = index;
  ChangeList changes(result.changes);
  changes.members(imu, {"hardwareIdentifier", "parent"}, kDecisive);
  changes.members(imu, {"sourceImu"}, kDescriptive);
  const Pair extrinsics = imu["extrinsics"];
  if (const auto change = detail::comparePosesIfRead(
          changes, extrinsics, detail::extrinsicsPose(extrinsics.older()),
          detail::extrinsicsPose(extrinsics.newer()), tolerances)) {
    result.rotationDeg = change->rotationDeg;
    result.translationMm = change->translationMm;
  }
  compareBias(changes, imu["bias_accel"],
              {metresPerSecondSquaredPerUnit(imu.older()),
               metresPerSecondSquaredPerUnit(imu.newer()), 1.0, tolerances.accelBias, "m/s^2"});
  compareBias(changes, imu["bias_gyro"],
              {1.0, 1.0, geometry::degrees(1.0), tolerances.gyroBiasDegPerSec, "deg/s"});
  for (const char* key : {"scaleFactors_accel", "scaleFactors_gyro", "scaleFactorsCrossAxis_accel",
                          "scaleFactorsCrossAxis_gyro"}) {
    compareScaleFactors(changes, imu[key], tolerances);
  }
  changes.members(imu, {"meters_per_accel_unit", "imuToCamTimeOffset", "extrinsicsOffset"},
                  kDecisive);
  for (const char* flag :
       {"is_accel_in_device_frame", "is_bias_additive", "is_bias_metric", "is_bias_prescaled"}) {
    changes.leaves(imu[flag].orDefault(kFalse), kDecisive);
  }
  changes.members(imu,
                  {"gyroNoiseDensityStdDegsPerSecPerSqrtHz",
                   "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz", "gyroBiasStdPerMinute",
                   "accelBiasStdPerMinute", "samplingRateInHz", "isGyroAndAccelDataSynchronized"},
                  kDescriptive);
  changes.members(imu["temperature"], {"min", "max"}, kDescriptive);
  return result;
}

// ---- CAD and metadata -----------------------------------------------------------

std::optional<Pose> cadPose(const json* pose, double metresPerUnit) {
  if (pose == nullptr) return std::nullopt;
  return geometry::poseFromCadJson(*pose, metresPerUnit);
}

double metresPerCadUnitOf(const json* cad) {
  return cad == nullptr ? geometry::metresPerCadUnit(json::object())
                        : geometry::metresPerCadUnit(*cad);
}

// Each side's positions in its own units.
void compareCad(ChangeList& changes, const Pair& cad, const Tolerances& tolerances) {
  changes.leaves(cad["__alignment_method"].orDefault(kUnknownName), kDescriptive);
  changes.leaves(cad["__units"].orDefault(kMillimetres), kDescriptive);
  const double oldMetres = metresPerCadUnitOf(cad.older());
  const double newMetres = metresPerCadUnitOf(cad.newer());
  const auto comparePose = [&](const Pair& at) {
    detail::comparePosesIfRead(changes, at, cadPose(at.older(), oldMetres),
                               cadPose(at.newer(), newMetres), tolerances);
  };
  comparePose(cad["__head"]);
  for (const char* list : {"cameras", "imus"}) {
    const Pair poses = cad[list];
    const std::size_t paired = std::min(poses.olderSize(), poses.newerSize());
    for (std::size_t i = 0; i < paired; ++i) comparePose(poses[i]);
    changes.unpaired(poses);
  }
}

void compareMetadata(ChangeList& changes, const Pair& metadata) {
  changes.members(metadata, {"dataset_duration_in_sec", "rig_json_version"}, kDescriptive);
  changes.leaves(metadata["extrinsicsMethod"].orDefault(kUnknownName), kDescriptive);
  // The convention moves every pixel coordinate by half a pixel.
  changes.leaves(metadata["pixel_coordinates_convention"].orDefault(kUnknownName), kDecisive);
  for (const char* key : {"created_by", "date"}) {
    changes.leaves(metadata[key].orDefault(kNoText), kDescriptive);
  }
  for (const char* key : {"device_serial", "hardwareIdentifier"}) {
    changes.leaves(metadata[key].orDefault(kNoText), kDecisive);
  }
}

}  // namespace

DiffReport diffCalibrations(const json& oldDocument, const json& newDocument,
                            const Tolerances& tolerances) {
  DiffReport report;
  report.kind = DocumentKind::CALIBRATION;
  const Pair root(oldDocument, newDocument);
  ChangeList changes(report.changes);

  const Pair cameras = root["cameras"];
  for (std::size_t i = 0; i < std::min(cameras.olderSize(), cameras.newerSize()); ++i) {
    report.cameras.push_back(compareCamera(cameras[i], i, tolerances));
  }
  changes.unpaired(cameras);
  const Pair imus = root["imus"];
  for (std::size_t i = 0; i < std::min(imus.olderSize(), imus.newerSize()); ++i) {
    report.imus.push_back(compareImu(imus[i], i, tolerances));
  }
  changes.unpaired(imus);
  compareCad(changes, root["cad"], tolerances);
  compareMetadata(changes, root["metadata"]);
  return report;
}

}  // namespace ravelin::diff
