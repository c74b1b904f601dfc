#pragma once

// A reader for the JSON text that calibration tools and people write.

#include <string_view>

#include "cli/json_document_builder.h"

namespace ravelin {

// Reads JSON text of the common kind straight into `builder`: strings of
// printable ASCII without escapes, numbers, literals and whitespace. Returns
// false at the first thing outside that kind, syntax errors included, having
// given the builder part of the document; the caller then parses the whole
// text again with the JSON library's parser, which reads all that JSON (and
// comments) allow and words every error its own way. What it accepts, it
// hands to the builder as the library's parser would, number types and
// values included; it reads it several times faster, and most of what the
// library spends on a large document goes to reading it.
bool readCommonJson(std::string_view text, JsonDocumentBuilder& builder);

}  // namespace ravelin
