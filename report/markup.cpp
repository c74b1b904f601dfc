#include "report/markup.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace ravelin::report {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text`
// (overlong forms, surrogates and code points past U+10FFFF refused), or 0.
std::size_t sequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!isContinuation(byte(i))) return 0;
  }
  return length;
}

// Control characters are parse errors in HTML text, whatever their encoding.
bool isForbiddenControl(unsigned char byte) {
  return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F;
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = sequenceLength(text);
    const auto lead = static_cast<unsigned char>(text[0]);
    if (length == 0 || isForbiddenControl(lead)) {
      out += kReplacementCharacter;
      text.remove_prefix(1);
      continue;
    }
    switch (lead) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
}

std::string escaped(std::string_view text) {
  std::string out;
  appendEscaped(out, text);
  return out;
}

std::string shortened(std::string_view text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (characters++ == limit) return std::string(text.substr(0, i)) + "…";
  }
  return std::string(text);
}

std::string number(std::optional<double> value, int significant) {
  if (!value || !std::isfinite(*value)) return "—";
  // -0 reads as a sign error on a page about directions.
  const double shown = *value == 0.0 ? 0.0 : *value;
  std::string text = describe("%.*g", significant, shown);
  if (text.starts_with('-')) text.replace(0, 1, "−");
  return text;
}

std::string quantity(std::optional<double> value, std::string_view unit, int significant) {
  std::string text = number(value, significant);
  if (text == "—" || unit.empty()) return text;
  text += unit.starts_with("°") ? "" : "\u00A0";
  text += unit;
  return text;
}

double drawable(double coordinate) {
  return std::isfinite(coordinate) ? std::clamp(coordinate, -kFarOff, kFarOff) : 0.0;
}

void appendPoint(std::string& out, Point point) {
  out += describe("%.1f,%.1f", drawable(point.x), drawable(point.y));
}

void line(std::string& out, Point from, Point to, std::string_view attributes) {
  out += describe("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" ", drawable(from.x),
                  drawable(from.y), drawable(to.x), drawable(to.y));
  out += attributes;
  out += "/>";
}

void polyline(std::string& out, std::span<const Point> points, std::string_view attributes) {
  if (points.size() < 2) return;
  out += "<polyline points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) out += ' ';
    appendPoint(out, points[i]);
  }
  out += "\" ";
  out += attributes;
  out += "/>";
}

void text(std::string& out, Point at, std::string_view content, std::string_view attributes) {
  out += describe("<text x=\"%.1f\" y=\"%.1f\" ", drawable(at.x), drawable(at.y));
  out += attributes;
  out += '>';
  appendEscaped(out, content);
  out += "</text>";
}

void circle(std::string& out, Point centre, double radius, std::string_view attributes) {
  out += describe("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" ", drawable(centre.x),
                  drawable(centre.y), radius);
  out += attributes;
  out += "/>";
}

void rect(std::string& out, Point topLeft, Point size, std::string_view attributes) {
  out += describe("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" ",
                  drawable(topLeft.x), drawable(topLeft.y), drawable(size.x), drawable(size.y));
  out += attributes;
  out += "/>";
}

ChartArea::ChartArea(Point topLeft, Point size, Range x, Range y)
    : topLeft_(topLeft), size_(size), x_(x), y_(y) {}

Point ChartArea::at(double x, double y) const {
  return {topLeft_.x + (x - x_.low) / (x_.high - x_.low) * size_.x,
          topLeft_.y + (y_.high - y) / (y_.high - y_.low) * size_.y};
}

void ChartArea::drawAxes(std::string& out, std::string_view xTitle, std::string_view yTitle) const {
  rect(out, topLeft_, size_, "class=\"frame\"");
  const double bottom = topLeft_.y + size_.y;
  for (const double tick : niceTicks(x_.low, x_.high, 6)) {
    const Point p = at(tick, y_.low);
    line(out, p, {p.x, bottom + 4}, "class=\"tick\"");
    text(out, {p.x, bottom + 16}, number(tick, 4), "class=\"tick-label\" text-anchor=\"middle\"");
  }
  for (const double tick : niceTicks(y_.low, y_.high, 5)) {
    const Point p = at(x_.low, tick);
    line(out, {p.x - 4, p.y}, p, "class=\"tick\"");
    text(out, {p.x - 7, p.y + 4}, number(tick, 4), "class=\"tick-label\" text-anchor=\"end\"");
  }
  text(out, {topLeft_.x + size_.x / 2, bottom + 34}, xTitle,
       "class=\"axis-title\" text-anchor=\"middle\"");
  text(out, {topLeft_.x, topLeft_.y - 10}, yTitle, "class=\"axis-title\"");
}

double niceLength(double limit) {
  const double power = std::pow(10.0, std::floor(std::log10(limit)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * power <= limit) return step * power;
  }
  return power;
}

std::vector<double> niceTicks(double low, double high, int roughCount) {
  std::vector<double> ticks;
  const double span = high - low;
  if (!(span > 0.0) || !std::isfinite(span)) return ticks;
  const double step = niceLength(span / roughCount);
  if (!(step > 0.0)) return ticks;
  const double first = std::ceil(low / step - 1e-9) * step;
  for (int i = 0; first + i * step <= high + step * 1e-9; ++i) ticks.push_back(first + i * step);
  return ticks;
}

}  // namespace ravelin::report
