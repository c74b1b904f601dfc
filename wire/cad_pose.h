#pragma once

// The one pose record both blob kinds store, in the same 36 bytes: the CAD
// poses of the calibration blob (head, cameras, IMUs, CAD-form extrinsics)
// and the head and CAD-from-calibration poses of the device config blob.

#include <array>
#include <cstddef>
#include <string_view>

#include "wire/fields.h"

namespace ravelin {

using Vec3 = std::array<float, 3>;

struct CadPose {
  static constexpr std::size_t kWireSize = 36;
  static constexpr std::string_view kTypeName = "7CadPose";

  Vec3 plus_x{};
  Vec3 plus_z{};
  Vec3 position{};

  template <typename Self, typename Visit>
  static void forEachField(Self& r, Visit&& visit) {
    visit(r.plus_x, r.plus_z, r.position);
  }
  static constexpr std::array kFields = {field("plus_x"), field("plus_z"), field("position")};
};

}  // namespace ravelin
