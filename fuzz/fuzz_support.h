#pragma once

// What every fuzz target shares. A thrown std::exception is the defined
// answer to bad input; a broken invariant aborts, so that libFuzzer (or the
// corpus replay) reports the input that broke it.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "cli/blob_dispatch.h"
#include "wire/byte_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace ravelin::fuzz {

[[noreturn]] void invariantBroken(std::string_view what, std::string_view detail = {});

inline void require(bool holds, std::string_view what) {
  if (!holds) invariantBroken(what);
}

// Aborts for exceptions that no input may cause even though they derive
// from std::exception: failed allocations (a count taken from the input was
// trusted) and the byte cursor's own overrun (a read went unchecked, so the
// user would not get the format's message).
void rejectUnexpected(const std::exception& error);

// Runs `step`; returns false when it threw a std::exception (the input was
// refused), true when it completed.
template <typename Step>
bool refusedOrDone(Step&& step) {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    rejectUnexpected(error);
    return false;
  }
}

// Runs `step`, which must not throw at all for this input.
template <typename Step>
void mustSucceed(std::string_view what, Step&& step) {
  try {
    step();
  } catch (const std::exception& error) {
    invariantBroken(what, error.what());
  }
}

// Silences the console log; the targets call it first on every input.
void quietLogs();

Bytes toBytes(const std::uint8_t* data, std::size_t size);

// Parses the way the commands load a JSON file (comments allowed, nesting
// bounded); no value for text that they would refuse.
std::optional<json> parseJsonText(std::string_view text);

// The checks every blob that an encoder made from `source` must pass: the
// right magic, a decode without error and with a matching CRC, and, when the
// source's strings are UTF-8, a decoded document that the decode command can
// write. Returns the decoded document, unrounded.
json requireDecodableEncoderOutput(const json& source, const Bytes& blob, BlobKind kind);

// Recognises and encodes a calibration document; when the encoder accepts
// it, its blob must pass requireDecodableEncoderOutput.
void checkCalibrationEncoding(const json& document);

// A device config blob that the encoder wrote from `source` decodes to a
// document that encodes back to the very same bytes.
void requireDeviceConfigFixedPoint(const json& source, const Bytes& blob);

// A legal blob survives the trip through the text that decode writes for it:
// that text encodes again and decodes to the same text. Legal means what an
// encoder could have written: every number finite (JSON has no spelling for
// NaN or infinity, which decode to null) and a document that encoding and
// decoding give back unchanged. `decoded` is the blob's document, unrounded.
void requireTextRoundTrip(BlobKind kind, const json& decoded);

// Decoders leave their output untouched when they throw: the targets fill it
// with this value first and compare afterwards.
json untouchedMarker();

}  // namespace ravelin::fuzz
