#pragma once
// Composite shapes built on the rasteriser. Each returns the area it may
// have changed (before clipping), which callers mark dirty.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/raster.hpp"

namespace vx::graphics {

inline constexpr int GRADIENT_STOPS_MAX = 16;
inline constexpr int GRADIENT_POSITION_MAX = 1000;
inline constexpr int CURVE_POINTS_MAX = 20000;

// A frame whose outer edge is the rectangle and whose bands, `width` pixels
// wide, lie inside it. A frame wider than half the rectangle fills it.
// Mode LINE_MODE_DASHED draws 4 pixels on and 4 off along each edge.
PixelRect DrawFrame(Canvas& canvas, const PixelRect& r, int width, const Paint& paint);
// The filled rectangle (the dashed mode fills solid).
PixelRect FillRect(Canvas& canvas, const PixelRect& r, const Paint& paint);
// Rounded rectangle: each corner is the quarter of a disc of `radius`
// (limited to half the shorter side). Outline bands `width` wide inside.
PixelRect DrawRoundFrame(Canvas& canvas, const PixelRect& r, int radius, int width,
                         const Paint& paint);
PixelRect FillRoundRect(Canvas& canvas, const PixelRect& r, int radius, const Paint& paint);

struct ArrowHead {
  int length = 0;  // from the tip back to the base
  int width = 0;   // across the base
};
// A line from `from` to `to` with a filled head whose tip is `to`; with
// `both`, a head at `from` too. The shaft stops at the base of the head.
PixelRect DrawArrow(Canvas& canvas, Point from, Point to, ArrowHead head, bool both, int width,
                    const Paint& paint);
// A quadratic curve from `from` to `to` whose control point lies `bend`
// pixels to the left of the middle of the chord (seen from `from`), with a
// head along the curve's end direction.
PixelRect DrawCurveArrow(Canvas& canvas, Point from, Point to, int bend, ArrowHead head, int width,
                         const Paint& paint);
ArrowHead DefaultArrowHead(int line_width);

// Points of a zigzag along the segment: amplitude across it, one full
// up-and-down every `pitch` pixels along it; starts and ends on the segment.
std::vector<Point> ZigZagPoints(Point from, Point to, int amplitude, int pitch);
// A sine along the segment: `cycles` periods, `amplitude` across it,
// starting at `phase` degrees; one point for every pixel along it.
std::vector<Point> SineAlong(Point from, Point to, double amplitude, double cycles, double phase);
// A horizontal sine from (x, y) to the right for `length` pixels with the
// given period (pixels) and phase (degrees); positive values rise.
std::vector<Point> HorizontalSine(int x, int y, int length, double amplitude, double period,
                                  double phase);

// Pictograms of DrawObj and of the "$icon:" item, inside a rectangle.
enum ObjectKind : std::int32_t {
  OBJ_RECTANGLE = 0,
  OBJ_ELLIPSE = 1,
  OBJ_ROUND_RECT = 2,
  OBJ_DIAMOND = 3,
  OBJ_TRIANGLE_UP = 4,
  OBJ_TRIANGLE_DOWN = 5,
  OBJ_TRIANGLE_LEFT = 6,
  OBJ_TRIANGLE_RIGHT = 7,
  OBJ_CROSS = 8,
  OBJ_PLUS = 9,
  OBJ_STAR = 10,
  OBJ_HEXAGON = 11,
  OBJ_BLOCK_ARROW = 12,
  OBJ_CHECK = 13,
  OBJ_KIND_COUNT = 14,
};
// Returns false for an unknown kind (nothing drawn).
bool DrawObject(Canvas& canvas, std::int32_t kind, const PixelRect& box, bool fill, int width,
                const Paint& paint);

// Gradient colours: the stops (position 0 to 1000) when at least two are
// set, else `from` at 0 and `to` at 1000.
struct GradientStop {
  int position = 0;
  Color color;
};
struct Gradient {
  std::array<GradientStop, GRADIENT_STOPS_MAX> stops{};
  std::array<bool, GRADIENT_STOPS_MAX> used{};
};
// The colour at i of n - 1 steps (i from 0 to n - 1): exact end colours,
// components rounded to nearest in between.
Color GradientColor(const Gradient& g, Color from, Color to, std::int64_t i, std::int64_t n);
// Linear gradient over the rectangle: vertical (top to bottom) or
// horizontal (left to right).
PixelRect FillGradient(Canvas& canvas, const PixelRect& r, bool horizontal, const Gradient& g,
                       Color from, Color to);
// Repeating soft stripes: along x (or y when `vertical`), the colour goes
// from `from` to `to` and back every `period` pixels (a raised cosine).
PixelRect FillGradientWave(Canvas& canvas, const PixelRect& r, int period, bool vertical,
                           double phase, const Gradient& g, Color from, Color to);

// Points from text "x1,y1,x2,y2,..." (commas or blanks), offset by (x, y)
// and scaled by percent; at most `max_points`. False on a malformed list.
bool ParsePointList(std::string_view text, int x, int y, int percent, std::size_t max_points,
                    std::vector<Point>& out);

}  // namespace vx::graphics
