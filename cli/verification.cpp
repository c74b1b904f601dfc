#include "cli/verification.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "console/log.h"
#include "wire/byte_io.h"

namespace ravelin {

namespace {

constexpr double kFloat32Epsilon = 1.1920928955078125e-07;  // 2^-23

// The value at a JSON Pointer, or nullptr when the pointer is malformed or
// names nothing.
const json* lookUp(const json& document, const std::string& path) {
  try {
    const json::json_pointer pointer(path);
    return document.contains(pointer) ? &document.at(pointer) : nullptr;
  } catch (const json::exception&) {
    return nullptr;
  }
}

std::string entryText(const json& entry, const char* key) {
  const auto member = entry.find(key);
  return member != entry.end() && member->is_string() ? member->get<std::string>() : "";
}

bool hasWarningMarker(const std::string& path) {
  return std::any_of(WARNING_LEVEL_PATH_MARKERS.begin(), WARNING_LEVEL_PATH_MARKERS.end(),
                     [&](std::string_view marker) { return path.find(marker) != path.npos; });
}

// Decoded strings come from blob bytes and need not be valid UTF-8; the report
// shows them with replacement characters rather than failing.
std::string compact(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool bothNumbers(const json* a, const json* b) {
  return a != nullptr && b != nullptr && a->is_number() && b->is_number();
}

void reportPrecisionLoss(const std::string& path, const json& decoded, const json& source) {
  const double d = decoded.get<double>();
  const double s = source.get<double>();
  const double sf = static_cast<double>(narrowToFloat32(s));
  std::ostringstream rounded;
  rounded.precision(9);
  rounded << sf;
  const std::string decodedText = compact(decoded);
  if (rounded.str() == decodedText) {
    logWarning("DIFF - float precision loss @ %s", path.c_str());
    return;
  }
  logWarning(
      "DIFF - precision loss @ %s:\n\toriginal value = %s\n\tafter ->bin->json = %s\n\toriginal "
      "value rounded = %.*g, %s, abs error = %.*g\n\tNote, precision loss during binary "
      "serialization is expected for some fields.",
      path.c_str(), compact(source).c_str(), decodedText.c_str(), 9, sf, rounded.str().c_str(), 17,
      std::fabs(s - d));
}

void reportReplace(const std::string& op, const std::string& path, const json* decoded,
                   const json* source) {
  if (bothNumbers(decoded, source) &&
      isPrecisionLoss(decoded->get<double>(), source->get<double>())) {
    reportPrecisionLoss(path, *decoded, *source);
    return;
  }
  const std::string original = source ? compact(*source) : "no such field in original JSON";
  const std::string after = decoded ? compact(*decoded) : "no such field in binary serialized data";
  logError(" DIFF - op %s @ path %s:\n\toriginal = %s \n\tafter binary serialization = %s ",
           op.c_str(), path.c_str(), original.c_str(), after.c_str());
}

}  // namespace

bool isPrecisionLoss(double decoded, double source) {
  const double sourceAsFloat = static_cast<double>(narrowToFloat32(source));
  // A source beyond the float range is not stored at all, only overflowed, and
  // an infinite scale would otherwise accept any decoded value.
  if (!std::isfinite(decoded) || !std::isfinite(sourceAsFloat)) return false;
  const double scale = std::max(std::fabs(decoded), std::fabs(sourceAsFloat));
  return std::fabs(decoded - sourceAsFloat) <= std::fma(scale, kFloat32Epsilon, 1e-12);
}

bool isAcceptableDifference(const json& entry, const json& exactDecoded, const json& source) {
  const std::string op = entryText(entry, "op");
  const std::string path = entryText(entry, "path");
  if (op == "replace") {
    const json* decoded = lookUp(exactDecoded, path);
    const json* original = lookUp(source, path);
    return bothNumbers(decoded, original) &&
           isPrecisionLoss(decoded->get<double>(), original->get<double>());
  }
  return (op == "add" || op == "remove") && hasWarningMarker(path);
}

void printDiffReport(const json& decoded, const json& source, const json& patch) {
  for (const json& entry : patch) {
    const std::string op = entryText(entry, "op");
    const std::string path = entryText(entry, "path");
    if (op == "replace") {
      reportReplace(op, path, lookUp(decoded, path), lookUp(source, path));
    } else if (op == "add" && hasWarningMarker(path)) {
      logWarning(" DIFF - op %s @ path %s\n\top details = %s", op.c_str(), path.c_str(),
                 compact(entry).c_str());
    } else {
      logError(" DIFF - op %s @ path %s\n\top details = %s", op.c_str(), path.c_str(),
               compact(entry).c_str());
    }
  }
}

}  // namespace ravelin
