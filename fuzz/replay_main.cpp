// Runs a fuzz target over saved inputs without libFuzzer, so that committed
// corpora and crashers replay as ordinary tests in every build.
//
//   replay_<target> <file-or-directory>...
//
// Directories are walked (not recursively) in name order. An argument that
// yields no input at all is an error, so a wrong corpus path cannot pass.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const fs::path& argument) {
  if (!fs::is_directory(argument)) return {argument};
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

ravelin::Bytes readInput(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot open " + path.string());
  return ravelin::Bytes(std::istreambuf_iterator<char>(stream), {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <file-or-directory>...\n", argv[0]);
    return 2;
  }
  try {
    for (int i = 1; i < argc; ++i) {
      const std::vector<fs::path> inputs = inputsOf(argv[i]);
      if (inputs.empty()) {
        std::fprintf(stderr, "no inputs in %s\n", argv[i]);
        return 1;
      }
      for (const fs::path& input : inputs) {
        // Named before it runs: a crash leaves the culprit as the last line.
        std::printf("replaying %s\n", input.c_str());
        std::fflush(stdout);
        const ravelin::Bytes bytes = readInput(input);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      }
      std::printf("replayed %zu inputs from %s\n", inputs.size(), argv[i]);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "replay failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
