#pragma once

// The parts of the page, each appended to the page's text.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "check/document.h"
#include "diff/diff.h"
#include "geometry/field_of_view.h"
#include "geometry/pose.h"
#include "geometry/vector.h"
#include "report/rig.h"

namespace ravelin::report {

using check::Node;
using geometry::Mat3;
using geometry::Pose;
using geometry::Vec3;
using geometry::operator*;
using geometry::operator+;
using geometry::operator-;
using json = nlohmann::json;

inline constexpr double kMillimetresPerMetre = 1000.0;

// A page stays readable, and its size bounded, whatever a document holds:
// real rigs have a handful of each.
inline constexpr std::size_t kMaxDrawnCameras = 32;
inline constexpr std::size_t kMaxDrawnImus = 32;
inline constexpr std::size_t kMaxDrawnIntrinsics = 4;
inline constexpr std::size_t kMaxListedFindings = 200;

// Rays of each frustum are drawn this long (millimetres): a depth would be
// infinite for a fisheye's rays at 90 degrees and beyond.
inline constexpr double kFrustumRayMillimetres = 30.0;

// Images and buffers are drawn to a fixed width: one more than this many
// times taller than wide, or as much flatter, is no sensor's or display's and
// would make a drawing of no use.
inline constexpr double kMaxDrawnAspect = 16.0;
bool hasDrawableShape(double width, double height);

// The number at a node (booleans are no numbers here), or nothing.
std::optional<double> numberAt(const Node& node);
// A string node's text, a number's digits, any other value as compact JSON;
// "—" for an absent one.
std::string shownValue(const Node& node);

// <tr><th>name</th><td>value</td></tr>, both escaped.
void row(std::string& out, std::string_view name, std::string_view value);
// The same row with the raw value markup.
void rowMarkup(std::string& out, std::string_view name, std::string_view valueMarkup);
// "[a, b, c] unit" of an array of numbers; "—" when it is none.
std::string numberList(const Node& node, std::string_view unit, int significant = 6);

// How many sections of each list the page has: the first of each list.
struct SectionCounts {
  std::size_t cameras;
  std::size_t imus;
  std::size_t eyes;
};
// "The first 200 of 250 <what> are listed; ravelin <command> lists them all."
// when `total` passes what a page lists.
void appendListedNote(std::string& out, std::size_t total, const char* what, const char* command);
// The anchor of the section that shows the value at a JSON Pointer.
std::string sectionAnchor(std::string_view pointer, const SectionCounts& drawn);

// The older rig, when given, is drawn faintly under the rig.
void appendRigSection(std::string& out, const Rig& rig, std::size_t cameraCount,
                      std::size_t imuCount, const Rig* older);
// `change` is what diff found for the camera, when the page compares.
void appendCameraSection(std::string& out, const Node& camera, std::size_t index, const Rig& rig,
                         const diff::CameraDiff* change);
void appendImuSection(std::string& out, const Node& imu, std::size_t index, const Rig& rig);
void appendDeviceConfigSections(std::string& out, const Node& root);

// Every change diff found, with its verdict, linked to the section that shows it.
void appendComparisonSection(std::string& out, const diff::DiffReport& report,
                             const std::string& olderName, const SectionCounts& drawn);
// A camera's projection difference as a heat map beside its figures.
void appendCameraComparison(std::string& out, const diff::CameraDiff& change,
                            const std::optional<geometry::ImageSize>& image);

}  // namespace ravelin::report
