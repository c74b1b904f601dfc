#include "calibration/decoder.h"

#include <stdexcept>
#include <utility>

#include "calibration/block_codecs.h"
#include "calibration/block_walk.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::uint16_t kSupportedMajorVersion = 1;

void logHeader(const Header& header) {
  logInfo("MAGIC: 0X%X", header.magic);
  logInfo("MAJOR VERSION: %hu, MINOR VERSION: %hu", header.majorVersion, header.minorVersion);
  logInfo("Body Size: %d", printableCount(header.bodySize));
}

void checkHeader(const Header& header, std::size_t bytesAfterHeader) {
  if (header.magic != kCalibrationMagic) {
    logError(
        "MAGIC mismatch. found magic 0x%08X, expected 0x%08X are you sure you are trying to "
        "decode a compact calibration?",
        header.magic, kCalibrationMagic);
    throw std::runtime_error("bad magic");
  }
  if (header.majorVersion != kSupportedMajorVersion) {
    logError(
        "Major version mismatch: Found %hu, expected %hu. Cannot decode this binary "
        "calibration version!",
        header.majorVersion, kSupportedMajorVersion);
    throw std::runtime_error("unsupported major version");
  }
  // The CRC covers body-size bytes; a body that is not all there cannot be checked.
  if (header.bodySize > bytesAfterHeader) {
    logError("Blob body truncated: the header announces %u bytes, only %zu follow it",
             header.bodySize, bytesAfterHeader);
    throw std::runtime_error("blob body truncated");
  }
}

bool crcMatches(const Header& header, const ByteCursor& body) {
  const std::uint32_t computed = crc32(body.position(), header.bodySize);
  if (computed != header.crc32) {
    logError("Error in calculate crc32. Calculated %d but expected %d ", static_cast<int>(computed),
             static_cast<int>(header.crc32));
    return false;
  }
  logSuccess("Stored and computed CRC32 codes match!!");
  return true;
}

[[noreturn]] void throwPayloadOverrun(const TLV& tlv) {
  printPlain("tlv size: %u\n", tlv.size);
  logError("Payload overruns buffer. TLV ID %d TLV Size %d", tlv.id, printableCount(tlv.size));
  throw std::runtime_error("payload overruns buffer");
}

// Puts a decoded top-level block where it belongs. Blocks that belong inside
// camera and IMU blocks were decoded for their checks only and are dropped.
void placeBlock(json& calibration, BlockId id, json decoded) {
  switch (id) {
    case BlockId::CAMERA_MAT:
    case BlockId::CAMERA_CAD:
      calibration["cameras"].push_back(std::move(decoded));
      break;
    case BlockId::IMU_MAT:
    case BlockId::IMU_CAD:
      calibration["imus"].push_back(std::move(decoded));
      break;
    case BlockId::CAD:
      calibration["cad"] = std::move(decoded);
      break;
    case BlockId::META:
      calibration["metadata"] = std::move(decoded);
      break;
    case BlockId::META_STRINGS:
      if (!calibration["metadata"].is_object()) calibration["metadata"] = json::object();
      mergeInto(calibration["metadata"], decoded);
      break;
    default:
      break;
  }
}

}  // namespace

bool decodeCalibration(const Bytes& blob, json& out, bool verifyCrc) {
  ByteCursor cursor(blob);
  const Header header = readPod<Header>(cursor);
  logHeader(header);
  checkHeader(header, cursor.remaining());
  const bool crcOk = !verifyCrc || crcMatches(header, cursor);

  json calibration = {{"cameras", json::array()}, {"imus", json::array()}};
  walkBlocks(cursor, throwPayloadOverrun, [&calibration](BlockId id, ByteCursor payload) {
    if (std::optional<json> decoded = decodeBlockPayload(id, payload)) {
      placeBlock(calibration, id, std::move(*decoded));
    }
  });
  out = std::move(calibration);
  return crcOk;
}

}  // namespace ravelin
