#pragma once

// The walk over TLV-framed blocks, shared by the top level of a calibration
// blob and by the sub-blocks inside camera and IMU blocks, by the decoder and
// by the inspector alike.

#include "calibration/compact.h"

namespace ravelin {

// Reads TLV after TLV from `cursor` until its end or an END marker and tells
// `visitor` what it finds, each with the position of its frame:
//   visitor.block(tlv, frame, payload)   a block whose payload fits; returns
//                                        where the next frame starts, in
//                                        [payload's start, cursor's end]:
//                                        the payload's end but where the
//                                        inspector finds the size wrong
//   visitor.endMarker(frame)             the END marker, which stops the walk
//   visitor.overrun(tlv, frame, left)    a payload that reaches past the
//                                        cursor's end; must throw
// Afterwards the cursor stands after the last block read (or after the END
// marker). Returns whether an END marker stopped the walk.
template <typename Visitor>
bool walkBlocks(ByteCursor& cursor, Visitor& visitor) {
  while (!cursor.atEnd()) {
    const std::uint8_t* frame = cursor.position();
    const TLV tlv = readPod<TLV>(cursor);
    if (tlv.id == static_cast<std::uint16_t>(BlockId::END)) {
      visitor.endMarker(frame);
      return true;
    }
    if (tlv.size > cursor.remaining()) visitor.overrun(tlv, frame, cursor.remaining());
    cursor = ByteCursor(visitor.block(tlv, frame, cursor.take(tlv.size)), cursor.end());
  }
  return false;
}

}  // namespace ravelin
