#pragma once

// Captures what a call writes to standard output and standard error, so that
// tests can check the exact console lines (colour bytes included).

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "console/log.h"

namespace ravelin::testing {

struct Console {
  std::string out;
  std::string err;
  std::optional<std::string> thrown;  // what() of a std::exception that ended the call
};

template <typename Call>
Console captureConsole(Call&& call) {
  Console console;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  try {
    std::forward<Call>(call)();
  } catch (const std::exception& e) {
    console.thrown = e.what();
  }
  console.out = ::testing::internal::GetCapturedStdout();
  console.err = ::testing::internal::GetCapturedStderr();
  return console;
}

inline std::string errorLine(const std::string& text) {
  return "\x1b[31m[ERROR] " + text + "\x1b[0m\n";
}
inline std::string warningLine(const std::string& text) {
  return "\x1b[33m[WARNING] " + text + "\x1b[0m\n";
}
inline std::string successLine(const std::string& text) {
  return "\x1b[32m[SUCCESS] " + text + "\x1b[0m\n";
}
inline std::string infoLine(const std::string& text) {
  return "\x1b[36m[INFO] " + text + "\x1b[0m\n";
}

// Silences the console log for the lifetime of the object.
using QuietLog = QuietScope;

}  // namespace ravelin::testing
