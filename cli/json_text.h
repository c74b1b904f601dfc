#pragma once

// The JSON text that decode writes.

#include <nlohmann/json.hpp>
#include <string>

namespace ravelin {

// Appends `value` to `text` byte for byte as the JSON library's dump(4)
// writes it: an indent of 4, no final newline, UTF-8 written as it is and
// invalid UTF-8 refused with the library's type_error (wire/json_text.h). It
// appends straight to the string and leaves to the library only what needs
// escaping, which the library's own writer, going through an output adapter
// for every piece, does at several times the cost.
void appendIndentedJson(const nlohmann::json& value, std::string& text);

}  // namespace ravelin
