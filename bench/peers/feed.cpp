// ravelin_feed <input> <output> <command> [<argument>...]
// Runs the command with standard input read from <input> and standard output
// written to <output> (created or truncated, as a shell's < and > do), so that
// hyperfine -N times a filter without starting a shell. The feeder replaces
// itself with the command; its own cost is that of `ravelin_feed <input>
// <output> /bin/true` over `/bin/true`.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

bool redirect(const char* path, int flags, int target) {
  const int fd = ::open(path, flags | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool moved = ::dup2(fd, target) == target;
  ::close(fd);
  return moved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: ravelin_feed <input> <output> <command> [<argument>...]\n", stderr);
    return 2;
  }
  if (!redirect(argv[1], O_RDONLY, STDIN_FILENO) ||
      !redirect(argv[2], O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO)) {
    std::perror("ravelin_feed");
    return 1;
  }
  ::execvp(argv[3], argv + 3);
  std::perror("ravelin_feed");
  return 127;
}
