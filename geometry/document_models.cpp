#include "geometry/document_models.h"

#include <cmath>
#include <cstddef>
#include <string>

namespace ravelin::geometry {

namespace {

using json = nlohmann::json;

std::optional<double> finiteNumber(const json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number()) return std::nullopt;
  const double value = found->get<double>();
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

template <std::size_t N>
std::optional<std::array<double, N>> finiteNumbers(const json& value) {
  if (!value.is_array() || value.size() != N) return std::nullopt;
  std::array<double, N> numbers{};
  for (std::size_t i = 0; i < N; ++i) {
    if (!value[i].is_number() || !std::isfinite(value[i].get<double>())) return std::nullopt;
    numbers[i] = value[i].get<double>();
  }
  return numbers;
}

std::optional<Vec3> vectorAt(const json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) return std::nullopt;
  return finiteNumbers<3>(*found);
}

}  // namespace

std::optional<KannalaBrandtLens> kannalaBrandtLensFromJson(const json& intrinsics) {
  if (!intrinsics.is_object()) return std::nullopt;
  const std::string model = intrinsics.value("cameraModel", std::string());
  const bool spline = model == "kb_spline";
  if (!spline && model != "kb" && model != "kb4") return std::nullopt;
  KannalaBrandtLens lens{};
  const char* const keys[] = {"fx", "fy", "cx", "cy", "k1", "k2", "k3", "k4"};
  double* const targets[] = {&lens.fx,   &lens.fy,   &lens.cx,   &lens.cy,
                             &lens.k[0], &lens.k[1], &lens.k[2], &lens.k[3]};
  const std::size_t count = spline ? 7 : 8;
  for (std::size_t i = 0; i < count; ++i) {
    const std::optional<double> value = finiteNumber(intrinsics, keys[i]);
    if (!value) return std::nullopt;
    *targets[i] = *value;
  }
  return lens;
}

std::optional<Pose> poseFromExtrinsicsJson(const json& extrinsics) {
  if (extrinsics.is_array()) {
    const std::optional<MatrixExtrinsics> m = finiteNumbers<16>(extrinsics);
    if (!m) return std::nullopt;
    return poseFromMatrixExtrinsics(*m);
  }
  if (!extrinsics.is_object()) return std::nullopt;
  return poseFromCadJson(extrinsics, kMetresPerCadExtrinsicsUnit);
}

std::optional<Pose> poseFromCadJson(const json& pose, double metresPerUnit) {
  if (!pose.is_object()) return std::nullopt;
  const std::optional<Vec3> plusX = vectorAt(pose, "plus_x");
  const std::optional<Vec3> plusZ = vectorAt(pose, "plus_z");
  const std::optional<Vec3> position = vectorAt(pose, "position");
  if (!plusX || !plusZ || !position) return std::nullopt;
  return poseFromCad(*plusX, *plusZ, *position, metresPerUnit);
}

double metresPerCadUnit(const json& cad) {
  const auto units = cad.find("__units");
  const bool metres = units != cad.end() && units->is_string() && units->get<std::string>() == "m";
  return metres ? 1.0 : kMetresPerCadExtrinsicsUnit;
}

}  // namespace ravelin::geometry
