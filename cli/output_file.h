#pragma once

// Writing an output whole, as a careful tool must when the old contents may be
// the only copy:
// - a regular file (or the one a symlink leads to, followed as open() follows
//   it) is replaced atomically by new contents that are on disk before they
//   get its name, keeping its owner, group, mode and extended attributes;
// - a new file is on disk, name included, before the call returns, and the
//   directories it needs are made only then;
// - a device, FIFO or socket is written in place, as a shell redirection
//   would, and never replaced;
// - "-" is standard output, and a path naming one of the process's own
//   descriptors (/dev/stdout, /dev/fd/N...) is written through it, in place;
// - an append-only directory, whose temporary name could never be renamed
//   or removed again, is refused before anything is named in it.
// A failure leaves the old file as it was and nothing beside it, no
// directory it made included; so does a run ended by SIGINT, SIGTERM or
// SIGHUP, and, where the file system can hold a file without a name, even one
// ended by SIGKILL.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace ravelin {

// Throws std::runtime_error "Failed to open file for writing: <path>" or
// "Failed to write data to file: <path>" after logging that line and, when
// the system gave one, its reason as a line of its own; for standard output,
// "Failed to write data to standard output", logged alone. A file that
// another writer keeps replacing is given up after a few attempts.
void writeOutputFile(const std::uint8_t* data, std::size_t size, const std::filesystem::path& path);

// Takes each piece of an output's contents as it is made; throws as
// writeOutputFile does when it cannot write it.
using ContentSink = std::function<void(std::span<const std::uint8_t> piece)>;
// Makes an output's contents piece by piece, handing each to the sink in order.
using MakeContents = std::function<void(const ContentSink& sink)>;

// As above, for contents made while they are written, which then need not be
// held whole. An exception from `make` leaves a regular file as it was; a
// device, FIFO or standard output keeps what it was given before.
void writeOutputFile(const MakeContents& make, const std::filesystem::path& path);

// Logs "Failed to write data to standard output" and throws it.
[[noreturn]] void failToWriteStandardOutput();

}  // namespace ravelin
