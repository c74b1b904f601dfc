#pragma once

// Tells the two kinds apart, a blob by its magic and a document by its shape,
// and hands either to its kind's decoder or encoder; shared by the commands
// and the Python module.

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

// A device config is recognised first: a document can look like both. No
// value for a document of neither kind, after the calibration test has
// logged why at error level.
std::optional<BlobKind> documentKind(const json& document);

// Throws on any fault; never returns a partial blob.
Bytes encodeDocument(const json& document, BlobKind kind);

// decode, inspect, check and verify refuse a blob above the limit, so none is
// handed out: a blob that nothing reads back is no calibration. Refuses it with
// an error line that names the kind by `word` and a throw.
void refuseBlobAboveTheLimit(const Bytes& blob, const char* word);

// Refuses, with an error line and a throw, a source that is not a document of
// the kind of the blob it is verified against.
void requireSourceOfKind(const json& source, BlobKind kind);

// Lists a blob of either kind with its decoder's reads and checks; a blob of
// no known kind shows its first bytes and a fault that says so. The
// annotation reads from `bytes`, which must outlive it.
Annotation inspectBlob(const Bytes& bytes);
Annotation inspectBlob(Bytes&& bytes) = delete;

}  // namespace ravelin
