#pragma once

// Documents between the JSON library's values and the Python objects that
// json.loads gives (dict, list, str, int, float, bool, None). Both directions
// hold the GIL.

#include <pybind11/pybind11.h>

#include <nlohmann/json.hpp>

namespace ravelin::python {

namespace py = pybind11;
using json = nlohmann::json;

// As json.loads gives the text that decode writes: floats that are not finite
// (written as null) become None. Throws DecodeError, in the JSON library's
// words, for a string that is not UTF-8, which decode could not write.
py::object toPython(const json& value);

// As the JSON library's parser reads the same document written as text:
// non-negative integers unsigned, integers beyond 64 bits as floats. Lists
// and tuples are arrays. Throws EncodeError for nesting deeper than the
// command line accepts, and TypeError for any other object and for a key
// that is not a str.
json fromPython(py::handle object);

}  // namespace ravelin::python
