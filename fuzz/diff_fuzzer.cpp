// The comparison of two JSON texts, as the diff command loads them, as
// calibrations and as device configs, whatever they hold: never an
// exception, every change names a value that one of the documents holds,
// the report can be written, and a document compared with itself is
// identical; each camera's projection field, kept on request, covers its grid.
//
// Input layout: u16 little-endian length n, n bytes of the old JSON text
// (fewer when the input ends first), then the new JSON text.

#include <algorithm>
#include <string>
#include <string_view>

#include "diff/diff.h"
#include "fuzz/fuzz_support.h"

namespace {

using ravelin::json;

bool holds(const json& document, const std::string& pointer) {
  try {
    return document.contains(json::json_pointer(pointer));
  } catch (const json::exception&) {
    return false;
  }
}

using Compare = ravelin::diff::DiffReport (*)(const json&, const json&);

// Calibrations with each camera's projection field kept, as the report page
// compares them.
ravelin::diff::DiffReport calibrationsWithFields(const json& older, const json& newer) {
  using namespace ravelin;
  diff::DiffReport report = diff::diffCalibrations(older, newer, {}, diff::Detail::FIELDS);
  for (const diff::CameraDiff& camera : report.cameras) {
    fuzz::require(!camera.projectionField ||
                      camera.projectionField->px.size() ==
                          camera.projectionField->rows * camera.projectionField->columns,
                  "a projection field of another size than its grid");
  }
  return report;
}

ravelin::diff::DiffReport deviceConfigs(const json& older, const json& newer) {
  return ravelin::diff::diffDeviceConfigs(older, newer);
}

void requireSound(Compare compare, const json& older, const json& newer) {
  using namespace ravelin;
  diff::DiffReport report;
  fuzz::mustSucceed("diff threw", [&] { report = compare(older, newer); });
  diff::forEachChange(report, [&](const diff::Change& change) {
    fuzz::require(holds(older, change.pointer) || holds(newer, change.pointer),
                  "a change names no value");
    fuzz::require(!diff::changeLine(change).empty(), "a change has no line");
  });
  fuzz::mustSucceed("the report cannot be written", [&] { diff::reportText(report); });
  diff::DiffReport same;
  fuzz::mustSucceed("diff threw", [&] { same = compare(older, older); });
  fuzz::require(diff::verdictOf(same) == diff::Verdict::IDENTICAL,
                "a document differs from itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  ByteCursor input(data, data + size);
  if (input.remaining() < sizeof(std::uint16_t)) return 0;
  const std::size_t declaredLength = input.read<std::uint16_t>();
  const ByteCursor oldText = input.take(std::min(declaredLength, input.remaining()));
  const auto older =
      fuzz::parseJsonText({reinterpret_cast<const char*>(oldText.position()), oldText.remaining()});
  const auto newer =
      fuzz::parseJsonText({reinterpret_cast<const char*>(input.position()), input.remaining()});
  if (!older || !newer) return 0;
  requireSound(calibrationsWithFields, *older, *newer);
  requireSound(deviceConfigs, *older, *newer);
  return 0;
}
