#pragma once

// Documents and blobs shared by the device config suites.

#include <cstddef>
#include <nlohmann/json.hpp>

#include "wire/byte_io.h"

namespace ravelin::testing {

using json = nlohmann::json;

struct DocumentAndBlob {
  json document;
  Bytes blob;
};

// Every required field, every string empty, no optional field. Its numbers
// run through a sequence so that a field written in the wrong place shows;
// the blob beside it is assembled independently from the wire layout.
DocumentAndBlob smallestDocumentAndBlob();
json smallestDocument();

// Every optional field (OptionalFlags 0x1FF), hidden_area_mesh, explicit r2max
// and nSplineCtrlPts, and floats that binary32 cannot hold exactly.
json fullDocument();

// Element `index` of the document's tracking_to_eye_transform.
json& eye(json& document, std::size_t index);

// Rewrites body size and CRC after a test has edited or cut the body.
Bytes resealed(Bytes blob);

// Decodes with the CRC compared; fails the test when the CRC does not match.
json decodeChecked(const Bytes& blob);

}  // namespace ravelin::testing
