#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ravelin::testing {

struct ProcessOptions {
  // Replaces the whole environment when set; each entry is "NAME=value".
  // Otherwise the suite's environment is passed on, less NO_COLOR.
  std::optional<std::vector<std::string>> environment;
  std::filesystem::path workingDirectory;  // empty: the caller's
  // Written to the program's standard input through a pipe, which is closed
  // after it. When unset, standard input is the file `inputPath` names, or
  // /dev/null.
  std::optional<std::string> input;
  std::filesystem::path inputPath;
  // Opened for appending, as ">>" opens it, as the program's standard output
  // (a terminal or a log, say) in place of the pipe that `out` captures.
  std::filesystem::path outputPath;
  // The program's standard error (a pipe whose reader has gone, say) in place
  // of the pipe that `err` captures.
  std::optional<int> errorDescriptor;
  // The process is killed (SIGKILL) when it runs longer than this.
  std::chrono::milliseconds timeout{std::chrono::seconds(30)};
};

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  bool timedOut = false;
  std::string out;
  std::string err;
};

// Runs a program, feeding its standard input and capturing both output
// streams. In a cross build the program runs under the build's emulator.
ProcessResult runProcess(std::vector<std::string> argv, const ProcessOptions& options = {});

// Starts a program in the background with its standard streams on /dev/null
// (under the build's emulator in a cross build). Returns its process id, or -1.
pid_t startProcess(std::vector<std::string> argv, std::vector<std::string> environment);

// Waits for a started process to end, killing it (SIGKILL) once the timeout
// has passed. Returns its wait status.
int waitForProcess(pid_t pid, std::chrono::milliseconds timeout);

// Runs the built ravelin with the given arguments.
ProcessResult runRavelin(const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace ravelin::testing
