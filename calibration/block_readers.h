#pragma once

// The reads and checks of the composite blocks (cameras and IMUs with their
// sub-blocks), shared by every decoder of calibration blobs and by the
// inspector: each reports what it reads to a visitor.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "calibration/block_walk.h"
#include "calibration/compact.h"

namespace ravelin {

// Where a decoded sub-block goes in its camera or IMU object.
enum class Placement { APPEND_TO_KEY, ASSIGN_KEY, MERGE };

struct SubBlockRule {
  BlockId id;
  Placement placement;
  std::string_view key;  // empty for MERGE
};

inline constexpr std::string_view kIntrinsicsKey = "intrinsics";
inline constexpr std::string_view kExtrinsicsOffsetKey = "extrinsicsOffset";
inline constexpr std::string_view kThermalModelKey = "focalLengthThermalModel";

// The sub-blocks a camera or an IMU block accepts; the word names the block
// kind in the message for any other id.
struct SubBlockOwner {
  const char* word;
  std::span<const SubBlockRule> rules;
};

inline constexpr std::array<SubBlockRule, 6> kCameraSubBlocks = {{
    {BlockId::INTRINSICS_KB, Placement::APPEND_TO_KEY, kIntrinsicsKey},
    {BlockId::INTRINSICS_KB_SPLINE, Placement::APPEND_TO_KEY, kIntrinsicsKey},
    {BlockId::EXTRINSICS_OFFSET, Placement::ASSIGN_KEY, kExtrinsicsOffsetKey},
    {BlockId::CAMERA_THERMAL_LINEAR, Placement::ASSIGN_KEY, kThermalModelKey},
    {BlockId::CAMERA_STRINGS, Placement::MERGE, {}},
    {BlockId::CAMERA_OPTIONALS, Placement::MERGE, {}},
}};

inline constexpr std::array<SubBlockRule, 3> kImuSubBlocks = {{
    {BlockId::EXTRINSICS_OFFSET, Placement::ASSIGN_KEY, kExtrinsicsOffsetKey},
    {BlockId::IMU_STRINGS, Placement::MERGE, {}},
    {BlockId::IMU_OPTIONALS, Placement::MERGE, {}},
}};

inline constexpr SubBlockOwner kCameraOwner{"camera", kCameraSubBlocks};
inline constexpr SubBlockOwner kImuOwner{"IMU", kImuSubBlocks};

inline const SubBlockRule* findRule(std::span<const SubBlockRule> rules, BlockId id) {
  const auto found = std::find_if(rules.begin(), rules.end(),
                                  [id](const SubBlockRule& rule) { return rule.id == id; });
  return found == rules.end() ? nullptr : &*found;
}

[[noreturn]] void throwSubBlockOverrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left);
[[noreturn]] void throwEndMarkerNotLast(const SubBlockOwner& owner, const ByteCursor& rest);
// A CAD block ends after its poses.
void requireCadEnd(const ByteCursor& rest);

// The sub-block walk of a camera or IMU block: each sub-block goes to the
// visitor with the rule that places it, or none for an id the owner does not take.
template <typename Visitor>
struct SubBlockWalk {
  const SubBlockOwner& owner;
  Visitor& visitor;

  const std::uint8_t* block(const TLV& tlv, const std::uint8_t* frame, ByteCursor payload) {
    return visitor.subBlock(tlv, frame, findRule(owner.rules, static_cast<BlockId>(tlv.id)),
                            payload);
  }
  void endMarker(const std::uint8_t* frame) { visitor.endMarker(frame); }
  [[noreturn]] void overrun(const TLV& tlv, const std::uint8_t* frame, std::size_t left) {
    throwSubBlockOverrun(tlv, frame, left);
  }
};

inline constexpr std::string_view kExtrinsicsKey = "extrinsics";

template <WireRecord R, typename Visitor>
void readReported(ByteCursor& cursor, std::string_view name, Visitor& visitor) {
  const std::uint8_t* at = cursor.position();
  visitor.record(at, name, readPod<R>(cursor));
}

// A camera or IMU block: its own record, whose fields are the object's, the
// extrinsics record, then sub-blocks up to the end of the payload. An END
// marker must be the payload's last 8 bytes.
template <WireRecord Own, WireRecord Extrinsics, typename Visitor>
void readCompositeBlock(ByteCursor& cursor, const SubBlockOwner& owner, Visitor& visitor) {
  readReported<Own>(cursor, {}, visitor);
  readReported<Extrinsics>(cursor, kExtrinsicsKey, visitor);
  SubBlockWalk<Visitor> walk{owner, visitor};
  if (walkBlocks(cursor, walk) && !cursor.atEnd()) throwEndMarkerNotLast(owner, cursor);
}

}  // namespace ravelin
