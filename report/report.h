#pragma once

// One self-contained HTML page that shows everything a calibration or device
// config holds: the rig drawn to scale, every lens's behaviour, the IMUs, the
// identities and what the plausibility checks found. Inline SVG and CSS only:
// the page fetches nothing and needs no script.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "diff/diff.h"

namespace ravelin::report {

using DocumentKind = diff::DocumentKind;

struct BlobFacts {
  std::size_t size;  // bytes
  std::uint32_t storedCrc;
  std::uint32_t computedCrc;
};

struct ReportSource {
  std::string name;  // the input as the command line named it
  DocumentKind kind;
  std::optional<BlobFacts> blob;  // when the document was decoded from a blob
};

// The document the page compares the new one with, of the same kind.
struct OlderDocument {
  const nlohmann::json& document;
  std::string name;  // as the command line named it
  bool corrupt;      // a blob whose stored CRC-32 does not match its body
};

// The page of a document that passed its kind's recognition, compared with
// `older` when given. Reads the documents only; values of any type or size
// draw what they can and never throw.
std::string renderReport(const nlohmann::json& document, const ReportSource& source,
                         const OlderDocument* older = nullptr);

}  // namespace ravelin::report
