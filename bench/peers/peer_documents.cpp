// Writes one calibration document in the three forms the peer benchmark
// feeds its tools (ravelin's compact JSON, flatc's JSON for calibration.fbs,
// protoc's text format for calibration.proto), and checks what a tool gave
// back against what it was given.
//
//   ravelin_peer_documents write example <compact.json> <prefix>
//   ravelin_peer_documents write two-camera <prefix>
//   ravelin_peer_documents write cameras-2000 <prefix>
//       writes <prefix>.json, <prefix>.fb.json and <prefix>.txtpb
//   ravelin_peer_documents compare <sent> <returned>
//       prints "changed/count": how many of the sent numbers did not come
//       back, each compared as the float32 every tool stores
//
// Files ending in .txtpb are protobuf text format, all others JSON.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/synthetic_calibration.h"

namespace {

using json = nlohmann::json;

// Keys whose values are enumerations, and the prefix protobuf gives their values.
const std::map<std::string, std::string, std::less<>> kProtoEnumPrefixes = {
    {"camera_model", "CAMERA_MODEL"},
    {"alignment_method", "ALIGNMENT"},
    {"units", "UNITS"},
    {"extrinsics_method", "EXTRINSICS_METHOD"},
    {"pixel_coordinates_convention", "PIXEL_CONVENTION"},
};

// "scaleFactors_accel" -> "scale_factors_accel", "CamForwardAndIMUUpVectors" ->
// "cam_forward_and_imu_up_vectors": the rule the schemas' names follow.
std::string snakeCase(std::string_view name) {
  std::string result;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(name[k]); };
    if (i > 0 && std::isupper(at(i)) && name[i - 1] != '_') {
      const bool afterLowerOrDigit = std::islower(at(i - 1)) || std::isdigit(at(i - 1));
      const bool endsAcronym =
          std::isupper(at(i - 1)) && i + 1 < name.size() && std::islower(at(i + 1));
      if (afterLowerOrDigit || endsAcronym) result += '_';
    }
    result += static_cast<char>(std::tolower(at(i)));
  }
  return result;
}

json cadPose(const json& pose) {
  return {{"plus_x", pose.at("plus_x")},
          {"plus_z", pose.at("plus_z")},
          {"position", pose.at("position")}};
}

// A camera or IMU: keys in snake case, the extrinsics under the field of their shape.
json sensor(const json& compact) {
  json peer = json::object();
  for (const auto& [key, value] : compact.items()) {
    if (key == "extrinsics") {
      if (value.is_array()) {
        peer["extrinsics_matrix"] = value;
      } else {
        peer["extrinsics_cad"] = cadPose(value);
      }
    } else if (key == "intrinsics") {
      for (json intrinsics : value) {
        // "kb4" is another spelling of "kb", which the schemas name once.
        if (intrinsics.at("cameraModel") == "kb4") intrinsics["cameraModel"] = "kb";
        json entry = json::object();
        for (const auto& [name, number] : intrinsics.items()) entry[snakeCase(name)] = number;
        peer["intrinsics"].push_back(entry);
      }
    } else if (!key.starts_with("__")) {
      peer[snakeCase(key)] = value;
    }
  }
  return peer;
}

json poses(const json& cad, const char* key) {
  json list = json::array();
  if (cad.contains(key)) {
    for (const json& pose : cad.at(key)) list.push_back(cadPose(pose));
  }
  return list;
}

// The compact calibration in the shape both schemas share.
json peerDocument(const json& compact) {
  json peer = json::object();
  for (const char* key : {"cameras", "imus"}) {
    peer[key] = json::array();
    for (const json& element : compact.at(key)) peer[key].push_back(sensor(element));
  }
  const json& cad = compact.at("cad");
  json& peerCad = peer["cad"];
  peerCad = {{"head", cadPose(cad.at("__head"))},
             {"cameras", poses(cad, "cameras")},
             {"imus", poses(cad, "imus")}};
  for (const char* key : {"__alignment_method", "__units"}) {
    if (cad.contains(key)) peerCad[snakeCase(std::string_view(key).substr(2))] = cad.at(key);
  }
  for (const auto& [key, value] : compact.at("metadata").items()) {
    peer["metadata"][snakeCase(key)] = value;
  }
  return peer;
}

std::string textFormatString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\%03o", static_cast<unsigned char>(c));
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

void writeTextFormat(std::ostream& out, const json& message, int depth);

void writeTextField(std::ostream& out, const std::string& key, const json& value, int depth) {
  const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
  if (value.is_array()) {
    for (const json& element : value) writeTextField(out, key, element, depth);
  } else if (value.is_object()) {
    out << indent << key << " {\n";
    writeTextFormat(out, value, depth + 1);
    out << indent << "}\n";
  } else if (const auto prefix = kProtoEnumPrefixes.find(key); prefix != kProtoEnumPrefixes.end()) {
    std::string name = prefix->second + "_" + snakeCase(value.get<std::string>());
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    out << indent << key << ": " << name << "\n";
  } else if (value.is_string()) {
    out << indent << key << ": " << textFormatString(value.get<std::string>()) << "\n";
  } else {
    out << indent << key << ": " << value.dump() << "\n";
  }
}

void writeTextFormat(std::ostream& out, const json& message, int depth) {
  for (const auto& [key, value] : message.items()) writeTextField(out, key, value, depth);
}

void writeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

// A document and the indent its JSON forms are written with (-1: none).
struct PeerDocument {
  json compact;
  int indent = 4;
};

PeerDocument makeDocument(const std::string& name, const std::vector<std::string>& arguments) {
  if (name == "example") return {json::parse(readFile(arguments.at(0)), nullptr, true, true)};
  // A device's rig: two cameras and one IMU, with an estimator's full digits.
  if (name == "two-camera") return {ravelin::bench::makeSyntheticCalibration({2, 1, true})};
  // A rig's proportions at scale: an IMU for every four cameras, each camera
  // with one lens model and the example's optional keys. Written without
  // whitespace, as a program writes a large document, it takes 2.2 MB; its
  // blob (0.73 MB) stays within ravelin's 1 MiB limit.
  if (name == "cameras-2000") {
    return {ravelin::bench::makeSyntheticCalibration(
                {.cameras = 2000, .imus = 500, .splineIntrinsics = false}),
            -1};
  }
  throw std::runtime_error("unknown document " + name);
}

void collectJsonNumbers(const json& value, std::vector<float>& numbers) {
  if (value.is_structured()) {
    for (const json& element : value) collectJsonNumbers(element, numbers);
  } else if (value.is_number()) {
    numbers.push_back(value.get<float>());
  }
}

// The numbers of "key: value" lines; strings, enumerations and booleans are not numbers.
void collectTextNumbers(const std::string& text, std::vector<float>& numbers) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string value = line.substr(colon + 2);
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end != value.c_str() && *end == '\0') numbers.push_back(static_cast<float>(number));
  }
}

std::vector<float> numbersOf(const std::string& path) {
  std::vector<float> numbers;
  const std::string contents = readFile(path);
  if (path.ends_with(".txtpb")) {
    collectTextNumbers(contents, numbers);
  } else {
    collectJsonNumbers(json::parse(contents, nullptr, true, true), numbers);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

int run(const std::vector<std::string>& arguments) {
  if (arguments.size() >= 3 && arguments[0] == "write") {
    const std::vector<std::string> rest(arguments.begin() + 2, arguments.end() - 1);
    const PeerDocument document = makeDocument(arguments[1], rest);
    const json peer = peerDocument(document.compact);
    const std::string& prefix = arguments.back();
    writeFile(prefix + ".json", document.compact.dump(document.indent));
    writeFile(prefix + ".fb.json", peer.dump(document.indent));
    std::ostringstream text;
    writeTextFormat(text, peer, 0);
    writeFile(prefix + ".txtpb", text.str());
    return 0;
  }
  if (arguments.size() == 3 && arguments[0] == "compare") {
    const std::vector<float> sent = numbersOf(arguments[1]);
    const std::vector<float> returned = numbersOf(arguments[2]);
    std::vector<float> lost;
    std::set_difference(sent.begin(), sent.end(), returned.begin(), returned.end(),
                        std::back_inserter(lost));
    std::printf("%zu/%zu\n", lost.size(), sent.size());
    return 0;
  }
  std::fputs(
      "usage: ravelin_peer_documents write <document> [<source>] <prefix>\n"
      "       ravelin_peer_documents compare <sent> <returned>\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ravelin_peer_documents: %s\n", e.what());
    return 1;
  }
}
