#pragma once
// The rasteriser: which pixels a shape covers. No anti-aliasing; every rule
// is about pixel centres, which sit at integer coordinates:
//
// - A line of width 1 steps along its longer axis one pixel at a time; the
//   other coordinate is the exact position rounded half up (measured from
//   the first point). Both end points are drawn.
// - A wider line covers the pixels whose centres lie closer than w / 2 to
//   the segment between the end points (a capsule: round ends); for even
//   widths the segment is moved half a pixel right and down. So a
//   horizontal line of width w covers exactly w rows, (w - 1) / 2 above it
//   and w / 2 below, and a dot of width 2 or 3 is a square.
// - An ellipse with radii a and b covers the pixels whose centres lie
//   strictly inside the ellipse with radii a + 1/2 and b + 1/2; its outline
//   of width w is the band between the radii a - w/2 and a + w/2 (the inner
//   edge included). Circles are ellipses with a = b, so a circle of width 1
//   is the outer edge of the disc of the same radius.
// - A polygon covers the pixels whose centres lie inside it or on its edges
//   (even-odd rule), plus its edges drawn as 1-pixel lines.
// - Flood fill spreads to the four neighbours.
//
// Coordinates are limited to +-COORD_LIMIT and radii to RADIUS_LIMIT so that
// the arithmetic stays exact; callers clamp before they get here.
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/canvas.hpp"

namespace vx::graphics {

inline constexpr int COORD_LIMIT = 1'000'000;
inline constexpr int RADIUS_LIMIT = 1'000'000;

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

int ClampCoord(std::int64_t v);
int ClampRadius(std::int64_t v);
int ClampWidth(std::int64_t v);  // line width, 1 to 100

// The 1-pixel line's pixels in order from a to b.
std::vector<Point> LinePixels(Point a, Point b);

void DrawLine(Canvas& canvas, Point a, Point b, int width, const Paint& paint);
// Consecutive points joined; the joints are round because the pen is.
void DrawPolyline(Canvas& canvas, std::span<const Point> points, int width, const Paint& paint);
void FillPolygon(Canvas& canvas, std::span<const Point> points, const Paint& paint);
void OutlinePolygon(Canvas& canvas, std::span<const Point> points, int width, const Paint& paint);

// Ellipse centred at c with radii a and b (0 or more).
void FillEllipse(Canvas& canvas, Point c, int a, int b, const Paint& paint);
void DrawEllipse(Canvas& canvas, Point c, int a, int b, int width, const Paint& paint);
// The part of the outline from `start` to `end` degrees, counter-clockwise
// on the screen, 0 = towards the right. A sweep of 360 or more is the whole
// outline. With `pie` the sector is filled instead.
void DrawArc(Canvas& canvas, Point c, int radius, double start, double end, int width,
             bool pie, const Paint& paint);

// 4-connected fill from `seed` over the pixels of the seed's colour, or with
// `border`, over every pixel that is not the border colour. Returns the
// bounding box of the changed pixels (Empty() when none); `ok` is false when
// the seed lies outside the clip.
PixelRect FloodFill(Canvas& canvas, Point seed, const Paint& paint, const Color* border, bool* ok);

// Largest k >= 0 with (2k)^2 B^2 + Y^2 A^2 < A^2 B^2: the half width of the
// row at doubled offset Y from the centre inside the ellipse with doubled
// radii A and B; -1 when the row misses it.
std::int64_t EllipseHalfWidth(std::int64_t A, std::int64_t B, std::int64_t Y);

// Bounding box of points, widened by `margin` on every side.
PixelRect BoundsOf(std::span<const Point> points, int margin);

}  // namespace vx::graphics
