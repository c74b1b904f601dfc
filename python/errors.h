#pragma once

// The module's failures as C++ exceptions, each translated into the Python
// exception of the same name; and the call into the C++ libraries that turns
// their exceptions and log lines into those failures and Python warnings.

#include <pybind11/pybind11.h>

#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console/log.h"

namespace ravelin::python {

namespace py = pybind11;

// ravelin.Error, a ValueError: input the libraries refuse.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// ravelin.DecodeError: a blob that cannot be decoded.
struct DecodeError : Error {
  using Error::Error;
};
// ravelin.EncodeError: a document that cannot be read, recognised or encoded.
struct EncodeError : Error {
  using Error::Error;
};
// ravelin.CrcMismatch: a blob whose stored CRC does not match its body, when asked to refuse it.
struct CrcMismatch : DecodeError {
  using DecodeError::DecodeError;
};

// Creates the exception and warning classes in `module` and translates the
// failures above into them.
void registerErrors(py::module_& module);

// One call of the module into the C++ libraries. Each step runs without the
// GIL while its thread's log lines are captured, so nothing is printed and
// other Python threads run meanwhile. What the log says reaches Python
// instead: a step that throws raises the failure given as its type, worded
// by the error lines it logged and the exception's own text, as the command
// line shows them; what was logged at warning or error level by steps that
// succeeded becomes Python warnings once the call is done.
class LibraryCall {
 public:
  // Runs `step` without the GIL; a std::exception other than a failed
  // allocation (a MemoryError) becomes a `Failure`.
  template <typename Failure, typename Step>
  auto run(Step&& step) -> decltype(step()) {
    const std::size_t firstLine = capture_.lines().size();
    const py::gil_scoped_release release;
    try {
      return std::forward<Step>(step)();
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const Error&) {
      throw;
    } catch (const std::exception& error) {
      throw Failure(failureText(firstLine, error));
    }
  }

  // Noted by a step whose decoder found that the stored CRC does not match.
  void noteCrcMismatch() { crcMismatch_ = true; }
  bool crcMismatch() const { return crcMismatch_; }
  // Raises CrcMismatch if one was noted.
  void refuseCrcMismatch() const;

  // Issues the warnings; holds the GIL. After a CRC mismatch every line
  // goes into one CrcMismatchWarning, since the mismatch is what they tell of.
  void warn() const;

 private:
  std::string failureText(std::size_t firstLine, const std::exception& error) const;
  // Every line captured: the capture keeps warnings and errors only.
  std::vector<std::string> warningTexts() const;
  std::string crcMismatchText() const;

  LogCapture capture_{LogLevel::WARNING};
  bool crcMismatch_ = false;
};

}  // namespace ravelin::python
