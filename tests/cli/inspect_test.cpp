#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/blob_dispatch.h"
#include "cli/command_line.h"
#include "cli/file_io.h"
#include "tests/calibration/blob_builder.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "wire/container.h"

namespace ravelin {
namespace {

using testing::errorLine;
using ::testing::HasSubstr;
using testing::PrintTo;
using ::testing::StartsWith;
using testing::successLine;

namespace fs = std::filesystem;

const fs::path kProject = PROJECT_SOURCE_DIR;
const fs::path kExampleBlob = kProject / "tests" / "golden" / "calibration.bin";
const fs::path kExampleListing = kProject / "tests" / "golden" / "calibration.listing";

// Every committed blob: the fuzz inputs and the golden blobs.
template <typename Visit>
void forEachCommittedBlob(Visit&& visit) {
  std::vector<fs::path> folders = {kProject / "tests" / "golden",
                                   kProject / "tests" / "golden" / "inspect"};
  for (const auto& corpus : fs::directory_iterator(kProject / "fuzz" / "corpus")) {
    folders.push_back(corpus.path());
  }
  for (const fs::path& folder : folders) {
    for (const auto& input : fs::directory_iterator(folder)) {
      if (input.is_regular_file()) visit(input.path(), testing::readBytes(input.path()));
    }
  }
}

// What decode does with a blob: the message it fails with, if it fails
// (the JSON text it writes included), and whether the CRC matched.
struct DecodeOutcome {
  std::optional<std::string> failure;
  bool crcMatched = false;
};

DecodeOutcome decodeAsTheCommandDoes(BlobKind kind, const Bytes& blob) {
  DecodeOutcome outcome;
  json decoded;
  // The decoders print as they fail.
  outcome.failure = testing::captureConsole([&] {
                      outcome.crcMatched = decodeBlob(kind, blob, decoded);
                      renderJsonDocument(decoded);
                    }).thrown;
  return outcome;
}

// Over every committed blob, inspect calls a blob damaged exactly when decode
// fails or reports a CRC mismatch, and its first fault is the one decode
// fails with.
TEST(Inspect, FindsDamageExactlyWhereTheDecoderDoes) {
  std::size_t calibrations = 0;
  std::size_t deviceConfigs = 0;
  std::size_t unwritable = 0;
  forEachCommittedBlob([&](const fs::path& path, const Bytes& blob) {
    const Annotation annotation = inspectBlob(blob);
    const std::optional<BlobKind> kind = detectBlobKind(blob);
    DecodeOutcome decode;
    if (kind) {
      ++(kind == BlobKind::CALIBRATION ? calibrations : deviceConfigs);
      decode = decodeAsTheCommandDoes(*kind, blob);
    }
    if (decode.failure) {
      EXPECT_EQ(annotation.firstFaultMessage(), *decode.failure) << path;
      unwritable += decode.failure->starts_with("[json.exception");
    }
    EXPECT_EQ(annotation.damaged(), decode.failure || !decode.crcMatched) << path;
  });
  EXPECT_GT(calibrations, 100U);
  EXPECT_GT(deviceConfigs, 100U);
  EXPECT_GT(unwritable, 0U);
}

// The extent of the non-empty children of the element at `parent`, which
// must lie in one piece; none when it has no such children.
std::optional<std::pair<std::size_t, std::size_t>> childrenExtent(
    const std::vector<Element>& elements, std::size_t parent) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  for (std::size_t i = parent + 1;
       i < elements.size() && elements[i].depth > elements[parent].depth; ++i) {
    const Element& child = elements[i];
    if (child.depth == elements[parent].depth + 1 && child.size > 0) {
      spans.emplace_back(child.offset, child.offset + child.size);
    }
  }
  if (spans.empty()) return std::nullopt;
  std::sort(spans.begin(), spans.end());
  auto extent = spans.front();
  for (const auto& [from, to] : spans) {
    if (from > extent.second) return std::pair{std::size_t{1}, std::size_t{0}};  // a gap
    extent.second = std::max(extent.second, to);
  }
  return extent;
}

// A container spans exactly its children and, before them, its own frame
// (a block's TLV); an intact blob is tiled by the elements at the top, and
// every listing runs in the order of the offsets.
TEST(Inspect, ContainersSpanTheirChildrenAndIntactBlobsTileTheWholeBlob) {
  std::size_t intact = 0;
  forEachCommittedBlob([&](const fs::path& path, const Bytes& blob) {
    const Annotation annotation = inspectBlob(blob);
    const std::vector<Element>& elements = annotation.elements();
    std::size_t tiled = 0;  // the end of the top-level elements, while they run on unbroken
    for (std::size_t i = 0; i < elements.size(); ++i) {
      const Element& element = elements[i];
      if (i > 0) {
        EXPECT_GE(element.offset, elements[i - 1].offset) << path << " element " << i;
      }
      if (element.depth == 0 && element.size > 0 && element.offset == tiled) {
        tiled += element.size;
      }
      const auto extent = childrenExtent(elements, i);
      if (!extent || annotation.omitted() > 0) continue;
      EXPECT_EQ(*extent, std::pair(element.valueOffset, element.offset + element.size))
          << path << " element " << i << " " << element.name;
    }
    if (!annotation.damaged()) {
      ++intact;
      EXPECT_EQ(tiled, blob.size()) << path;
    }
  });
  EXPECT_GT(intact, 40U);
}

TEST(Inspect, StopsListingAtItsLimitButJudgesTheWholeBlob) {
  Bytes entries;  // empty texts: one element per 3 bytes
  for (std::size_t i = 0; i < Annotation::kMaxElements; ++i) {
    appendLE(entries, std::uint8_t{1});
    appendLE(entries, std::uint16_t{0});
  }
  const Bytes blob = testing::calibrationBlob(
      testing::concat({testing::block(BlockId::META_STRINGS, entries), Bytes{0xFF}}));
  const Annotation annotation = inspectBlob(blob);
  EXPECT_EQ(annotation.elements().size(), Annotation::kMaxElements);
  EXPECT_EQ(annotation.faults(), 1U);  // the frame cut short after the limit
  EXPECT_THAT(renderListing(annotation), HasSubstr("more elements not listed"));
}

struct InspectRun {
  const char* name;
  std::vector<std::string> arguments;
  int exitCode;
  std::string err;
  std::string outStart;
};

class InspectProgramTest : public ::testing::TestWithParam<InspectRun> {};

// The example's blob with the presence mask of its first camera's optionals
// announcing one value more than follow, then also that of the second one
// value fewer: one fault, then two.
constexpr std::size_t kFirstOptionalsMask = 0x173;
constexpr std::size_t kSecondOptionalsMask = 0x232;
constexpr std::uint8_t kPreRotationBit = 0x10;

// Run in a directory that holds the example's blob, the same with its CRC
// broken, with one fault (resealed), with two (not resealed), a text file,
// an existing JSON file and a folder.
TEST_P(InspectProgramTest, ExitCodeAndConsoleOutput) {
  testing::TempDir dir;
  Bytes blob = testing::readBytes(kExampleBlob);
  testing::writeBytes(dir / "intact.bin", blob);
  Bytes faulty = blob;
  faulty[kFirstOptionalsMask] |= kPreRotationBit;
  sealBlob(faulty, kCalibrationMagic);
  testing::writeBytes(dir / "once.bin", faulty);
  faulty[kSecondOptionalsMask] &= static_cast<std::uint8_t>(~kPreRotationBit);
  testing::writeBytes(dir / "twice.bin", faulty);
  blob[100] ^= 1;
  testing::writeBytes(dir / "damaged.bin", blob);
  testing::writeText(dir / "text.json", "{}");
  testing::writeText(dir / "existing.json", "{}");
  fs::create_directory(dir / "folder");
  testing::ProcessOptions options;
  options.workingDirectory = dir.path();

  const auto result = testing::runRavelin(GetParam().arguments, options);
  EXPECT_EQ(result.exitCode, GetParam().exitCode);
  EXPECT_EQ(result.err, GetParam().err);
  EXPECT_THAT(result.out, StartsWith(GetParam().outStart));
  EXPECT_EQ(testing::readText(dir / "existing.json"), "{}");
  EXPECT_EQ(testing::readBytes(dir / "intact.bin"), testing::readBytes(kExampleBlob));
}

const std::string kRead1245 = successLine("Successfully read 1245 bytes from file");

INSTANTIATE_TEST_SUITE_P(
    Table, InspectProgramTest,
    ::testing::Values(
        InspectRun{"MissingBin",
                   {"inspect"},
                   kExitUsage,
                   errorLine("inspect requires --bin <file>"),
                   "Usage:\n"},
        InspectRun{"InputMissing",
                   {"inspect", "--bin", "absent.bin"},
                   kExitPathRefused,
                   errorLine("Input binary 'absent.bin' does not exist."),
                   ""},
        InspectRun{"Unreadable",
                   {"inspect", "--bin", "folder"},
                   kExitException,
                   errorLine("Failed to open file: folder ") + errorLine("Is a directory") +
                       errorLine("Unhandled exception: Failed to open file: folder"),
                   ""},
        InspectRun{"ExistingJsonWithoutForce",
                   {"inspect", "--bin", "intact.bin", "--json", "existing.json"},
                   kExitPathRefused,
                   errorLine("Output JSON 'existing.json' already exists. Use --force to "
                             "overwrite."),
                   ""},
        InspectRun{"JsonOverTheInput",
                   {"inspect", "--bin", "intact.bin", "--json", "./intact.bin", "--force"},
                   kExitPathRefused,
                   errorLine("Output JSON './intact.bin' is the same file as Input binary "
                             "'intact.bin'. Refusing to overwrite the input."),
                   ""},
        InspectRun{"Intact",
                   {"inspect", "--bin", "intact.bin"},
                   kExitSuccess,
                   kRead1245 + successLine("The calibration blob intact.bin is intact"),
                   testing::readText(kExampleListing)},
        InspectRun{"QuietSilencesTheLogNotTheListing",
                   {"inspect", "--quiet", "--bin", "damaged.bin"},
                   kExitBlobDamaged,
                   "",
                   "00000000   16  header                            calibration blob, version "
                   "1.0, CRC32 MISMATCH\n"},
        InspectRun{"Damaged",
                   {"inspect", "--bin", "damaged.bin"},
                   kExitBlobDamaged,
                   kRead1245 + errorLine("The calibration blob damaged.bin is damaged: its "
                                         "CRC32 does not match its body"),
                   "00000000"},
        InspectRun{"OneFault",
                   {"inspect", "--bin", "once.bin"},
                   kExitBlobDamaged,
                   kRead1245 + errorLine("The calibration blob once.bin is damaged: 1 "
                                         "structural fault"),
                   "00000000"},
        InspectRun{"TwoFaultsAndTheCrc",
                   {"inspect", "--bin", "twice.bin"},
                   kExitBlobDamaged,
                   kRead1245 + errorLine("The calibration blob twice.bin is damaged: 2 "
                                         "structural faults and a CRC32 that does not match "
                                         "its body"),
                   "00000000"},
        InspectRun{"UnknownKind",
                   {"inspect", "--bin", "text.json"},
                   kExitBlobDamaged,
                   successLine("Successfully read 2 bytes from file") +
                       errorLine("Unrecognized binary magic in text.json"),
                   "00000000    2  bytes  7b 7d"}),
    testing::ByCaseName());

// The JSON form goes to a file beside the listing, or with "-" to standard
// output in its place, the log lines then on standard error; the blob may
// come from standard input.
TEST(InspectProgram, WritesTheElementsAsJson) {
  testing::TempDir dir;
  const std::string listing = testing::readText(kExampleListing);
  const auto toFile = testing::runRavelin({"inspect", "--quiet", "--bin", kExampleBlob.string(),
                                           "--json", (dir / "out.json").string()});
  EXPECT_EQ(toFile.exitCode, kExitSuccess);
  EXPECT_EQ(toFile.out, listing);
  const json elements = loadJsonFile(dir / "out.json");
  EXPECT_EQ(elements.size(),
            static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n')));

  testing::ProcessOptions fromStandardInput;
  fromStandardInput.inputPath = kExampleBlob;
  const auto toStandardOutput =
      testing::runRavelin({"inspect", "--bin", "-", "--json", "-"}, fromStandardInput);
  EXPECT_EQ(toStandardOutput.exitCode, kExitSuccess);
  EXPECT_THAT(toStandardOutput.err, HasSubstr("is intact"));
  EXPECT_EQ(parseJsonDocument(toStandardOutput.out), elements);

  const auto fx = std::find_if(elements.begin(), elements.end(), [](const json& element) {
    return element["path"] == "CAMERA_MAT[1]/INTRINSICS_KB[4]/fx";
  });
  ASSERT_NE(fx, elements.end());
  EXPECT_EQ(*fx, json::parse(R"({"offset": 411, "size": 4, "depth": 2, "value": 279.5,
      "path": "CAMERA_MAT[1]/INTRINSICS_KB[4]/fx", "name": "fx"})"));
}

}  // namespace
}  // namespace ravelin
