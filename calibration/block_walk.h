#pragma once

// The walk over TLV-framed blocks, shared by the top level of a calibration
// blob and by the sub-blocks inside camera and IMU blocks.

#include "calibration/compact.h"

namespace ravelin {

// Reads TLV after TLV from `cursor` until its end or an END marker, handing
// each block's id and payload to `onBlock`. A payload that reaches past the
// cursor's end goes to `onOverrun`, which must throw. Afterwards the cursor
// stands after the last block read (or after the END marker). Returns whether
// an END marker stopped the walk.
template <typename OnOverrun, typename OnBlock>
bool walkBlocks(ByteCursor& cursor, OnOverrun&& onOverrun, OnBlock&& onBlock) {
  while (!cursor.atEnd()) {
    const TLV tlv = readPod<TLV>(cursor);
    if (tlv.id == static_cast<std::uint16_t>(BlockId::END)) return true;
    if (tlv.size > cursor.remaining()) onOverrun(tlv);
    onBlock(static_cast<BlockId>(tlv.id), cursor.take(tlv.size));
  }
  return false;
}

}  // namespace ravelin
