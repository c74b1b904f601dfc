#include "check/document.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin::check {

namespace {

// Both formats store these numbers in single precision: a larger one is
// refused by the calibration encoder and becomes an infinity in a device config.
constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());

bool finiteInSinglePrecision(double value) {
  return std::isfinite(value) && std::fabs(value) <= kFloatMax;
}

}  // namespace

Node Node::operator[](std::string_view key) const {
  const json* member = nullptr;
  if (isObject()) {
    const auto found = value_->find(key);
    if (found != value_->end()) member = &*found;
  }
  return Node(member, pointer_ + "/" + std::string(key));
}

Node Node::operator[](std::size_t index) const {
  const json* element = index < size() ? &(*value_)[index] : nullptr;
  return Node(element, pointer_ + "/" + std::to_string(index));
}

std::optional<double> Node::finiteNumber() const {
  if (value_ == nullptr || !value_->is_number()) return std::nullopt;
  const double number = value_->get<double>();
  if (!finiteInSinglePrecision(number)) return std::nullopt;
  return number;
}

std::optional<std::string> Node::text() const {
  if (value_ == nullptr || !value_->is_string()) return std::nullopt;
  return value_->get<std::string>();
}

std::string Node::dump() const {
  return value_ == nullptr ? "" : value_->dump(-1, ' ', false, json::error_handler_t::replace);
}

void Findings::error(const Node& at, std::string reason) {
  add(FindingSeverity::ERROR, at, at.dump(), std::move(reason));
}

void Findings::warning(const Node& at, std::string reason) {
  add(FindingSeverity::WARNING, at, at.dump(), std::move(reason));
}

void Findings::add(FindingSeverity severity, const Node& at, std::string value,
                   std::string reason) {
  list_.push_back({severity, at.pointer(), std::move(value), std::move(reason)});
}

bool Findings::erred(const Node& at) const {
  const std::string& pointer = at.pointer();
  return std::any_of(list_.begin(), list_.end(), [&pointer](const Finding& finding) {
    return finding.severity == FindingSeverity::ERROR &&
           finding.pointer.compare(0, pointer.size(), pointer) == 0 &&
           (finding.pointer.size() == pointer.size() || finding.pointer[pointer.size()] == '/');
  });
}

std::optional<double> Findings::number(const Node& node) {
  const json* value = node.value();
  if (value == nullptr) return std::nullopt;
  if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
  if (value->is_number()) {
    const double number = value->get<double>();
    if (finiteInSinglePrecision(number)) return number;
    if (std::isfinite(number)) {
      error(node, "beyond the range of single precision, in which the blob stores it");
      return std::nullopt;
    }
  }
  // A blob's NaN or infinity decodes to a double that prints as null, and the
  // decoded file holds null there: both say the same.
  error(node, value->is_null() || value->is_number()
                  ? "not a finite number (decode writes a NaN or an infinity as null)"
                  : "not a number");
  return std::nullopt;
}

std::optional<std::vector<double>> Findings::allNumbers(const Node& node) {
  if (!node.isArray()) return std::nullopt;
  std::vector<double> values;
  values.reserve(node.size());
  bool allFinite = true;
  for (std::size_t i = 0; i < node.size(); ++i) {
    const std::optional<double> value = number(node[i]);
    allFinite = allFinite && value.has_value();
    values.push_back(value.value_or(0.0));
  }
  if (!allFinite) return std::nullopt;
  return values;
}

std::optional<Mat3> Findings::matrix3(const Node& node) {
  if (node.size() != 3) return std::nullopt;
  Mat3 matrix{};
  bool complete = true;
  for (std::size_t row = 0; row < 3; ++row) {
    const std::optional<Vec3> values = numbers<3>(node[row]);
    if (values) std::copy(values->begin(), values->end(), matrix.begin() + 3 * row);
    complete = complete && values.has_value();
  }
  if (!complete) return std::nullopt;
  return matrix;
}

}  // namespace ravelin::check
