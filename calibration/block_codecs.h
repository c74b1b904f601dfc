#pragma once

// One stateless codec class per block id; makeBlockCodec (calibration/compact.h)
// picks the class. Camera and IMU codecs walk their own sub-blocks.

#include <optional>

#include "calibration/compact.h"

namespace ravelin {

#define RAVELIN_DECLARE_BLOCK_CODEC(ClassName, blockId)                          \
  class ClassName final : public BlockCodec {                                    \
   public:                                                                       \
    BlockId id() const override { return blockId; }                              \
    json decode(const std::uint8_t*& p, const std::uint8_t* end) const override; \
    void inspect(ByteCursor payload, PayloadListing& listing) const override;    \
  };

RAVELIN_DECLARE_BLOCK_CODEC(CadCodec, BlockId::CAD)
RAVELIN_DECLARE_BLOCK_CODEC(CamMatCodec, BlockId::CAMERA_MAT)
RAVELIN_DECLARE_BLOCK_CODEC(CamCadCodec, BlockId::CAMERA_CAD)
RAVELIN_DECLARE_BLOCK_CODEC(IntrinsicsKbCodec, BlockId::INTRINSICS_KB)
RAVELIN_DECLARE_BLOCK_CODEC(IntrinsicsKbSplineCodec, BlockId::INTRINSICS_KB_SPLINE)
RAVELIN_DECLARE_BLOCK_CODEC(ImuMatCodec, BlockId::IMU_MAT)
RAVELIN_DECLARE_BLOCK_CODEC(ImuCadCodec, BlockId::IMU_CAD)
RAVELIN_DECLARE_BLOCK_CODEC(MetaCodec, BlockId::META)
RAVELIN_DECLARE_BLOCK_CODEC(ExtrinsicsOffsetCodec, BlockId::EXTRINSICS_OFFSET)
RAVELIN_DECLARE_BLOCK_CODEC(CameraStringsCodec, BlockId::CAMERA_STRINGS)
RAVELIN_DECLARE_BLOCK_CODEC(IMUStringsCodec, BlockId::IMU_STRINGS)
RAVELIN_DECLARE_BLOCK_CODEC(MetaStringsCodec, BlockId::META_STRINGS)
RAVELIN_DECLARE_BLOCK_CODEC(CameraThermalLinearCodec, BlockId::CAMERA_THERMAL_LINEAR)
RAVELIN_DECLARE_BLOCK_CODEC(CameraOptionalsCodec, BlockId::CAMERA_OPTIONALS)
RAVELIN_DECLARE_BLOCK_CODEC(IMUOptionalsCodec, BlockId::IMU_OPTIONALS)

#undef RAVELIN_DECLARE_BLOCK_CODEC

// Decodes one block's payload with the codec for its id; no value when the id
// has no codec.
std::optional<json> decodeBlockPayload(BlockId id, ByteCursor payload);

}  // namespace ravelin
