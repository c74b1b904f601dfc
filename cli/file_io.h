#pragma once

// Whole-file reading and writing for ravelin. Outputs are written as
// cli/output_file.h describes: a failed or interrupted command never leaves a
// half-written file or loses an old one, and a finished one is on disk.

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <span>
#include <string_view>

#include "wire/byte_io.h"
#include "wire/json_text.h"

namespace ravelin {

using json = nlohmann::json;
namespace fs = std::filesystem;

// Inputs above these sizes are refused. With them no command takes 1 GiB of
// memory for any accepted input (the README lists the worst shapes and their
// peaks), and the JSON that decode writes for an accepted blob is accepted in
// turn: decoded text runs to at most kMaxDecodedBytesPerBlobByte bytes per
// blob byte, reached by a CAD block of poses whose floats print in 23
// characters (573 bytes of text for 36).
constexpr std::uintmax_t kMaxBlobFileSize = 1ULL << 20;
constexpr std::uintmax_t kMaxJsonFileSize = 20ULL << 20;
constexpr std::uintmax_t kMaxDecodedBytesPerBlobByte = 16;
static_assert(kMaxDecodedBytesPerBlobByte * kMaxBlobFileSize <= kMaxJsonFileSize);

// "-" as an input names standard input, as an output standard output; every
// helper here takes it so. A file called "-" is reached as "./-".
bool namesStandardStream(const fs::path& path);

// Standard input always exists.
bool checkInputExists(const fs::path& path, const char* label);
// Refuses an existing output unless forced. Standard output, and any path
// naming one of the process's descriptors, is always writable; missing
// directories are left to the writer, which makes them only once the
// contents are complete.
bool checkOutputWritable(const fs::path& path, bool force, const char* label);
// Refuses, with its own error line, an output that is a symlink leading
// nowhere, and one that is the same stored file as the input (a regular file
// or a block device, however the two paths spell it, standard input
// redirected from it or a descriptor open on it included).
bool checkOutputTarget(const fs::path& output, const char* outputLabel, const fs::path& input,
                       const char* inputLabel);
std::uintmax_t getFileSize(const fs::path& path);

// Reads a blob of at most kMaxBlobFileSize bytes.
Bytes readFile(const fs::path& path);
// Reads a file whole as readFile does, within `limit` bytes, without a line
// when it succeeds: for an input whose kind only its content tells.
Bytes readWholeFile(const fs::path& path, std::uintmax_t limit);
// Refuses an input of `size` bytes when that is above `limit`, as the readers
// refuse a file by its size: logs it and throws.
void requireWithinLimit(const fs::path& path, std::uintmax_t size, std::uintmax_t limit);
// The system's words for errno value `error` as an error line of their own,
// after the line that says what failed; nothing for 0.
void logSystemReason(int error);
void writeFile(std::span<const std::uint8_t> bytes, const fs::path& path);

// Deeper JSON is refused while it is parsed: the library's writer and diff
// recurse once per level, so hostile nesting would otherwise overflow the stack.
constexpr int kMaxJsonDepth = 512;

// Parses at most kMaxJsonFileSize bytes with comments allowed; syntax errors
// are the JSON library's parse_error. `textSize`, when given, receives the
// number of bytes read.
json loadJsonFile(const fs::path& path, std::uintmax_t* textSize = nullptr);
// Parses JSON text exactly as loadJsonFile parses a file's contents.
json parseJsonDocument(std::string_view text);
// Rounds `value` in place, then writes it with an indent of 4 and no final
// newline. `expectedSize` (bytes, a guess) lets a large text be built without
// copying itself as it grows.
void writeJsonFile(json& value, const fs::path& path, std::size_t expectedSize = 0);
// The exact text writeJsonFile writes: rounds `value` in place first. Throws
// the JSON library's type_error for strings that are not valid UTF-8.
std::string renderJsonDocument(json& value, std::size_t expectedSize = 0);

// Hands a command's last document to the end of the process, which returns
// all its pages at once: freeing a large tree node by node costs about a
// tenth of a whole encode or decode. A second call frees the document the
// first one kept, so a caller that runs many commands holds one at most.
void keepUntilExit(json&& document);

// Rounds every floating-point number to 9 significant digits, in place, each
// as roundToNineSignificantDigits rounds it.
void roundJsonFloats(json& value);

}  // namespace ravelin
