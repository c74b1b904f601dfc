#include "cli/output_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/file_io.h"
#include "cli/output_path.h"
#include "console/log.h"

namespace ravelin {

namespace fs = std::filesystem;

namespace {

// `error` is the errno the system gave, or 0 when it gave none.
[[noreturn]] void fail(std::string_view message, const fs::path& path, int error) {
  logError("%.*s%s", static_cast<int>(message.size()), message.data(), path.c_str());
  logSystemReason(error);
  throw std::runtime_error(std::string(message) + path.string());
}

[[noreturn]] void failToOpenForWriting(const fs::path& path, int error) {
  fail("Failed to open file for writing: ", path, error);
}

[[noreturn]] void failToWrite(const fs::path& path, int error) {
  fail("Failed to write data to file: ", path, error);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }

  bool isOpen() const { return fd_ >= 0; }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isSymlink(const fs::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

Descriptor openDirectory(int parent, const char* name) {
  return Descriptor(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::string selfDescriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// 0 when all bytes are written, else the errno of the write that failed.
int writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

void writeContents(int fd, const MakeContents& make, const fs::path& path) {
  make([&](std::span<const std::uint8_t> piece) {
    if (const int error = writeAll(fd, piece.data(), piece.size()); error != 0) {
      failToWrite(path, error);
    }
  });
}

// The signals a user or a service manager ends a run with, and the only ones
// a temporary name is cleaned up on: nothing can be done on SIGKILL.
sigset_t cleanupSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  return set;
}

// Keeps the cleanup signals pending while the temporary name and the record
// the handler reads change together.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t held = cleanupSignals();
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

// The temporary name that exists right now, for the signal handler; written
// only while the signals are held, so the handler never sees half of it.
struct TemporaryNameRecord {
  int directory = -1;
  std::array<char, 32> name{};
};
TemporaryNameRecord gTemporaryName;
volatile std::sig_atomic_t gTemporaryNameExists = 0;

void removeTemporaryNameAndDie(int signal) {
  if (gTemporaryNameExists != 0) {
    ::unlinkat(gTemporaryName.directory, gTemporaryName.name.data(), 0);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered, with the default action, when the handler returns
}

// Installs the handler for as long as an output is being written. A signal
// the caller ignores (as under nohup) stays ignored.
class CleanupOnSignals {
 public:
  CleanupOnSignals() {
    struct sigaction cleanup {};
    cleanup.sa_handler = removeTemporaryNameAndDie;
    cleanup.sa_mask = cleanupSignals();
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
      ::sigaction(kSignals[i], nullptr, &previous_[i]);
      if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &cleanup, nullptr);
    }
  }
  ~CleanupOnSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
      ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
  }
  CleanupOnSignals(const CleanupOnSignals&) = delete;
  CleanupOnSignals& operator=(const CleanupOnSignals&) = delete;

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
  std::array<struct sigaction, 3> previous_{};
};

// Short and independent of the output's name, so that any legal output name
// stays legal.
std::string randomTemporaryName() {
  std::array<unsigned char, 6> bytes{};
  if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    const auto seed =
        static_cast<unsigned long>(::getpid()) ^ static_cast<unsigned long>(::clock());
    std::memcpy(bytes.data(), &seed, bytes.size());
  }
  std::string name = ".ravelin-";
  for (const unsigned char byte : bytes) {
    name += "0123456789abcdef"[byte >> 4];
    name += "0123456789abcdef"[byte & 0xF];
  }
  return name;
}

// Calls `create(name)` with fresh names while it fails for a name that is
// taken. Returns whether one succeeded and keeps its name.
template <typename Create>
bool createUnderFreshName(std::string& name, Create create) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = randomTemporaryName();
    if (create(name.c_str())) return true;
    if (errno != EEXIST) break;
  }
  name.clear();
  return false;
}

// Names the unnamed file `fd`: directly where this process may, else through
// its /proc link, which needs no privilege.
bool linkUnnamed(int fd, int directory, const char* name) {
  if (::linkat(fd, "", directory, name, AT_EMPTY_PATH) == 0) return true;
  if (errno != ENOENT && errno != EPERM) return false;
  return ::linkat(AT_FDCWD, selfDescriptorPath(fd).c_str(), directory, name, AT_SYMLINK_FOLLOW) ==
         0;
}

// Without /proc an unnamed file could be named only with a privilege, so the
// contents then have a temporary name from the start, as on a file system
// without unnamed files.
int openUnnamed(int directory, mode_t mode) {
  if (::access("/proc/self/fd", X_OK) != 0) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return ::openat(directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

// An append-only directory (chattr +a) lets a name be added but never taken
// away, so a rename out of it fails and its temporary name stays for good.
bool isAppendOnly(int directory) {
  int flags = 0;
  return ::ioctl(directory, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
}

// The new contents until they take the output's name. Where the file system
// allows, the file has no name at all while it is written, so no way of
// ending the run can leave it behind; elsewhere it has a short random name
// that the destructor and the signal handler remove.
class PendingFile {
 public:
  // `replacing`: the contents are to be renamed over an existing output.
  PendingFile(int directory, mode_t mode, bool replacing, const fs::path& path)
      : directory_(directory), replacing_(replacing), fd_(openUnnamed(directory, mode)) {
    if (!fd_.isOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      failToOpenForWriting(path, errno);
    }
    if ((!fd_.isOpen() || replacing) && isAppendOnly(directory)) {
      failToOpenForWriting(path, EPERM);
    }
    if (fd_.isOpen()) return;
    const SignalsHeld held;
    const bool created = createUnderFreshName(name_, [&](const char* name) {
      fd_ = Descriptor(::openat(directory, name, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
      return fd_.isOpen();
    });
    if (!created) failToOpenForWriting(path, errno);
    recordTemporaryName();
  }
  ~PendingFile() {
    if (!name_.empty()) {
      const SignalsHeld held;
      ::unlinkat(directory_, name_.c_str(), 0);
      gTemporaryNameExists = 0;
    }
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int fd() const { return fd_.get(); }

  // Gives the contents the name `target` in `directory`. An unnamed file that
  // replaces one is linked under a temporary name and renamed over it, since
  // a link never replaces: the signals are held for those two calls, and only
  // SIGKILL or a power cut between them can leave the temporary name behind.
  void publish(int directory, const std::string& target, const fs::path& path) {
    const SignalsHeld held;
    if (name_.empty() && !replacing_) {
      if (!linkUnnamed(fd_.get(), directory, target.c_str())) failToWrite(path, errno);
      return;
    }
    if (name_.empty()) {
      if (!createUnderFreshName(
              name_, [&](const char* name) { return linkUnnamed(fd_.get(), directory_, name); })) {
        failToWrite(path, errno);
      }
      recordTemporaryName();
    }
    if (::renameat(directory_, name_.c_str(), directory, target.c_str()) != 0) {
      failToWrite(path, errno);
    }
    name_.clear();
    gTemporaryNameExists = 0;
  }

 private:
  // Called with the signals held.
  void recordTemporaryName() {
    gTemporaryName.directory = directory_;
    std::memcpy(gTemporaryName.name.data(), name_.c_str(), name_.size() + 1);
    gTemporaryNameExists = 1;
  }

  int directory_;
  bool replacing_;
  Descriptor fd_;     // closed even when the constructor gives up
  std::string name_;  // empty while the file has no name
};

void flush(int fd, const fs::path& path) {
  if (::fsync(fd) != 0) failToWrite(path, errno);
}

// A directory opened so that it can be flushed, and a name in it.
struct Location {
  Descriptor directory;
  std::string name;
};

Location openLocation(const fs::path& file, const fs::path& path) {
  const fs::path parent = file.has_parent_path() ? file.parent_path() : fs::path(".");
  Descriptor directory = openDirectory(AT_FDCWD, parent.c_str());
  if (!directory.isOpen()) failToOpenForWriting(path, errno);
  return {std::move(directory), file.filename().string()};
}

// Where the file `replaced`, found by following `path`, has its name; nothing
// when another file has taken that name since it was found (another writer
// replaced it). The kernel followed any symlink when it found the file, under
// its rules for links in shared sticky directories; the name reached by
// reading the links must still lead to that very file.
std::optional<Location> locateReplacedFile(const fs::path& path, const struct stat& replaced) {
  Location location = openLocation(followLinks(path).name, path);
  struct stat named {};
  if (::fstatat(location.directory.get(), location.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) !=
      0) {
    if (errno == ENOENT) return std::nullopt;
    failToOpenForWriting(path, errno);
  }
  if (!sameFile(named, replaced)) return std::nullopt;
  return location;
}

// Owner and group of the replaced file where this process may give them.
// Returns whether both were kept.
bool keepOwnership(int fd, const struct stat& replaced) {
  if (::fchown(fd, replaced.st_uid, replaced.st_gid) == 0) return true;
  // At least the group when it is one of this process's own, so that a file
  // shared through its group stays shared.
  std::ignore = ::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid);
  return false;
}

// Best effort: the file system or this process's privileges may refuse some.
// File capabilities are privileges like set-ID bits and follow the same rule.
void copyExtendedAttributes(const Location& location, const struct stat& replaced, int to,
                            bool keptOwnership) {
  const Descriptor from(::openat(location.directory.get(), location.name.c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!from.isOpen() || ::fstat(from.get(), &status) != 0 || !sameFile(status, replaced)) return;
  const ssize_t listSize = ::flistxattr(from.get(), nullptr, 0);
  if (listSize <= 0) return;
  std::vector<char> names(static_cast<std::size_t>(listSize));
  const ssize_t listed = ::flistxattr(from.get(), names.data(), names.size());
  if (listed <= 0) return;

  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + listed;
       name += std::strlen(name) + 1) {
    if (!keptOwnership && std::string_view(name) == "security.capability") continue;
    const ssize_t size = ::fgetxattr(from.get(), name, nullptr, 0);
    if (size < 0) continue;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(from.get(), name, value.data(), value.size());
    if (got >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
  }
}

// Writes and then gives the new file what the replaced one had. Writing
// first matters: a write by an unprivileged process clears set-ID bits and
// file capabilities.
void fillReplacement(int fd, const MakeContents& make, const Location& location,
                     const struct stat& replaced, const fs::path& path) {
  writeContents(fd, make, path);
  const bool keptOwnership = keepOwnership(fd, replaced);
  copyExtendedAttributes(location, replaced, fd, keptOwnership);
  mode_t mode = replaced.st_mode & 07777;
  if (!keptOwnership) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  if (::fchmod(fd, mode) != 0) failToWrite(path, errno);
}

// False when the file found was replaced before its name could be checked.
bool replaceRegularFile(const MakeContents& make, const fs::path& path,
                        const struct stat& replaced) {
  const std::optional<Location> location = locateReplacedFile(path, replaced);
  if (!location) return false;
  const CleanupOnSignals cleanup;
  PendingFile pending(location->directory.get(), 0600, /*replacing=*/true, path);
  fillReplacement(pending.fd(), make, *location, replaced, path);
  flush(pending.fd(), path);
  pending.publish(location->directory.get(), location->name, path);
  flush(location->directory.get(), path);
  return true;
}

// A new output's deepest directory that exists, and what is missing below
// it: the directories to make, in order, and the file's own name.
struct NewLocation {
  Descriptor existing;
  std::vector<std::string> missingDirectories;
  std::string name;
};

// Opens the output's directory or, when it is missing, the deepest part of
// its path that exists, one name at a time as the kernel walks it. A name
// ending in "/" names a directory and is refused before anything is made.
NewLocation findNewLocation(const fs::path& path) {
  NewLocation location{Descriptor(-1), {}, path.filename().string()};
  if (location.name.empty()) failToOpenForWriting(path, EISDIR);
  const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
  location.existing = openDirectory(AT_FDCWD, parent.c_str());
  if (location.existing.isOpen()) return location;
  if (errno != ENOENT) failToOpenForWriting(path, errno);
  location.existing = openDirectory(AT_FDCWD, parent.has_root_directory() ? "/" : ".");
  if (!location.existing.isOpen()) failToOpenForWriting(path, errno);
  for (const fs::path& component : parent.relative_path()) {
    if (location.missingDirectories.empty()) {
      Descriptor next = openDirectory(location.existing.get(), component.c_str());
      if (next.isOpen()) {
        location.existing = std::move(next);
        continue;
      }
      if (errno != ENOENT) failToOpenForWriting(path, errno);
    }
    location.missingDirectories.push_back(component.string());
  }
  return location;
}

// The directories a new output needs, made once its contents are on disk,
// and removed again, deepest first, unless the output got its name in them.
class MadeDirectories {
 public:
  explicit MadeDirectories(int existing) : existing_(existing) {}
  ~MadeDirectories() {
    if (kept_) return;
    for (std::size_t level = levels_.size(); level-- > 0;) {
      if (levels_[level].made)
        ::unlinkat(parentOf(level), levels_[level].name.c_str(), AT_REMOVEDIR);
    }
  }
  MadeDirectories(const MadeDirectories&) = delete;
  MadeDirectories& operator=(const MadeDirectories&) = delete;

  // A directory that another run makes meanwhile is used, and left to it.
  void make(const std::vector<std::string>& missing, const fs::path& path) {
    for (const std::string& name : missing) {
      const bool made = ::mkdirat(deepest(), name.c_str(), 0777) == 0;
      if (!made && errno != EEXIST) failToWrite(path, errno);
      levels_.push_back({name, made, openDirectory(deepest(), name.c_str())});
      if (!levels_.back().directory.isOpen()) failToWrite(path, errno);
    }
  }

  int deepest() const { return levels_.empty() ? existing_ : levels_.back().directory.get(); }

  void keep() { kept_ = true; }

  // The output's name into the deepest directory and every made directory's
  // name into its parent, so that the output survives a power cut with its
  // whole path.
  void flushNames(const fs::path& path) const {
    flush(deepest(), path);
    for (std::size_t level = 0; level < levels_.size(); ++level) {
      if (levels_[level].made) flush(parentOf(level), path);
    }
  }

 private:
  struct Level {
    std::string name;
    bool made;
    Descriptor directory;
  };

  int parentOf(std::size_t level) const {
    return level == 0 ? existing_ : levels_[level - 1].directory.get();
  }

  int existing_;
  std::vector<Level> levels_;
  bool kept_ = false;
};

// 0666 less the umask (and as any default ACL of the directory says), as for
// any new file. The contents are written beside the deepest directory that
// exists, so that missing ones are made only once they are complete.
void createNewFile(const MakeContents& make, const fs::path& path) {
  const NewLocation location = findNewLocation(path);
  const CleanupOnSignals cleanup;
  PendingFile pending(location.existing.get(), 0666, /*replacing=*/false, path);
  writeContents(pending.fd(), make, path);
  flush(pending.fd(), path);
  // Held from the first directory made until the output has its name in the
  // last, or, on a failure, until the directories are gone again.
  std::optional<SignalsHeld> held(std::in_place);
  MadeDirectories directories(location.existing.get());
  directories.make(location.missingDirectories, path);
  pending.publish(directories.deepest(), location.name, path);
  directories.keep();
  held.reset();
  directories.flushNames(path);
}

// As a shell's redirection: opened for writing and written, never truncated
// or replaced. Devices that keep nothing (a terminal, /dev/null) and FIFOs
// cannot be flushed and say so with EINVAL. False when the path leads to
// another file than the one found.
bool writeInPlace(const MakeContents& make, const fs::path& path, const struct stat& found) {
  const Descriptor out(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!out.isOpen()) failToOpenForWriting(path, errno);
  struct stat opened {};
  if (::fstat(out.get(), &opened) != 0) failToOpenForWriting(path, errno);
  if (!sameFile(opened, found)) return false;
  writeContents(out.get(), make, path);
  if (::fsync(out.get()) != 0 && errno != EINVAL && errno != EROFS) failToWrite(path, errno);
  return true;
}

// Through stdio, as the log lines are, and flushed so that a failure is seen.
void writeStandardOutput(const MakeContents& make) {
  make([](std::span<const std::uint8_t> piece) {
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) {
      failToWriteStandardOutput();
    }
  });
  if (std::fflush(stdout) != 0) failToWriteStandardOutput();
}

// As "-" is written: in place, never reopened, truncated or replaced.
void writeThroughDescriptor(int fd, const MakeContents& make, const fs::path& path) {
  if (fd == STDOUT_FILENO) {
    writeStandardOutput(make);
  } else {
    writeContents(fd, make, path);
  }
}

// One attempt; false when the file found was replaced before it could be
// written.
bool writeNamedOutput(const MakeContents& make, const fs::path& path) {
  const Descriptor found(::open(path.c_str(), O_PATH | O_CLOEXEC));
  if (!found.isOpen()) {
    const int error = errno;
    // A symlink that leads nowhere is not written through.
    if (error != ENOENT || isSymlink(path)) failToOpenForWriting(path, error);
    createNewFile(make, path);
    return true;
  }
  struct stat status {};
  if (::fstat(found.get(), &status) != 0) failToOpenForWriting(path, errno);
  if (S_ISDIR(status.st_mode)) failToOpenForWriting(path, EISDIR);
  if (S_ISREG(status.st_mode)) return replaceRegularFile(make, path, status);
  return writeInPlace(make, path, status);
}

// Concurrent writers of one output replace it under one another; a run that
// finds its file replaced before it could check the name starts again.
constexpr int kAttemptsWhileReplaced = 10;

}  // namespace

void failToWriteStandardOutput() {
  logError("Failed to write data to standard output");
  // Reported once: the flush at exit must not find the error again.
  std::clearerr(stdout);
  throw std::runtime_error("Failed to write data to standard output");
}

void writeOutputFile(const std::uint8_t* data, std::size_t size, const fs::path& path) {
  writeOutputFile([&](const ContentSink& sink) { sink({data, size}); }, path);
}

void writeOutputFile(const MakeContents& make, const fs::path& path) {
  if (const std::optional<int> descriptor = outputDescriptor(path)) {
    writeThroughDescriptor(*descriptor, make, path);
    return;
  }
  for (int attempt = 0; attempt < kAttemptsWhileReplaced; ++attempt) {
    if (writeNamedOutput(make, path)) return;
  }
  failToOpenForWriting(path, EAGAIN);
}

}  // namespace ravelin
