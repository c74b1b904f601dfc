#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace ravelin::testing {

// Table-driven cases carry a `name`: it names the generated test, so that a
// failure can be filtered and tracked from build to build, and it is what a
// failure prints for the case. Without a printer the framework prints the
// case's raw bytes, pointers included. A test file brings PrintTo into the
// namespace of its cases with a using-declaration, where the framework finds it.
template <typename Case>
concept NamedCase = requires(const Case& tested) {
  std::string(tested.name);
};

struct ByCaseName {
  template <NamedCase Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& tested) const {
    return tested.param.name;
  }
};

template <NamedCase Case>
void PrintTo(const Case& tested, std::ostream* out) {
  *out << tested.name;
}

}  // namespace ravelin::testing
