#pragma once

// ravelin's entry point: parse the argument vector, check the paths a
// command needs, run its handler and turn every outcome into an exit code.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ravelin {

enum ExitCode : int {
  kExitSuccess = 0,
  kExitUsage = 2,
  kExitPathRefused = 3,
  kExitVerifyMismatch = 5,
  kExitBlobDamaged = kExitVerifyMismatch,  // inspect: the blob differs from a whole one
  kExitVerifyWarnings = 6,
  kExitBeyondTolerance = kExitVerifyMismatch,  // diff: some change beyond tolerance
  kExitWithinTolerance = kExitVerifyWarnings,  // diff: every change within tolerance
  kExitException = 10,
};

struct ParsedArguments {
  std::string command;
  // Keyed by the option word as typed, "--" included; a repeat keeps the last value.
  std::unordered_map<std::string, std::string> options;
  bool verify = false;
  bool force = false;
};

extern const std::string_view kUsageText;

// No value when the command line is malformed. Sets quietMode for "--quiet".
std::optional<ParsedArguments> parseArguments(int argc, const char* const argv[]);

// Runs the parsed command and returns the exit code; exceptions pass through.
int runCommand(const std::optional<ParsedArguments>& arguments);

// The whole program: parsing and dispatch inside the last-resort handler.
int runMain(int argc, const char* const argv[]);

// Flushes standard output before the program exits with `exitCode`, as the
// standard tools do: when that fails, the output is lost, which is reported
// with the system's reason and turns the exit code into kExitException. A
// closed standard output with nothing to write is no failure.
int finishStandardOutput(int exitCode);

}  // namespace ravelin
