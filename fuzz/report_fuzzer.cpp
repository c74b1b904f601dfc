// The page of any JSON text, drawn as either kind, alone and compared with
// itself: no document, whatever it holds, makes the page throw, leaves it
// unfinished or puts bytes into it that are not UTF-8.

#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "report/report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravelin;
  fuzz::quietLogs();
  const auto document = fuzz::parseJsonText({reinterpret_cast<const char*>(data), size});
  if (!document) return 0;
  const report::OlderDocument itself{*document, "fuzz.json", false};
  for (const auto kind : {report::DocumentKind::CALIBRATION, report::DocumentKind::DEVICE_CONFIG}) {
    for (const report::OlderDocument* older :
         {static_cast<const report::OlderDocument*>(nullptr), &itself}) {
      std::string page;
      fuzz::mustSucceed("the page threw", [&] {
        page = report::renderReport(*document, {"fuzz.json", kind, std::nullopt}, older);
      });
      fuzz::require(page.ends_with("</html>\n"), "the page is unfinished");
      // The JSON writer refuses text that is not UTF-8.
      fuzz::mustSucceed("the page is not UTF-8", [&] { json(page).dump(); });
    }
  }
  return 0;
}
