#pragma once

#include <gtest/gtest.h>

#include <string>

namespace ravelin::testing {

// Names parameterised cases after their `name` member.
struct ByCaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& tested) const {
    return tested.param.name;
  }
};

}  // namespace ravelin::testing
