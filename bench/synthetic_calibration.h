#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

namespace ravelin::bench {

struct SyntheticShape {
  std::size_t cameras;
  std::size_t imus;
  // Numbers with all the digits of a double, as a calibration tool writes
  // its estimates, instead of multiples of 1/16 that are exact in float32.
  bool measuredValues = false;
  // Lean cameras carry one kb lens model, as most real rigs' cameras do;
  // full ones add a kb_spline model with its 50 grid values.
  bool splineIntrinsics = true;
};

// A compact calibration that exercises every block and optional key: cameras
// with kb and kb_spline intrinsics and alternating matrix and CAD
// extrinsics, IMUs, CAD poses for all of them and metadata strings.
nlohmann::json makeSyntheticCalibration(const SyntheticShape& shape);

// 256 × `scale` cameras and 64 × `scale` IMUs. Numbers are multiples of 1/16,
// exact in single precision, so the document survives the round trip unchanged.
nlohmann::json makeSyntheticCalibration(std::size_t scale);

}  // namespace ravelin::bench
