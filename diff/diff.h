#pragma once

// How far apart two calibrations, or two device configs, are: in pixels,
// degrees, millimetres, m/s^2, deg/s and ppm, each change judged against
// diff/tolerances.h. Pure functions over the documents' JSON values (decode
// a blob first); printing, exit codes and files are the command's business.
//
// Only what a blob keeps is compared: keys that the encoders ignore, and the
// spelling "kb4" for "kb", make no change. A number that differs from the
// other by no more than single-precision rounding of the stored value is the
// same number.

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "diff/tolerances.h"

namespace ravelin::diff {

using json = nlohmann::json;

enum class DocumentKind { CALIBRATION, DEVICE_CONFIG };

enum class Verdict {
  IDENTICAL,  // nothing differs beyond single-precision rounding
  WITHIN,     // every change within tolerance
  BEYOND,     // at least one change beyond tolerance
};

// The figure a tolerance judged a change by.
struct Measure {
  double value;
  double tolerance;
  const char* unit;  // "px", "deg", "mm", "m/s^2", "deg/s" or "ppm"
};

struct Change {
  std::string pointer;           // JSON Pointer into either document; "" for a whole blob
  std::optional<json> oldValue;  // none when only the new document holds it, or for a figure
  std::optional<json> newValue;  // none when only the old document holds it, or for a figure
  std::string detail;            // what changed, with the numbers that decided it
  std::optional<Measure> measure;
  bool within;
};

// Pixel distances over the imager grid, between where a point starts and
// where the other model puts it.
struct ProjectionFigure {
  double max = 0.0;  // px, over the points both models see; 0 when none
  double rms = 0.0;
  std::size_t seen = 0;
  std::size_t unseen = 0;  // points one model cannot unproject or project
  std::size_t lost = 0;    // of those, points the old model sees and the new cannot
};

// The distances of the projection with the extrinsic rotation point by
// point: the grid over the imager row by row from the top-left pixel centre,
// none where one model cannot see the point.
struct ProjectionField {
  std::size_t columns = 0;
  std::size_t rows = 0;
  std::vector<std::optional<double>> px;
};

struct CameraDiff {
  std::size_t index = 0;
  // Between the old and the new pose; none when either cannot be read.
  std::optional<double> rotationDeg;
  std::optional<double> translationMm;
  // Of the first intrinsics entry, each none when either lens or the image
  // size cannot be read (the projection also when a pose cannot).
  std::optional<ProjectionFigure> projection;            // with the extrinsic rotation
  std::optional<ProjectionFigure> intrinsicsProjection;  // intrinsics alone, same pose
  std::optional<ProjectionFigure> bestRotationProjection;
  std::optional<double> bestRotationDeg;           // the rotation that best aligns the two lenses
  std::optional<ProjectionField> projectionField;  // `projection` point by point, when asked for
  std::vector<Change> changes;
};

struct ImuDiff {
  std::size_t index = 0;
  std::optional<double> rotationDeg;
  std::optional<double> translationMm;
  std::vector<Change> changes;
};

struct DiffReport {
  DocumentKind kind = DocumentKind::CALIBRATION;
  std::vector<CameraDiff> cameras;  // paired by index; the ones beyond the shorter list
  std::vector<ImuDiff> imus;        // are changes of the top level
  std::vector<Change> changes;      // everything that belongs to no camera or IMU
};

// How much a comparison keeps: the figures alone, or also each camera's
// projection field (a thousand numbers a camera, for a picture of it).
enum class Detail { FIGURES, FIELDS };

// Both documents as isCompactCalibrationJson accepts them; any JSON value is
// compared without an exception, whatever is missing from it.
DiffReport diffCalibrations(const json& oldDocument, const json& newDocument,
                            const Tolerances& tolerances = {}, Detail detail = Detail::FIGURES);

// Both documents as isDeviceConfigJson accepts them; likewise never throws.
DiffReport diffDeviceConfigs(const json& oldDocument, const json& newDocument,
                             const Tolerances& tolerances = {});

enum class Side { OLD, NEW };

// A blob whose stored CRC-32 does not match its body: a change beyond
// tolerance of the whole document (pointer ""), which a log lists first.
void addCorruptBlob(DiffReport& report, Side side);

// Every change of the report in the order a log lists them: whole blobs,
// then each camera, each IMU, and the rest of the top level.
void forEachChange(const DiffReport& report, const std::function<void(const Change&)>& visit);

struct ChangeCounts {
  std::size_t within = 0;
  std::size_t beyond = 0;
};
ChangeCounts countChanges(const DiffReport& report);
Verdict verdictOf(const DiffReport& report);
// "identical", "within" or "beyond".
const char* verdictName(Verdict verdict);

// One log line: the pointer, the old and the new value, the detail.
std::string changeLine(const Change& change);
// The same without the pointer.
std::string changeText(const Change& change);

// The report as one JSON object (schemas/diff_report.schema.json).
json reportJson(const DiffReport& report);
// That object as the text diff writes, indented by four; a string that is not
// UTF-8 is written with replacement characters rather than refused.
std::string reportText(const DiffReport& report);

}  // namespace ravelin::diff
