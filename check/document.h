#pragma once

// Walking a document for the checks: each value travels with its JSON
// Pointer, and the findings collect what the rules say about them.

#include <algorithm>
#include <array>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "console/format.h"
#include "geometry/vector.h"

namespace ravelin::check {

// A value of the document and its JSON Pointer; the value is absent when the
// path names nothing. Member names are the formats' own, none of which holds
// the '~' or '/' that a pointer would have to escape.
class Node {
 public:
  explicit Node(const json& root) : value_(&root) {}

  Node operator[](std::string_view key) const;
  Node operator[](std::size_t index) const;

  const json* value() const { return value_; }
  const std::string& pointer() const { return pointer_; }
  bool isArray() const { return value_ != nullptr && value_->is_array(); }
  bool isObject() const { return value_ != nullptr && value_->is_object(); }
  // The elements of an array, none for anything else.
  std::size_t size() const { return isArray() ? value_->size() : 0; }
  // The number when it is one and finite, without a finding either way: for a
  // rule that reads a value which another rule judges.
  std::optional<double> finiteNumber() const;
  // The string, or nothing for any other kind.
  std::optional<std::string> text() const;
  // The value as compact JSON; invalid UTF-8 from a blob is replaced, not refused.
  std::string dump() const;

 private:
  Node(const json* value, std::string pointer) : value_(value), pointer_(std::move(pointer)) {}

  const json* value_;
  std::string pointer_;
};

using ravelin::describe;

using geometry::Mat3;
using geometry::Vec3;

class Findings {
 public:
  void error(const Node& at, std::string reason);
  void warning(const Node& at, std::string reason);
  // With a value text of the rule's own, for a judgement over several values.
  void add(FindingSeverity severity, const Node& at, std::string value, std::string reason);

  // The number at `node` (a boolean counts as 0 or 1, as the encoders take
  // it). Nothing when absent; an error, and nothing, when it is present but
  // no number that single precision holds finitely.
  std::optional<double> number(const Node& node);

  // An array of N such numbers (at least N, the first N taken, when
  // `longerAllowed`). Every element that is no finite number is an error;
  // nothing then, or when the node is no array of that length.
  template <std::size_t N>
  std::optional<std::array<double, N>> numbers(const Node& node, bool longerAllowed = false) {
    const std::optional<std::vector<double>> all = allNumbers(node);
    if (!all || all->size() < N || (all->size() > N && !longerAllowed)) return std::nullopt;
    std::array<double, N> first{};
    std::copy_n(all->begin(), N, first.begin());
    return first;
  }

  // Every element of an array, each judged as by number(); nothing when the
  // node is no array or an element failed.
  std::optional<std::vector<double>> allNumbers(const Node& node);

  // A 3x3 matrix written as three rows of three.
  std::optional<Mat3> matrix3(const Node& node);

  // Whether an error was found at `at` or within it: rules that build on a
  // value found certainly wrong leave it alone rather than repeat the news.
  bool erred(const Node& at) const;

  std::vector<Finding> take() { return std::move(list_); }

 private:
  std::vector<Finding> list_;
};

}  // namespace ravelin::check
