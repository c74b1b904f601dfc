#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

extern char** environ;

namespace ravelin::testing {

namespace {

std::vector<std::string> emulatorPrefix() {
  std::vector<std::string> words;
#ifdef TEST_EMULATOR
  std::stringstream list(TEST_EMULATOR);
  for (std::string word; std::getline(list, word, ';');) {
    if (!word.empty()) words.push_back(word);
  }
#endif
  return words;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> result;
  for (std::string& word : words) result.push_back(word.data());
  result.push_back(nullptr);
  return result;
}

// The suite's own environment less NO_COLOR, so that tests expecting colour
// bytes do not depend on the shell that runs them.
std::vector<std::string> inheritedEnvironment() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("NO_COLOR=")) entries.emplace_back(*entry);
  }
  return entries;
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = fds[0];
    write = fds[1];
  }
};

// Writes `input` to `fd` and closes it, in a thread of its own so that the
// program's output is drained meanwhile. SIGPIPE is held in that thread: a
// program that stops reading fails the write instead of ending the suite.
std::thread feed(int fd, std::string input) {
  return std::thread([fd, input = std::move(input)] {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    std::string_view rest = input;
    while (!rest.empty()) {
      const ssize_t written = ::write(fd, rest.data(), rest.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(written));
    }
    ::close(fd);
  });
}

// Drains both pipes until they close or the deadline passes.
bool collect(Pipe& out, Pipe& err, ProcessResult& result,
             std::chrono::steady_clock::time_point deadline) {
  std::array<pollfd, 2> fds{{{out.read, POLLIN, 0}, {err.read, POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&result.out, &result.err};
  std::array<int*, 2> owners{&out.read, &err.read};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      std::array<char, 4096> buffer{};
      const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
      if (n > 0) {
        sinks[i]->append(buffer.data(), static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        *owners[i] = -1;
        --open;
      }
    }
  }
  return true;
}

}  // namespace

ProcessResult runProcess(std::vector<std::string> argv, const ProcessOptions& options) {
  std::vector<std::string> command = emulatorPrefix();
  command.insert(command.end(), argv.begin(), argv.end());
  std::vector<std::string> environment =
      options.environment ? *options.environment : inheritedEnvironment();

  Pipe out;
  Pipe err;
  std::optional<Pipe> in;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.input) {
    in.emplace();
    posix_spawn_file_actions_adddup2(&actions, in->read, 0);
  } else {
    const std::string inputPath =
        options.inputPath.empty() ? "/dev/null" : options.inputPath.string();
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
  }
  if (options.outputPath.empty()) {
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.outputPath.c_str(),
                                     O_WRONLY | O_APPEND | O_NOCTTY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, options.errorDescriptor.value_or(err.write), 2);
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }

  std::vector<char*> args = pointers(command);
  std::vector<char*> env = pointers(environment);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out.write);
  ::close(err.write);
  if (in) ::close(in->read);
  if (spawned != 0) throw std::runtime_error("cannot start " + command[0]);
  std::thread feeder;
  if (in) feeder = feed(in->write, *options.input);

  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  if (!collect(out, err, result, deadline)) {
    result.timedOut = true;
    ::kill(pid, SIGKILL);
  }
  if (feeder.joinable()) feeder.join();
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (out.read >= 0) ::close(out.read);
  if (err.read >= 0) ::close(err.read);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

pid_t startProcess(std::vector<std::string> argv, std::vector<std::string> environment) {
  std::vector<std::string> command = emulatorPrefix();
  command.insert(command.end(), argv.begin(), argv.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const int fd : {0, 1, 2}) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  }
  std::vector<char*> args = pointers(command);
  std::vector<char*> env = pointers(environment);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

int waitForProcess(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return status;
}

ProcessResult runRavelin(const std::vector<std::string>& arguments, const ProcessOptions& options) {
  std::vector<std::string> argv{RAVELIN_EXE};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProcess(argv, options);
}

}  // namespace ravelin::testing
