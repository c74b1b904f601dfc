#pragma once

// Tells the two blob kinds apart by their magic and hands a blob to its
// decoder; shared by the decode and verify commands.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/output_file.h"
#include "wire/annotation.h"
#include "wire/byte_io.h"

namespace ravelin {

using json = nlohmann::json;

enum class BlobKind { CALIBRATION = 0, DEVICE_CONFIG = 1 };

// No value for fewer than 4 bytes or an unknown magic. Logs nothing.
std::optional<BlobKind> detectBlobKind(const Bytes& bytes);

// "calibration" or "device config", as the messages name the kind.
const char* blobKindWord(BlobKind kind);

// Decodes with the CRC check on; returns whether the stored CRC matched.
bool decodeBlob(BlobKind kind, const Bytes& bytes, json& out);

// Decodes with the CRC check on and returns whether the stored CRC matched;
// `text` then writes the text decode writes, byte for byte what rendering
// decodeBlob's tree gives, piece by piece. A calibration's text is written
// straight from its records, without the tree, and is never held whole. A
// text that cannot be written (a string that is not UTF-8) throws here,
// before any piece of it.
bool decodeBlobForText(BlobKind kind, const Bytes& bytes, MakeContents& text);

// The same text whole.
bool decodeBlobToText(BlobKind kind, const Bytes& bytes, std::string& text);

// Lists a blob of either kind with its decoder's reads and checks; a blob of
// no known kind shows its first bytes and a fault that says so. The
// annotation reads from `bytes`, which must outlive it.
Annotation inspectBlob(const Bytes& bytes);
Annotation inspectBlob(Bytes&& bytes) = delete;

}  // namespace ravelin
