#pragma once
// The area a record covers, as a convex core (a point, a segment or a
// polygon of up to 8 corners) grown by a radius: a round pad is a point
// grown by half its diameter, a line or an oblong pad a segment grown by
// half its width, a rectangular or octagonal pad a polygon. Drawing, the
// copper fill and the design-rule checks all work on these shapes, so what
// is drawn is what is measured.
#include <array>

#include "pcb/pattern.hpp"

namespace vx::pcb {

inline constexpr int SHAPE_CORNERS_MAX = 8;
// Circumradius of an octagonal pad per flat-to-flat width: the plotter's
// OC8 macro draws a regular octagon of 1.08239 times the width across its
// corners, the corners at 22.5 degrees plus multiples of 45.
inline constexpr double OCTAGON_CIRCUMRADIUS = 1.08239 / 2;

struct CopperShape {
  std::array<double, 2 * SHAPE_CORNERS_MAX> xy{};  // corners x0, y0, x1, y1, ...
  int corners = 0;
  double radius = 0;
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;  // bounds of the grown shape

  double X(int i) const { return xy[2 * i]; }
  double Y(int i) const { return xy[2 * i + 1]; }
  void AddCorner(double x, double y);
  // Sets the bounds from the corners and the radius; false when they are not
  // finite (such a shape is left out of drawing and measuring).
  bool ComputeBounds();
};

// False for records that cover no area (holes, unknown kinds) and for
// coordinates that are not finite.
bool ShapeOf(const Record& record, CopperShape& shape);
// The drill of a hole as a disc.
CopperShape DiscShape(double x, double y, double radius);
// The segment a-b grown by `radius` (0: the bare segment).
CopperShape SegmentShape(double ax, double ay, double bx, double by, double radius);

struct Gap {
  double distance = 0;  // edge to edge, 0 when the shapes touch or overlap
  // The midpoint of the nearest points of the two areas; in an overlap, a
  // point that both cover.
  double at_x = 0, at_y = 0;
};
Gap ShapeGap(const CopperShape& a, const CopperShape& b);

// The part [from, to] of the line y = row that lies within `grow` (0 or
// more) of the shape; false when the row misses it.
bool RowSpan(const CopperShape& shape, double grow, double row, double* from, double* to);
// The part of the row that lies at least `inset` inside the shape; false
// when none does. Exact for points, segments and polygons without radius
// (every shape a record makes).
bool InsetRowSpan(const CopperShape& shape, double inset, double row, double* from, double* to);

}  // namespace vx::pcb
