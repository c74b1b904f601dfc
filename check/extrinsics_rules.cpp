#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "calibration/encoder.h"
#include "check/calibration_rules.h"
#include "check/pose_rules.h"
#include "check/thresholds.h"
#include "geometry/document_models.h"
#include "geometry/rig.h"
#include "geometry/vector.h"

namespace ravelin::check {

namespace {

using geometry::degrees;
using geometry::distance;
using geometry::norm;
using geometry::Pose;
using geometry::RigLink;
using namespace thresholds;

// " (millimetres written as metres?)" for a length in metres that, read as
// millimetres, would be an offset within a device.
std::string millimetresHint(double metres) {
  return unitSlipHint(metres / kMillimetresPerMetre, kMinUnitSlipMetres, kMaxOffsetMetres,
                      "millimetres written as metres?");
}

// A length in millimetres that only makes sense in metres: under a
// millimetre, yet within a device once read as metres.
bool looksLikeMetres(double millimetres) {
  return millimetres < 1.0 &&
         !unitSlipHint(millimetres, kMinUnitSlipMetres, kMaxOffsetMetres, "").empty();
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
                                    "device spans%s",
                                    length, kMaxOffsetMetres, millimetresHint(length).c_str()));
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
  if (!position) return;
  const double length = norm(*position);
  if (length > kMaxOffsetMetres * kMillimetresPerMetre) {
    findings.warning(positionNode, describe("%.4g mm from the parent's origin, farther than %g m",
                                            length, kMaxOffsetMetres));
  } else if (looksLikeMetres(length)) {
    findings.warning(positionNode, describe("%.4g mm from the parent's origin, under a "
                                            "millimetre: metres written as millimetres?",
                                            length));
  }
}

// ---- the CAD section --------------------------------------------------------

struct CadUnits {
  double perMetre;
  const char* name;
};

// The farthest of the poses from the head, in the section's units.
double checkCadPoses(Findings& findings, const Node& poses, const std::optional<Vec3>& head,
                     CadUnits units, const Node& owners) {
  double farthest = 0.0;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    checkPoseAxes(findings, poses[i]);
    const Node positionNode = poses[i]["position"];
    const std::optional<Vec3> position = findings.numbers<3>(positionNode);
    if (!position || !head) continue;
    const double fromHead = distance(*position, *head);
    farthest = std::max(farthest, fromHead);
    if (fromHead > kMaxOffsetMetres * units.perMetre) {
      findings.warning(positionNode,
                       describe("%.4g %s from the head, farther than %g m%s", fromHead, units.name,
                                kMaxOffsetMetres,
                                units.perMetre == 1.0 ? millimetresHint(fromHead).c_str() : ""));
    }
  }
  if (poses.isArray() && owners.isArray() && poses.size() != owners.size()) {
    findings.add(
        FindingSeverity::WARNING, poses,
        describe("%zu pose%s", poses.size(), poses.size() == 1 ? "" : "s"),
        describe("the calibration has %zu entries in %s", owners.size(), owners.pointer().c_str()));
  }
  return farthest;
}

}  // namespace

void checkExtrinsics(Findings& findings, const Node& extrinsics) {
  if (extrinsics.isArray()) {
    checkMatrixExtrinsics(findings, extrinsics);
  } else if (extrinsics.value() != nullptr && extrinsicsAreInCadFormat(*extrinsics.value())) {
    checkCadExtrinsics(findings, extrinsics);
  }
}

void checkCad(Findings& findings, const Node& cad, const Node& cameras, const Node& imus) {
  const bool metres = cad["__units"].text() == "m";  // anything else is stored as mm
  const CadUnits units{metres ? 1.0 : kMillimetresPerMetre, metres ? "m" : "mm"};
  const Node head = cad["__head"];
  checkPoseAxes(findings, head);
  const std::optional<Vec3> headPosition = findings.numbers<3>(head["position"]);
  const double farthest =
      std::max(checkCadPoses(findings, cad["cameras"], headPosition, units, cameras),
               checkCadPoses(findings, cad["imus"], headPosition, units, imus));
  if (!metres && looksLikeMetres(farthest)) {
    findings.add(FindingSeverity::WARNING, cad,
                 describe("units mm, poses within %.4g mm", farthest),
                 "every CAD pose lies within a millimetre of the head: metres written as "
                 "millimetres?");
  }
}

}  // namespace ravelin::check
