#include <cmath>

#include "report/markup.h"
#include "report/sections.h"

namespace ravelin::report {

bool hasDrawableShape(double width, double height) {
  return width > 0.0 && height > 0.0 && height <= kMaxDrawnAspect * width &&
         width <= kMaxDrawnAspect * height;
}

std::optional<double> numberAt(const Node& node) {
  const json* value = node.value();
  if (value == nullptr || !value->is_number()) return std::nullopt;
  const double number = value->get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::string shownValue(const Node& node) {
  if (node.value() == nullptr) return "—";
  if (const auto text = node.text()) return *text;
  if (const auto value = numberAt(node)) return number(*value, 9);
  return node.dump();
}

void row(std::string& out, std::string_view name, std::string_view value) {
  out += "<tr><th>";
  appendEscaped(out, name);
  out += "</th><td>";
  appendEscaped(out, value);
  out += "</td></tr>";
}

void rowMarkup(std::string& out, std::string_view name, std::string_view valueMarkup) {
  out += "<tr><th>";
  appendEscaped(out, name);
  out += "</th><td>";
  out += valueMarkup;
  out += "</td></tr>";
}

std::string numberList(const Node& node, std::string_view unit, int significant) {
  if (!node.isArray()) return node.value() == nullptr ? "—" : shownValue(node);
  std::string text = "[";
  for (std::size_t i = 0; i < node.size(); ++i) {
    text += i == 0 ? "" : ", ";
    const auto value = numberAt(node[i]);
    text += value ? number(*value, significant) : node[i].dump();
  }
  text += "]";
  if (!unit.empty()) text += "\u00A0" + std::string(unit);
  return text;
}

void appendListedNote(std::string& out, std::size_t total, const char* what, const char* command) {
  if (total <= kMaxListedFindings) return;
  out += describe(
      "<p class=\"note\">The first %zu of %zu %s are listed; ravelin %s lists them all.</p>",
      kMaxListedFindings, total, what, command);
}

std::string sectionAnchor(std::string_view pointer, const SectionCounts& drawn) {
  struct Listed {
    std::string_view prefix;
    const char* anchor;
    std::size_t sections;
    const char* whole;
  };
  const Listed lists[] = {{"/cameras/", "camera", drawn.cameras, "rig"},
                          {"/imus/", "imu", drawn.imus, "rig"},
                          {"/tracking_to_eye_transform/", "eye", drawn.eyes, "eye-buffers"}};
  for (const Listed& list : lists) {
    if (!pointer.starts_with(list.prefix)) continue;
    const std::string_view rest = pointer.substr(list.prefix.size());
    const std::string index(rest.substr(0, rest.find('/')));
    const bool drawnIndex = !index.empty() && index.size() < 10 &&
                            index.find_first_not_of("0123456789") == std::string::npos &&
                            std::stoul(index) < list.sections;
    return drawnIndex ? std::string(list.anchor) + "-" + index : list.whole;
  }
  if (pointer.starts_with("/cad")) return "rig";
  if (pointer.starts_with("/device/")) return "eye-buffers";
  if (pointer.starts_with("/head/") || pointer.starts_with("/cv/")) return "poses";
  return "identity";
}

}  // namespace ravelin::report
