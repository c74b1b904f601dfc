// Measures the ravelin codecs against the JSON library's generic binary
// encodings and zlib's CRC-32, on the bundled examples and on a synthetic
// calibration at three sizes, and the JSON parser on hostile shapes, then
// prints the summary tables and the targets.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/hostile_json.h"
#include "bench/ratio_reporter.h"
#include "bench/synthetic_calibration.h"
#include "calibration/decoder.h"
#include "calibration/encoder.h"
#include "check/check.h"
#include "cli/blob_dispatch.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "console/log.h"
#include "device_config/device_config.h"
#include "diff/diff.h"
#include "geometry/pose.h"
#include "wire/annotation.h"
#include "wire/container.h"

namespace ravelin::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSmallScaleDocument = "calibration/synthetic-1x";
constexpr const char* kMiddleScaleDocument = "calibration/synthetic-10x";
constexpr const char* kLargeScaleDocument = "calibration/synthetic-100x";
constexpr double kLargeScale = 100.0;
constexpr double kAllowedGrowth = 1.1;      // 100x the data may cost at most 110x the time
constexpr double kInspectOverDecode = 2.0;  // the listing may cost what a decode costs again
constexpr double kDiffOverCheck = 2.0;      // comparing two documents, twice judging one
constexpr const char* kExampleDocument = "calibration/example";

struct BenchDocument {
  std::string name;
  BlobKind kind;
  json source;
  std::string text;  // as decode writes it
  Bytes blob;
  std::vector<std::uint8_t> cbor;
  std::vector<std::uint8_t> msgpack;
  std::size_t jsonTextSize = 0;
  int verdict = 0;
  json changed;  // what the diff row compares the source with
};

Bytes encodeDocument(BlobKind kind, const json& source) {
  return kind == BlobKind::CALIBRATION ? encodeCompactCalibration(source)
                                       : encodeDeviceConfig(source);
}

bool decodeDocument(BlobKind kind, const Bytes& blob, json& out) {
  if (kind == BlobKind::CALIBRATION) return decodeCalibration(blob, out, true);
  return decodeDeviceConfig(blob.data(), blob.data() + blob.size(), out, true);
}

const fs::path kBlobName{"bench.bin"};

// Each row runs one operation on one document; `bytes` is what its
// bytes-per-second figure counts (the binary form it writes or reads). The
// first baseline gives the row's "ratio" counter; the summary shows them all.
struct Operation {
  std::string name;
  std::string label;
  bool ravelin;
  std::vector<std::string> baselines;
  void (*run)(const BenchDocument&);
  std::size_t (*bytes)(const BenchDocument&);
};

std::size_t jsonTextSize(const BenchDocument& d) {
  return d.jsonTextSize;
}
std::size_t blobSize(const BenchDocument& d) {
  return d.blob.size();
}
std::size_t cborSize(const BenchDocument& d) {
  return d.cbor.size();
}
std::size_t msgpackSize(const BenchDocument& d) {
  return d.msgpack.size();
}

// Visits every value without encoding anything: what merely reading the
// document tree costs, so that growth with size can be told apart from the
// codecs' own.
std::size_t countValues(const json& value) {
  std::size_t count = 1;
  if (value.is_structured()) {
    for (const json& element : value) count += countValues(element);
  }
  return count;
}

// Baselines come before the rows that are compared with them.
const std::vector<Operation>& operations() {
  static const std::vector<Operation> list{
      {"json_walk",
       "JSON tree walk",
       false,
       {},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(countValues(d.source)); },
       jsonTextSize},
      {"cbor_encode",
       "CBOR encode",
       false,
       {},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(json::to_cbor(d.source)); },
       cborSize},
      {"msgpack_encode",
       "MessagePack encode",
       false,
       {"cbor_encode"},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(json::to_msgpack(d.source)); },
       msgpackSize},
      {"encode",
       "encode",
       true,
       {"cbor_encode", "msgpack_encode"},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(encodeDocument(d.kind, d.source)); },
       blobSize},
      {"cbor_decode",
       "CBOR decode",
       false,
       {},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(json::from_cbor(d.cbor)); },
       cborSize},
      {"msgpack_decode",
       "MessagePack decode",
       false,
       {"cbor_decode"},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(json::from_msgpack(d.msgpack)); },
       msgpackSize},
      {"decode",
       "decode",
       true,
       {"cbor_decode", "msgpack_decode"},
       [](const BenchDocument& d) {
         json out;
         benchmark::DoNotOptimize(decodeDocument(d.kind, d.blob, out));
         benchmark::DoNotOptimize(out);
       },
       blobSize},
      {"inspect",
       "inspect",
       true,
       {"decode"},
       [](const BenchDocument& d) {
         const Annotation annotation = inspectBlob(d.blob);
         benchmark::DoNotOptimize(renderListing(annotation));
       },
       blobSize},
      {"encode_text",
       "parse and encode",
       true,
       {"encode"},
       [](const BenchDocument& d) {
         benchmark::DoNotOptimize(encodeDocument(d.kind, parseJsonDocument(d.text)));
       },
       blobSize},
      {"decode_text",
       "decode to text",
       true,
       {"decode"},
       [](const BenchDocument& d) {
         json out;
         decodeDocument(d.kind, d.blob, out);
         benchmark::DoNotOptimize(
             renderJsonDocument(out, kMaxDecodedBytesPerBlobByte * d.blob.size()));
       },
       blobSize},
      {"verify",
       "verify",
       true,
       {"decode"},
       [](const BenchDocument& d) {
         benchmark::DoNotOptimize(verifyRoundTrip(d.source, d.blob, kBlobName));
       },
       blobSize},
      {"check",
       "check",
       true,
       {},
       [](const BenchDocument& d) {
         benchmark::DoNotOptimize(d.kind == BlobKind::CALIBRATION
                                      ? checkCompactCalibration(d.source)
                                      : checkDeviceConfig(d.source));
       },
       jsonTextSize},
      {"diff",
       "diff",
       true,
       {"check"},
       [](const BenchDocument& d) {
         benchmark::DoNotOptimize(d.kind == BlobKind::CALIBRATION
                                      ? diff::diffCalibrations(d.source, d.changed)
                                      : diff::diffDeviceConfigs(d.source, d.changed));
       },
       jsonTextSize},
      {"zlib_crc32",
       "zlib crc32",
       false,
       {},
       [](const BenchDocument& d) {
         benchmark::DoNotOptimize(::crc32(0L, d.blob.data(), static_cast<uInt>(d.blob.size())));
       },
       blobSize},
      {"crc32",
       "crc32",
       true,
       {"zlib_crc32"},
       [](const BenchDocument& d) { benchmark::DoNotOptimize(ravelin::crc32(d.blob)); },
       blobSize},
  };
  return list;
}

const Operation& operation(const std::string& name) {
  for (const Operation& op : operations()) {
    if (op.name == name) return op;
  }
  throw std::logic_error("no benchmark operation " + name);
}

void measure(benchmark::State& state, const Operation& op, const BenchDocument& document) {
  for (auto _ : state) op.run(document);
  const auto iterations = static_cast<std::int64_t>(state.iterations());
  state.SetItemsProcessed(iterations);
  state.SetBytesProcessed(iterations * static_cast<std::int64_t>(op.bytes(document)));
}

// The example as a recalibration might leave it: its first camera turned by
// 0.2 degrees and its focal length 0.1 % longer, an IMU bias and the date
// changed. Other documents are compared with themselves.
json changedCopy(const std::string& name, const json& source) {
  using geometry::operator*;
  json changed = source;
  if (name != kExampleDocument) return changed;
  json& camera = changed["cameras"][0];
  geometry::Pose pose =
      geometry::poseFromMatrixExtrinsics(camera["extrinsics"].get<geometry::MatrixExtrinsics>());
  pose.rotation = pose.rotation * geometry::rotationAboutAxis({0, 1, 0}, geometry::radians(0.2));
  camera["extrinsics"] = geometry::matrixExtrinsicsFromPose(pose);
  camera["intrinsics"][0]["fx"] = camera["intrinsics"][0]["fx"].get<double>() * 1.001;
  changed["imus"][0]["bias_gyro"][0] = 0.002;
  changed["metadata"]["date"] = "2026-01-01";
  return changed;
}

// Encodes the document once up front; a document its encoder refuses is
// reported and left out rather than failing every row.
std::optional<BenchDocument> prepare(const std::string& name, BlobKind kind, json source) {
  try {
    BenchDocument document{name, kind, std::move(source), {}, {}, {}, {}, 0, 0, {}};
    document.changed = changedCopy(name, document.source);
    document.text = document.source.dump(4);
    document.blob = encodeDocument(kind, document.source);
    document.cbor = json::to_cbor(document.source);
    document.msgpack = json::to_msgpack(document.source);
    document.jsonTextSize = document.source.dump().size();
    document.verdict = verifyRoundTrip(document.source, document.blob, kBlobName);
    return document;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "skipping %s: %s\n", name.c_str(), error.what());
    return std::nullopt;
  }
}

std::optional<BenchDocument> prepareExample(const char* fileName, BlobKind kind) {
  const fs::path path = fs::path(RAVELIN_EXAMPLES_DIR) / fileName;
  const std::string name =
      std::string(kind == BlobKind::CALIBRATION ? "calibration" : "device_config") + "/example";
  if (!fs::exists(path)) {
    std::fprintf(stderr, "skipping %s: %s does not exist\n", name.c_str(), path.c_str());
    return std::nullopt;
  }
  return prepare(name, kind, loadJsonFile(path));
}

std::vector<BenchDocument> prepareDocuments() {
  std::vector<std::optional<BenchDocument>> candidates;
  candidates.push_back(prepareExample("calibration.json", BlobKind::CALIBRATION));
  for (const std::size_t scale : {1U, 10U, 100U}) {
    candidates.push_back(prepare("calibration/synthetic-" + std::to_string(scale) + "x",
                                 BlobKind::CALIBRATION, makeSyntheticCalibration(scale)));
  }
  // A rig's proportions at scale, each camera with one measured lens.
  candidates.push_back(
      prepare("calibration/cameras-2000", BlobKind::CALIBRATION,
              makeSyntheticCalibration({.cameras = 2000, .imus = 500, .splineIntrinsics = false})));
  candidates.push_back(prepareExample("device_config.json", BlobKind::DEVICE_CONFIG));
  std::vector<BenchDocument> documents;
  for (auto& candidate : candidates) {
    if (candidate) documents.push_back(std::move(*candidate));
  }
  return documents;
}

void registerRows(const std::vector<BenchDocument>& documents) {
  for (const BenchDocument& document : documents) {
    for (const Operation& op : operations()) {
      benchmark::RegisterBenchmark(
          (op.name + "/" + document.name).c_str(),
          [&op, &document](benchmark::State& state) { measure(state, op, document); })
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

std::string formatDuration(double seconds) {
  char text[32];
  if (seconds >= 1e-1) {
    std::snprintf(text, sizeof text, "%.3g s", seconds);
  } else if (seconds >= 1e-4) {
    std::snprintf(text, sizeof text, "%.3g ms", seconds * 1e3);
  } else if (seconds >= 1e-7) {
    std::snprintf(text, sizeof text, "%.3g µs", seconds * 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.3g ns", seconds * 1e9);
  }
  return text;
}

std::string joinRatios(const TimingTable& table, const Operation& op, const std::string& document,
                       bool labels) {
  std::string text;
  for (const std::string& baseline : op.baselines) {
    if (!text.empty()) text += " / ";
    if (labels) {
      text += operation(baseline).label;
    } else if (const auto ratio = table.ratio(op.name, baseline, document)) {
      char number[16];
      std::snprintf(number, sizeof number, "%.2f", *ratio);
      text += number;
    } else {
      text += "-";
    }
  }
  return text;
}

void printTimings(const TimingTable& table, const std::vector<BenchDocument>& documents) {
  std::printf("\n## Timings (CPU time per document)\n\n");
  std::printf("| document | operation | time | MB/s | documents/s | baseline | ratio |\n");
  std::printf("|---|---|---:|---:|---:|---|---:|\n");
  for (const BenchDocument& document : documents) {
    for (const Operation& op : operations()) {
      const auto seconds = table.seconds(op.name, document.name);
      if (!op.ravelin || !seconds) continue;
      std::printf("| %s | %s | %s | %.1f | %.0f | %s | %s |\n", document.name.c_str(),
                  op.label.c_str(), formatDuration(*seconds).c_str(),
                  static_cast<double>(op.bytes(document)) / *seconds / 1e6, 1.0 / *seconds,
                  joinRatios(table, op, document.name, true).c_str(),
                  joinRatios(table, op, document.name, false).c_str());
    }
  }
}

void printSizes(const std::vector<BenchDocument>& documents) {
  std::printf("\n## Sizes in bytes\n\n");
  std::printf(
      "| document | JSON text | blob | CBOR | MessagePack | blob/CBOR | blob/MessagePack | "
      "verify exit |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const BenchDocument& d : documents) {
    std::printf("| %s | %zu | %zu | %zu | %zu | %.2f | %.2f | %d |\n", d.name.c_str(),
                d.jsonTextSize, d.blob.size(), d.cbor.size(), d.msgpack.size(),
                static_cast<double>(d.blob.size()) / static_cast<double>(d.cbor.size()),
                static_cast<double>(d.blob.size()) / static_cast<double>(d.msgpack.size()),
                d.verdict);
  }
}

std::string formatGrowth(std::optional<double> from, std::optional<double> to) {
  if (!from || !to) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", *to / *from);
  return text;
}

// Every operation, baselines included, so that growth the codecs share with
// the generic encodings can be told apart from growth of their own.
void printGrowth(const TimingTable& table) {
  std::printf("\n## Growth with document size (synthetic calibration)\n\n");
  std::printf("| operation | 1x | 10x | 100x | 10x / 1x | 100x / 10x | 100x / 1x |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const Operation& op : operations()) {
    const auto small = table.seconds(op.name, kSmallScaleDocument);
    const auto middle = table.seconds(op.name, kMiddleScaleDocument);
    const auto large = table.seconds(op.name, kLargeScaleDocument);
    if (!small || !middle || !large) continue;
    std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", op.label.c_str(),
                formatDuration(*small).c_str(), formatDuration(*middle).c_str(),
                formatDuration(*large).c_str(), formatGrowth(small, middle).c_str(),
                formatGrowth(middle, large).c_str(), formatGrowth(small, large).c_str());
  }
}

std::vector<Target> collectTargets(const TimingTable& table,
                                   const std::vector<BenchDocument>& documents) {
  std::vector<Target> targets;
  for (const BenchDocument& document : documents) {
    for (const auto& [op, baseline] :
         {std::pair{"encode", "cbor_encode"}, std::pair{"decode", "cbor_decode"}}) {
      if (const auto ratio = table.ratio(op, baseline, document.name)) {
        targets.push_back({std::string(op) + " " + document.name + " / " + baseline, *ratio, 1.0});
      }
    }
  }
  for (const BenchDocument& document : documents) {
    if (const auto ratio = table.ratio("inspect", "decode", document.name)) {
      targets.push_back({"inspect " + document.name + " / decode", *ratio, kInspectOverDecode});
    }
  }
  if (const auto ratio = table.ratio("diff", "check", kExampleDocument)) {
    targets.push_back(
        {std::string("diff ") + kExampleDocument + " / check", *ratio, kDiffOverCheck});
  }
  for (const char* op : {"encode", "decode", "verify", "crc32"}) {
    const auto small = table.seconds(op, kSmallScaleDocument);
    const auto large = table.seconds(op, kLargeScaleDocument);
    if (small && large) {
      targets.push_back({std::string(op) + " synthetic 100x / 1x", *large / *small,
                         kLargeScale * kAllowedGrowth});
    }
  }
  const std::vector<Target> parsing = hostileParseTargets(table);
  targets.insert(targets.end(), parsing.begin(), parsing.end());
  return targets;
}

void printTargets(const std::vector<Target>& targets) {
  std::printf("\n## Targets\n\n");
  for (const Target& target : targets) {
    std::printf("%-52s %9.3f <= %-6g %s\n", target.description.c_str(), target.measured,
                target.limit, target.measured <= target.limit ? "holds" : "MISSED");
  }
}

}  // namespace
}  // namespace ravelin::bench

int main(int argc, char** argv) {
  using namespace ravelin::bench;
  ravelin::quietMode = true;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const std::vector<BenchDocument> documents = prepareDocuments();
  registerRows(documents);
  registerHostileParseRows();

  RatioReporter::Baselines baselines;
  for (const Operation& op : operations()) {
    if (!op.baselines.empty()) baselines[op.name] = op.baselines.front();
  }
  TimingTable table;
  RatioReporter reporter(table, std::move(baselines));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  printTimings(table, documents);
  printSizes(documents);
  printGrowth(table);
  printHostileParseGrowth(table);
  printTargets(collectTargets(table, documents));
  return 0;
}
