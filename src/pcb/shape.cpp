#include "pcb/shape.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vx::pcb {

void CopperShape::AddCorner(double x, double y) {
  if (corners >= SHAPE_CORNERS_MAX) return;
  xy[2 * corners] = x;
  xy[2 * corners + 1] = y;
  ++corners;
}

bool CopperShape::ComputeBounds() {
  if (corners == 0) return false;
  min_x = max_x = X(0);
  min_y = max_y = Y(0);
  for (int i = 1; i < corners; ++i) {
    min_x = std::min(min_x, X(i));
    max_x = std::max(max_x, X(i));
    min_y = std::min(min_y, Y(i));
    max_y = std::max(max_y, Y(i));
  }
  min_x -= radius;
  max_x += radius;
  min_y -= radius;
  max_y += radius;
  return std::isfinite(min_x) && std::isfinite(max_x) && std::isfinite(min_y) &&
         std::isfinite(max_y);
}

bool ShapeOf(const Record& r, CopperShape& s) {
  s = CopperShape{};
  switch (r.kind) {
    case KIND_LINE:
      s.AddCorner(r.x, r.y);
      s.AddCorner(r.EndX(), r.EndY());
      s.radius = std::fabs(r.width) / 2;
      break;
    case KIND_ROUND_PAD:
      s.AddCorner(r.x, r.y);
      s.radius = std::fabs(r.width) / 2;
      break;
    case KIND_RECT_PAD: {
      const double hx = std::fabs(r.dx) / 2, hy = std::fabs(r.dy) / 2;
      s.AddCorner(r.x - hx, r.y - hy);
      s.AddCorner(r.x + hx, r.y - hy);
      s.AddCorner(r.x + hx, r.y + hy);
      s.AddCorner(r.x - hx, r.y + hy);
      break;
    }
    case KIND_OBLONG_PAD: {
      // A bar with round ends: the shorter side is the diameter.
      const double sx = std::fabs(r.dx), sy = std::fabs(r.dy);
      const double run = std::fabs(sx - sy) / 2;
      if (sx >= sy) {
        s.AddCorner(r.x - run, r.y);
        s.AddCorner(r.x + run, r.y);
      } else {
        s.AddCorner(r.x, r.y - run);
        s.AddCorner(r.x, r.y + run);
      }
      s.radius = std::min(sx, sy) / 2;
      break;
    }
    case KIND_OCTAGON_PAD: {
      const double radius = std::fabs(r.width) * OCTAGON_CIRCUMRADIUS;
      for (int k = 0; k < 8; ++k) {
        const double angle = (22.5 + 45.0 * k) * M_PI / 180.0;
        s.AddCorner(r.x + radius * std::cos(angle), r.y + radius * std::sin(angle));
      }
      break;
    }
    default: return false;
  }
  return s.ComputeBounds();
}

CopperShape DiscShape(double x, double y, double radius) {
  CopperShape s;
  s.AddCorner(x, y);
  s.radius = std::fabs(radius);
  s.ComputeBounds();
  return s;
}

CopperShape SegmentShape(double ax, double ay, double bx, double by, double radius) {
  CopperShape s;
  s.AddCorner(ax, ay);
  s.AddCorner(bx, by);
  s.radius = std::fabs(radius);
  s.ComputeBounds();
  return s;
}

namespace {

struct Nearest {
  double distance;
  double ax, ay, bx, by;  // the nearest points of the two cores
};

Nearest PointToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double len2 = vx * vx + vy * vy;
  double t = 0.0;
  if (len2 > 0.0) t = std::clamp(((px - ax) * vx + (py - ay) * vy) / len2, 0.0, 1.0);
  const double qx = ax + t * vx, qy = ay + t * vy;
  return {std::hypot(px - qx, py - qy), px, py, qx, qy};
}

// Edges of a core: none for a point (its corner stands for itself), one for
// a segment, one per side of a polygon.
int EdgeCount(const CopperShape& s) { return s.corners >= 3 ? s.corners : s.corners - 1; }

// Nearest points between the corners of `a` and the edges of `b`.
void CornersToEdges(const CopperShape& a, const CopperShape& b, bool swapped, Nearest& best) {
  const int edges = std::max(EdgeCount(b), 1);
  for (int i = 0; i < a.corners; ++i) {
    for (int e = 0; e < edges; ++e) {
      const int f = (e + 1) % b.corners;
      const Nearest n = PointToSegment(a.X(i), a.Y(i), b.X(e), b.Y(e), b.X(f), b.Y(f));
      if (n.distance < best.distance)
        best = swapped ? Nearest{n.distance, n.bx, n.by, n.ax, n.ay} : n;
    }
  }
}

double Cross(double ax, double ay, double bx, double by, double cx, double cy) {
  return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

// Where segments a-b and c-d cross each other properly (not at an end).
bool Crossing(double ax, double ay, double bx, double by, double cx, double cy, double dx,
              double dy, double* x, double* y) {
  const double o1 = Cross(ax, ay, bx, by, cx, cy), o2 = Cross(ax, ay, bx, by, dx, dy);
  const double o3 = Cross(cx, cy, dx, dy, ax, ay), o4 = Cross(cx, cy, dx, dy, bx, by);
  if (!((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0))) return false;
  if (!((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0))) return false;
  const double t = o3 / (o3 - o4);
  *x = ax + t * (bx - ax);
  *y = ay + t * (by - ay);
  return true;
}

// Whether the point lies inside the convex polygon (3 or more corners) or on
// its boundary.
bool Inside(const CopperShape& s, double x, double y) {
  if (s.corners < 3) return false;
  int sign = 0;
  for (int i = 0; i < s.corners; ++i) {
    const int j = (i + 1) % s.corners;
    const double cross = Cross(s.X(i), s.Y(i), s.X(j), s.Y(j), x, y);
    const int c = (cross > 0) - (cross < 0);
    if (c == 0) continue;
    if (sign == 0) sign = c;
    if (c != sign) return false;
  }
  return true;
}

// A point both cores share, when they overlap: a corner inside the other
// polygon or a crossing of two edges.
bool CoreOverlap(const CopperShape& a, const CopperShape& b, double* x, double* y) {
  for (int i = 0; i < a.corners; ++i)
    if (Inside(b, a.X(i), a.Y(i))) {
      *x = a.X(i);
      *y = a.Y(i);
      return true;
    }
  for (int j = 0; j < b.corners; ++j)
    if (Inside(a, b.X(j), b.Y(j))) {
      *x = b.X(j);
      *y = b.Y(j);
      return true;
    }
  for (int i = 0; i < EdgeCount(a); ++i) {
    const int i2 = (i + 1) % a.corners;
    for (int j = 0; j < EdgeCount(b); ++j) {
      const int j2 = (j + 1) % b.corners;
      if (Crossing(a.X(i), a.Y(i), a.X(i2), a.Y(i2), b.X(j), b.Y(j), b.X(j2), b.Y(j2), x, y))
        return true;
    }
  }
  return false;
}

}  // namespace

Gap ShapeGap(const CopperShape& a, const CopperShape& b) {
  Gap gap;
  if (a.corners == 0 || b.corners == 0) {
    gap.distance = std::numeric_limits<double>::infinity();
    return gap;
  }
  if (CoreOverlap(a, b, &gap.at_x, &gap.at_y)) return gap;
  Nearest best{std::numeric_limits<double>::infinity(), 0, 0, 0, 0};
  CornersToEdges(a, b, false, best);
  CornersToEdges(b, a, true, best);
  const double core = best.distance;
  gap.distance = std::max(0.0, core - a.radius - b.radius);
  if (!(core > 0)) {
    gap.at_x = best.ax;
    gap.at_y = best.ay;
    return gap;
  }
  // The nearest copper points lie on the line between the nearest core
  // points, each shape's radius in from its core.
  const double ux = (best.bx - best.ax) / core, uy = (best.by - best.ay) / core;
  const double ax = best.ax + ux * a.radius, ay = best.ay + uy * a.radius;
  const double bx = best.bx - ux * b.radius, by = best.by - uy * b.radius;
  gap.at_x = (ax + bx) / 2;
  gap.at_y = (ay + by) / 2;
  return gap;
}

namespace {

// The row's interval within `r` of the core. The grown shape is the union of
// discs at the corners and of bands along the edges; it is convex, so its
// interval runs from the leftmost to the rightmost point where the row meets
// a disc or a band's long side (a band's short sides lie inside the discs).
bool GrownRowSpan(const CopperShape& s, double r, double row, double* from, double* to) {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  auto take = [&](double x) {
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  };
  for (int i = 0; i < s.corners; ++i) {
    const double dy = row - s.Y(i);
    if (std::fabs(dy) <= r) {
      const double half = std::sqrt(r * r - dy * dy);
      take(s.X(i) - half);
      take(s.X(i) + half);
    }
  }
  for (int e = 0; e < EdgeCount(s); ++e) {
    const int f = (e + 1) % s.corners;
    const double ax = s.X(e), ay = s.Y(e), bx = s.X(f), by = s.Y(f);
    const double length = std::hypot(bx - ax, by - ay);
    if (!(length > 0)) continue;
    const double nx = -(by - ay) / length * r, ny = (bx - ax) / length * r;
    for (const double side : {-1.0, 1.0}) {
      const double px = ax + side * nx, py = ay + side * ny;
      const double qx = bx + side * nx, qy = by + side * ny;
      if (row < std::min(py, qy) || row > std::max(py, qy)) continue;
      if (py == qy) {
        take(px);
        take(qx);
      } else {
        take(px + (qx - px) * (row - py) / (qy - py));
      }
      if (r == 0) break;  // both sides are the edge itself
    }
  }
  if (!(lo <= hi)) return false;
  *from = lo;
  *to = hi;
  return true;
}

}  // namespace

bool RowSpan(const CopperShape& s, double grow, double row, double* from, double* to) {
  return GrownRowSpan(s, s.radius + std::max(grow, 0.0), row, from, to);
}

bool InsetRowSpan(const CopperShape& s, double inset, double row, double* from, double* to) {
  if (s.radius >= inset) return GrownRowSpan(s, s.radius - inset, row, from, to);
  if (s.corners < 3) return false;  // a point or a segment thinner than 2 x inset
  // A polygon: inside every edge moved inwards by the rest of the inset.
  const double depth = inset - s.radius;
  double area = 0;
  for (int i = 0; i < s.corners; ++i) {
    const int j = (i + 1) % s.corners;
    area += s.X(i) * s.Y(j) - s.X(j) * s.Y(i);
  }
  const double sign = area > 0 ? 1.0 : -1.0;  // the inside lies to the left when positive
  double lo = -std::numeric_limits<double>::infinity();
  double hi = std::numeric_limits<double>::infinity();
  for (int i = 0; i < s.corners; ++i) {
    const int j = (i + 1) % s.corners;
    const double ex = s.X(j) - s.X(i), ey = s.Y(j) - s.Y(i);
    const double length = std::hypot(ex, ey);
    if (!(length > 0)) continue;
    const double nx = -ey / length * sign, ny = ex / length * sign;  // inward normal
    // (x - x_i) nx + (row - y_i) ny >= depth
    const double rest = depth - (row - s.Y(i)) * ny;
    if (nx > 0)
      lo = std::max(lo, s.X(i) + rest / nx);
    else if (nx < 0)
      hi = std::min(hi, s.X(i) + rest / nx);
    else if (rest > 0)
      return false;
  }
  if (!(lo <= hi)) return false;
  *from = lo;
  *to = hi;
  return true;
}

}  // namespace vx::pcb
