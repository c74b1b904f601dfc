#include "cli/command_line.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"

namespace ravelin {

const std::string_view kUsageText =
    "Usage:\n"
    "  ravelin <command> [options]\n"
    "\n"
    "Commands:\n"
    "  decode            --bin <cal.bin> --json <cal.json>\n"
    "  encode            --json <cal.json> --bin <cal.bin>  [--verify] [--force]\n"
    "  verify            --json <cal.json> --bin <cal.bin>\n"
    "  compare-encodings --json <cal.json>\n"
    "  test-crc          --json <cal.json>\n"
    "  check             [--json <cal.json>] [--bin <cal.bin>]  (one or both)\n"
    "  inspect           --bin <cal.bin> [--json <listing.json>] [--force]\n"
    "  diff              --old <path> --new <path>  [--json <report>] [--force]\n"
    "\n"
    "Options:\n"
    "  --json <path>     JSON file (encode/decode/verify/compare-encodings/test-crc)\n"
    "                    (check: the document to judge; inspect: the listing's JSON)\n"
    "                    (diff: the report's JSON)\n"
    "  --bin <path>      Binary file (encode/decode/verify)\n"
    "                    (check and inspect: the blob to read)\n"
    "  --verify          Do a round-trip verification when encoding\n"
    "  --force           Overwrite output file if it exists\n"
    "  --quiet           Print no log line; the exit code tells the outcome\n"
    "  --old <path>      Older calibration or device config, JSON or blob (diff)\n"
    "  --new <path>      Newer one of the same kind, JSON or blob (diff)\n"
    "  --tolerance-px <px>  Pixel tolerance of the projections (diff)\n"
    "  --help, -h        Show this help\n"
    "\n"
    "Examples:\n"
    "  ravelin decode --bin cal.bin --json cal.json\n"
    "  ravelin encode --json cal.json --bin cal.bin --force\n"
    "  ravelin verify --json cal.json --bin cal.bin\n"
    "  ravelin check --json cal.json --bin cal.bin\n"
    "  ravelin inspect --bin cal.bin --quiet\n"
    "  ravelin diff --old factory.bin --new field.bin\n";

namespace {

bool isHelpWord(std::string_view word) {
  return word == "help" || word == "--help" || word == "-help" || word == "-h";
}

bool isVersionWord(std::string_view word) {
  return word == "version" || word == "--version" || word == "-V";
}

// Walks the words after the command; false when the line is malformed.
bool parseOptions(int argc, const char* const argv[], ParsedArguments& parsed) {
  for (int i = 2; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--quiet") {
      quietMode = true;
    } else if (word == "--verify") {
      parsed.verify = true;
    } else if (word == "--force") {
      parsed.force = true;
    } else if (word == "--help" || word == "-h") {
      parsed.command = "help";
    } else if (!word.starts_with("--") || i + 1 == argc) {
      return false;
    } else {
      parsed.options[std::string(word)] = argv[i + 1];
      ++i;
    }
  }
  return true;
}

// Through stdio like the log lines: <iostream> would cost every run its
// stream and locale set-up before main.
int printUsage() {
  std::fwrite(kUsageText.data(), 1, kUsageText.size(), stdout);
  return kExitUsage;
}

int printVersion() {
  std::fputs("ravelin " RAVELIN_VERSION "\n", stdout);
  return kExitSuccess;
}

struct CommandRow {
  std::string_view name;
  std::array<const char*, 2> requiredOptions;  // a nullptr ends the list early
  const char* missingOptionMessage;
  int (*run)(const ParsedArguments& arguments);
};

fs::path optionPath(const ParsedArguments& arguments, const char* option) {
  return fs::path(arguments.options.at(option));
}

// The checks of a command that reads `input` and writes `output`. An
// existing output is never deleted up front: the writer replaces it only once
// the new contents are complete, so a failed command leaves it intact.
bool checkInputAndOutput(const fs::path& input, const char* inputLabel, const fs::path& output,
                         const char* outputLabel, bool force) {
  return checkInputExists(input, inputLabel) && checkOutputWritable(output, force, outputLabel) &&
         checkOutputTarget(output, outputLabel, input, inputLabel);
}

int runDecodeRow(const ParsedArguments& arguments) {
  const fs::path bin = optionPath(arguments, "--bin");
  const fs::path out = optionPath(arguments, "--json");
  if (!checkInputAndOutput(bin, "Input binary", out, "Output JSON", arguments.force)) {
    return kExitPathRefused;
  }
  runDecode(bin, out);
  return kExitSuccess;
}

int runEncodeRow(const ParsedArguments& arguments) {
  const fs::path in = optionPath(arguments, "--json");
  const fs::path bin = optionPath(arguments, "--bin");
  if (!checkInputAndOutput(in, "Input JSON", bin, "Output binary", arguments.force)) {
    return kExitPathRefused;
  }
  return runEncode(in, bin, arguments.verify);
}

// Standard input can be read only once: a command whose two inputs both name
// it is refused as a usage error. Returns whether it was.
bool refusesBothInputsFromStandardInput(const ParsedArguments& arguments,
                                        const char* first = "--json",
                                        const char* second = "--bin") {
  const auto isStandardInput = [&](const char* option) {
    const auto found = arguments.options.find(option);
    return found != arguments.options.end() && namesStandardStream(found->second);
  };
  if (!isStandardInput(first) || !isStandardInput(second)) return false;
  logError("%s cannot read both %s and %s from standard input ('-')", arguments.command.c_str(),
           first, second);
  printUsage();
  return true;
}

int runVerifyRow(const ParsedArguments& arguments) {
  if (refusesBothInputsFromStandardInput(arguments)) return kExitUsage;
  const fs::path in = optionPath(arguments, "--json");
  const fs::path bin = optionPath(arguments, "--bin");
  if (!checkInputExists(in, "JSON") || !checkInputExists(bin, "Binary")) return kExitPathRefused;
  return runVerify(in, bin);
}

int runCompareEncodingsRow(const ParsedArguments& arguments) {
  const fs::path in = optionPath(arguments, "--json");
  if (!checkInputExists(in, "JSON")) return kExitPathRefused;
  runCompareEncodings(in);
  return kExitSuccess;
}

int runTestCrcRow(const ParsedArguments& arguments) {
  const fs::path in = optionPath(arguments, "--json");
  if (!checkInputExists(in, "JSON")) return kExitPathRefused;
  runTestCrc(in);
  return kExitSuccess;
}

std::optional<fs::path> optionalPath(const ParsedArguments& arguments, const char* option) {
  if (!arguments.options.contains(option)) return std::nullopt;
  return optionPath(arguments, option);
}

// Either input, or both; the row checks that one is there.
int runCheckRow(const ParsedArguments& arguments) {
  const std::optional<fs::path> in = optionalPath(arguments, "--json");
  const std::optional<fs::path> bin = optionalPath(arguments, "--bin");
  if (!in && !bin) {
    logError("check requires --json <file> or --bin <file>");
    return printUsage();
  }
  if (refusesBothInputsFromStandardInput(arguments)) return kExitUsage;
  if ((in && !checkInputExists(*in, "Input JSON")) ||
      (bin && !checkInputExists(*bin, "Input binary"))) {
    return kExitPathRefused;
  }
  return runCheck(in, bin);
}

int runInspectRow(const ParsedArguments& arguments) {
  const fs::path bin = optionPath(arguments, "--bin");
  const std::optional<fs::path> out = optionalPath(arguments, "--json");
  const bool accepted =
      out ? checkInputAndOutput(bin, "Input binary", *out, "Output JSON", arguments.force)
          : checkInputExists(bin, "Input binary");
  if (!accepted) return kExitPathRefused;
  return runInspect(bin, out);
}

// A number of pixels, at least 0.
std::optional<double> pixelTolerance(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0.0) return std::nullopt;
  return value;
}

int runDiffRow(const ParsedArguments& arguments) {
  if (refusesBothInputsFromStandardInput(arguments, "--old", "--new")) return kExitUsage;
  diff::Tolerances tolerances;
  if (const auto given = arguments.options.find("--tolerance-px");
      given != arguments.options.end()) {
    const std::optional<double> pixels = pixelTolerance(given->second);
    if (!pixels) {
      logError("--tolerance-px takes a number of pixels, not '%s'", given->second.c_str());
      return printUsage();
    }
    tolerances.projectionPx = *pixels;
    tolerances.intrinsicsProjectionPx = *pixels;
  }
  const DiffPaths paths{optionPath(arguments, "--old"), optionPath(arguments, "--new"),
                        optionalPath(arguments, "--json")};
  if (!checkInputExists(paths.older, "Old input") || !checkInputExists(paths.newer, "New input")) {
    return kExitPathRefused;
  }
  const char* label = "Output JSON";
  if (paths.report && !(checkOutputWritable(*paths.report, arguments.force, label) &&
                        checkOutputTarget(*paths.report, label, paths.older, "Old input") &&
                        checkOutputTarget(*paths.report, label, paths.newer, "New input"))) {
    return kExitPathRefused;
  }
  return runDiff(paths, tolerances);
}

constexpr std::array<CommandRow, 8> kCommands = {{
    {"decode",
     {"--bin", "--json"},
     "decode requires --bin <cal.bin> and --json <cal.json>",
     runDecodeRow},
    {"encode",
     {"--json", "--bin"},
     "encode requires --json <cal.json> and --bin <cal.bin>",
     runEncodeRow},
    {"verify", {"--json", "--bin"}, "verify requires --json <file> and --bin <file>", runVerifyRow},
    {"compare-encodings",
     {"--json", nullptr},
     "compare-encodings requires --json <file>",
     runCompareEncodingsRow},
    {"test-crc", {"--json", nullptr}, "test-crc requires --json <file>", runTestCrcRow},
    {"check", {nullptr, nullptr}, nullptr, runCheckRow},
    {"inspect", {"--bin", nullptr}, "inspect requires --bin <file>", runInspectRow},
    {"diff", {"--old", "--new"}, "diff requires --old <file> and --new <file>", runDiffRow},
}};

bool hasRequiredOptions(const CommandRow& row, const ParsedArguments& arguments) {
  for (const char* option : row.requiredOptions) {
    if (option != nullptr && !arguments.options.contains(option)) return false;
  }
  return true;
}

}  // namespace

std::optional<ParsedArguments> parseArguments(int argc, const char* const argv[]) {
  if (argc < 2) return std::nullopt;
  ParsedArguments parsed;
  parsed.command = argv[1];
  if (isHelpWord(parsed.command)) {
    parsed.command = "help";
    return parsed;
  }
  if (isVersionWord(parsed.command)) {
    parsed.command = "version";
    return parsed;
  }
  if (parsed.command == "decode-verify") {
    parsed.command = "decode";
  } else if (parsed.command == "encode-verify") {
    parsed.command = "encode";
    parsed.verify = true;
  }
  if (!parseOptions(argc, argv, parsed)) return std::nullopt;
  return parsed;
}

int runCommand(const std::optional<ParsedArguments>& arguments) {
  if (!arguments || arguments->command.empty() || arguments->command == "help") {
    return printUsage();
  }
  if (arguments->command == "version") return printVersion();
  for (const CommandRow& row : kCommands) {
    if (row.name != arguments->command) continue;
    if (!hasRequiredOptions(row, *arguments)) {
      logError("%s", row.missingOptionMessage);
      return printUsage();
    }
    return row.run(*arguments);
  }
  logError("Unrecognized command '%s'", arguments->command.c_str());
  return printUsage();
}

int finishStandardOutput(int exitCode) {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return exitCode;
  logError("Failed to write to standard output");
  logSystemReason(errno);
  return kExitException;
}

int runMain(int argc, const char* const argv[]) {
  enableColours(!environmentForbidsColour());
  try {
    return runCommand(parseArguments(argc, argv));
  } catch (const std::exception& e) {
    logError("Unhandled exception: %s", e.what());
    return kExitException;
  }
}

}  // namespace ravelin
