#include "report/report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "report/markup.h"
#include "report/rig.h"
#include "report/sections.h"
#include "tests/support/case_name.h"

namespace ravelin::report {
namespace {

using json = nlohmann::json;
using ::testing::HasSubstr;
using testing::PrintTo;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(PROJECT_SOURCE_DIR) + "/examples/" + name);
  return json::parse(in);
}

struct EscapeCase {
  const char* name;
  std::string input;
  std::string expected;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, KeepsThePageValidText) {
  EXPECT_EQ(escaped(GetParam().input), GetParam().expected);
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeTest,
    ::testing::Values(
        EscapeCase{"Markup", "<a href=\"x\">&'", "&lt;a href=&quot;x&quot;&gt;&amp;&#39;"},
        EscapeCase{"MultibyteKept", "θ 10° \xF0\x9F\x93\xB7", "θ 10° \xF0\x9F\x93\xB7"},
        EscapeCase{"LoneContinuation", "a\x80z", "a" + kReplacement + "z"},
        EscapeCase{"Overlong", "\xC0\xAF", kReplacement + kReplacement},
        EscapeCase{"Surrogate", "\xED\xA0\x80", kReplacement + kReplacement + kReplacement},
        EscapeCase{"BeyondUnicode", "\xF4\x90\x80\x80",
                   kReplacement + kReplacement + kReplacement + kReplacement},
        EscapeCase{"TruncatedAtTheEnd", "ok\xE2\x82", "ok" + kReplacement + kReplacement},
        EscapeCase{"ControlCharacter", std::string("a\0b\x1b", 4),
                   "a" + kReplacement + "b" + kReplacement},
        EscapeCase{"WhitespaceKept", "a\tb\nc", "a\tb\nc"}),
    testing::ByCaseName());

TEST(NumberTest, ShowsSignsAndUnitsAsAReaderExpects) {
  EXPECT_EQ(number(-0.0), "0");
  EXPECT_EQ(number(-62.5), "−62.5");
  EXPECT_EQ(number(std::numeric_limits<double>::quiet_NaN()), "—");
  EXPECT_EQ(number(std::nullopt), "—");
  EXPECT_EQ(quantity(62.5, "mm"), "62.5\u00A0mm");
  EXPECT_EQ(quantity(90.25, "°"), "90.25°");
  EXPECT_EQ(quantity(std::nullopt, "mm"), "—");
}

TEST(NiceTicksTest, CoverTheRangeInRoundSteps) {
  EXPECT_EQ(niceTicks(0, 100, 5), (std::vector<double>{0, 20, 40, 60, 80, 100}));
  EXPECT_EQ(niceTicks(-3, 7, 4), (std::vector<double>{-2, 0, 2, 4, 6}));
  EXPECT_TRUE(niceTicks(1, 1, 5).empty());
  EXPECT_TRUE(niceTicks(0, 4.9e-324, 5).empty());
  EXPECT_EQ(niceLength(37), 20);
  EXPECT_EQ(niceLength(0.7), 0.5);
}

struct AnchorCase {
  const char* name;
  const char* pointer;
  const char* anchor;
};

class SectionAnchorTest : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(SectionAnchorTest, LinksAFindingToTheSectionThatShowsIt) {
  EXPECT_EQ(sectionAnchor(GetParam().pointer, {2, 1, 2}), GetParam().anchor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SectionAnchorTest,
    ::testing::Values(AnchorCase{"Camera", "/cameras/1/intrinsics/0/cx", "camera-1"},
                      AnchorCase{"CameraNotDrawn", "/cameras/2/width", "rig"},
                      AnchorCase{"Imu", "/imus/0/bias_gyro", "imu-0"},
                      AnchorCase{"CadPose", "/cad/cameras/0/plus_x", "rig"},
                      AnchorCase{"Metadata", "/metadata/rig_json_version", "identity"},
                      AnchorCase{"Eye", "/tracking_to_eye_transform/1/eye_to_head", "eye-1"},
                      AnchorCase{"EyeBuffer", "/device/num_windows", "eye-buffers"},
                      AnchorCase{"DeviceClassIsNoDevice", "/device_class", "identity"},
                      AnchorCase{"HeadPose", "/head/plus_x", "poses"}),
    testing::ByCaseName());

// A camera 10 mm along x of an IMU that sits 20 mm along z of the head,
// turned a quarter about y: the camera lands where the chain puts it.
json chainedRig() {
  return json::parse(R"({
    "cameras": [{"sourceCamera": "cam", "parent": "imu0", "intrinsics": [],
                 "extrinsics": {"plus_x": [1,0,0], "plus_z": [0,0,1], "position": [10,0,0]}}],
    "imus": [{"sourceImu": "imu0", "parent": "head",
              "extrinsics": {"plus_x": [0,0,-1], "plus_z": [1,0,0], "position": [0,0,20]}}],
    "cad": {"__units": "m",
            "__head": {"plus_x": [1,0,0], "plus_z": [0,0,1], "position": [0,0,1]},
            "cameras": [{"plus_x": [1,0,0], "plus_z": [0,0,1], "position": [0,0,1.5]}]}
  })");
}

TEST(PlaceRigTest, FollowsEachParentIntoTheHeadFrame) {
  const Rig rig = placeRig(chainedRig(), 8, 8);
  ASSERT_EQ(rig.cameras.size(), 1u);
  ASSERT_TRUE(rig.cameras[0].pose);
  const geometry::Vec3& t = rig.cameras[0].pose->translation;
  EXPECT_NEAR(t[0], 0.0, 1e-12);
  EXPECT_NEAR(t[1], 0.0, 1e-12);
  EXPECT_NEAR(t[2], 0.020 - 0.010, 1e-12);
  // The CAD pose, half a metre ahead of the CAD head.
  ASSERT_TRUE(rig.cameras[0].cadPose);
  EXPECT_NEAR(rig.cameras[0].cadPose->translation[2], 0.5, 1e-12);
}

TEST(PlaceRigTest, ALoopOfParentsPlacesNothingAndAnUnknownParentIsTheHead) {
  json document = chainedRig();
  document["imus"][0]["parent"] = "cam";
  const Rig looped = placeRig(document, 8, 8);
  EXPECT_FALSE(looped.cameras[0].pose);
  EXPECT_FALSE(looped.imus[0].pose);

  document["cameras"][0]["parent"] = "nobody";
  const Rig unknown = placeRig(document, 8, 8);
  ASSERT_TRUE(unknown.cameras[0].pose);
  EXPECT_NEAR(unknown.cameras[0].pose->translation[0], 0.010, 1e-12);
}

std::size_t count(const std::string& text, const std::string& pattern) {
  const std::regex expression(pattern);
  return static_cast<std::size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), expression), {}));
}

ReportSource jsonSource(DocumentKind kind) {
  return {"doc.json", kind, std::nullopt};
}

// Documents that pass recognition but hold anything at all: each draws what
// it can, one frustum per camera in each of the three views, and never
// throws, alone or compared with itself.
struct HostileCase {
  const char* name;
  const char* document;
  std::size_t frustaPerView;
};

class HostileDocumentTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileDocumentTest, DrawsWhatItCan) {
  const json document = json::parse(GetParam().document);
  const OlderDocument itself{document, "doc.json", false};
  for (const OlderDocument* older : {static_cast<const OlderDocument*>(nullptr), &itself}) {
    std::string page;
    ASSERT_NO_THROW(page = renderReport(document, jsonSource(DocumentKind::CALIBRATION), older));
    EXPECT_EQ(count(page, "class=\"frustum\""), 3 * GetParam().frustaPerView);
    EXPECT_THAT(page, ::testing::EndsWith("</html>\n"));
    // No coordinate that SVG cannot take.
    EXPECT_EQ(count(page, "[\"\\s,]-?(nan|inf)[\"\\s,]"), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileDocumentTest,
    ::testing::Values(HostileCase{"NothingButCameras", R"({"cameras": []})", 0},
                      HostileCase{"CameraModelOfNoKind",
                                  R"({"cameras": [{"intrinsics": [{"cameraModel": 4}],
                                     "extrinsics": [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]}]})",
                                  1},
                      HostileCase{"NullsAndStringsForNumbers",
                                  R"({"cameras": [{"width": null, "height": "480", "serial": 7,
                                     "intrinsics": [{"cameraModel": "kb", "fx": null}],
                                     "extrinsics": {"plus_x": 1}}],
                        "imus": [3, {"extrinsics": []}], "cad": [], "metadata": 1})",
                                  0},
                      HostileCase{"ExtremeNumbers",
                                  R"({"cameras": [{"width": 1e300, "height": 1e-300,
                                     "intrinsics": [{"cameraModel": "kb", "fx": 1e300, "fy": 1e-300,
                                       "cx": -1e300, "cy": 0, "k1": 1e300, "k2": -1e300,
                                       "k3": 0, "k4": 0}],
                                     "extrinsics": [1,0,0,1e300, 0,1,0,0, 0,0,1,0, 0,0,0,1]}],
                        "imus": [{"extrinsics": {"plus_x": [1e300,0,0], "plus_z": [0,0,1e300],
                                                 "position": [-1e300,1e300,0]}}]})",
                                  1},
                      HostileCase{"ImageOfNoProportion",
                                  R"({"cameras": [{"width": 1e-300, "height": 1e300,
                                     "intrinsics": [{"cameraModel": "kb", "fx": 300, "fy": 300,
                                       "cx": 0, "cy": 0, "k1": 0, "k2": 0, "k3": 0, "k4": 0}],
                                     "extrinsics": [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]}]})",
                                  1},
                      HostileCase{"SplineGridOfNoSize",
                                  R"({"cameras": [{"width": 640, "height": 480,
                                     "intrinsics": [{"cameraModel": "kb_spline", "fx": 300,
                                       "fy": 300, "cx": 320, "cy": 240, "k1": 0, "k2": 0, "k3": 0,
                                       "gridSize": [100000, -1], "nodeSpacing": [0, 1e300],
                                       "sU": [1, 2], "sV": []}],
                                     "extrinsics": [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]}]})",
                                  1}),
    testing::ByCaseName());

TEST(ReportTest, DrawsOnlyTheFirstCamerasOfAHugeRig) {
  json document = loadExample("calibration.json");
  const json camera = document["cameras"][0];
  document["cameras"] = json::array();
  for (std::size_t i = 0; i <= kMaxDrawnCameras; ++i) document["cameras"].push_back(camera);
  const std::string page = renderReport(document, jsonSource(DocumentKind::CALIBRATION));
  EXPECT_EQ(count(page, "<section id=\"camera-"), kMaxDrawnCameras);
  EXPECT_THAT(page, HasSubstr("Only the first 32 cameras"));
}

TEST(ReportTest, ShowsTheCrcVerdictOfABlob) {
  const json document = loadExample("device_config.json");
  ReportSource source{"cfg.bin", DocumentKind::DEVICE_CONFIG,
                      BlobFacts{879, 0x1234ABCD, 0x1234ABCD}};
  EXPECT_THAT(renderReport(document, source), HasSubstr("CRC-32 matches: 0x1234ABCD"));
  source.blob->computedCrc = 0xFFFF0000;
  EXPECT_THAT(renderReport(document, source),
              HasSubstr("CRC-32 does not match: stored 0x1234ABCD, computed 0xFFFF0000"));
}

TEST(ReportTest, ListsEachFindingLinkedToItsSection) {
  json document = loadExample("calibration.json");
  document["cameras"][1]["intrinsics"][0]["cx"] = 700.0;
  const std::string page = renderReport(document, jsonSource(DocumentKind::CALIBRATION));
  EXPECT_THAT(page, HasSubstr("check: 1 error, 0 warnings"));
  EXPECT_THAT(page, HasSubstr("<a href=\"#camera-1\"><code>/cameras/1/intrinsics/0/cx</code></a>"));
}

// The fill of the heat map cell whose path starts at `corner` ("x y"), in the
// first heat map of the page.
int redOfCell(const std::string& page, const std::string& corner) {
  const std::size_t start = page.find("<svg class=\"heat-map\"");
  const std::string map = page.substr(start, page.find("</svg>", start) - start);
  std::smatch match;
  const std::regex cell("fill=\"#([0-9A-F]{2})[0-9A-F]{4}\" d=\"[^\"]*M" + corner + "h");
  if (!std::regex_search(map, match, cell)) return -1;
  return std::stoi(match[1].str(), nullptr, 16);
}

// fx alone scaled moves a point by the scale times its distance from cx: the
// corner columns are the brightest of the map (viridis ends in yellow), the
// principal point's column the darkest (it starts in violet).
TEST(ReportTest, HeatMapIsBrightestWhereThePointsMoveMost) {
  const json older = loadExample("calibration.json");
  json newer = older;
  newer["cameras"][0]["intrinsics"][0]["fx"] =
      older["cameras"][0]["intrinsics"][0]["fx"].get<double>() * 1.002;
  const OlderDocument comparison{older, "old.json", false};
  const std::string page = renderReport(newer, jsonSource(DocumentKind::CALIBRATION), &comparison);
  EXPECT_EQ(count(page, "<svg class=\"heat-map\""), 2u);
  EXPECT_THAT(page, HasSubstr("diff: 3 beyond tolerance, 0 within"));
  EXPECT_GE(redOfCell(page, "8.0 8.0"), 0xF0);    // column 0, u = 0
  EXPECT_LE(redOfCell(page, "163.2 8.0"), 0x48);  // column 16, u = 319.5 beside cx
  EXPECT_GE(redOfCell(page, "318.3 8.0"), 0xF0);  // column 32, u = 639
}

}  // namespace
}  // namespace ravelin::report
