#include "pcb/draw.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "graphics/raster.hpp"

namespace vx::pcb {
namespace {

using graphics::Canvas;
using graphics::Paint;
using graphics::PixelRect;
using graphics::Point;

// Layers from the bottom of the stack up: bottom side (documentation,
// keep-out, stop mask, copper, names), outline, then the top side the same
// way. Holes are drawn after everything.
constexpr std::array<int, 11> kLayerOrder = {
    LAYER_BOTTOM_DOC, LAYER_BOTTOM_KEEPOUT, LAYER_BOTTOM_STOP, LAYER_BOTTOM_COPPER,
    LAYER_BOTTOM_NAME, LAYER_DIM, LAYER_TOP_DOC, LAYER_TOP_KEEPOUT,
    LAYER_TOP_STOP, LAYER_TOP_COPPER, LAYER_TOP_NAME};

constexpr double kOctagonRadius = 1.08239 / 2;  // circumradius per flat-to-flat width

class Painter {
 public:
  Painter(Canvas& canvas, const View& view) : canvas_(canvas), view_(view) {}

  void Draw(const Record& r, const Paint& paint) {
    if (IsHole(r.kind)) {
      Hole(r, paint);
      return;
    }
    switch (r.kind) {
      case KIND_LINE: Line(r, paint); break;
      case KIND_RECT_PAD: RectPad(r, paint); break;
      case KIND_ROUND_PAD: Disc(r.x, r.y, r.width, paint); break;
      case KIND_OBLONG_PAD: OblongPad(r, paint); break;
      case KIND_OCTAGON_PAD: OctagonPad(r, paint); break;
      default: break;
    }
  }

  const PixelRect& Changed() const { return changed_; }

 private:
  bool Outline() const { return view_.mode == DRAW_MODE_OUTLINE; }

  Point ToPixel(double x, double y) {
    const Point p{graphics::ClampCoord(std::llround(std::clamp(view_.PixelX(x), -2e6, 2e6))),
                  graphics::ClampCoord(std::llround(std::clamp(view_.PixelY(y), -2e6, 2e6)))};
    return p;
  }
  int Pixels(double millimetres) {
    const double px = std::fabs(millimetres) * view_.scale;
    return graphics::ClampRadius(std::llround(std::min(px, 1e6)));
  }
  void Touch(Point p, int margin) {
    const PixelRect r{p.x - margin, p.y - margin, p.x + margin, p.y + margin};
    if (changed_.Empty()) {
      changed_ = r;
      return;
    }
    changed_.left = std::min(changed_.left, r.left);
    changed_.top = std::min(changed_.top, r.top);
    changed_.right = std::max(changed_.right, r.right);
    changed_.bottom = std::max(changed_.bottom, r.bottom);
  }

  // A segment of `width` pixels with round ends.
  void Capsule(Point a, Point b, int width, const Paint& paint) {
    Touch(a, width / 2 + 1);
    Touch(b, width / 2 + 1);
    if (width <= graphics::LINE_WIDTH_MAX) {
      graphics::DrawLine(canvas_, a, b, std::max(width, 1), paint);
      return;
    }
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    const int radius = width / 2;
    if (length > 0) {
      const double nx = -dy / length * radius, ny = dx / length * radius;
      const std::array<Point, 4> corners = {
          Point{static_cast<int>(std::lround(a.x + nx)), static_cast<int>(std::lround(a.y + ny))},
          Point{static_cast<int>(std::lround(b.x + nx)), static_cast<int>(std::lround(b.y + ny))},
          Point{static_cast<int>(std::lround(b.x - nx)), static_cast<int>(std::lround(b.y - ny))},
          Point{static_cast<int>(std::lround(a.x - nx)), static_cast<int>(std::lround(a.y - ny))}};
      graphics::FillPolygon(canvas_, corners, paint);
    }
    graphics::FillEllipse(canvas_, a, radius, radius, paint);
    graphics::FillEllipse(canvas_, b, radius, radius, paint);
  }

  void Line(const Record& r, const Paint& paint) {
    const Point a = ToPixel(r.x, r.y), b = ToPixel(r.EndX(), r.EndY());
    Capsule(a, b, Outline() ? 1 : Pixels(r.width), paint);
  }

  void Polygon(const std::vector<Point>& points, const Paint& paint) {
    for (const Point& p : points) Touch(p, 1);
    if (Outline())
      graphics::OutlinePolygon(canvas_, points, 1, paint);
    else
      graphics::FillPolygon(canvas_, points, paint);
  }

  void RectPad(const Record& r, const Paint& paint) {
    const double hx = std::fabs(r.dx) / 2, hy = std::fabs(r.dy) / 2;
    Polygon({ToPixel(r.x - hx, r.y + hy), ToPixel(r.x + hx, r.y + hy), ToPixel(r.x + hx, r.y - hy),
             ToPixel(r.x - hx, r.y - hy)},
            paint);
  }

  void Disc(double x, double y, double diameter, const Paint& paint) {
    const Point c = ToPixel(x, y);
    const int radius = Pixels(diameter / 2);
    Touch(c, radius + 1);
    if (Outline())
      graphics::DrawEllipse(canvas_, c, radius, radius, 1, paint);
    else
      graphics::FillEllipse(canvas_, c, radius, radius, paint);
  }

  // A rounded rectangle: a capsule along the longer side.
  void OblongPad(const Record& r, const Paint& paint) {
    const double sx = std::fabs(r.dx), sy = std::fabs(r.dy);
    const double half_run = std::fabs(sx - sy) / 2;
    const bool along_x = sx >= sy;
    const Point a = along_x ? ToPixel(r.x - half_run, r.y) : ToPixel(r.x, r.y - half_run);
    const Point b = along_x ? ToPixel(r.x + half_run, r.y) : ToPixel(r.x, r.y + half_run);
    const int width = Pixels(std::min(sx, sy));
    if (!Outline()) {
      Capsule(a, b, width, paint);
      return;
    }
    Touch(a, width / 2 + 1);
    Touch(b, width / 2 + 1);
    const int radius = width / 2;
    graphics::DrawEllipse(canvas_, a, radius, radius, 1, paint);
    graphics::DrawEllipse(canvas_, b, radius, radius, 1, paint);
    const Point n = along_x ? Point{0, radius} : Point{radius, 0};
    graphics::DrawLine(canvas_, Point{a.x - n.x, a.y - n.y}, Point{b.x - n.x, b.y - n.y}, 1, paint);
    graphics::DrawLine(canvas_, Point{a.x + n.x, a.y + n.y}, Point{b.x + n.x, b.y + n.y}, 1, paint);
  }

  // The octagon of the plotter macro: flat-to-flat the pad's width, corners
  // at 22.5 degrees plus multiples of 45.
  void OctagonPad(const Record& r, const Paint& paint) {
    const double radius = std::fabs(r.width) * kOctagonRadius;
    std::vector<Point> points;
    for (int k = 0; k < 8; ++k) {
      const double angle = (22.5 + 45.0 * k) * M_PI / 180.0;
      points.push_back(ToPixel(r.x + radius * std::cos(angle), r.y + radius * std::sin(angle)));
    }
    Polygon(points, paint);
  }

  // A ring at the hole's edge; in the filled mode the inside is cleared to
  // black, so the hole shows through the copper around it.
  void Hole(const Record& r, const Paint& paint) {
    const Point c = ToPixel(r.x, r.y);
    const int radius = Pixels(r.width / 2);
    Touch(c, radius + 1);
    if (!Outline()) {
      graphics::FillEllipse(canvas_, c, radius, radius, Paint{graphics::kBlack, paint.mode});
      const int ring = std::clamp(Pixels(HOLE_RING_MM), 1, std::max(radius, 1));
      graphics::DrawEllipse(canvas_, c, std::max(radius - ring / 2, 0), std::max(radius - ring / 2, 0),
                            ring, paint);
      return;
    }
    graphics::DrawEllipse(canvas_, c, radius, radius, 1, paint);
  }

  Canvas& canvas_;
  const View& view_;
  PixelRect changed_;
};

}  // namespace

PixelRect DrawPatterns(Canvas& canvas, const PcbState& state, IndexRange range) {
  Painter painter(canvas, state.view);
  if (!canvas.Valid() || !(state.view.scale > 0) || !std::isfinite(state.view.scale))
    return painter.Changed();
  const std::vector<Record>& list = state.records;
  auto draw_layer = [&](int layer) {
    if (!state.LayerActive(layer)) return;
    const Paint paint{state.layers[layer].colour, graphics::LINE_MODE_SOLID};
    for (int i = range.from; i < range.to; ++i) {
      const Record& r = list[i];
      if (r.present && r.layer == layer && !IsHole(r.kind)) painter.Draw(r, paint);
    }
  };
  auto draw_holes = [&]() {
    for (int i = range.from; i < range.to; ++i) {
      const Record& r = list[i];
      if (!r.present || !IsHole(r.kind) || !state.LayerActive(r.layer)) continue;
      painter.Draw(r, Paint{state.layers[r.layer].colour, graphics::LINE_MODE_SOLID});
    }
  };
  for (const int layer : kLayerOrder) draw_layer(layer);
  draw_layer(LAYER_HOLES);
  draw_holes();
  return painter.Changed();
}

}  // namespace vx::pcb
