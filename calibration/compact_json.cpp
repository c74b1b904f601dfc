#include <string>

#include "calibration/encoder.h"
#include "console/log.h"

namespace ravelin {

namespace {

bool hasArray(const json& object, const char* key) {
  return object.is_object() && object.contains(key) && object.at(key).is_array();
}

// Recognition messages show the offending part of the document as people
// read it, indented by two; a text that is not UTF-8 must not stop the test.
void logRejected(const char* complaint, const json& part) {
  const std::string text = part.dump(2, ' ', false, json::error_handler_t::replace);
  logError("%s %s", complaint, text.c_str());
}

bool camerasHaveIntrinsicsModels(const json& cameras) {
  for (const json& camera : cameras) {
    if (!hasArray(camera, "intrinsics")) {
      logRejected("Camera JSON does not contain a valid intrinsics section!!", camera);
      return false;
    }
    for (const json& intrinsics : camera.at("intrinsics")) {
      if (!intrinsics.is_object() || !intrinsics.contains("cameraModel")) {
        logRejected("Intrinsics JSON does not contain a valid camera model section!!", intrinsics);
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool isCompactCalibrationJson(const json& document) {
  if (!hasArray(document, "cameras")) {
    logError(
        "Provided JSON does not contain a valid cameras section!! You either passed in the wrong "
        "file or there is something wrong with the calibration");
    return false;
  }
  if (!camerasHaveIntrinsicsModels(document.at("cameras"))) return false;
  if (document.contains("alternate_calibrations")) {
    logWarning(
        "Calibration contains an alternate_calibrations section but is otherwise in compact "
        "format. Calibrations in the alternate_calibrations section will be ignored.");
  }
  return true;
}

bool extrinsicsAreInCadFormat(const json& extrinsics) {
  return extrinsics.is_object() && extrinsics.contains("plus_x") && extrinsics.contains("plus_z") &&
         extrinsics.contains("position");
}

}  // namespace ravelin
