#pragma once

// Where an output path leads, found before anything is opened: to one of this
// process's own descriptors, which is written in place as "-" is, or to the
// name of a file that may be replaced. Symlinks are followed by reading them,
// so that nothing here needs /proc.

#include <filesystem>
#include <optional>

namespace ravelin {

// The last name that following the symlinks of a path's last component
// reaches, one link at a time as the kernel follows them: a name that is no
// symlink, or an entry of this process's descriptor directory.
struct LinkEnd {
  std::filesystem::path name;
  std::optional<int> descriptor;  // set for an entry of the descriptor directory
};
LinkEnd followLinks(const std::filesystem::path& path);

// The descriptor an output is written through: standard output for "-", N for
// a path that names this process's descriptor N (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, /proc/<pid>/fd/N, or a symlink to one of them); none for
// any other path. Where /proc is mounted the directory's identity decides,
// however a path spells it; without /proc, the spellings /dev/fd,
// /proc/self/fd and /proc/<pid>/fd do.
std::optional<int> outputDescriptor(const std::filesystem::path& path);

// True when an output goes to standard output, which then carries it alone.
bool writesStandardOutput(const std::filesystem::path& path);

}  // namespace ravelin
