#include <string>

#include "diff/diff.h"
#include "diff/values.h"

namespace ravelin::diff {

namespace {

using detail::describe;

// Texts from a blob may be any bytes: shown with invalid UTF-8 replaced.
std::string compact(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string valuesText(const Change& change) {
  if (change.oldValue && change.newValue) {
    return compact(*change.oldValue) + " -> " + compact(*change.newValue);
  }
  if (change.newValue) return "added " + compact(*change.newValue);
  if (change.oldValue) return "removed " + compact(*change.oldValue);
  return "";
}

json figureJson(const std::optional<ProjectionFigure>& figure) {
  if (!figure) return nullptr;
  return {{"max", figure->max},
          {"rms", figure->rms},
          {"seen", figure->seen},
          {"unseen", figure->unseen},
          {"lost", figure->lost}};
}

json optionalNumber(const std::optional<double>& number) {
  return number ? json(*number) : json(nullptr);
}

json changeJson(const Change& change) {
  json entry = {{"pointer", change.pointer}, {"detail", change.detail}, {"within", change.within}};
  if (change.oldValue) entry["old"] = *change.oldValue;
  if (change.newValue) entry["new"] = *change.newValue;
  if (change.measure) {
    entry["value"] = change.measure->value;
    entry["tolerance"] = change.measure->tolerance;
    entry["unit"] = change.measure->unit;
  }
  return entry;
}

json changesJson(const std::vector<Change>& changes) {
  json list = json::array();
  for (const Change& change : changes) list.push_back(changeJson(change));
  return list;
}

json cameraJson(const CameraDiff& camera) {
  json best = figureJson(camera.bestRotationProjection);
  if (best.is_object()) best["rotation_deg"] = optionalNumber(camera.bestRotationDeg);
  return {{"index", camera.index},
          {"rotation_deg", optionalNumber(camera.rotationDeg)},
          {"translation_mm", optionalNumber(camera.translationMm)},
          {"projection_px", figureJson(camera.projection)},
          {"projection_px_intrinsics", figureJson(camera.intrinsicsProjection)},
          {"projection_px_best_rotation", best},
          {"changes", changesJson(camera.changes)}};
}

json imuJson(const ImuDiff& imu) {
  return {{"index", imu.index},
          {"rotation_deg", optionalNumber(imu.rotationDeg)},
          {"translation_mm", optionalNumber(imu.translationMm)},
          {"changes", changesJson(imu.changes)}};
}

}  // namespace

void addCorruptBlob(DiffReport& report, Side side) {
  report.changes.push_back(
      {"", std::nullopt, std::nullopt,
       describe("the %s blob's stored CRC-32 does not match its body: it is corrupt, and "
                "compared all the same",
                side == Side::OLD ? "old" : "new"),
       std::nullopt, false});
}

void forEachChange(const DiffReport& report, const std::function<void(const Change&)>& visit) {
  const auto wholeBlob = [](const Change& change) { return change.pointer.empty(); };
  for (const Change& change : report.changes) {
    if (wholeBlob(change)) visit(change);
  }
  for (const CameraDiff& camera : report.cameras) {
    for (const Change& change : camera.changes) visit(change);
  }
  for (const ImuDiff& imu : report.imus) {
    for (const Change& change : imu.changes) visit(change);
  }
  for (const Change& change : report.changes) {
    if (!wholeBlob(change)) visit(change);
  }
}

ChangeCounts countChanges(const DiffReport& report) {
  ChangeCounts counts;
  forEachChange(report,
                [&](const Change& change) { ++(change.within ? counts.within : counts.beyond); });
  return counts;
}

Verdict verdictOf(const DiffReport& report) {
  const ChangeCounts counts = countChanges(report);
  if (counts.beyond > 0) return Verdict::BEYOND;
  return counts.within > 0 ? Verdict::WITHIN : Verdict::IDENTICAL;
}

const char* verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::IDENTICAL:
      return "identical";
    case Verdict::WITHIN:
      return "within";
    case Verdict::BEYOND:
      return "beyond";
  }
  return "beyond";
}

std::string changeText(const Change& change) {
  const std::string values = valuesText(change);
  std::string text = values;
  if (!change.detail.empty()) text += (values.empty() ? "" : ": ") + change.detail;
  if (change.measure) {
    text += describe(" (tolerance %g %s)", change.measure->tolerance, change.measure->unit);
  }
  return text;
}

std::string changeLine(const Change& change) {
  return (change.pointer.empty() ? "" : change.pointer + ": ") + changeText(change);
}

json reportJson(const DiffReport& report) {
  json cameras = json::array();
  for (const CameraDiff& camera : report.cameras) cameras.push_back(cameraJson(camera));
  json imus = json::array();
  for (const ImuDiff& imu : report.imus) imus.push_back(imuJson(imu));
  return {{"kind", report.kind == DocumentKind::DEVICE_CONFIG ? "device_config" : "calibration"},
          {"verdict", verdictName(verdictOf(report))},
          {"cameras", std::move(cameras)},
          {"imus", std::move(imus)},
          {"changes", changesJson(report.changes)}};
}

std::string reportText(const DiffReport& report) {
  return reportJson(report).dump(4, ' ', false, json::error_handler_t::replace);
}

}  // namespace ravelin::diff
