#include "tests/device_config/documents.h"

#include <gtest/gtest.h>

#include "device_config/device_config.h"
#include "wire/container.h"

namespace ravelin::testing {

namespace {

// Appends each value to the expected bytes as it hands it to the document.
class WireMirror {
 public:
  float f32() {
    value_ += 0.25F;
    appendLE(bytes_, value_);
    return value_;
  }
  json floats(std::size_t count) {
    json values = json::array();
    for (std::size_t i = 0; i < count; ++i) values.push_back(f32());
    return values;
  }
  json matrix() {
    json rows = json::array();
    for (int row = 0; row < 3; ++row) rows.push_back(floats(3));
    return rows;
  }
  template <WireScalar T>
  T scalar(T value) {
    appendLE(bytes_, value);
    return value;
  }
  std::string emptyString() {
    scalar(std::uint32_t{0});
    return "";
  }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_ = Bytes(16, 0);
  float value_ = 0;
};

json distortion(WireMirror& wire) {
  json object;
  object["center_x"] = wire.f32();
  object["center_y"] = wire.f32();
  object["coeffs"] = wire.floats(8);
  wire.scalar(0.0F);  // absent r2max
  return object;
}

json inverseDistortion(WireMirror& wire) {
  json object;
  object["center_x"] = wire.f32();
  object["center_y"] = wire.f32();
  object["coeffs"] = wire.floats(16);
  wire.scalar(std::uint16_t{16});  // absent nSplineCtrlPts
  wire.scalar(0.0F);               // absent r2max
  return object;
}

json eyeObject(WireMirror& wire) {
  json object;
  object["distortion"] = distortion(wire);
  object["distortion_red"] = distortion(wire);
  object["distortion_blue"] = distortion(wire);
  object["eye_to_head"] = wire.matrix();
  object["grow_for_undistort"] = wire.f32();
  object["intrinsics"] = wire.matrix();
  object["inverse_distortion"] = inverseDistortion(wire);
  object["undistort_r2_cutoff"] = wire.f32();
  return object;
}

}  // namespace

DocumentAndBlob smallestDocumentAndBlob() {
  WireMirror wire;
  json doc;
  wire.scalar(std::uint16_t{1});
  wire.scalar(std::uint16_t{0});
  wire.scalar(std::uint32_t{0});  // DeviceFlags
  doc["device"]["eye_target_width_in_pixels"] = wire.scalar(std::uint32_t{1832});
  doc["device"]["eye_target_height_in_pixels"] = wire.scalar(std::uint32_t{1920});
  doc["device"]["num_windows"] = wire.scalar(std::uint32_t{1});
  doc["device"]["first_eye"] = wire.emptyString();
  doc["device"]["last_eye"] = wire.emptyString();
  doc["device_class"] = wire.emptyString();
  doc["device_pid"] = wire.scalar(std::uint32_t{0x1234});
  doc["device_serial_number"] = wire.emptyString();
  doc["device_vid"] = wire.scalar(std::uint32_t{0x2833});
  wire.scalar(std::uint32_t{0});  // OptionalFlags
  doc["head"]["plus_x"] = wire.floats(3);
  doc["head"]["plus_z"] = wire.floats(3);
  doc["head"]["position"] = wire.floats(3);
  json first = eyeObject(wire);
  json second = eyeObject(wire);
  doc["tracking_to_eye_transform"] = json::array({std::move(first), std::move(second)});
  return {doc, resealed(wire.bytes())};
}

json smallestDocument() {
  return smallestDocumentAndBlob().document;
}

json fullDocument() {
  json doc = smallestDocument();
  doc["device"]["first_eye"] = "left";
  doc["device"]["last_eye"] = "right";
  doc["device"]["hidden_area_mesh"] = 7;
  doc["device_class"] = "headset";
  doc["device_serial_number"] = "SN-0417";
  doc["display_frequency"] = 90;
  doc["display_edid"] = {"edid-a", "edid-b"};
  doc["expected_bases"] = 2;
  doc["expected_controllers"] = 3;
  doc["manufacturer"] = "maker";
  doc["model_number"] = "model-7";
  doc["revision"] = 4;
  doc["cv"]["cad_from_cal"] = {{"method", "fixture"},
                               {"plus_x", {1.0, 0.1, 0.0}},
                               {"plus_z", {0.0, -0.2, 1.0}},
                               {"position", {0.3, 0.0, -1e-3}}};
  json& eyes = doc["tracking_to_eye_transform"];
  eyes[0]["display_serial_number"] = "panel-L";
  eyes[1]["display_serial_number"] = "panel-R";
  eyes[0]["distortion"]["r2max"] = 1.1;
  eyes[1]["distortion_blue"]["type"] = "DISTORT_BSPLINE";
  eyes[0]["inverse_distortion"]["nSplineCtrlPts"] = 12;
  eyes[1]["inverse_distortion"]["r2max"] = 2.2;
  return doc;
}

json& eye(json& document, std::size_t index) {
  return document["tracking_to_eye_transform"][index];
}

Bytes resealed(Bytes blob) {
  sealBlob(blob, kDeviceConfigMagic);
  return blob;
}

json decodeChecked(const Bytes& blob) {
  json out;
  EXPECT_TRUE(decodeDeviceConfig(blob.data(), blob.data() + blob.size(), out, true));
  return out;
}

}  // namespace ravelin::testing
