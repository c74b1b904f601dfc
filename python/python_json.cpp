#include "python/python_json.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/file_io.h"
#include "console/format.h"
#include "console/log.h"
#include "python/errors.h"

namespace ravelin::python {

namespace {

py::object owned(PyObject* created) {
  if (created == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(created);
}

// The library's own message for text that is not UTF-8.
[[noreturn]] void refuseText(const std::string& text) {
  PyErr_Clear();
  try {
    static_cast<void>(json(text).dump());
  } catch (const json::type_error& error) {
    throw DecodeError(error.what());
  }
  throw DecodeError("invalid UTF-8 text");
}

py::object textObject(const std::string& text) {
  PyObject* created =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (created == nullptr) refuseText(text);
  return py::reinterpret_steal<py::object>(created);
}

// Member names recur in every camera and pose: each distinct name becomes one
// str that all its members share, as json.loads shares them. The table is
// small and allocates nothing, which a document of a few dozen members would
// not repay; a name that meets another in its slot gets a str of its own.
class NameTable {
 public:
  NameTable() = default;
  ~NameTable() {
    for (const Slot& slot : slots_) Py_XDECREF(slot.text);
  }
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;

  py::object text(const std::string& name) {
    Slot& slot = slots_[slotOf(name)];
    if (slot.text != nullptr && slot.name == name) {
      return py::reinterpret_borrow<py::object>(slot.text);
    }
    py::object created = textObject(name);
    if (slot.text == nullptr) slot = {name, py::object(created).release().ptr()};
    return created;
  }

 private:
  static constexpr std::size_t kSlots = 256;

  struct Slot {
    std::string_view name;  // a view of the document's own name
    PyObject* text;         // owned
  };

  // FNV-1a.
  static std::size_t slotOf(std::string_view name) {
    std::uint32_t hash = 2166136261U;
    for (const char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619U;
    return hash % kSlots;
  }

  std::array<Slot, kSlots> slots_{};
};

// Builds Python objects for one document, which outlives the builder.
class PythonBuilder {
 public:
  py::object build(const json& value) {
    switch (value.type()) {
      case json::value_t::object:
        return dict(value);
      case json::value_t::array:
        return list(value);
      case json::value_t::string:
        return textObject(value.get_ref<const std::string&>());
      case json::value_t::boolean:
        return py::bool_(value.get<bool>());
      case json::value_t::number_integer:
        return owned(PyLong_FromLongLong(value.get<std::int64_t>()));
      case json::value_t::number_unsigned:
        return owned(PyLong_FromUnsignedLongLong(value.get<std::uint64_t>()));
      case json::value_t::number_float: {
        const double number = value.get<double>();
        if (!std::isfinite(number)) return py::none();
        return owned(PyFloat_FromDouble(number));
      }
      default:  // null; binary and discarded values come from no decoder or text
        return py::none();
    }
  }

 private:
  py::object dict(const json& value) {
    py::object result = owned(PyDict_New());
    for (const auto& [name, member] : value.get_ref<const json::object_t&>()) {
      const py::object memberObject = build(member);
      if (PyDict_SetItem(result.ptr(), names_.text(name).ptr(), memberObject.ptr()) != 0) {
        throw py::error_already_set();
      }
    }
    return result;
  }

  py::object list(const json& value) {
    const auto& elements = value.get_ref<const json::array_t&>();
    py::object result = owned(PyList_New(static_cast<Py_ssize_t>(elements.size())));
    Py_ssize_t index = 0;
    for (const json& element : elements) {
      PyList_SET_ITEM(result.ptr(), index++, build(element).release().ptr());
    }
    return result;
  }

  NameTable names_;
};

std::string utf8Text(py::handle text) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return {data, static_cast<std::size_t>(size)};
}

json integer(py::handle number) {
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
  if (overflow == 0) {
    if (value == -1 && PyErr_Occurred() != nullptr) throw py::error_already_set();
    if (value >= 0) return json(static_cast<std::uint64_t>(value));
    return json(static_cast<std::int64_t>(value));
  }
  if (overflow > 0) {
    const unsigned long long unsignedValue = PyLong_AsUnsignedLongLong(number.ptr());
    if (!(unsignedValue == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr)) {
      return json(static_cast<std::uint64_t>(unsignedValue));
    }
    PyErr_Clear();
  }
  const double asFloat = PyLong_AsDouble(number.ptr());
  if (asFloat == -1.0 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  return json(asFloat);
}

[[noreturn]] void refuseType(const char* what, py::handle object) {
  throw py::type_error(std::string(what) + Py_TYPE(object.ptr())->tp_name);
}

json fromPythonAt(py::handle object, int depth);

// `depth` counts the containers open around the one built, as the command
// line's reader counts them.
void requireRoomToNest(int depth) {
  if (depth < kMaxJsonDepth) return;
  throw EncodeError(describe("JSON input nests deeper than %d levels", kMaxJsonDepth));
}

json objectFromDict(py::handle dict, int depth) {
  requireRoomToNest(depth);
  json result(json::value_t::object);
  auto& members = result.get_ref<json::object_t&>();
  PyObject* name = nullptr;
  PyObject* value = nullptr;
  Py_ssize_t position = 0;
  while (PyDict_Next(dict.ptr(), &position, &name, &value) != 0) {
    if (!PyUnicode_Check(name)) refuseType("keys must be str, not ", name);
    members.insert_or_assign(utf8Text(name), fromPythonAt(value, depth + 1));
  }
  return result;
}

json arrayFromSequence(py::handle sequence, int depth) {
  requireRoomToNest(depth);
  const py::object items = owned(PySequence_Fast(sequence.ptr(), "not a sequence"));
  const Py_ssize_t count = PySequence_Fast_GET_SIZE(items.ptr());
  json::array_t elements;
  elements.reserve(static_cast<std::size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    elements.push_back(fromPythonAt(PySequence_Fast_GET_ITEM(items.ptr(), i), depth + 1));
  }
  return json(std::move(elements));
}

json fromPythonAt(py::handle object, int depth) {
  PyObject* raw = object.ptr();
  if (PyDict_Check(raw)) return objectFromDict(object, depth);
  if (PyList_Check(raw) || PyTuple_Check(raw)) return arrayFromSequence(object, depth);
  if (PyUnicode_Check(raw)) return json(utf8Text(object));
  if (PyBool_Check(raw)) return json(raw == Py_True);
  if (PyLong_Check(raw)) return integer(object);
  if (PyFloat_Check(raw)) return json(PyFloat_AS_DOUBLE(raw));
  if (raw == Py_None) return json(nullptr);
  refuseType("not a JSON value: ", object);
}

}  // namespace

py::object toPython(const json& value) {
  return PythonBuilder().build(value);
}

json fromPython(py::handle object) {
  return fromPythonAt(object, 0);
}

}  // namespace ravelin::python
