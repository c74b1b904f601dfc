#include "calibration/decoder.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "calibration/block_codecs.h"
#include "calibration/block_walk.h"
#include "calibration/decoded_calibration.h"
#include "calibration/payload_listing.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::uint16_t kSupportedMajorVersion = 1;

// The header's fields as they lie in the blob, for the faults to point at.
constexpr std::size_t kMagicOffset = 0;
constexpr std::size_t kMajorVersionOffset = 4;
constexpr std::size_t kBodySizeOffset = 8;

void logHeader(const Header& header) {
  logInfo("MAGIC: 0X%X", header.magic);
  logInfo("MAJOR VERSION: %hu, MINOR VERSION: %hu", header.majorVersion, header.minorVersion);
  logInfo("Body Size: %d", printableCount(header.bodySize));
}

// `blob` starts with `header`; `bytesAfterHeader` follow it.
void checkHeader(const Header& header, const std::uint8_t* blob, std::size_t bytesAfterHeader) {
  if (header.magic != kCalibrationMagic) {
    logError(
        "MAGIC mismatch. found magic 0x%08X, expected 0x%08X are you sure you are trying to "
        "decode a compact calibration?",
        header.magic, kCalibrationMagic);
    throw BlobFault("bad magic", blob + kMagicOffset, hexWord(kCalibrationMagic),
                    hexWord(header.magic));
  }
  if (header.majorVersion != kSupportedMajorVersion) {
    logError(
        "Major version mismatch: Found %hu, expected %hu. Cannot decode this binary "
        "calibration version!",
        header.majorVersion, kSupportedMajorVersion);
    throw BlobFault("unsupported major version", blob + kMajorVersionOffset,
                    "major version " + std::to_string(kSupportedMajorVersion),
                    std::to_string(header.majorVersion));
  }
  // The CRC covers body-size bytes; a body that is not all there cannot be checked.
  if (header.bodySize > bytesAfterHeader) {
    logError("Blob body truncated: the header announces %u bytes, only %zu follow it",
             header.bodySize, bytesAfterHeader);
    throw BlobFault("blob body truncated", blob + kBodySizeOffset,
                    byteCount(header.bodySize) + " of body", byteCount(bytesAfterHeader));
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

BlobFault payloadOverrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
  return BlobFault("payload overruns buffer", frame, byteCount(tlv.size) + " of payload",
                   byteCount(left) + " left in the blob");
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

[[noreturn]] void failOnTopLevelOverrun(const TLV& tlv, const std::uint8_t* frame,
                                        std::size_t left) {
  printPlain("tlv size: %u\n", tlv.size);
  logError("Payload overruns buffer. TLV ID %d TLV Size %d", tlv.id, printableCount(tlv.size));
  throw payloadOverrun(tlv, frame, left);
}

struct TopLevelDecoder {
  json& calibration;

  const std::uint8_t* block(const TLV& tlv, const std::uint8_t*, ByteCursor payload) {
    const auto id = static_cast<BlockId>(tlv.id);
    if (std::optional<json> decoded = decodeBlockPayload(id, payload)) {
      placeBlock(calibration, id, std::move(*decoded));
    }
    return payload.end();
  }
  void endMarker(const std::uint8_t*) {}
  [[noreturn]] void overrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
    failOnTopLevelOverrun(tlv, frame, left);
  }
};

struct TopLevelRecords {
  DecodedCalibration& calibration;

  const std::uint8_t* block(const TLV& tlv, const std::uint8_t*, ByteCursor payload) {
    readBlockInto(static_cast<BlockId>(tlv.id), payload, calibration);
    return payload.end();
  }
  void endMarker(const std::uint8_t*) {}
  [[noreturn]] void overrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
    failOnTopLevelOverrun(tlv, frame, left);
  }
};

// Lists every top-level block; a frame that does not fit ends the walk, as
// nothing after it can be found.
struct TopLevelListing {
  PayloadListing& listing;

  const std::uint8_t* block(const TLV& tlv, const std::uint8_t* frame, ByteCursor payload) {
    return listing.listBlock(tlv, frame, payload);
  }
  void endMarker(const std::uint8_t* frame) { listing.endMarker(frame); }
  [[noreturn]] void overrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
    throw payloadOverrun(tlv, frame, left);
  }
};

// Reads, logs and checks the header, leaving `cursor` on the first block;
// returns false when the CRC was checked and did not match.
bool readHeader(ByteCursor& cursor, const Bytes& blob, bool verifyCrc) {
  const Header header = readPod<Header>(cursor);
  logHeader(header);
  checkHeader(header, blob.data(), cursor.remaining());
  return !verifyCrc || crcMatches(header, cursor);
}

}  // namespace

bool decodeCalibration(const Bytes& blob, json& out, bool verifyCrc) {
  ByteCursor cursor(blob);
  const bool crcOk = readHeader(cursor, blob, verifyCrc);

  json calibration = {{"cameras", json::array()}, {"imus", json::array()}};
  TopLevelDecoder decoder{calibration};
  walkBlocks(cursor, decoder);
  out = std::move(calibration);
  return crcOk;
}

bool decodeCalibrationRecords(const Bytes& blob, DecodedCalibration& out, bool verifyCrc) {
  ByteCursor cursor(blob);
  const bool crcOk = readHeader(cursor, blob, verifyCrc);
  DecodedCalibration calibration;
  TopLevelRecords reader{calibration};
  walkBlocks(cursor, reader);
  out = std::move(calibration);
  return crcOk;
}

Annotation inspectCalibration(std::span<const std::uint8_t> blob) {
  // The readers log what they find wrong; the listing says it where it lies.
  const QuietScope quiet;
  Annotation annotation(blob);
  ByteCursor cursor(blob);
  Header header;
  try {
    header = readPod<Header>(cursor);
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, 0, blob.size());
    return annotation;
  }
  std::optional<std::uint32_t> computedCrc;
  if (header.bodySize <= cursor.remaining()) {
    computedCrc = crc32(cursor.position(), header.bodySize);
  }
  listHeader(annotation, header, "calibration", computedCrc);
  try {
    checkHeader(header, blob.data(), cursor.remaining());
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, 0, 0);
  }

  PayloadListing listing(annotation, blob.data() + blob.size());
  TopLevelListing topLevel{listing};
  try {
    if (walkBlocks(cursor, topLevel)) {
      listUnread(annotation, annotation.offsetOf(cursor.position()), blob.size(),
                 "after the end marker: the decoder does not read them");
    } else if (!listing.walkAbandoned()) {
      annotation.add(blob.size(), 0, blockName(BlockId::END)).note =
          "missing: the walk ends with the blob";
    }
  } catch (const std::runtime_error& error) {
    annotation.addFault(error, annotation.offsetOf(cursor.position()), blob.size());
  }
  return annotation;
}

}  // namespace ravelin
