#include "python/errors.h"

namespace ravelin::python {

namespace {

// Both are set once, while the module is imported, and live as long as it.
PyObject* ravelinWarning = nullptr;
PyObject* crcMismatchWarning = nullptr;

// What the decode command says of a blob whose CRC does not match.
constexpr const char* kCrcMismatchSentence =
    "Stored and computed CRC32 codes did not match. Indicates file corruption.";

std::string joinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

void issueWarning(PyObject* category, const std::string& text) {
  // Level 2 names the caller of the package's function, not the function itself.
  if (PyErr_WarnEx(category, text.c_str(), 2) != 0) throw py::error_already_set();
}

PyObject* newWarningClass(py::module_& module, const char* name, const char* doc, PyObject* base) {
  const std::string qualifiedName = "ravelin." + std::string(name);
  PyObject* created = PyErr_NewExceptionWithDoc(qualifiedName.c_str(), doc, base, nullptr);
  if (created == nullptr) throw py::error_already_set();
  module.add_object(name, py::reinterpret_steal<py::object>(created));
  return created;
}

}  // namespace

void registerErrors(py::module_& module) {
  const auto& error = py::register_exception<Error>(module, "Error", PyExc_ValueError);
  const auto& decodeError = py::register_exception<DecodeError>(module, "DecodeError", error);
  py::register_exception<EncodeError>(module, "EncodeError", error);
  py::register_exception<CrcMismatch>(module, "CrcMismatch", decodeError);
  ravelinWarning = newWarningClass(module, "RavelinWarning",
                                   "What the command line logs as a warning or an error of a "
                                   "call that still gave its result.",
                                   PyExc_UserWarning);
  crcMismatchWarning =
      newWarningClass(module, "CrcMismatchWarning",
                      "A decoded blob whose stored CRC32 does not match its body.", ravelinWarning);
}

void LibraryCall::refuseCrcMismatch() const {
  if (crcMismatch_) throw CrcMismatch(crcMismatchText());
}

void LibraryCall::warn() const {
  if (crcMismatch_) {
    issueWarning(crcMismatchWarning, crcMismatchText());
    return;
  }
  for (const std::string& text : warningTexts()) issueWarning(ravelinWarning, text);
}

std::string LibraryCall::failureText(std::size_t firstLine, const std::exception& error) const {
  std::vector<std::string> texts;
  const std::vector<LogLine>& lines = capture_.lines();
  for (std::size_t i = firstLine; i < lines.size(); ++i) {
    if (lines[i].level == LogLevel::ERROR) texts.push_back(lines[i].text);
  }
  texts.emplace_back(error.what());
  return joinedLines(texts);
}

std::vector<std::string> LibraryCall::warningTexts() const {
  std::vector<std::string> texts;
  for (const LogLine& line : capture_.lines()) texts.push_back(line.text);
  return texts;
}

std::string LibraryCall::crcMismatchText() const {
  std::vector<std::string> texts = warningTexts();
  texts.emplace_back(kCrcMismatchSentence);
  return joinedLines(texts);
}

}  // namespace ravelin::python
