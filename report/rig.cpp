#include "report/rig.h"

#include <cmath>
#include <map>
#include <utility>

#include "geometry/document_models.h"
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

// The objects of the rig by the names a "parent" may give: source name or
// hardware identifier, the first holder of a name keeping it.
enum class Kind { CAMERA, IMU };
// Rigs nest a camera under an IMU under the head: a few levels at most.
constexpr int kMaxParentDepth = 16;
struct ObjectRef {
  Kind kind;
  std::size_t index;
};

class PoseResolver {
 public:
  explicit PoseResolver(const json& document)
      : cameras_(listAt(document, "cameras")), imus_(listAt(document, "imus")) {
    nameAll(cameras_, Kind::CAMERA, "sourceCamera");
    nameAll(imus_, Kind::IMU, "sourceImu");
  }

  // The object's pose in the head frame, through at most kMaxParentDepth
  // parents: deeper nesting, a loop included, places nothing.
  std::optional<Pose> resolve(ObjectRef ref, int depth = 0) {
    if (depth > kMaxParentDepth) return std::nullopt;
    const json& object = (ref.kind == Kind::CAMERA ? cameras_ : imus_)[ref.index];
    const json* extrinsics = member(object, "extrinsics");
    const std::optional<Pose> local =
        extrinsics ? geometry::poseFromExtrinsicsJson(*extrinsics) : std::nullopt;
    if (!local) return std::nullopt;
    std::optional<Pose> pose = placeUnderParent(object, *local, depth);
    if (pose && !isFinite(*pose)) pose.reset();
    return pose;
  }

 private:
  static const json& listAt(const json& document, const char* key) {
    static const json kNone = json::array();
    const json* list = member(document, key);
    return list != nullptr && list->is_array() ? *list : kNone;
  }

  void nameAll(const json& list, Kind kind, const char* sourceKey) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (const char* nameKey : {sourceKey, "hardwareIdentifier"}) {
        if (const auto name = textOf(list[i], nameKey)) names_.emplace(*name, ObjectRef{kind, i});
      }
    }
  }

  std::optional<Pose> placeUnderParent(const json& object, const Pose& local, int depth) {
    const std::optional<std::string> parent = textOf(object, "parent");
    const auto found = parent && *parent != "head" ? names_.find(*parent) : names_.end();
    if (found == names_.end()) return local;
    const std::optional<Pose> parentPose = resolve(found->second, depth + 1);
    if (!parentPose) return std::nullopt;
    return geometry::compose(*parentPose, local);
  }

  const json& cameras_;
  const json& imus_;
  std::map<std::string, ObjectRef> names_;
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
         resolver.resolve({Kind::CAMERA, i}), entryOrNothing(cadCameras, i), firstLens(camera),
         imageSizeOf(camera)});
  }
  const json* imus = member(document, "imus");
  for (std::size_t i = 0; imus && imus->is_array() && i < imus->size() && i < maxImus; ++i) {
    rig.imus.push_back(
        {labelOf((*imus)[i], {"hardwareIdentifier", "sourceImu"}, "IMU " + std::to_string(i)),
         resolver.resolve({Kind::IMU, i}), entryOrNothing(cadImus, i)});
  }
  return rig;
}

}  // namespace ravelin::report
