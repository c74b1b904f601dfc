#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

namespace ravelin::bench {

// A compact calibration that exercises every block and optional key: 256 ×
// `scale` cameras (each with kb and kb_spline intrinsics, alternating matrix
// and CAD extrinsics), 64 × `scale` IMUs, CAD poses for all of them and
// metadata strings. Numbers are multiples of 1/16, exact in single precision,
// so the document survives the round trip unchanged.
nlohmann::json makeSyntheticCalibration(std::size_t scale);

}  // namespace ravelin::bench
