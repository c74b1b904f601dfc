#include "calibration/encoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/calibration/encode_test_documents.h"

namespace ravelin {
namespace {

using testing::bytes;
using testing::cadCamera;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::emptyDocument;
using ::testing::HasSubstr;
using testing::kbIntrinsics;
using testing::kbSplineIntrinsics;
using testing::matrixCamera;
using testing::matrixImu;
using ::testing::ThrowsMessage;
using testing::unitPose;

struct Block {
  std::uint16_t id;
  std::uint32_t size;
  ByteCursor payload;
};

// The blocks of a byte range, walked by their TLVs without any decoder.
std::vector<Block> blocksIn(ByteCursor range) {
  std::vector<Block> blocks;
  while (!range.atEnd()) {
    const TLV tlv = readPod<TLV>(range);
    blocks.push_back({tlv.id, tlv.size, range.take(tlv.size)});
  }
  return blocks;
}

// The blocks refer into the blob, which must outlive them.
std::vector<Block> topLevelBlocks(const Bytes&& blob) = delete;
std::vector<Block> topLevelBlocks(const Bytes& blob) {
  ByteCursor cursor(blob);
  cursor.skip(Header::kWireSize);
  return blocksIn(cursor);
}

std::vector<std::uint16_t> idsOf(const std::vector<Block>& blocks) {
  std::vector<std::uint16_t> ids;
  for (const Block& block : blocks) ids.push_back(block.id);
  return ids;
}

// The sub-block ids of a camera or IMU block whose fixed records take `fixedSize` bytes.
std::vector<std::uint16_t> subBlockIds(Block block, std::size_t fixedSize) {
  block.payload.skip(fixedSize);
  return idsOf(blocksIn(block.payload));
}

TEST(Encoder, EmptyDocumentIsHeaderCadMetaAndEnd) {
  const Bytes blob = encodeCompactCalibration(emptyDocument());
  ASSERT_EQ(blob.size(), 90U);
  Bytes expected = bytes({0x42, 0x4C, 0x41, 0x43, 0x01, 0x00, 0x00, 0x00, 74, 0, 0, 0});
  appendLE(expected, crc32(blob.data() + 16, 74));
  appendRecord(expected, TLV{1, 0, 42});
  appendLE(expected, std::uint16_t{0});  // alignment method, units
  appendLE(expected, std::uint32_t{0});  // no camera or IMU poses
  appendRecord(expected, CadPose{{1, 0, 0}, {0, 0, 1}, {0, 0, 0}});
  appendRecord(expected, TLV{9, 0, 8});
  appendLE(expected, 1.5F);
  appendLE(expected, std::uint16_t{0});  // extrinsics method, pixel convention
  appendLE(expected, std::uint16_t{3});
  appendRecord(expected, TLV{0xFFFF, 0, 0});
  EXPECT_EQ(blob, expected);
}

TEST(Encoder, HeaderCrcCoversTheWholeBodyWithTheEndMarker) {
  json document = emptyDocument();
  document["cameras"] = {matrixCamera()};
  document["metadata"]["date"] = "2024-01-02";
  const Bytes blob = encodeCompactCalibration(document);
  ByteCursor header(blob);
  const Header fields = readPod<Header>(header);
  EXPECT_EQ(fields.bodySize, blob.size() - 16);
  EXPECT_EQ(fields.crc32, crc32(blob.data() + 16, blob.size() - 16));
  EXPECT_THAT(Bytes(blob.end() - 8, blob.end()), ElementsAre(0xFF, 0xFF, 0, 0, 0, 0, 0, 0));
}

TEST(Encoder, EncodingTwiceGivesIdenticalBytes) {
  json document = emptyDocument();
  json camera = matrixCamera();
  camera["intrinsics"] = {kbIntrinsics(), kbSplineIntrinsics()};
  camera["mtf50"] = {{"center", 0.5}};
  document["cameras"] = {camera, cadCamera()};
  document["imus"] = {matrixImu()};
  EXPECT_EQ(encodeCompactCalibration(document), encodeCompactCalibration(document));
}

struct CameraSizeCase {
  const char* name;
  json camera;
  std::uint16_t id;
  std::uint32_t size;
};

json withIntrinsics(json camera, std::initializer_list<json> intrinsics) {
  camera["intrinsics"] = intrinsics;
  return camera;
}

json kb4Intrinsics() {
  json kb4 = kbIntrinsics();
  kb4["cameraModel"] = "kb4";
  return kb4;
}

TEST(Encoder, CameraBlockSizes) {
  const CameraSizeCase cases[] = {
      {"matrix", matrixCamera(), 2, 82},
      {"cad", cadCamera(), 3, 54},
      {"matrix+kb", withIntrinsics(matrixCamera(), {kbIntrinsics()}), 2, 122},
      {"cad+kb4", withIntrinsics(cadCamera(), {kb4Intrinsics()}), 3, 94},
      {"matrix+spline", withIntrinsics(matrixCamera(), {kbSplineIntrinsics()}), 2, 334},
      {"matrix+kb+spline", withIntrinsics(matrixCamera(), {kbIntrinsics(), kbSplineIntrinsics()}),
       2, 374},
  };
  for (const CameraSizeCase& c : cases) {
    json document = emptyDocument();
    document["cameras"] = {c.camera};
    const Bytes blob = encodeCompactCalibration(document);
    const std::vector<Block> blocks = topLevelBlocks(blob);
    ASSERT_EQ(blocks.size(), 4U) << c.name;
    EXPECT_EQ(blocks[1].id, c.id) << c.name;
    EXPECT_EQ(blocks[1].size, c.size) << c.name;
  }
}

TEST(Encoder, ImuBlockSizes) {
  json cadImu = matrixImu();
  cadImu["extrinsics"] = unitPose();
  json document = emptyDocument();
  document["imus"] = {matrixImu(), cadImu};
  const Bytes blob = encodeCompactCalibration(document);
  const std::vector<Block> blocks = topLevelBlocks(blob);
  ASSERT_EQ(blocks.size(), 5U);
  EXPECT_EQ(blocks[1].id, 7);
  EXPECT_EQ(blocks[1].size, 183U);
  EXPECT_EQ(blocks[2].id, 8);
  EXPECT_EQ(blocks[2].size, 155U);
}

TEST(Encoder, KbAndKb4WriteTheSameIntrinsicsBlock) {
  json document = emptyDocument();
  document["cameras"] = {withIntrinsics(matrixCamera(), {kbIntrinsics()}),
                         withIntrinsics(matrixCamera(), {kb4Intrinsics()})};
  const Bytes blob = encodeCompactCalibration(document);
  const std::vector<Block> blocks = topLevelBlocks(blob);
  const auto bytesOf = [](const Block& block) {
    return Bytes(block.payload.position(), block.payload.end());
  };
  EXPECT_EQ(bytesOf(blocks[1]), bytesOf(blocks[2]));
}

TEST(Encoder, WritesBlocksAndSubBlocksInTheirFixedOrder) {
  json camera = cadCamera();
  camera["intrinsics"] = {kbSplineIntrinsics(), kbIntrinsics()};
  camera["temperature"] = {{"min", 5}};
  camera["focalLengthThermalModel"] = {{"slope", 0.5}, {"offset", {1, 2}}};
  camera["extrinsicsOffset"] = {1, 2, 3, 4, 5, 6};
  json imu = matrixImu();
  imu["samplingRateInHz"] = 200;
  imu["extrinsicsOffset"] = {1, 2, 3, 4, 5, 6};
  json document = emptyDocument();
  document["cameras"] = {camera, matrixCamera()};
  document["imus"] = {imu};
  document["metadata"]["created_by"] = "me";

  const Bytes blob = encodeCompactCalibration(document);

  const std::vector<Block> blocks = topLevelBlocks(blob);
  EXPECT_THAT(idsOf(blocks), ElementsAre(1, 3, 2, 7, 9, 13, 0xFFFF));
  EXPECT_THAT(subBlockIds(blocks[1], 4 + 36), ElementsAre(10, 14, 11, 15, 5, 4));
  EXPECT_THAT(subBlockIds(blocks[2], 4 + 64), ElementsAre(11));
  EXPECT_THAT(subBlockIds(blocks[3], 105 + 64), ElementsAre(10, 12, 16));
}

TEST(Encoder, CameraPayloadStartsWithSizeAndExtrinsics) {
  json camera = matrixCamera();
  camera["width"] = 1280.9;
  camera["height"] = true;
  camera["extrinsicsOffset"] = {0.5, 0, 0, 0, 0, -0.5};
  json document = emptyDocument();
  document["cameras"] = {camera};
  const Bytes blob = encodeCompactCalibration(document);
  std::vector<Block> blocks = topLevelBlocks(blob);
  ByteCursor& payload = blocks[1].payload;
  EXPECT_EQ(payload.read<std::uint16_t>(), 1280);
  EXPECT_EQ(payload.read<std::uint16_t>(), 1);
  const ExtrinsicsMat matrix = readPod<ExtrinsicsMat>(payload);
  EXPECT_THAT(matrix.values, ElementsAreArray(testing::identityMatrix().get<std::vector<float>>()));
  const TLV offsetTlv = readPod<TLV>(payload);
  EXPECT_EQ(offsetTlv.id, 10);
  EXPECT_EQ(offsetTlv.size, 24U);
  EXPECT_THAT(readPod<ExtrinsicsOffsetPayload>(payload).values, ElementsAre(0.5, 0, 0, 0, 0, -0.5));
}

struct FaultCase {
  const char* name;
  std::function<void(json&)> spoil;
  std::string message;
};

// A document that exercises every step of the encoding; each case spoils
// it in two places, and the earlier step's fault must be the one reported.
json documentForFaults() {
  json document = emptyDocument();
  json camera = matrixCamera();
  camera["intrinsics"] = {kbIntrinsics()};
  camera["extrinsicsOffset"] = {1, 2, 3, 4, 5, 6};
  camera["focalLengthThermalModel"] = {{"slope", 0.5}, {"offset", {1, 2}}};
  camera["cropRegion"] = {{"x", 1}};
  document["cameras"] = {camera, camera};
  document["imus"] = {matrixImu()};
  return document;
}

TEST(Encoder, ReportsTheFaultOfTheEarliestStep) {
  const FaultCase cases[] = {
      {"cad before cameras",
       [](json& d) {
         d["cad"].erase("__head");
         d["cameras"][0]["extrinsics"] = 1;
       },
       "missing required key '__head' in cad"},
      {"block type before size",
       [](json& d) {
         d["cameras"][0]["extrinsics"] = {{"plus_x", 1}};
         d["cameras"][0]["width"] = "wide";
       },
       "Uknown Camera extrinsics formats"},
      {"missing extrinsics named", [](json& d) { d["cameras"][1].erase("extrinsics"); },
       "missing required key 'extrinsics' in cameras[1]"},
      {"size before extrinsics",
       [](json& d) {
         d["cameras"][0]["height"] = "tall";
         d["cameras"][0]["extrinsics"] = {1, 2};
       },
       "type must be number, but is string"},
      {"extrinsics before offset",
       [](json& d) {
         d["cameras"][0]["extrinsics"] = {1, 2};
         d["cameras"][0]["extrinsicsOffset"] = {1};
       },
       "'extrinsics' in cameras[0] must have 16 elements, but has 2"},
      {"offset before thermal model",
       [](json& d) {
         d["cameras"][0]["extrinsicsOffset"] = {1};
         d["cameras"][0]["focalLengthThermalModel"].erase("slope");
       },
       "extrinsics offset vector should have 6 elements"},
      {"thermal model before strings",
       [](json& d) {
         d["cameras"][0]["focalLengthThermalModel"]["offset"] = {1};
         d["cameras"][0].erase("sourceCamera");
       },
       "'offset' in cameras[0].focalLengthThermalModel must have at least 2 elements, but has 1"},
      {"strings before optionals",
       [](json& d) {
         d["cameras"][0].erase("sourceCamera");
         d["cameras"][0]["cropRegion"]["x"] = "left";
       },
       "type must be string, but is null"},
      {"optionals before intrinsics",
       [](json& d) {
         d["cameras"][0]["cropRegion"]["x"] = "left";
         d["cameras"][0]["intrinsics"][0]["cameraModel"] = "pinhole";
       },
       "type must be number, but is string"},
      {"intrinsics entries in order",
       [](json& d) {
         d["cameras"][0]["intrinsics"][0].erase("fy");
         d["cameras"][0]["intrinsics"].push_back({{"cameraModel", "pinhole"}});
       },
       "missing required key 'fy' in cameras[0].intrinsics[0]"},
      {"second camera's model",
       [](json& d) { d["cameras"][1]["intrinsics"][0]["cameraModel"] = "KB"; },
       "Unknown camera model"},
      {"cameras before imus",
       [](json& d) {
         d["cameras"][1]["intrinsics"][0]["cameraModel"] = 4;
         d["imus"][0].erase("imuToCamTimeOffset");
       },
       "type must be string, but is number"},
      {"imu record before imu block type",
       [](json& d) {
         d["imus"][0].erase("imuToCamTimeOffset");
         d["imus"][0]["extrinsics"] = "none";
       },
       "key 'imuToCamTimeOffset' not found"},
      {"imu block type before its offset",
       [](json& d) {
         d["imus"][0]["extrinsics"] = "none";
         d["imus"][0]["extrinsicsOffset"] = 1;
       },
       "Uknown IMU extrinsics formats"},
      {"imu strings before optionals",
       [](json& d) {
         d["imus"][0]["parent"] = 3;
         d["imus"][0]["isGyroAndAccelDataSynchronized"] = 1;
       },
       "type must be string, but is number"},
      {"imus before metadata",
       [](json& d) {
         d["imus"][0]["isGyroAndAccelDataSynchronized"] = 1;
         d["metadata"].erase("rig_json_version");
       },
       "type must be boolean, but is number"},
      {"metadata before its strings",
       [](json& d) {
         d["metadata"].erase("rig_json_version");
         d["metadata"]["date"] = 2024;
       },
       "missing required key 'rig_json_version' in metadata"},
      {"missing imus named", [](json& d) { d.erase("imus"); },
       "missing required key 'imus' in the calibration"},
  };
  for (const FaultCase& c : cases) {
    json document = documentForFaults();
    c.spoil(document);
    EXPECT_THAT([&] { encodeCompactCalibration(document); },
                ThrowsMessage<std::exception>(HasSubstr(c.message)))
        << c.name;
  }
}

TEST(Encoder, TheUnspoiledFaultDocumentEncodes) {
  EXPECT_NO_THROW(encodeCompactCalibration(documentForFaults()));
}

}  // namespace
}  // namespace ravelin
