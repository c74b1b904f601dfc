#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "check/calibration_rules.h"
#include "check/thresholds.h"
#include "geometry/document_models.h"
#include "geometry/rig.h"
#include "geometry/vector.h"

namespace ravelin::check {

namespace {

using geometry::degrees;
using geometry::Pose;
using geometry::PoseDifference;
using geometry::RigLink;
using namespace thresholds;

constexpr const char* kHead = "head";

// A camera or an IMU as a node of the rig's tree.
struct RigObject {
  Node node;
  std::optional<Node> cadPose{};  // in the CAD section, when that lists one per object
  std::optional<Pose> inParent{};
  bool parentIsHead = false;
  std::optional<std::size_t> parent{};  // the object its parent names
};

class Rig {
 public:
  // Extrinsics and CAD poses that drew an error give no pose.
  Rig(const Node& root, const Findings& findings);

  const std::vector<RigObject>& objects() const { return objects_; }
  std::size_t cameraCount() const { return cameraCount_; }
  // Where the object's chain of parents places it, if anywhere.
  const std::optional<geometry::PlacedPose>& placed(std::size_t index) const {
    return placed_[index];
  }
  bool reachesHead(std::size_t index) const { return placed_[index] && !placed_[index]->frame; }
  // The CAD pose of an object's parent: the head's, or the parent object's.
  std::optional<Pose> parentCadPose(const RigObject& object) const;
  std::optional<Pose> cadPose(const std::optional<Node>& node) const;

 private:
  void add(const Node& list, const char* sourceKey, const Node& cadList);
  void resolveParents();

  std::vector<RigObject> objects_;
  std::size_t cameraCount_ = 0;
  std::map<std::string, std::size_t> byName_;  // source names and hardware identifiers
  const Findings& findings_;
  std::vector<std::optional<geometry::PlacedPose>> placed_;
  Node cadHead_;
  double cadMetresPerUnit_;
};

Rig::Rig(const Node& root, const Findings& findings)
    : findings_(findings),
      cadHead_(root["cad"]["__head"]),
      cadMetresPerUnit_(root["cad"].isObject() ? geometry::metresPerCadUnit(*root["cad"].value())
                                               : geometry::kMetresPerCadExtrinsicsUnit) {
  add(root["cameras"], "sourceCamera", root["cad"]["cameras"]);
  cameraCount_ = objects_.size();
  add(root["imus"], "sourceImu", root["cad"]["imus"]);
  resolveParents();
}

void Rig::add(const Node& list, const char* sourceKey, const Node& cadList) {
  const bool cadListsEach = cadList.size() == list.size();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Node object = list[i];
    for (const char* key : {sourceKey, "hardwareIdentifier"}) {
      if (const auto name = object[key].text()) byName_.emplace(*name, objects_.size());
    }
    const Node extrinsics = object["extrinsics"];
    RigObject& added = objects_.emplace_back(RigObject{object});
    if (cadListsEach) added.cadPose = cadList[i];
    if (extrinsics.value() != nullptr && !findings_.erred(extrinsics)) {
      added.inParent = geometry::poseFromExtrinsicsJson(*extrinsics.value());
    }
  }
}

void Rig::resolveParents() {
  std::vector<std::optional<RigLink>> links;
  for (RigObject& object : objects_) {
    const std::optional<std::string> name = object.node["parent"].text();
    const auto found = name ? byName_.find(*name) : byName_.end();
    object.parentIsHead = name == kHead;
    if (!object.parentIsHead && found != byName_.end()) object.parent = found->second;
    const bool linked = object.inParent && (object.parentIsHead || object.parent);
    links.push_back(linked ? std::optional<RigLink>(RigLink{object.parent, *object.inParent})
                           : std::nullopt);
  }
  placed_ = geometry::placeAll(links);
}

std::optional<Pose> Rig::cadPose(const std::optional<Node>& node) const {
  if (!node || node->value() == nullptr || findings_.erred(*node)) return std::nullopt;
  return geometry::poseFromCadJson(*node->value(), cadMetresPerUnit_);
}

std::optional<Pose> Rig::parentCadPose(const RigObject& object) const {
  if (object.parentIsHead) return cadPose(cadHead_);
  if (object.parent) return cadPose(objects_[*object.parent].cadPose);
  return std::nullopt;
}

// ---- names and parents ------------------------------------------------------

void checkUniqueStrings(Findings& findings, const Node& list, const char* key) {
  std::map<std::string, std::string> firstHolder;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Node node = list[i][key];
    const std::optional<std::string> text = node.text();
    if (!text || text->empty()) continue;
    const auto [first, isFirst] = firstHolder.emplace(*text, node.pointer());
    if (!isFirst) findings.warning(node, describe("the same as %s", first->second.c_str()));
  }
}

std::string nameOf(const RigObject& object) {
  for (const char* key : {"sourceCamera", "sourceImu"}) {
    if (const auto name = object.node[key].text()) return *name;
  }
  return object.node.pointer();
}

// A chain of parents that returns to where it began never reaches the head:
// no pose of its members can be placed. Reported once, at its first member.
void reportCycle(Findings& findings, const Rig& rig, const std::vector<std::size_t>& members) {
  const std::size_t first = *std::min_element(members.begin(), members.end());
  const Node parent = rig.objects()[first].node["parent"];
  if (members.size() == 1) {
    findings.error(parent, "names the object itself: a pose cannot be given in its own frame");
    return;
  }
  std::string cycle = nameOf(rig.objects()[first]);
  std::size_t at = first;
  for (std::size_t step = 0; step < members.size(); ++step) {
    at = *rig.objects()[at].parent;
    cycle += " -> " + nameOf(rig.objects()[at]);
  }
  findings.error(
      parent, describe("parents run in a cycle, %s, that never reaches \"head\"", cycle.c_str()));
}

// Each object is walked up from once; a walk that comes back onto itself has
// found a cycle.
void checkParentChains(Findings& findings, const Rig& rig) {
  std::vector<bool> walked(rig.objects().size(), false);
  for (std::size_t start = 0; start < rig.objects().size(); ++start) {
    std::vector<std::size_t> path;
    std::optional<std::size_t> at = start;
    for (; at && !walked[*at]; at = rig.objects()[*at].parent) {
      walked[*at] = true;
      path.push_back(*at);
    }
    const auto cycleStart = at ? std::find(path.begin(), path.end(), *at) : path.end();
    if (cycleStart != path.end()) reportCycle(findings, rig, {cycleStart, path.end()});
  }
}

void checkParentsExist(Findings& findings, const Rig& rig) {
  for (const RigObject& object : rig.objects()) {
    const Node parent = object.node["parent"];
    if (parent.text() && !object.parentIsHead && !object.parent) {
      findings.warning(parent,
                       "names no camera or IMU (by source name or hardware "
                       "identifier) and is not \"head\"");
    }
  }
}

// ---- cameras against each other ---------------------------------------------

// For each camera, an earlier one whose record it repeats once the names that
// tell them apart are dropped: no two calibrated cameras agree in every digit.
std::vector<std::optional<std::size_t>> copiesOf(const Rig& rig) {
  std::unordered_map<std::string, std::size_t> firstWith;
  std::vector<std::optional<std::size_t>> copies(rig.cameraCount());
  for (std::size_t i = 0; i < rig.cameraCount(); ++i) {
    const Node camera = rig.objects()[i].node;
    if (!camera.isObject()) continue;
    json record = *camera.value();
    for (const char* key : {"hardwareIdentifier", "sourceCamera", "serial"}) record.erase(key);
    const auto [first, isFirst] = firstWith.emplace(record.dump(), i);
    if (!isFirst) copies[i] = first->second;
  }
  return copies;
}

// For each camera, an earlier one whose optical centre lies closer than
// kMinCameraBaselineMetres, both placed in one frame (the head's, or that of
// the object where their chains of parents stop). Copies are left out.
std::vector<std::optional<std::size_t>> camerasInOnePlace(
    const Rig& rig, const std::vector<std::optional<std::size_t>>& copies) {
  std::map<std::optional<std::size_t>, std::vector<std::size_t>> byFrame;
  for (std::size_t i = 0; i < rig.cameraCount(); ++i) {
    if (!copies[i] && rig.placed(i)) byFrame[rig.placed(i)->frame].push_back(i);
  }
  std::vector<std::optional<std::size_t>> near(rig.cameraCount());
  for (const auto& [frame, cameras] : byFrame) {
    std::vector<Vec3> centres;
    for (const std::size_t i : cameras) centres.push_back(rig.placed(i)->pose.translation);
    const auto neighbours = geometry::earlierNeighbours(centres, kMinCameraBaselineMetres);
    for (std::size_t k = 0; k < cameras.size(); ++k) {
      if (neighbours[k]) near[cameras[k]] = cameras[*neighbours[k]];
    }
  }
  return near;
}

void checkCameraPairs(Findings& findings, const Rig& rig) {
  const std::vector<std::optional<std::size_t>> copies = copiesOf(rig);
  const std::vector<std::optional<std::size_t>> near = camerasInOnePlace(rig, copies);
  for (std::size_t i = 0; i < rig.cameraCount(); ++i) {
    const Node camera = rig.objects()[i].node;
    if (copies[i]) {
      findings.add(FindingSeverity::ERROR, camera, "sourceCamera " + camera["sourceCamera"].dump(),
                   describe("the record of %s over again, all but its names: a copied camera",
                            rig.objects()[*copies[i]].node.pointer().c_str()));
    } else if (near[i]) {
      const double apart = geometry::distance(rig.placed(i)->pose.translation,
                                              rig.placed(*near[i])->pose.translation);
      findings.warning(
          camera["extrinsics"],
          describe("%.3g mm from %s, closer than %g mm: two cameras in one place",
                   apart * kMillimetresPerMetre, rig.objects()[*near[i]].node.pointer().c_str(),
                   kMinCameraBaselineMetres * kMillimetresPerMetre));
    }
  }
}

// ---- calibration against design ---------------------------------------------

bool beyondCadTolerance(const PoseDifference& d) {
  return d.distance > kMaxCadDisagreementMetres || degrees(d.angle) > kMaxCadDisagreementDegrees;
}

// Only for objects whose chain of parents reaches the head: a pose given in
// a frame that cannot be placed has no design to meet.
void checkAgainstCad(Findings& findings, const Rig& rig) {
  for (std::size_t i = 0; i < rig.objects().size(); ++i) {
    const RigObject& object = rig.objects()[i];
    const std::optional<Pose> design = rig.cadPose(object.cadPose);
    const std::optional<Pose> parentDesign = rig.parentCadPose(object);
    if (!design || !parentDesign || !rig.reachesHead(i)) continue;
    const Pose designed = geometry::relativePose(*parentDesign, *design);
    const PoseDifference apart = geometry::difference(designed, *object.inParent);
    if (!beyondCadTolerance(apart)) continue;
    // Matrix extrinsics read as the pose itself rather than its inverse.
    const bool inverted =
        object.node["extrinsics"].isArray() &&
        !beyondCadTolerance(geometry::difference(designed, geometry::inverse(*object.inParent)));
    findings.add(
        FindingSeverity::WARNING, *object.cadPose, object.cadPose->dump(),
        describe("%.1f mm and %.2f deg from the pose that %s gives, beyond %g mm or %g deg: %s",
                 apart.distance * kMillimetresPerMetre, degrees(apart.angle),
                 object.node["extrinsics"].pointer().c_str(),
                 kMaxCadDisagreementMetres * kMillimetresPerMetre, kMaxCadDisagreementDegrees,
                 inverted ? "the extrinsics hold the object's pose, not the transform into its "
                            "frame?"
                          : "another object's design, or extrinsics in another frame?"));
  }
}

}  // namespace

void checkRig(Findings& findings, const Node& root) {
  const Node cameras = root["cameras"];
  const Node imus = root["imus"];
  checkUniqueStrings(findings, cameras, "hardwareIdentifier");
  checkUniqueStrings(findings, cameras, "serial");
  checkUniqueStrings(findings, cameras, "sourceCamera");
  checkUniqueStrings(findings, imus, "hardwareIdentifier");
  checkUniqueStrings(findings, imus, "sourceImu");
  const Rig rig(root, findings);
  checkParentsExist(findings, rig);
  checkParentChains(findings, rig);
  checkCameraPairs(findings, rig);
  checkAgainstCad(findings, rig);
}

}  // namespace ravelin::check
