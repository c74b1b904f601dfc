// Tells, for each JSON file, which encoders accept it, so that a schema test
// can compare the schemas with the encoders over thousands of documents in
// one run.
//
//   encoder_verdicts <file-or-directory>...
//
// Prints one JSON object per line: {"path", "accepted_by": [kinds]} and, for
// a document some encoder accepts, the document as parsed ("document"), so
// that a reader without comment support sees exactly what the encoder saw.
// Directories are walked (not recursively); files that are not JSON get an
// empty "accepted_by".

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "calibration/encoder.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace {

using ravelin::json;
namespace fs = std::filesystem;

template <typename Encode>
bool accepts(Encode&& encode) {
  try {
    return !encode().empty();
  } catch (const std::exception&) {
    return false;
  }
}

json verdictOf(const fs::path& path) {
  json verdict{{"path", path.string()}, {"accepted_by", json::array()}};
  json document;
  try {
    document = ravelin::loadJsonFile(path);
  } catch (const std::exception&) {
    return verdict;
  }
  if (accepts([&] {
        return ravelin::isCompactCalibrationJson(document)
                   ? ravelin::encodeCompactCalibration(document)
                   : ravelin::Bytes{};
      })) {
    verdict["accepted_by"].push_back("calibration");
  }
  if (accepts([&] { return ravelin::encodeDeviceConfig(document); })) {
    verdict["accepted_by"].push_back("device_config");
  }
  if (!verdict["accepted_by"].empty()) verdict["document"] = std::move(document);
  return verdict;
}

std::vector<fs::path> filesOf(const fs::path& argument) {
  if (!fs::is_directory(argument)) return {argument};
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  ravelin::quietMode = true;
  try {
    for (int i = 1; i < argc; ++i) {
      for (const fs::path& file : filesOf(argv[i])) {
        const std::string line = verdictOf(file).dump() + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "encoder_verdicts: %s\n", error.what());
    return 1;
  }
  return 0;
}
