#include "wire/json_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>

#include "wire/byte_io.h"

namespace ravelin {

namespace {

constexpr std::size_t kIndentStep = 4;

double roundWithFactor(double x, double factor) {
  return std::nearbyint(x * factor) / factor;
}

double roundThroughLogarithm(double x) {
  if (std::isfinite(x) && x != 0.0) {
    const double factor = std::pow(10.0, 8.0 - std::floor(std::log10(std::fabs(x))));
    if (std::isfinite(factor) && factor != 0.0) return roundWithFactor(x, factor);
  }
  return static_cast<double>(narrowToFloat32(x));
}

// Decoded numbers are float32 values, and those from 1e-14 up to 1e9 take a
// shorter road to the same double: their rounding factor 10^(8 - exponent)
// is one of the powers of ten a double holds exactly, and no such value lies
// so close to a power of ten that comparing it with the nearest double gives
// another exponent than floor(log10(x)). An exhaustive run over every
// float32 found both roads equal.
constexpr int kFastRoadLowestExponent = -14;
constexpr double kFastRoadLimit = 1e9;
// 10^kFastRoadLowestExponent up to kFastRoadLimit.
constexpr std::array<double, 24> kFastRoadPowersOfTen = {
    1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3,
    1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9};
constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool takesFastRoad(double x, double magnitude) {
  return magnitude >= kFastRoadPowersOfTen.front() && magnitude < kFastRoadLimit &&
         static_cast<double>(static_cast<float>(x)) == x;
}

// floor(log10(magnitude)) for a normal magnitude on the fast road: the
// binary exponent times log10(2) (1233 / 4096) is the exponent or one less.
int decimalExponent(double magnitude) {
  const int binaryExponent =
      static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7FF) - 1023;
  const int estimate = (binaryExponent * 1233) >> 12;
  const auto powerAbove = static_cast<std::size_t>(estimate + 1 - kFastRoadLowestExponent);
  return magnitude >= kFastRoadPowersOfTen[powerAbove] ? estimate + 1 : estimate;
}

}  // namespace

double roundToNineSignificantDigits(double x) {
  const double magnitude = std::fabs(x);
  if (!takesFastRoad(x, magnitude)) return roundThroughLogarithm(x);
  const auto factorExponent = static_cast<std::size_t>(8 - decimalExponent(magnitude));
  return roundWithFactor(x, kExactPowersOfTen[factorExponent]);
}

namespace {

// Printable ASCII other than the quote and the backslash stands for itself.
bool needsNoEscaping(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

// The library's own escaping, and its refusal of invalid UTF-8.
void appendEscaped(std::string_view text, std::string& out) {
  using json = nlohmann::json;
  nlohmann::detail::serializer<json> library(nlohmann::detail::output_adapter<char>(out), ' ',
                                             json::error_handler_t::strict);
  library.dump(json(text), /*pretty_print=*/false, /*ensure_ascii=*/false, 0);
}

}  // namespace

void JsonTextWriter::key(std::string_view name) {
  beginValue();
  quoted(name);
  text_ += ": ";
  afterKey_ = true;
}

void JsonTextWriter::string(std::string_view text) {
  beginValue();
  quoted(text);
}

void JsonTextWriter::quoted(std::string_view text) {
  if (!needsNoEscaping(text)) {
    appendEscaped(text, text_);
    return;
  }
  text_ += '"';
  text_ += text;
  text_ += '"';
}

void JsonTextWriter::number(double value) {
  beginValue();
  if (!std::isfinite(value)) {
    text_ += "null";
    return;
  }
  std::array<char, 64> digits{};
  char* end = nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), value);
  text_.append(digits.data(), end);
}

void JsonTextWriter::integer(std::int64_t value) {
  beginValue();
  std::array<char, 24> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  text_.append(digits.data(), written.ptr);
}

void JsonTextWriter::integer(std::uint64_t value) {
  beginValue();
  std::array<char, 24> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  text_.append(digits.data(), written.ptr);
}

void JsonTextWriter::boolean(bool value) {
  beginValue();
  text_ += value ? "true" : "false";
}

void JsonTextWriter::null() {
  beginValue();
  text_ += "null";
}

void JsonTextWriter::open(char bracket) {
  beginValue();
  text_ += bracket;
  filled_.push_back(false);
}

// An empty container closes right after it opened; a filled one on a line
// of its own, indented as its opening line.
void JsonTextWriter::close(char bracket) {
  const bool filled = filled_.back();
  filled_.pop_back();
  if (filled) {
    text_ += '\n';
    text_.append(filled_.size() * kIndentStep, ' ');
  }
  text_ += bracket;
}

void JsonTextWriter::beginValue() {
  if (spill_ && text_.size() >= kSpillSize) {
    spill_(text_);
    text_.clear();
  }
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (filled_.empty()) return;
  text_ += filled_.back() ? ",\n" : "\n";
  filled_.back() = true;
  text_.append(filled_.size() * kIndentStep, ' ');
}

}  // namespace ravelin
