#pragma once

// A document named where either form is welcome: a blob, told by its magic,
// or JSON text. Read once and whole, so that standard input serves as well as
// a file.

#include <filesystem>
#include <nlohmann/json.hpp>

#include "diff/diff.h"

namespace ravelin {

struct EitherFormInput {
  diff::DocumentKind kind;
  nlohmann::json document;
  bool corrupt = false;  // a blob whose stored CRC-32 does not match its body
};

// Recognised as encode recognises it, a device config first; throws, the
// reason logged, for JSON of neither kind. `command` names the command in the
// exception's text.
diff::DocumentKind documentKindOfJson(const nlohmann::json& document,
                                      const std::filesystem::path& path, const char* command);

// Throws, the reason logged, for an unreadable or malformed input and for JSON
// of neither kind; `command` names the command in the exception's text.
EitherFormInput readEitherForm(const std::filesystem::path& path, const char* command);

// "a compact calibration" or "a device config".
const char* kindWords(diff::DocumentKind kind);

// Throws, the reason logged, unless both inputs are of one kind.
void requireOneKind(const EitherFormInput& older, const EitherFormInput& newer,
                    const std::filesystem::path& oldPath, const std::filesystem::path& newPath,
                    const char* command);

}  // namespace ravelin
