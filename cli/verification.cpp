#include "cli/verification.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "cli/command_line.h"
#include "cli/file_io.h"
#include "console/format.h"
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

bool hasWarningMarker(const std::string& path) {
  return std::any_of(WARNING_LEVEL_PATH_MARKERS.begin(), WARNING_LEVEL_PATH_MARKERS.end(),
                     [&](std::string_view marker) { return path.find(marker) != path.npos; });
}

// Decoded strings come from blob bytes and need not be valid UTF-8; the report
// shows them with replacement characters rather than failing.
std::string compact(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The entry as the JSON Patch object json::diff would hold, printed compact,
// without copying the value into such an object.
std::string compact(const PatchEntry& entry) {
  std::string text =
      "{\"op\":" + compact(json(entry.op)) + ",\"path\":" + compact(json(entry.path));
  if (entry.value != nullptr) text += ",\"value\":" + compact(*entry.value);
  return text + "}";
}

// A member name as a JSON Pointer reference token.
std::string pointerToken(const std::string& key) {
  std::string token;
  for (const char c : key) {
    if (c == '~') {
      token += "~0";
    } else if (c == '/') {
      token += "~1";
    } else {
      token += c;
    }
  }
  return token;
}

// The pointer to a member or element of the value at `path`.
std::string childPath(const std::string& path, std::string_view token) {
  std::string child = path;
  child += '/';
  child += token;
  return child;
}

using PatchVisitor = std::function<void(const PatchEntry&)>;

void visitDifferences(const json& from, const json& to, const std::string& path,
                      const PatchVisitor& visit);

// Arrays are compared index by index; the surplus of `from` is removed from
// its last element down, the surplus of `to` appended.
void visitArrayDifferences(const json& from, const json& to, const std::string& path,
                           const PatchVisitor& visit) {
  const std::size_t common = std::min(from.size(), to.size());
  for (std::size_t i = 0; i < common; ++i) {
    const std::string elementPath = childPath(path, std::to_string(i));
    visitDifferences(from[i], to[i], elementPath, visit);
  }
  for (std::size_t i = from.size(); i > common; --i) {
    visit({"remove", childPath(path, std::to_string(i - 1)), nullptr});
  }
  for (std::size_t i = common; i < to.size(); ++i) visit({"add", childPath(path, "-"), &to[i]});
}

void visitObjectDifferences(const json& from, const json& to, const std::string& path,
                            const PatchVisitor& visit) {
  for (const auto& [key, value] : from.items()) {
    std::string memberPath = childPath(path, pointerToken(key));
    const auto counterpart = to.find(key);
    if (counterpart != to.end()) {
      visitDifferences(value, *counterpart, memberPath, visit);
    } else {
      visit({"remove", std::move(memberPath), nullptr});
    }
  }
  for (const auto& [key, value] : to.items()) {
    if (!from.contains(key)) visit({"add", childPath(path, pointerToken(key)), &value});
  }
}

// The walk of json::diff, entry for entry. Equal values (1 and 1.0 among
// them) give nothing; values of different kinds, or of one primitive kind,
// are replaced whole.
void visitDifferences(const json& from, const json& to, const std::string& path,
                      const PatchVisitor& visit) {
  if (from == to) return;
  if (from.type() == to.type() && from.is_array()) {
    visitArrayDifferences(from, to, path, visit);
  } else if (from.type() == to.type() && from.is_object()) {
    visitObjectDifferences(from, to, path, visit);
  } else {
    visit({"replace", path, &to});
  }
}

bool bothNumbers(const json* a, const json* b) {
  return a != nullptr && b != nullptr && a->is_number() && b->is_number();
}

LogLine describePrecisionLoss(const std::string& path, const json& decoded, const json& source) {
  const double d = decoded.get<double>();
  const double s = source.get<double>();
  const double sf = static_cast<double>(narrowToFloat32(s));
  std::ostringstream rounded;
  rounded.precision(9);
  rounded << sf;
  const std::string decodedText = compact(decoded);
  if (rounded.str() == decodedText) {
    return {LogLevel::WARNING, "DIFF - float precision loss @ " + path};
  }
  return {LogLevel::WARNING,
          describe("DIFF - precision loss @ %s:\n\toriginal value = %s\n\tafter ->bin->json = "
                   "%s\n\toriginal value rounded = %.*g, %s, abs error = %.*g\n\tNote, "
                   "precision loss during binary serialization is expected for some fields.",
                   path.c_str(), compact(source).c_str(), decodedText.c_str(), 9, sf,
                   rounded.str().c_str(), 17, std::fabs(s - d))};
}

LogLine describeReplace(const std::string& op, const std::string& path, const json* decoded,
                        const json* source) {
  if (bothNumbers(decoded, source) &&
      isPrecisionLoss(decoded->get<double>(), source->get<double>())) {
    return describePrecisionLoss(path, *decoded, *source);
  }
  const std::string original = source ? compact(*source) : "no such field in original JSON";
  const std::string after = decoded ? compact(*decoded) : "no such field in binary serialized data";
  return {LogLevel::ERROR, " DIFF - op " + op + " @ path " + path + ":\n\toriginal = " + original +
                               " \n\tafter binary serialization = " + after + " "};
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

void forEachPatchEntry(const json& decoded, const json& source, const PatchVisitor& visit) {
  visitDifferences(decoded, source, "", visit);
}

bool isAcceptableDifference(const PatchEntry& entry, const json& exactDecoded, const json& source) {
  if (entry.op == "replace") {
    const json* decoded = lookUp(exactDecoded, entry.path);
    const json* original = lookUp(source, entry.path);
    return bothNumbers(decoded, original) &&
           isPrecisionLoss(decoded->get<double>(), original->get<double>());
  }
  return (entry.op == "add" || entry.op == "remove") && hasWarningMarker(entry.path);
}

LogLine describeDifference(const PatchEntry& entry, const json& decoded, const json& source) {
  const std::string op(entry.op);
  const std::string& path = entry.path;
  if (op == "replace")
    return describeReplace(op, path, lookUp(decoded, path), lookUp(source, path));
  const LogLevel level =
      op == "add" && hasWarningMarker(path) ? LogLevel::WARNING : LogLevel::ERROR;
  return {level, " DIFF - op " + op + " @ path " + path + "\n\top details = " + compact(entry)};
}

int judgeRoundTrip(const json& source, json decoded,
                   const std::function<void(const LogLine&)>& report) {
  const json exactDecoded = decoded;
  roundJsonFloats(decoded);
  bool differs = false;
  bool acceptable = true;
  forEachPatchEntry(decoded, source, [&](const PatchEntry& entry) {
    differs = true;
    acceptable = acceptable && isAcceptableDifference(entry, exactDecoded, source);
    report(describeDifference(entry, decoded, source));
  });
  if (!differs) return kExitSuccess;
  return acceptable ? kExitVerifyWarnings : kExitVerifyMismatch;
}

}  // namespace ravelin
