#include "cli/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::size_t kReadChunkSize = 4096;

void refuseOversizedInput(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size <= kMaxInputFileSize) return;
  logError("Input file %s is %ju bytes; files above %ju bytes are refused", path.c_str(), size,
           kMaxInputFileSize);
  throw std::runtime_error("Input file too large: " + path.string());
}

[[noreturn]] void failToOpenForWriting(const fs::path& path) {
  logError("Failed to open file for writing: %s", path.c_str());
  throw std::runtime_error("Failed to open file for writing: " + path.string());
}

[[noreturn]] void failToWrite(const fs::path& path) {
  logError("Failed to write data to file: %s", path.c_str());
  throw std::runtime_error("Failed to write data to file: " + path.string());
}

// What the output replaces, if anything: a replaced file keeps its mode, and a
// new file gets the usual 0666 less the umask.
struct OutputTarget {
  bool replacesFile;
  mode_t mode;
};

OutputTarget inspectOutput(const fs::path& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) return {true, existing.st_mode & 07777};
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return {false, 0666 & ~mask};
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes to "<target>.tmp-XXXXXX" in the target's directory, then renames it
// over the target. Messages always name the target, never the temporary file.
// Data that replaces a file reaches the disk before the rename, so a power cut
// cannot swap good old contents for an empty file. A new file has nothing to
// lose and skips that wait, which would cost more than the rest of a decode.
void writeAtomically(const std::uint8_t* data, std::size_t size, const fs::path& path) {
  if (fs::is_directory(path)) failToOpenForWriting(path);
  std::string tempName = path.string() + ".tmp-XXXXXX";
  const int fd = ::mkstemp(tempName.data());
  if (fd < 0) failToOpenForWriting(path);

  const OutputTarget target = inspectOutput(path);
  const bool written = ::fchmod(fd, target.mode) == 0 && writeAll(fd, data, size) &&
                       (!target.replacesFile || ::fsync(fd) == 0);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(tempName.c_str(), path.c_str()) != 0) {
    ::unlink(tempName.c_str());
    failToWrite(path);
  }
}

// The parser keeps a stack of its own and does not recurse, so checking each
// container as it opens bounds everything built from the text. `depth`
// counts the containers around the one that opens.
bool refuseDeepNesting(int depth, json::parse_event_t event, json&) {
  const bool opens =
      event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
  if (opens && depth >= kMaxJsonDepth) {
    logError("JSON input nests deeper than %d levels", kMaxJsonDepth);
    throw std::runtime_error("JSON nesting too deep");
  }
  return true;
}

template <typename Input>
json parseWithDepthLimit(Input&& input) {
  return json::parse(std::forward<Input>(input), refuseDeepNesting, /*allow_exceptions=*/true,
                     /*ignore_comments=*/true);
}

double roundToNineSignificantDigits(double x) {
  if (std::isfinite(x) && x != 0.0) {
    const double factor = std::pow(10.0, 8.0 - std::floor(std::log10(std::fabs(x))));
    if (std::isfinite(factor) && factor != 0.0) return std::nearbyint(x * factor) / factor;
  }
  return static_cast<double>(narrowToFloat32(x));
}

}  // namespace

bool checkInputExists(const fs::path& path, const char* label) {
  if (fs::exists(path)) return true;
  logError("%s '%s' does not exist.", label, path.c_str());
  return false;
}

bool checkOutputWritable(const fs::path& path, bool force, const char* label) {
  if (fs::exists(path)) {
    if (force) return true;
    logError("%s '%s' already exists. Use --force to overwrite.", label, path.c_str());
    return false;
  }
  const fs::path parent = path.parent_path();
  if (!parent.empty()) {
    std::error_code ignored;
    fs::create_directories(parent, ignored);
  }
  return true;
}

std::uintmax_t getFileSize(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) {
    logError("Error getting file size of %s: %s", path.c_str(), error.message().c_str());
    return 0;
  }
  logInfo("Got file size %llu", static_cast<unsigned long long>(size));
  return size;
}

Bytes readFile(const fs::path& path) {
  std::ifstream file;
  if (!fs::is_directory(path)) file.open(path, std::ios::binary);
  if (!file.is_open()) {
    logError("Failed to open file: %s ", path.c_str());
    throw std::runtime_error("Failed to open file: " + path.string());
  }
  refuseOversizedInput(path);

  Bytes bytes;
  std::array<char, kReadChunkSize> chunk{};
  while (file.read(chunk.data(), chunk.size())) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  if (file.bad()) {
    logError("Failed to read file: %s", path.c_str());
    throw std::runtime_error("Failed to read file: " + path.string());
  }
  bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + file.gcount());
  logSuccess("Successfully read %d bytes from file", printableCount(bytes.size()));
  return bytes;
}

void writeFile(const Bytes& bytes, const fs::path& path) {
  writeAtomically(bytes.data(), bytes.size(), path);
  logSuccess("Successfully wrote data to location %s", path.c_str());
}

json loadJsonFile(const fs::path& path) {
  refuseOversizedInput(path);
  std::ifstream stream(path);
  return parseWithDepthLimit(stream);
}

json parseJsonDocument(std::string_view text) {
  return parseWithDepthLimit(text);
}

std::string renderJsonDocument(json& value) {
  roundJsonFloats(value);
  return value.dump(4, ' ', /*ensure_ascii=*/false, json::error_handler_t::strict);
}

void writeJsonFile(json& value, const fs::path& path) {
  const std::string text = renderJsonDocument(value);
  writeAtomically(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), path);
}

void roundJsonFloats(json& value) {
  if (value.is_structured()) {
    for (json& element : value) roundJsonFloats(element);
  } else if (value.is_number_float()) {
    value = roundToNineSignificantDigits(value.get<double>());
  }
}

}  // namespace ravelin
