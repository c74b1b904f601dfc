#include "cli/output_path.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <string>
#include <system_error>

#include "cli/file_io.h"

namespace ravelin {

namespace {

// The kernel's own limit on the links one lookup follows.
constexpr int kMaxLinksFollowed = 40;

// A descriptor's name as /proc spells it: decimal digits without a leading
// zero, nothing else.
std::optional<int> descriptorNumber(const std::string& name) {
  if (name.empty() || (name.size() > 1 && name.front() == '0')) return std::nullopt;
  int number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data(), end, number);
  if (error != std::errc() || stop != end || number < 0) return std::nullopt;
  return number;
}

bool spellsOwnDescriptorDirectory(const fs::path& directory) {
  std::error_code unresolved;
  const fs::path spelt = fs::absolute(directory, unresolved).lexically_normal();
  const std::string ownProcess = "/proc/" + std::to_string(::getpid()) + "/fd";
  return spelt == "/dev/fd" || spelt == "/proc/self/fd" || spelt == ownProcess;
}

bool isOwnDescriptorDirectory(const fs::path& directory) {
  struct stat own {};
  if (::stat("/proc/self/fd", &own) != 0) return spellsOwnDescriptorDirectory(directory);
  struct stat found {};
  return ::stat(directory.c_str(), &found) == 0 && found.st_dev == own.st_dev &&
         found.st_ino == own.st_ino;
}

std::optional<int> namedDescriptor(const fs::path& name) {
  const std::optional<int> number = descriptorNumber(name.filename().string());
  if (!number) return std::nullopt;
  return isOwnDescriptorDirectory(name.has_parent_path() ? name.parent_path() : fs::path("."))
             ? number
             : std::nullopt;
}

std::optional<fs::path> linkTarget(const fs::path& name) {
  std::array<char, PATH_MAX> target{};
  const ssize_t length = ::readlink(name.c_str(), target.data(), target.size());
  if (length < 0 || static_cast<std::size_t>(length) == target.size()) return std::nullopt;
  return fs::path(std::string(target.data(), static_cast<std::size_t>(length)));
}

}  // namespace

LinkEnd followLinks(const fs::path& path) {
  fs::path name = path;
  for (int followed = 0; followed <= kMaxLinksFollowed; ++followed) {
    if (const std::optional<int> descriptor = namedDescriptor(name)) return {name, descriptor};
    const std::optional<fs::path> target = linkTarget(name);
    if (!target) break;
    // A relative target is relative to the link's directory, which the
    // kernel reaches through any link on the way.
    name = target->is_absolute() ? *target : name.parent_path() / *target;
  }
  return {name, std::nullopt};
}

std::optional<int> outputDescriptor(const fs::path& path) {
  if (namesStandardStream(path)) return STDOUT_FILENO;
  return followLinks(path).descriptor;
}

bool writesStandardOutput(const fs::path& path) {
  return outputDescriptor(path) == STDOUT_FILENO;
}

}  // namespace ravelin
