#pragma once

// A calibration blob decoded into its records rather than into the JSON
// library's tree, and the text decode writes for it, written straight from
// the records: the same text as the tree decodeCalibration builds, rounded
// and written, at a fraction of the memory. The decoding shares every read,
// check and message with decodeCalibration.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "calibration/compact.h"
#include "calibration/strings_optionals.h"
#include "wire/json_text.h"

namespace ravelin {

using Intrinsics = std::variant<KbIntrinsics, KbSplineIntrinsics>;

// A camera or IMU block with what its sub-blocks added.
struct DecodedComposite {
  std::variant<CameraBlockPayload, ImuBlockPayload> own = {};
  std::variant<ExtrinsicsMat, CadPose> extrinsics = {};
  std::vector<Intrinsics> intrinsics = {};  // a camera's, in the order of their blocks
  std::optional<ExtrinsicsOffsetPayload> extrinsicsOffset = {};
  std::optional<CameraThermalLinear> focalLengthThermalModel = {};
  DecodedStrings strings = {};
  DecodedOptionals optionals = {};
};

// A META block replaces what came before it, strings included; strings
// blocks add to it.
struct DecodedMetadata {
  std::optional<MetaDataPayload> record = {};
  DecodedStrings strings = {};
};

struct DecodedCalibration {
  std::vector<DecodedComposite> cameras;
  std::vector<DecodedComposite> imus;
  std::optional<CadBlockPayload> cad;  // the last CAD block's
  std::optional<DecodedMetadata> metadata;
};

// As decodeCalibration, into records. Returns false when the CRC was checked
// and did not match; structural faults throw.
bool decodeCalibrationRecords(const Bytes& blob, DecodedCalibration& out, bool verifyCrc);

// Reads one top-level block into `calibration`, with the reads, checks and
// messages of decodeCalibration; blocks that belong inside a camera or an IMU
// are read and dropped, unknown ids skipped.
void readBlockInto(BlockId id, ByteCursor payload, DecodedCalibration& calibration);

// Throws the JSON library's type_error for the first string, in the order
// the text holds them, that is not valid UTF-8: the one failure writing the
// text can meet, which writing the tree meets at the same string.
void requireWritableText(const DecodedCalibration& calibration);

// Writes the text decode writes for `calibration`; see requireWritableText
// for what it throws.
void writeCalibrationText(const DecodedCalibration& calibration, JsonTextWriter& writer);

}  // namespace ravelin
