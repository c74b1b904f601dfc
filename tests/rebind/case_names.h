#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace palisade::cases {

// Table-driven cases carry a `name`: it names the generated test and is what a
// failure prints instead of the case's raw bytes. A file brings PrintTo into the
// namespace of its case tables with a using-declaration, where the test
// framework finds it.
template <typename Case>
concept NamedCase = requires(const Case& tested) {
  std::string(tested.name);
};

template <NamedCase Case>
std::string caseName(const ::testing::TestParamInfo<Case>& tested) {
  return tested.param.name;
}

template <NamedCase Case>
void PrintTo(const Case& tested, std::ostream* out) {
  *out << tested.name;
}

}  // namespace palisade::cases
