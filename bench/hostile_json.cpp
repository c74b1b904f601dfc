#include "bench/hostile_json.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/file_io.h"

namespace ravelin::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::array<std::size_t, 3> kSizes = {kMiB, 4 * kMiB, 16 * kMiB};
constexpr double kAllowedGrowth = 1.2;
// Several iterations of the largest documents, whatever the command line asks.
constexpr double kMinimumSeconds = 2.0;

// About `size` bytes of JSON: `open`, then units separated by commas, then `close`.
template <typename Unit>
std::string repeated(std::size_t size, const char* open, Unit unit, const char* close) {
  std::string text = open;
  for (std::size_t i = 0; text.size() < size; ++i) {
    if (i > 0) text += ',';
    text += unit(i);
  }
  return text + close;
}

std::string emptyObjects(std::size_t size) {
  return repeated(
      size, "[", [](std::size_t) { return std::string("{}"); }, "]");
}

std::string objectMembers(std::size_t size) {
  return repeated(
      size, "{", [](std::size_t i) { return "\"k" + std::to_string(i) + "\":{}"; }, "}");
}

// Arrays nested as deep as the limit allows, inside the outer array.
std::string deepNesting(std::size_t size) {
  const std::size_t depth = kMaxJsonDepth - 1;
  const std::string nest = std::string(depth, '[') + std::string(depth, ']');
  return repeated(
      size, "[", [&](std::size_t) { return nest; }, "]");
}

struct Shape {
  const char* name;
  std::string (*text)(std::size_t size);
};

constexpr std::array<Shape, 3> kShapes = {{{"empty-objects", emptyObjects},
                                           {"object-members", objectMembers},
                                           {"deep-nesting", deepNesting}}};

std::string documentName(const Shape& shape, std::size_t size) {
  return std::string(shape.name) + "-" + std::to_string(size / kMiB) + "MiB";
}

std::string formatMilliseconds(std::optional<double> seconds) {
  if (!seconds) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", *seconds * 1e3);
  return text;
}

// Time per byte of the largest size over that of the smallest.
std::optional<double> growthPerByte(const TimingTable& table, const Shape& shape) {
  const auto small = table.seconds("parse", documentName(shape, kSizes.front()));
  const auto large = table.seconds("parse", documentName(shape, kSizes.back()));
  if (!small || !large) return std::nullopt;
  return *large / *small / static_cast<double>(kSizes.back() / kSizes.front());
}

// Freed memory stays in the process from here on, and one untimed parse
// faults in the pages the timed ones use. Otherwise glibc gives the pages of
// documents above its trim and mmap thresholds back after every iteration and
// the kernel faults them in anew, while smaller documents reuse theirs: the
// rows would time the allocator's thresholds, not the parser.
void keepMemoryFor(const std::string& text) {
  constexpr int kNever = 1 << 30;
  mallopt(M_TRIM_THRESHOLD, kNever);
  mallopt(M_MMAP_THRESHOLD, kNever);
  benchmark::DoNotOptimize(parseJsonDocument(text));
}

}  // namespace

void registerHostileParseRows() {
  for (const Shape& shape : kShapes) {
    for (const std::size_t size : kSizes) {
      benchmark::RegisterBenchmark(
          ("parse/" + documentName(shape, size)).c_str(),
          [text = shape.text(size)](benchmark::State& state) {
            keepMemoryFor(text);
            for (auto _ : state) {
              benchmark::DoNotOptimize(parseJsonDocument(text));
            }
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                                    static_cast<std::int64_t>(text.size()));
          })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(kMinimumSeconds);
    }
  }
}

void printHostileParseGrowth(const TimingTable& table) {
  std::printf("\n## Parse time of hostile shapes (CPU time, document built and freed)\n\n");
  std::printf("| shape | 1 MiB | 4 MiB | 16 MiB | per byte, 16 MiB / 1 MiB |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (const Shape& shape : kShapes) {
    std::printf("| %s", shape.name);
    for (const std::size_t size : kSizes) {
      std::printf(" | %s",
                  formatMilliseconds(table.seconds("parse", documentName(shape, size))).c_str());
    }
    if (const auto growth = growthPerByte(table, shape)) {
      std::printf(" | %.2f |\n", *growth);
    } else {
      std::printf(" | - |\n");
    }
  }
}

std::vector<Target> hostileParseTargets(const TimingTable& table) {
  std::vector<Target> targets;
  for (const Shape& shape : kShapes) {
    if (const auto growth = growthPerByte(table, shape)) {
      targets.push_back({std::string("parse ") + shape.name + " per byte, 16 MiB / 1 MiB", *growth,
                         kAllowedGrowth});
    }
  }
  return targets;
}

}  // namespace ravelin::bench
