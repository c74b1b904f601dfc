#include "diff/values.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "wire/byte_io.h"

namespace ravelin::diff::detail {

namespace {

std::size_t arraySize(const json* value) {
  return value != nullptr && value->is_array() ? value->size() : 0;
}

const json* memberOf(const json* value, std::string_view key) {
  if (value == nullptr || !value->is_object()) return nullptr;
  const auto found = value->find(key);
  return found == value->end() ? nullptr : &*found;
}

const json* elementOf(const json* value, std::size_t index) {
  return index < arraySize(value) ? &(*value)[index] : nullptr;
}

// A member name as a JSON Pointer spells it.
std::string escaped(std::string_view key) {
  std::string text;
  for (const char c : key) {
    if (c == '~') {
      text += "~0";
    } else if (c == '/') {
      text += "~1";
    } else {
      text += c;
    }
  }
  return text;
}

bool isNumberLike(const json& value) {
  return value.is_number() || value.is_boolean();
}

bool sameElements(const json& a, const json& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!sameValue(&a[i], &b[i])) return false;
  }
  return true;
}

bool sameMembers(const json& a, const json& b) {
  if (a.size() != b.size()) return false;
  for (auto member = a.begin(); member != a.end(); ++member) {
    if (!sameValue(&member.value(), memberOf(&b, member.key()))) return false;
  }
  return true;
}

std::optional<json> copyOf(const json* value) {
  if (value == nullptr) return std::nullopt;
  return *value;
}

}  // namespace

Pair Pair::operator[](std::string_view key) const {
  return Pair(memberOf(old_, key), memberOf(new_, key), pointer_ + "/" + escaped(key));
}

Pair Pair::operator[](std::size_t index) const {
  return Pair(elementOf(old_, index), elementOf(new_, index),
              pointer_ + "/" + std::to_string(index));
}

Pair Pair::orDefault(const json& fallback) const {
  return Pair(old_ != nullptr ? old_ : &fallback, new_ != nullptr ? new_ : &fallback, pointer_);
}

std::size_t Pair::olderSize() const {
  return arraySize(old_);
}

std::size_t Pair::newerSize() const {
  return arraySize(new_);
}

bool sameNumber(double a, double b) {
  if (a == b) return true;
  if (!std::isfinite(a) || !std::isfinite(b)) return false;
  if (narrowToFloat32(a) == narrowToFloat32(b)) return true;
  constexpr double kHalfStep = 0.5 * static_cast<double>(FLT_EPSILON);
  return std::fabs(a - b) <= kHalfStep * std::max(std::fabs(a), std::fabs(b));
}

std::optional<double> numberAt(const json* value) {
  if (value == nullptr || !isNumberLike(*value)) return std::nullopt;
  if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
  return value->get<double>();
}

bool sameValue(const json* a, const json* b) {
  if (a == nullptr || b == nullptr) return a == b;
  if ((a->is_number() && isNumberLike(*b)) || (b->is_number() && isNumberLike(*a))) {
    return sameNumber(*numberAt(a), *numberAt(b));
  }
  if (a->is_array() && b->is_array()) return sameElements(*a, *b);
  if (a->is_object() && b->is_object()) return sameMembers(*a, *b);
  return *a == *b;
}

std::string signedChange(double from, double to, const char* unit, bool relative) {
  const std::string change = describe("%+.6g%s%s", to - from, *unit == '\0' ? "" : " ", unit);
  if (!relative || from == 0.0) return change;
  return change + describe(" (%+.3g %%)", 100.0 * (to - from) / std::fabs(from));
}

void ChangeList::leaves(const Pair& at, bool within) {
  if (!differs(at)) return;
  const json* older = at.older();
  const json* newer = at.newer();
  if (older != nullptr && newer != nullptr && older->is_object() && newer->is_object()) {
    for (auto member = older->begin(); member != older->end(); ++member) {
      leaves(at[member.key()], within);
    }
    for (auto member = newer->begin(); member != newer->end(); ++member) {
      if (!older->contains(member.key())) leaves(at[member.key()], within);
    }
    return;
  }
  if (older != nullptr && newer != nullptr && older->is_array() && newer->is_array()) {
    for (std::size_t i = 0; i < std::max(older->size(), newer->size()); ++i) {
      leaves(at[i], within);
    }
    return;
  }
  number(at, "", /*relative=*/true, within);
}

void ChangeList::number(const Pair& at, const char* unit, bool relative, bool within) {
  if (!differs(at)) return;
  const std::optional<double> from = numberAt(at.older());
  const std::optional<double> to = numberAt(at.newer());
  add({at.pointer(), copyOf(at.older()), copyOf(at.newer()),
       from && to ? signedChange(*from, *to, unit, relative) : "", std::nullopt, within});
}

void ChangeList::unpaired(const Pair& list) {
  const std::size_t paired = std::min(list.olderSize(), list.newerSize());
  for (std::size_t i = paired; i < list.olderSize(); ++i) {
    add({list[i].pointer(), std::nullopt, std::nullopt, "only in the old document", std::nullopt,
         false});
  }
  for (std::size_t i = paired; i < list.newerSize(); ++i) {
    add({list[i].pointer(), std::nullopt, std::nullopt, "only in the new document", std::nullopt,
         false});
  }
}

void ChangeList::members(const Pair& at, std::initializer_list<const char*> keys, bool within) {
  for (const char* key : keys) leaves(at[key], within);
}

void ChangeList::whole(const Pair& at, std::string detail, bool within) {
  if (!differs(at)) return;
  add({at.pointer(), copyOf(at.older()), copyOf(at.newer()), std::move(detail), std::nullopt,
       within});
}

void ChangeList::measured(const Pair& at, std::string detail, const Measure& measure,
                          bool withValues) {
  add({at.pointer(), withValues ? copyOf(at.older()) : std::nullopt,
       withValues ? copyOf(at.newer()) : std::nullopt, std::move(detail), measure,
       measure.value <= measure.tolerance});
}

}  // namespace ravelin::diff::detail
