// decode writes a calibration's text straight from its records. For every
// blob of the fuzz corpora, and for hand-made blobs where later blocks
// replace or add to earlier ones, that road must give what rendering the
// decoded tree gives: the same text byte for byte, the same CRC verdict, the
// same console lines and the same failure.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "cli/blob_dispatch.h"
#include "cli/file_io.h"
#include "tests/calibration/blob_builder.h"
#include "tests/support/case_name.h"
#include "tests/support/console.h"

namespace ravelin {
namespace {

namespace fs = std::filesystem;
using testing::block;
using testing::calibrationBlob;
using testing::captureConsole;
using testing::concat;
using testing::Console;
using testing::endMarker;
using testing::optionalsMask;
using testing::PrintTo;
using testing::recordBytes;
using testing::stringsPayload;

struct Outcome {
  Console console;
  std::string text;
  bool crcMatched = false;
};

Outcome throughTheTree(BlobKind kind, const Bytes& blob) {
  Outcome outcome;
  outcome.console = captureConsole([&] {
    json decoded;
    outcome.crcMatched = decodeBlob(kind, blob, decoded);
    outcome.text = renderJsonDocument(decoded);
  });
  return outcome;
}

Outcome straightToText(BlobKind kind, const Bytes& blob) {
  Outcome outcome;
  outcome.console =
      captureConsole([&] { outcome.crcMatched = decodeBlobToText(kind, blob, outcome.text); });
  return outcome;
}

void expectSameOutcome(const Bytes& blob) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  ASSERT_TRUE(kind.has_value());
  const Outcome expected = throughTheTree(*kind, blob);
  const Outcome actual = straightToText(*kind, blob);
  EXPECT_EQ(actual.text, expected.text);
  // A failed decode returns no verdict.
  if (!expected.console.thrown) {
    EXPECT_EQ(actual.crcMatched, expected.crcMatched);
  }
  EXPECT_EQ(actual.console.out, expected.console.out);
  EXPECT_EQ(actual.console.err, expected.console.err);
  EXPECT_EQ(actual.console.thrown, expected.console.thrown);
}

Bytes readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DecodeText, EveryCorpusBlobGivesTheTextOfTheTree) {
  std::size_t calibrations = 0;
  for (const auto& corpus : fs::directory_iterator(fs::path(PROJECT_SOURCE_DIR) / "fuzz/corpus")) {
    for (const auto& input : fs::directory_iterator(corpus.path())) {
      const Bytes blob = readBytes(input.path());
      const std::optional<BlobKind> kind = detectBlobKind(blob);
      if (!kind) continue;
      if (kind == BlobKind::CALIBRATION) ++calibrations;
      SCOPED_TRACE(input.path().string());
      expectSameOutcome(blob);
    }
  }
  // A harness that found no blob would pass on nothing.
  EXPECT_GT(calibrations, 500U);
}

Bytes cameraRecords() {
  return concat({recordBytes(CameraBlockPayload{640, 480}), recordBytes(ExtrinsicsMat{})});
}

Bytes cameraWith(const Bytes& subBlocks) {
  return block(BlockId::CAMERA_MAT, concat({cameraRecords(), subBlocks}));
}

Bytes optionals(std::uint64_t mask, const Bytes& values) {
  return block(BlockId::CAMERA_OPTIONALS, concat({optionalsMask(mask), values}));
}

Bytes int16s(std::initializer_list<std::int16_t> values) {
  Bytes out;
  for (const std::int16_t value : values) appendLE(out, value);
  return out;
}

// cropRegion.x, cropRegion.y and temperature.min.
Bytes cropAndMinimum() {
  Bytes out = int16s({1, 2});
  appendLE(out, 20.5F);
  return out;
}

Bytes metaRecord() {
  return block(BlockId::META, recordBytes(MetaDataPayload{12.5F, 1, 2, 3}));
}

Bytes metaStrings(std::initializer_list<std::pair<std::uint8_t, std::string>> entries) {
  return block(BlockId::META_STRINGS, stringsPayload(entries));
}

Bytes cameras(std::size_t count) {
  Bytes body;
  for (std::size_t i = 0; i < count; ++i) appendBytes(body, cameraWith({}));
  appendBytes(body, endMarker());
  return body;
}

// The text of a large calibration leaves in pieces of at least
// kSpillSize bytes, which together are the text of the tree.
TEST(DecodeText, ALongTextLeavesInPieces) {
  const Bytes blob = calibrationBlob(cameras(200));
  MakeContents make;
  ASSERT_TRUE(decodeBlobForText(BlobKind::CALIBRATION, blob, make));
  std::vector<std::size_t> pieceSizes;
  std::string text;
  make([&](std::span<const std::uint8_t> piece) {
    pieceSizes.push_back(piece.size());
    text.append(piece.begin(), piece.end());
  });
  ASSERT_GE(pieceSizes.size(), 2U);
  for (std::size_t i = 0; i + 1 < pieceSizes.size(); ++i) {
    EXPECT_GE(pieceSizes[i], JsonTextWriter::kSpillSize);
  }
  EXPECT_EQ(text, throughTheTree(BlobKind::CALIBRATION, blob).text);
}

struct LaterBlocksCase {
  const char* name;
  Bytes body;
};

class LaterBlocks : public ::testing::TestWithParam<LaterBlocksCase> {};

TEST_P(LaterBlocks, GiveTheTextOfTheTree) {
  expectSameOutcome(calibrationBlob(GetParam().body));
}

INSTANTIATE_TEST_SUITE_P(
    DecodeText, LaterBlocks,
    ::testing::Values(
        // The second block's cropRegion replaces the first's whole; its
        // temperature stays.
        LaterBlocksCase{"OptionalsReplaceTheirKeysWhole",
                        concat({cameraWith(concat({optionals(0x07, cropAndMinimum()),
                                                   optionals(0x01, int16s({9}))})),
                                endMarker()})},
        LaterBlocksCase{"MetadataDropsTheStringsBeforeIt",
                        concat({metaStrings({{1, "before"}, {3, "2024"}}), metaRecord(),
                                metaStrings({{2, "after"}}), endMarker()})},
        LaterBlocksCase{"MetadataOfStringsAlone",
                        concat({metaStrings({{4, "hw"}, {4, "hw again"}}), endMarker()})},
        LaterBlocksCase{"TheLastCadBlockWins",
                        concat({block(BlockId::CAD, recordBytes(CadBlockFixedPart{1, 0, 0, 0, {}})),
                                block(BlockId::CAD, recordBytes(CadBlockFixedPart{2, 1, 0, 0, {}})),
                                endMarker()})},
        LaterBlocksCase{"CameraAndImuSubBlocksAtTheTopAreDropped",
                        concat({block(BlockId::INTRINSICS_KB, recordBytes(KbIntrinsics{})),
                                block(BlockId::IMU_STRINGS, stringsPayload({{1, "x"}})),
                                block(BlockId::CAMERA_OPTIONALS, optionalsMask(0)), endMarker()})},
        LaterBlocksCase{
            "AnImuSubBlockInACameraIsSkipped",
            concat({cameraWith(block(BlockId::IMU_STRINGS, stringsPayload({}))), endMarker()})},
        LaterBlocksCase{
            "TextThatNeedsEscaping",
            concat({metaStrings({{1, "tab\there \"quoted\" \\ \xc3\xa9"}}), endMarker()})},
        LaterBlocksCase{"TextThatIsNotUtf8",
                        concat({metaStrings({{1, "\xff\xfe"}}), endMarker()})}),
    testing::ByCaseName());

}  // namespace
}  // namespace ravelin
