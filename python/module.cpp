// The compiled half of the Python package ravelin: the commands' work on
// bytes and documents in memory, through the same libraries as the command
// line. ravelin/__init__.py wraps each function with its types and its help.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "check/check.h"
#include "cli/blob_dispatch.h"
#include "cli/checking.h"
#include "cli/file_io.h"
#include "cli/verification.h"
#include "console/format.h"
#include "console/log.h"
#include "diff/diff.h"
#include "python/errors.h"
#include "python/python_json.h"
#include "wire/annotation.h"

namespace ravelin::python {

namespace {

// The decode, check and inspect commands' word for a blob of neither kind.
constexpr const char* kUnknownBlobKind = "Unrecognized binary magic";
constexpr const char* kUnknownDocumentKind =
    "Input JSON is neither compact calibration nor device_config format.";
// The check command's error for a blob whose CRC does not match.
constexpr const char* kCorruptBlob = "Stored and computed CRC32 do not match: the blob is corrupt";

const char* kindName(BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? "device_config" : "calibration";
}

const char* levelName(LogLevel level) {
  return level == LogLevel::ERROR ? "error" : "warning";
}

const char* severityName(FindingSeverity severity) {
  return severity == FindingSeverity::ERROR ? "error" : "warning";
}

class BufferView {
 public:
  explicit BufferView(py::handle object) {
    if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) {
      throw py::error_already_set();
    }
  }
  ~BufferView() { PyBuffer_Release(&view_); }
  BufferView(const BufferView&) = delete;
  BufferView& operator=(const BufferView&) = delete;

  const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(view_.buf); }
  std::size_t size() const { return static_cast<std::size_t>(view_.len); }

 private:
  Py_buffer view_{};
};

// A copy, taken with the GIL held, which no other thread can change while the
// libraries read it.
Bytes blobBytes(py::handle blob) {
  const BufferView view(blob);
  if (view.size() > kMaxBlobFileSize) {
    throw DecodeError(describe("Input blob is %zu bytes; blobs above %ju bytes are refused",
                               view.size(), kMaxBlobFileSize));
  }
  return Bytes(view.data(), view.data() + view.size());
}

bool isBlob(py::handle object) {
  return !PyUnicode_Check(object.ptr()) && PyObject_CheckBuffer(object.ptr()) != 0;
}

// A str is JSON text, read as the command line reads a file.
json documentOf(LibraryCall& call, py::handle document) {
  if (!PyUnicode_Check(document.ptr())) return fromPython(document);
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(document.ptr(), &size);
  if (text == nullptr) throw py::error_already_set();
  const auto length = static_cast<std::size_t>(size);
  if (length > kMaxJsonFileSize) {
    throw EncodeError(describe("Input JSON is %zu bytes; texts above %ju bytes are refused", length,
                               kMaxJsonFileSize));
  }
  // The str keeps its UTF-8 form while the caller holds it.
  return call.run<EncodeError>([&] { return parseJsonDocument({text, length}); });
}

BlobKind blobKindOf(const Bytes& blob) {
  const std::optional<BlobKind> kind = detectBlobKind(blob);
  if (!kind) throw DecodeError(kUnknownBlobKind);
  return *kind;
}

// Fails with the reason the calibration test logged before the module's own line.
BlobKind documentKindOf(LibraryCall& call, const json& document) {
  return call.run<EncodeError>([&] {
    const std::optional<BlobKind> kind = documentKind(document);
    if (!kind) throw std::runtime_error(kUnknownDocumentKind);
    return *kind;
  });
}

enum class Numbers { EXACT, AS_WRITTEN };

// Decodes with the CRC check on, noting a mismatch in the call; AS_WRITTEN
// rounds the numbers as decode writes them.
json decodeBlobOf(LibraryCall& call, const Bytes& blob, BlobKind kind,
                  Numbers numbers = Numbers::EXACT) {
  json decoded;
  const bool crcMatched = call.run<DecodeError>([&] {
    const bool matched = decodeBlob(kind, blob, decoded);
    if (numbers == Numbers::AS_WRITTEN) roundJsonFloats(decoded);
    return matched;
  });
  if (!crcMatched) call.noteCrcMismatch();
  return decoded;
}

py::object decode(py::handle blob, bool strict) {
  LibraryCall call;
  const Bytes bytes = blobBytes(blob);
  const json decoded = decodeBlobOf(call, bytes, blobKindOf(bytes), Numbers::AS_WRITTEN);
  if (strict) call.refuseCrcMismatch();
  call.warn();
  return toPython(decoded);
}

py::str decodeText(py::handle blob) {
  LibraryCall call;
  const Bytes bytes = blobBytes(blob);
  const BlobKind kind = blobKindOf(bytes);
  std::string text;
  const bool crcMatched =
      call.run<DecodeError>([&] { return decodeBlobToText(kind, bytes, text); });
  if (!crcMatched) call.noteCrcMismatch();
  call.warn();
  return {text.data(), text.size()};
}

py::bytes encode(py::handle document) {
  LibraryCall call;
  const json source = documentOf(call, document);
  const BlobKind kind = documentKindOf(call, source);
  const Bytes blob = call.run<EncodeError>([&] {
    Bytes encoded = encodeDocument(source, kind);
    refuseBlobAboveTheLimit(encoded, blobKindWord(kind));
    return encoded;
  });
  call.warn();
  return {reinterpret_cast<const char*>(blob.data()), blob.size()};
}

const char* kind(py::handle documentOrBlob) {
  LibraryCall call;
  const BlobKind found = isBlob(documentOrBlob)
                             ? blobKindOf(blobBytes(documentOrBlob))
                             : documentKindOf(call, documentOf(call, documentOrBlob));
  call.warn();
  return kindName(found);
}

py::tuple verify(py::handle document, py::handle blob) {
  LibraryCall call;
  const json source = documentOf(call, document);
  const Bytes bytes = blobBytes(blob);
  const BlobKind blobKind = blobKindOf(bytes);
  call.run<EncodeError>([&] { requireSourceOfKind(source, blobKind); });
  json decoded = decodeBlobOf(call, bytes, blobKind);
  std::vector<LogLine> differences;
  const int exitCode = call.run<DecodeError>([&] {
    return judgeRoundTrip(source, std::move(decoded),
                          [&](const LogLine& line) { differences.push_back(line); });
  });
  call.warn();
  py::list entries;
  for (const LogLine& line : differences)
    entries.append(py::make_tuple(levelName(line.level), line.text));
  return py::make_tuple(exitCode, entries);
}

// A corrupt blob is judged all the same; its CRC counts as an error first.
std::vector<Finding> findingsOfBlob(LibraryCall& call, const Bytes& blob) {
  const BlobKind blobKind = blobKindOf(blob);
  json decoded = decodeBlobOf(call, blob, blobKind);
  std::vector<Finding> findings;
  if (call.crcMismatch()) findings.push_back({FindingSeverity::ERROR, "", "", kCorruptBlob});
  std::vector<Finding> judged =
      call.run<DecodeError>([&] { return checkDecodedDocument(decoded, blobKind); });
  findings.insert(findings.end(), judged.begin(), judged.end());
  return findings;
}

std::vector<Finding> findingsOfDocument(LibraryCall& call, py::handle document) {
  const json source = documentOf(call, document);
  const BlobKind documentKind = documentKindOf(call, source);
  return call.run<EncodeError>([&] { return checkDocument(source, documentKind); });
}

py::tuple check(py::handle documentOrBlob) {
  LibraryCall call;
  const std::vector<Finding> findings = isBlob(documentOrBlob)
                                            ? findingsOfBlob(call, blobBytes(documentOrBlob))
                                            : findingsOfDocument(call, documentOrBlob);
  call.warn();
  py::list entries;
  for (const Finding& finding : findings) {
    entries.append(py::make_tuple(severityName(finding.severity), finding.pointer, finding.value,
                                  finding.reason));
  }
  return py::make_tuple(checkExitCode(countFindings(findings)), entries);
}

// The text of inspect --json, which json.loads reads with the keys in its order.
py::str inspect(py::handle blob) {
  LibraryCall call;
  const Bytes bytes = blobBytes(blob);
  const std::string text =
      call.run<DecodeError>([&] { return renderAnnotationJson(inspectBlob(bytes)); });
  call.warn();
  return {text.data(), text.size()};
}

struct DiffSide {
  diff::DocumentKind kind;
  json document;
  bool corrupt = false;  // a blob whose stored CRC32 does not match its body
};

diff::DocumentKind diffKindOf(BlobKind kind) {
  return kind == BlobKind::DEVICE_CONFIG ? diff::DocumentKind::DEVICE_CONFIG
                                         : diff::DocumentKind::CALIBRATION;
}

// Numbers as stored, not as decode writes them, which is what diff compares.
// The decoder's own lines stay unsaid: the report holds a corrupt blob.
DiffSide diffSideOf(LibraryCall& call, py::handle input) {
  if (!isBlob(input)) {
    json document = documentOf(call, input);
    return {diffKindOf(documentKindOf(call, document)), std::move(document)};
  }
  const Bytes bytes = blobBytes(input);
  const BlobKind blobKind = blobKindOf(bytes);
  DiffSide side{diffKindOf(blobKind), json()};
  side.corrupt = !call.run<DecodeError>([&] {
    const QuietScope quiet;
    return decodeBlob(blobKind, bytes, side.document);
  });
  return side;
}

const char* kindWords(diff::DocumentKind kind) {
  return kind == diff::DocumentKind::DEVICE_CONFIG ? "a device config" : "a compact calibration";
}

// The text of diff --json.
py::str diffReport(py::handle older, py::handle newer) {
  LibraryCall call;
  const DiffSide oldSide = diffSideOf(call, older);
  const DiffSide newSide = diffSideOf(call, newer);
  if (oldSide.kind != newSide.kind) {
    throw Error(describe("old is %s and new is %s: diff compares two documents of one kind",
                         kindWords(oldSide.kind), kindWords(newSide.kind)));
  }
  const std::string text = call.run<Error>([&] {
    diff::DiffReport report = oldSide.kind == diff::DocumentKind::DEVICE_CONFIG
                                  ? diff::diffDeviceConfigs(oldSide.document, newSide.document)
                                  : diff::diffCalibrations(oldSide.document, newSide.document);
    if (newSide.corrupt) diff::addCorruptBlob(report, diff::Side::NEW);
    if (oldSide.corrupt) diff::addCorruptBlob(report, diff::Side::OLD);
    return diff::reportText(report);
  });
  call.warn();
  return {text.data(), text.size()};
}

}  // namespace

}  // namespace ravelin::python

PYBIND11_MODULE(_ravelin, module) {
  namespace py = pybind11;
  using namespace ravelin::python;
  module.doc() = "The compiled half of ravelin; use the package's functions instead.";
  module.attr("__version__") = RAVELIN_VERSION;
  registerErrors(module);
  module.def("decode", &decode, py::arg("blob"), py::arg("strict"), "The document of a blob.");
  module.def("decode_text", &decodeText, py::arg("blob"), "The text decode writes for a blob.");
  module.def("encode", &encode, py::arg("document"), "The blob of a document.");
  module.def("kind", &kind, py::arg("document_or_blob"), "The kind of a document or blob.");
  module.def("verify", &verify, py::arg("document"), py::arg("blob"),
             "The exit code of verify and its differences as (level, text).");
  module.def("check", &check, py::arg("document_or_blob"),
             "The exit code of check and its findings as (level, pointer, value, reason).");
  module.def("inspect", &inspect, py::arg("blob"), "The text of inspect --json.");
  module.def("diff", &diffReport, py::arg("old"), py::arg("new"), "The text of diff --json.");
}
