// The plausibility checks on JSON text, as the check command loads it. Any
// document, of either kind or of neither, is judged without an exception,
// and every finding names a value that the document holds.

#include <string_view>
#include <vector>

#include "check/check.h"
#include "fuzz/fuzz_support.h"

namespace {

bool namesAValue(const ravelin::json& document, const std::string& pointer) {
  try {
    return document.contains(ravelin::json::json_pointer(pointer));
  } catch (const ravelin::json::exception&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const auto document = fuzz::parseJsonText({reinterpret_cast<const char*>(data), size});
  if (!document) return 0;
  for (const auto check : {checkCompactCalibration, checkDeviceConfig}) {
    std::vector<Finding> findings;
    fuzz::mustSucceed("a check threw", [&] { findings = check(*document); });
    for (const Finding& finding : findings) {
      fuzz::require(namesAValue(*document, finding.pointer), "a finding names no value");
      fuzz::require(!finding.reason.empty(), "a finding gives no reason");
    }
  }
  return 0;
}
