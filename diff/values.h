#pragma once

// Walking two documents side by side, and collecting the changes found.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/format.h"
#include "diff/diff.h"

namespace ravelin::diff::detail {

// The same place in both documents, with its JSON Pointer; a side is
// nullptr where its document holds nothing there.
class Pair {
 public:
  Pair(const json& oldRoot, const json& newRoot) : old_(&oldRoot), new_(&newRoot) {}

  Pair operator[](std::string_view key) const;
  Pair operator[](std::size_t index) const;
  // This place with `fallback` on a side that holds nothing: what the
  // encoders store for an optional value that is absent.
  Pair orDefault(const json& fallback) const;

  const json* older() const { return old_; }
  const json* newer() const { return new_; }
  const std::string& pointer() const { return pointer_; }
  // The elements of each side that is an array (0 for any other kind).
  std::size_t olderSize() const;
  std::size_t newerSize() const;

 private:
  Pair(const json* older, const json* newer, std::string pointer)
      : old_(older), new_(newer), pointer_(std::move(pointer)) {}

  const json* old_;
  const json* new_;
  std::string pointer_;
};

// Equal once single precision has stored them: the same float32, or apart
// by no more than half a float32 step of the larger. Infinities only equal
// themselves.
bool sameNumber(double a, double b);

// Equal as the encoders store them: numbers (and booleans beside numbers) by
// sameNumber, arrays element by element, objects key by key, anything else
// exactly. Two absent values are equal.
bool sameValue(const json* a, const json* b);

// A number, or a boolean as 0 or 1, as the encoders read it.
std::optional<double> numberAt(const json* value);

// "+0.028 px (+0.01 %)": the change from `from` to `to` in `unit`, and when
// `relative`, as a share of `from` (unless that is 0).
std::string signedChange(double from, double to, const char* unit, bool relative);

using ravelin::describe;

class ChangeList {
 public:
  explicit ChangeList(std::vector<Change>& into) : into_(into) {}

  void add(Change change) { into_.push_back(std::move(change)); }
  std::size_t size() const { return into_.size(); }

  // Every leaf under `at` that differs, as a change of its own carrying both
  // values (a number also its signed and relative change), all judged
  // `within` or not.
  void leaves(const Pair& at, bool within);
  // leaves() for each named member of `at`, skipping the others.
  void members(const Pair& at, std::initializer_list<const char*> keys, bool within);
  // One change for the whole value at `at` when it differs anywhere.
  void whole(const Pair& at, std::string detail, bool within);
  // A number that differs, with its signed change in `unit`.
  void number(const Pair& at, const char* unit, bool relative, bool within);
  // A list entry that only one document holds, for each beyond the shorter list.
  void unpaired(const Pair& list);
  // A figure judged against its tolerance (within at or below it).
  void measured(const Pair& at, std::string detail, const Measure& measure, bool withValues);

 private:
  std::vector<Change>& into_;
};

// Whether the value at `at` differs between the documents at all.
inline bool differs(const Pair& at) {
  return !sameValue(at.older(), at.newer());
}

}  // namespace ravelin::diff::detail
