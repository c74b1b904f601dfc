#include "report/rig.h"

#include <cmath>
#include <map>
#include <utility>

#include "geometry/document_models.h"
#include "geometry/rig.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> textOf(const json& object, const char* key) {
  const json* value = member(object, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<double> positiveNumber(const json& object, const char* key) {
  const json* value = member(object, key);
  if (value == nullptr || !value->is_number()) return std::nullopt;
  const double number = value->get<double>();
  if (!std::isfinite(number) || !(number > 0.0)) return std::nullopt;
  return number;
}

bool isFinite(const Pose& pose) {
  for (const double value : pose.rotation) {
    if (!std::isfinite(value)) return false;
  }
  for (const double value : pose.translation) {
    if (!std::isfinite(value)) return false;
  }
  return true;
}

// Each camera, then each IMU, linked to the object its "parent" names (source
// name or hardware identifier, the first holder of a name keeping it), or to
// the head frame when it names nothing else; chained by the geometry floor,
// which leaves a loop or a chain through an unreadable extrinsics unplaced.
class PoseResolver {
 public:
  explicit PoseResolver(const json& document)
      : cameras_(listAt(document, "cameras")), imus_(listAt(document, "imus")) {
    nameAll(cameras_, 0, "sourceCamera");
    nameAll(imus_, cameras_.size(), "sourceImu");
    std::vector<std::optional<geometry::RigLink>> links;
    for (const json* list : {&cameras_, &imus_}) {
      for (const json& object : *list) links.push_back(linkOf(object));
    }
    placed_ = geometry::placeAll(links);
  }

  std::optional<Pose> camera(std::size_t index) const { return inHead(index); }
  std::optional<Pose> imu(std::size_t index) const { return inHead(cameras_.size() + index); }

 private:
  static const json& listAt(const json& document, const char* key) {
    static const json kNone = json::array();
    const json* list = member(document, key);
    return list != nullptr && list->is_array() ? *list : kNone;
  }

  void nameAll(const json& list, std::size_t first, const char* sourceKey) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (const char* nameKey : {sourceKey, "hardwareIdentifier"}) {
        if (const auto name = textOf(list[i], nameKey)) names_.emplace(*name, first + i);
      }
    }
  }

  std::optional<geometry::RigLink> linkOf(const json& object) const {
    const json* extrinsics = member(object, "extrinsics");
    const std::optional<Pose> local =
        extrinsics ? geometry::poseFromExtrinsicsJson(*extrinsics) : std::nullopt;
    if (!local) return std::nullopt;
    const std::optional<std::string> parent = textOf(object, "parent");
    const auto found = parent && *parent != "head" ? names_.find(*parent) : names_.end();
    return geometry::RigLink{
        found == names_.end() ? std::nullopt : std::optional<std::size_t>(found->second), *local};
  }

  std::optional<Pose> inHead(std::size_t index) const {
    const std::optional<geometry::PlacedPose>& placed = placed_[index];
    if (!placed || placed->frame || !isFinite(placed->pose)) return std::nullopt;
    return placed->pose;
  }

  const json& cameras_;
  const json& imus_;
  std::map<std::string, std::size_t> names_;
  std::vector<std::optional<geometry::PlacedPose>> placed_;
};

// The CAD poses of one list, from the CAD frame into the head frame.
std::vector<std::optional<Pose>> cadPoses(const json& document, const char* key) {
  std::vector<std::optional<Pose>> poses;
  const json* cad = member(document, "cad");
  if (cad == nullptr || !cad->is_object()) return poses;
  const double metresPerUnit = geometry::metresPerCadUnit(*cad);
  const json* head = member(*cad, "__head");
  const std::optional<Pose> headPose =
      head ? geometry::poseFromCadJson(*head, metresPerUnit) : std::nullopt;
  const Pose cadToHead = headPose ? geometry::inverse(*headPose) : Pose{};
  const json* list = member(*cad, key);
  if (list == nullptr || !list->is_array()) return poses;
  for (const json& entry : *list) {
    std::optional<Pose> pose = geometry::poseFromCadJson(entry, metresPerUnit);
    if (pose) pose = geometry::compose(cadToHead, *pose);
    if (pose && !isFinite(*pose)) pose.reset();
    poses.push_back(pose);
  }
  return poses;
}

std::string labelOf(const json& object, std::initializer_list<const char*> keys,
                    std::string fallback) {
  for (const char* key : keys) {
    if (auto text = textOf(object, key); text && !text->empty()) return std::move(*text);
  }
  return fallback;
}

std::optional<Pose> entryOrNothing(const std::vector<std::optional<Pose>>& poses, std::size_t i) {
  return i < poses.size() ? poses[i] : std::nullopt;
}

}  // namespace

std::optional<geometry::KannalaBrandtCamera> lensOf(const json& intrinsics) {
  // The model reader takes the name as a string; anything else names no model.
  if (!textOf(intrinsics, "cameraModel")) return std::nullopt;
  const auto lens = geometry::kannalaBrandtLensFromJson(intrinsics);
  if (!lens) return std::nullopt;
  return geometry::KannalaBrandtCamera(*lens);
}

std::optional<geometry::KannalaBrandtCamera> firstLens(const json& camera) {
  const json* intrinsics = member(camera, "intrinsics");
  if (intrinsics == nullptr || !intrinsics->is_array()) return std::nullopt;
  for (const json& entry : *intrinsics) {
    if (auto lens = lensOf(entry)) return lens;
  }
  return std::nullopt;
}

std::optional<geometry::ImageSize> imageSizeOf(const json& camera) {
  const auto width = positiveNumber(camera, "width");
  const auto height = positiveNumber(camera, "height");
  if (!width || !height) return std::nullopt;
  return geometry::ImageSize{*width, *height};
}

Rig placeRig(const json& document, std::size_t maxCameras, std::size_t maxImus) {
  PoseResolver resolver(document);
  const auto cadCameras = cadPoses(document, "cameras");
  const auto cadImus = cadPoses(document, "imus");
  Rig rig;
  const json* cameras = member(document, "cameras");
  for (std::size_t i = 0; cameras && cameras->is_array() && i < cameras->size() && i < maxCameras;
       ++i) {
    const json& camera = (*cameras)[i];
    rig.cameras.push_back(
        {labelOf(camera, {"serial", "sourceCamera"}, "camera " + std::to_string(i)),
         resolver.camera(i), entryOrNothing(cadCameras, i), firstLens(camera),
         imageSizeOf(camera)});
  }
  const json* imus = member(document, "imus");
  for (std::size_t i = 0; imus && imus->is_array() && i < imus->size() && i < maxImus; ++i) {
    rig.imus.push_back(
        {labelOf((*imus)[i], {"hardwareIdentifier", "sourceImu"}, "IMU " + std::to_string(i)),
         resolver.imu(i), entryOrNothing(cadImus, i)});
  }
  return rig;
}

}  // namespace ravelin::report
