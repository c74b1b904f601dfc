// Preloaded into palisade by its tests: close() of the file that
// PALISADE_TEST_FAILING_CLOSE names (its device and inode) closes it and then
// fails with EIO, as on a file system that reports a failed write only when
// the file is closed.

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool isFailingFile(int fd) {
  const char* path = std::getenv("PALISADE_TEST_FAILING_CLOSE");
  struct stat failing {};
  struct stat closed {};
  return path != nullptr && ::stat(path, &failing) == 0 && ::fstat(fd, &closed) == 0 &&
         failing.st_dev == closed.st_dev && failing.st_ino == closed.st_ino;
}

}  // namespace

extern "C" int close(int fd) {
  using Close = int (*)(int);
  static const auto realClose = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "close"));
  const bool fails = isFailingFile(fd);
  const int closed = realClose(fd);
  if (closed != 0 || !fails) return closed;
  errno = EIO;
  return -1;
}
