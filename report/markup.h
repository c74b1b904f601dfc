#pragma once

// Writing the page: text made safe for HTML, numbers with their units, and
// the few SVG shapes and chart axes that every figure is drawn with.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/document.h"
#include "console/format.h"

namespace ravelin::report {

// Markup characters escaped; bytes that are not UTF-8 (a blob may carry any)
// become U+FFFD, so that the page stays valid text whatever the input held.
void appendEscaped(std::string& out, std::string_view text);
std::string escaped(std::string_view text);
// At most `limit` characters of a label, with an ellipsis when cut.
std::string shortened(std::string_view text, std::size_t limit);

// printf into a string.
using ravelin::describe;

// "279.5", with `significant` digits at most; "—" for no number.
std::string number(std::optional<double> value, int significant = 6);
// "62.5 mm": the number and its unit, or "—" alone.
std::string quantity(std::optional<double> value, std::string_view unit, int significant = 6);

struct Point {
  double x;
  double y;
};

// A coordinate that SVG can take: no drawing reaches a million units, and one
// that is no finite number (from extreme input) is drawn at 0.
inline constexpr double kFarOff = 1e6;
double drawable(double coordinate);

// One SVG coordinate pair with a tenth of a user unit.
void appendPoint(std::string& out, Point point);

// Elements appended to `out`; `attributes` are written verbatim.
void line(std::string& out, Point from, Point to, std::string_view attributes);
// A polyline through the points; runs of fewer than two points draw nothing.
void polyline(std::string& out, std::span<const Point> points, std::string_view attributes);
void text(std::string& out, Point at, std::string_view content, std::string_view attributes);
void circle(std::string& out, Point centre, double radius, std::string_view attributes);
void rect(std::string& out, Point topLeft, Point size, std::string_view attributes);

// A linear map from data to a rectangle of the drawing, y growing upwards.
class ChartArea {
 public:
  struct Range {
    double low;
    double high;
  };
  ChartArea(Point topLeft, Point size, Range x, Range y);

  Point at(double x, double y) const;
  const Range& xRange() const { return x_; }
  const Range& yRange() const { return y_; }

  // The frame, ticks, tick labels and axis titles (titles with their units).
  void drawAxes(std::string& out, std::string_view xTitle, std::string_view yTitle) const;

 private:
  Point topLeft_;
  Point size_;
  Range x_;
  Range y_;
};

// Round tick values (1, 2 or 5 times a power of ten apart) covering [low, high].
std::vector<double> niceTicks(double low, double high, int roughCount);
// The largest 1, 2 or 5 times a power of ten not above `limit` (> 0).
double niceLength(double limit);

}  // namespace ravelin::report
