// Tells which encoders accept each JSON file given, so that the schema test
// compares schemas and encoders over thousands of documents in one run. One
// JSON line per file: {"path", "accepted_by": [...]}, plus the document as
// parsed ("document") when an encoder accepts it, so that a reader that knows
// no comments sees what the encoder saw.

#include <cstdio>
#include <exception>
#include <string>

#include "calibration/encoder.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"

namespace {

using ravelin::json;

template <typename Encode>
bool accepts(Encode&& encode) {
  try {
    return !encode().empty();
  } catch (const std::exception&) {
    return false;
  }
}

json verdictOf(const char* path) {
  json verdict{{"path", path}, {"accepted_by", json::array()}};
  json document;
  try {
    document = ravelin::loadJsonFile(path);
  } catch (const std::exception&) {
    return verdict;
  }
  // As the commands do: a calibration is encoded only once it is recognised.
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

}  // namespace

int main(int argc, char** argv) {
  ravelin::quietMode = true;
  for (int i = 1; i < argc; ++i) {
    const std::string line = verdictOf(argv[i]).dump() + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return 0;
}
