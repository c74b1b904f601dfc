#include "report/report.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "report/markup.h"
#include "report/rig.h"
#include "report/sections.h"

namespace ravelin::report {

namespace {

// Colours from the Okabe-Ito set, told apart with every common colour-vision
// deficiency; every colour also comes with a word, a letter or a line style.
constexpr std::string_view kStyle = R"css(
:root{--ink:#1b1f24;--muted:#59616b;--rule:#d5d9de;--faint:#eef0f3;--x:#D55E00;--y:#009E73;
--z:#0072B2;--cam:#A8497E;--lens:#0072B2;--cad:#E69F00;--error:#A63A00;--warn:#8A5A00}
*{box-sizing:border-box}
body{margin:0;background:#fff;color:var(--ink);
font:15px/1.45 "DejaVu Sans","Helvetica Neue",Helvetica,Arial,sans-serif}
main{max-width:1120px;margin:0 auto;padding:28px 32px 56px}
h1{font-size:26px;margin:0 0 2px;letter-spacing:-.01em}
h2{font-size:19px;margin:36px 0 12px;padding-bottom:4px;border-bottom:2px solid var(--ink)}
h3{font-size:16px;margin:22px 0 8px}
p{margin:6px 0}
.subtitle{color:var(--muted);margin-bottom:14px}
.lead,.note{color:var(--muted);font-size:14px}
nav{font-size:14px;margin:10px 0 0;color:var(--muted)}
nav a{margin-right:12px}
a{color:#005a8c}
code{font:13px "DejaVu Sans Mono",Menlo,Consolas,monospace;word-break:break-all}
table{border-collapse:collapse;font-variant-numeric:tabular-nums;margin:4px 0 10px}
th,td{padding:3px 14px 3px 0;text-align:left;vertical-align:top;border-bottom:1px solid var(--faint)}
th{font-weight:600;color:var(--muted);white-space:nowrap}
.facts{display:grid;grid-template-columns:repeat(auto-fit,minmax(330px,1fr));gap:0 28px;
align-items:start}
.facts td{overflow-wrap:anywhere}
.verdicts{display:flex;flex-wrap:wrap;gap:8px;margin:12px 0}
.badge{display:inline-block;padding:2px 9px;border-radius:4px;font-size:13px;font-weight:700;
border:1.5px solid currentColor}
.badge.ok{color:#00603F}
.badge.error{color:#fff;background:var(--error);border-color:var(--error)}
.badge.warning{color:#3d2a00;background:#FBE3B0;border-color:var(--cad)}
.findings td:nth-child(2),.changes td:nth-child(2){white-space:nowrap}
.figures{display:grid;grid-template-columns:repeat(2,minmax(0,1fr));gap:18px;align-items:start}
.views{display:flex;flex-wrap:wrap;gap:14px;align-items:flex-start}
.views figure{max-width:100%}
figure{margin:0;break-inside:avoid}
figcaption{font-size:13px;color:var(--muted);margin-top:4px}
svg{display:block;width:100%;height:auto;font-family:inherit}
svg text{font-size:11px;fill:var(--ink)}
.rig-view text{font-size:12px}
.legend{font-size:13px;color:var(--muted);margin:8px 0}
.key{display:inline-block;width:22px;height:0;vertical-align:middle;margin:0 5px 0 14px;
border-top:2.5px solid}
.key:first-child{margin-left:0}
.frustum-key{border-color:var(--cam)}
.cad-key{border-top-style:dashed;border-color:var(--cad)}
.x-key{border-color:var(--x)}.y-key{border-color:var(--y)}.z-key{border-color:var(--z)}
.frame{fill:none;stroke:#8d949c}
.tick{stroke:#8d949c}
.tick-label,.axis-title,.mark-label{fill:var(--muted)}
.frustum-edge{fill:none;stroke:var(--cam);stroke-width:1.6}
.frustum-ray{stroke:var(--cam);stroke-width:.9;opacity:.75}
.camera-centre{fill:var(--cam)}
.camera-label{font-weight:700;fill:var(--cam)}
.cad-line{stroke:var(--cad);stroke-width:1.6;stroke-dasharray:5 3}
.cad-mark{fill:none;stroke:var(--cad);stroke-width:1.6}
.cad-label{fill:#7a5200}
.cad-axis{stroke-dasharray:4 3}
.axis-x{stroke:var(--x);stroke-width:1.8}.axis-y{stroke:var(--y);stroke-width:1.8}
.axis-z{stroke:var(--z);stroke-width:1.8}
.head{opacity:.55}
.axis-letter{font-size:10px;font-weight:700;fill:var(--muted)}
.head-origin{fill:var(--muted)}
.head-label,.imu-label{fill:var(--muted)}
.scale-bar line{stroke:var(--ink);stroke-width:1.5}
.compass line{stroke:var(--muted)}
.compass text{fill:var(--muted)}
marker path{fill:var(--muted)}
.image-rect{fill:#fafbfc;stroke:var(--ink);stroke-width:1.2}
.older-rig{opacity:.35}
.older-key{border-top-style:dotted;border-color:var(--cam);opacity:.5}
.older-edge{fill:none;stroke:var(--cam);stroke-width:1.2;stroke-dasharray:2 2}
.heat-map-figure{max-width:460px}
.image-frame{fill:none;stroke:var(--ink);stroke-width:1}
.unseen{fill:#b9bfc6}
.colour-bar{stroke:#8d949c;stroke-width:.5}
.grid-line{fill:none;stroke:var(--lens);stroke-width:1}
.pinhole-line{stroke:#b9bfc6;stroke-width:.7;stroke-dasharray:2 3}
.principal-point line{stroke:var(--x);stroke-width:1.8}
.turn-region{stroke:none}
.hatch{stroke:var(--x);stroke-width:1.2;opacity:.6}
.turn-edge{fill:none;stroke:var(--x);stroke-width:1.5;stroke-dasharray:6 3}
.model-curve{fill:none;stroke:var(--lens);stroke-width:2}
.model-curve.beyond{stroke-dasharray:5 4}
.pinhole-curve{fill:none;stroke:#7f8790;stroke-width:1.2;stroke-dasharray:2 3}
.legend-model{fill:var(--lens);font-weight:700}
.legend-pinhole{fill:#5d656e}
.radius-mark{stroke:#a3aab2;stroke-width:.8;stroke-dasharray:4 3}
.spline-node{fill:var(--ink)}
.spline-arrow{stroke:var(--x);stroke-width:1.6}
.spline-head{fill:var(--x)}
.centre-mark{stroke:var(--y);stroke-width:1.8}
.eye-label{font-weight:700}
.buffer-figure,.eye-axes-figure{max-width:640px}
.channel-red,.channel-green,.channel-blue,.channel-inverse{fill:none;stroke-width:1.8}
.channel-red{stroke:var(--x)}
.channel-green{stroke:var(--y);stroke-dasharray:7 3}
.channel-blue{stroke:var(--z);stroke-dasharray:2 2}
.channel-inverse{stroke:var(--ink)}
.channel-red-label{fill:var(--x);font-weight:700}
.channel-green-label{fill:#00724F;font-weight:700}
.channel-blue-label{fill:var(--z);font-weight:700}
.channel-inverse-label{font-weight:700}
@media print{
@page{size:A4;margin:12mm}
body{font-size:9.5pt}
main{max-width:none;padding:0}
nav{display:none}
a{color:inherit;text-decoration:none}
h2{break-after:avoid;margin-top:18px}
section{break-inside:auto}
.intrinsics,.facts table{break-inside:avoid}
}
)css";

const char* kindName(DocumentKind kind) {
  return kind == DocumentKind::DEVICE_CONFIG ? "Device config" : "Compact calibration";
}

void appendVerdicts(std::string& out, const ReportSource& source,
                    const std::vector<Finding>& findings) {
  out += "<div class=\"verdicts\">";
  if (source.blob) {
    const bool matches = source.blob->storedCrc == source.blob->computedCrc;
    out += describe(matches ? "<span class=\"badge ok\">CRC-32 matches: 0x%08X</span>"
                            : "<span class=\"badge error\">CRC-32 does not match: stored 0x%08X, "
                              "computed 0x%08X</span>",
                    source.blob->storedCrc, source.blob->computedCrc);
  }
  const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
    return f.severity == FindingSeverity::ERROR;
  });
  const auto warnings = static_cast<long>(findings.size()) - errors;
  if (findings.empty()) {
    out += "<span class=\"badge ok\">check: nothing implausible found</span>";
  } else {
    out += describe("<span class=\"badge %s\">check: %ld error%s, %ld warning%s</span>",
                    errors > 0 ? "error" : "warning", static_cast<long>(errors),
                    errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
  }
  out += "</div>";
}

void appendFindings(std::string& out, const std::vector<Finding>& findings,
                    const SectionCounts& drawn) {
  if (findings.empty()) return;
  out +=
      "<section id=\"findings\"><h2>Findings of the plausibility checks</h2>"
      "<table class=\"findings\"><tr><th>severity</th><th>where</th><th>value</th>"
      "<th>reason</th></tr>";
  for (std::size_t i = 0; i < findings.size() && i < kMaxListedFindings; ++i) {
    const Finding& finding = findings[i];
    const bool error = finding.severity == FindingSeverity::ERROR;
    out += describe("<tr><td><span class=\"badge %s\">%s</span></td><td><a href=\"#",
                    error ? "error" : "warning", error ? "error" : "warning");
    out += sectionAnchor(finding.pointer, drawn);
    out += "\"><code>";
    appendEscaped(out, finding.pointer);
    out += "</code></a></td><td><code>";
    appendEscaped(out, shortened(finding.value, 120));
    out += "</code></td><td>";
    appendEscaped(out, finding.reason);
    out += "</td></tr>";
  }
  out += "</table>";
  appendListedNote(out, findings.size(), "findings", "check");
  out += "</section>";
}

void identityRowsOf(std::string& out, const Node& object, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (object[key].value() != nullptr) row(out, key, shownValue(object[key]));
  }
}

void hexRow(std::string& out, const Node& node, const char* name) {
  const auto value = numberAt(node);
  if (!value) {
    if (node.value() != nullptr) row(out, name, shownValue(node));
    return;
  }
  row(out, name,
      number(*value, 10) + (*value >= 0 && *value <= 4294967295.0
                                ? describe(" (0x%04llX)", static_cast<unsigned long long>(*value))
                                : ""));
}

void calibrationIdentity(std::string& out, const Node& root) {
  const Node metadata = root["metadata"];
  out += "<table>";
  identityRowsOf(out, metadata,
                 {"device_serial", "hardwareIdentifier", "created_by", "date", "rig_json_version",
                  "extrinsicsMethod", "pixel_coordinates_convention"});
  if (const auto duration = numberAt(metadata["dataset_duration_in_sec"])) {
    row(out, "dataset duration", quantity(*duration, "s"));
  }
  out += "</table><table>";
  row(out, "cameras", std::to_string(root["cameras"].size()));
  row(out, "IMUs", std::to_string(root["imus"].size()));
  const Node cad = root["cad"];
  row(out, "CAD poses",
      describe("%zu cameras, %zu IMUs, head %s", cad["cameras"].size(), cad["imus"].size(),
               cad["__head"].isObject() ? "given" : "absent"));
  identityRowsOf(out, cad, {"__alignment_method", "__units"});
  out += "</table>";
}

void deviceConfigIdentity(std::string& out, const Node& root) {
  out += "<table>";
  identityRowsOf(
      out, root,
      {"device_serial_number", "device_class", "manufacturer", "model_number", "revision"});
  hexRow(out, root["device_vid"], "device_vid");
  hexRow(out, root["device_pid"], "device_pid");
  out += "</table><table>";
  if (const auto frequency = numberAt(root["display_frequency"])) {
    row(out, "display frequency", quantity(*frequency, "Hz"));
  }
  if (root["display_edid"].value() != nullptr) {
    row(out, "display EDID", shownValue(root["display_edid"]));
  }
  identityRowsOf(out, root, {"expected_bases", "expected_controllers"});
  const Node eyes = root["tracking_to_eye_transform"];
  row(out, "eye transforms", std::to_string(eyes.size()));
  for (std::size_t i = 0; i < eyes.size() && i < 2; ++i) {
    if (eyes[i]["display_serial_number"].value() != nullptr) {
      row(out, describe("display serial, eye %zu", i),
          shownValue(eyes[i]["display_serial_number"]));
    }
  }
  out += "</table>";
}

struct Sections {
  bool findings;
  bool comparison;
};

void appendNavigation(std::string& out, const SectionCounts& drawn, DocumentKind kind,
                      Sections present) {
  out += "<nav>";
  if (present.findings) out += "<a href=\"#findings\">Findings</a>";
  if (present.comparison) out += "<a href=\"#comparison\">Changes</a>";
  if (kind == DocumentKind::DEVICE_CONFIG) {
    out += "<a href=\"#eye-buffers\">Eye buffers</a><a href=\"#poses\">Poses</a>";
    for (std::size_t i = 0; i < drawn.eyes; ++i) {
      out += describe("<a href=\"#eye-%zu\">Eye %zu</a>", i, i);
    }
  } else {
    out += "<a href=\"#rig\">Rig</a>";
    for (std::size_t i = 0; i < drawn.cameras; ++i) {
      out += describe("<a href=\"#camera-%zu\">Camera %zu</a>", i, i);
    }
    for (std::size_t i = 0; i < drawn.imus; ++i) {
      out += describe("<a href=\"#imu-%zu\">IMU %zu</a>", i, i);
    }
  }
  out += "</nav>";
}

void appendHead(std::string& out, const ReportSource& source) {
  out +=
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
  appendEscaped(out, std::string(kindName(source.kind)) + " · " + source.name);
  out += "</title><style>";
  out += kStyle;
  out += "</style></head><body><main>";
}

void appendHeader(std::string& out, const ReportSource& source, const Node& root,
                  const std::vector<Finding>& findings, const SectionCounts& drawn,
                  bool comparison) {
  out += "<header><h1>";
  appendEscaped(out, kindName(source.kind));
  out += "</h1><p class=\"subtitle\">";
  appendEscaped(out, source.blob ? describe("From the blob %s (%zu bytes)", source.name.c_str(),
                                            source.blob->size)
                                 : "From the JSON document " + source.name);
  out += "</p>";
  appendVerdicts(out, source, findings);
  out += "<section id=\"identity\"><div class=\"facts\">";
  if (source.kind == DocumentKind::DEVICE_CONFIG) {
    deviceConfigIdentity(out, root);
  } else {
    calibrationIdentity(out, root);
  }
  out += "</div></section>";
  appendNavigation(out, drawn, source.kind, {!findings.empty(), comparison});
  out += "</header>";
}

// What diff finds between the two, each camera's projection kept point by
// point for its heat map.
diff::DiffReport compared(const json& document, const ReportSource& source,
                          const OlderDocument& older) {
  diff::DiffReport report =
      source.kind == DocumentKind::DEVICE_CONFIG
          ? diff::diffDeviceConfigs(older.document, document)
          : diff::diffCalibrations(older.document, document, {}, diff::Detail::FIELDS);
  if (source.blob && source.blob->storedCrc != source.blob->computedCrc) {
    diff::addCorruptBlob(report, diff::Side::NEW);
  }
  if (older.corrupt) diff::addCorruptBlob(report, diff::Side::OLD);
  return report;
}

const diff::CameraDiff* cameraChange(const std::optional<diff::DiffReport>& report,
                                     std::size_t index) {
  if (!report) return nullptr;
  for (const diff::CameraDiff& camera : report->cameras) {
    if (camera.index == index) return &camera;
  }
  return nullptr;
}

void appendCalibrationSections(std::string& out, const json& document, const SectionCounts& drawn,
                               const OlderDocument* older,
                               const std::optional<diff::DiffReport>& changes) {
  const Node root(document);
  const Rig rig = placeRig(document, kMaxDrawnCameras, kMaxDrawnImus);
  const std::optional<Rig> olderRig =
      older ? std::optional<Rig>(placeRig(older->document, kMaxDrawnCameras, kMaxDrawnImus))
            : std::nullopt;
  appendRigSection(out, rig, root["cameras"].size(), root["imus"].size(),
                   olderRig ? &*olderRig : nullptr);
  for (std::size_t i = 0; i < drawn.cameras; ++i) {
    appendCameraSection(out, root["cameras"][i], i, rig, cameraChange(changes, i));
  }
  for (std::size_t i = 0; i < drawn.imus; ++i) appendImuSection(out, root["imus"][i], i, rig);
}

}  // namespace

std::string renderReport(const json& document, const ReportSource& source,
                         const OlderDocument* older) {
  const Node root(document);
  const bool deviceConfig = source.kind == DocumentKind::DEVICE_CONFIG;
  const std::vector<Finding> findings =
      deviceConfig ? checkDeviceConfig(document) : checkCompactCalibration(document);
  const SectionCounts drawn{std::min(root["cameras"].size(), kMaxDrawnCameras),
                            std::min(root["imus"].size(), kMaxDrawnImus),
                            std::min<std::size_t>(root["tracking_to_eye_transform"].size(), 2)};
  const std::optional<diff::DiffReport> changes =
      older ? std::optional<diff::DiffReport>(compared(document, source, *older)) : std::nullopt;
  std::string out;
  appendHead(out, source);
  appendHeader(out, source, root, findings, drawn, changes.has_value());
  appendFindings(out, findings, drawn);
  if (changes) appendComparisonSection(out, *changes, older->name, drawn);
  if (deviceConfig) {
    appendDeviceConfigSections(out, root);
  } else {
    appendCalibrationSections(out, document, drawn, older, changes);
  }
  out += "</main></body></html>\n";
  return out;
}

}  // namespace ravelin::report
