#include "pcb/draw.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "graphics/raster.hpp"
#include "pcb/shape.hpp"

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

// Pixel centres sit at integer coordinates. A centre on a shape's edge is
// decided by a point this far right of and below it: edges on the left and
// at the top are drawn, edges on the right and at the bottom are not, so a
// shape n pixels wide covers n pixels and two abutting shapes share no
// pixel. The offset also stands above rounding noise.
constexpr double kSampleOffset = 1e-7;
constexpr double kPixelLimit = 2e6;  // coordinates beyond the bank, still exact as int

int ClampedPixel(double v) {
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

// Every shape is drawn from its exact geometry: a pixel is set when its
// centre lies inside the shape (filled) or within half a pixel of its edge
// (outlines). Only the 1-pixel lines go through the rasteriser's line.
class Painter {
 public:
  Painter(Canvas& canvas, const View& view) : canvas_(canvas), view_(view) {}

  void Draw(const Record& r, const Paint& paint) {
    if (IsHole(r.kind)) {
      Hole(r, paint);
      return;
    }
    if (r.kind == KIND_LINE) {
      Line(r, paint);
      return;
    }
    CopperShape board, pixels;
    if (!ShapeOf(r, board) || !ToPixels(board, &pixels)) return;
    if (Outline())
      Edge(pixels, paint);
    else
      Fill(pixels, paint);
  }

  const PixelRect& Changed() const { return changed_; }

 private:
  bool Outline() const { return view_.mode == DRAW_MODE_OUTLINE; }

  // The board shape in pixel coordinates (the y axis turns downwards, which
  // keeps a convex shape convex).
  bool ToPixels(const CopperShape& board, CopperShape* pixels) const {
    CopperShape& s = *pixels;
    s = CopperShape{};
    for (int i = 0; i < board.corners; ++i)
      s.AddCorner(view_.PixelX(board.X(i)), view_.PixelY(board.Y(i)));
    s.radius = board.radius * view_.scale;
    return s.ComputeBounds();
  }

  Point ToPoint(double x, double y) const {
    return Point{ClampedPixel(std::round(view_.PixelX(x))), ClampedPixel(std::round(view_.PixelY(y)))};
  }

  void Touch(double min_x, double min_y, double max_x, double max_y) {
    const PixelRect r{ClampedPixel(std::floor(min_x)) - 1, ClampedPixel(std::floor(min_y)) - 1,
                      ClampedPixel(std::ceil(max_x)) + 1, ClampedPixel(std::ceil(max_y)) + 1};
    if (changed_.Empty()) {
      changed_ = r;
      return;
    }
    changed_.left = std::min(changed_.left, r.left);
    changed_.top = std::min(changed_.top, r.top);
    changed_.right = std::max(changed_.right, r.right);
    changed_.bottom = std::max(changed_.bottom, r.bottom);
  }

  // The rows of the clip that the shape, grown by `grow`, may reach.
  bool Rows(const CopperShape& s, double grow, int* first, int* last) const {
    const PixelRect& clip = canvas_.ClipRect();
    const double top = std::max(std::ceil(s.min_y - grow - kSampleOffset), double(clip.top));
    const double bottom = std::min(std::floor(s.max_y + grow - kSampleOffset), double(clip.bottom));
    if (!(top <= bottom)) return false;
    *first = static_cast<int>(top);
    *last = static_cast<int>(bottom);
    return true;
  }

  // The pixels whose sample points lie in [from, to], clipped.
  void Span(int row, double from, double to, const Paint& paint) {
    const PixelRect& clip = canvas_.ClipRect();
    const double left = std::max(std::ceil(from - kSampleOffset), double(clip.left));
    const double right = std::min(std::floor(to - kSampleOffset), double(clip.right));
    if (left <= right) canvas_.Span(row, static_cast<int>(left), static_cast<int>(right), paint);
  }

  void Fill(const CopperShape& s, const Paint& paint) {
    Touch(s.min_x, s.min_y, s.max_x, s.max_y);
    int first = 0, last = -1;
    if (!Rows(s, 0, &first, &last)) return;
    for (int row = first; row <= last; ++row) {
      double from = 0, to = 0;
      if (RowSpan(s, 0, row + kSampleOffset, &from, &to)) Span(row, from, to, paint);
    }
  }

  // The band of pixels whose centres lie within half a pixel of the edge.
  void Edge(const CopperShape& s, const Paint& paint) {
    Touch(s.min_x - 0.5, s.min_y - 0.5, s.max_x + 0.5, s.max_y + 0.5);
    int first = 0, last = -1;
    if (!Rows(s, 0.5, &first, &last)) return;
    for (int row = first; row <= last; ++row) {
      double from = 0, to = 0, inner_from = 0, inner_to = 0;
      if (!RowSpan(s, 0.5, row + kSampleOffset, &from, &to)) continue;
      if (!InsetRowSpan(s, 0.5, row + kSampleOffset, &inner_from, &inner_to)) {
        Span(row, from, to, paint);
        continue;
      }
      Span(row, from, std::min(to, inner_from), paint);
      Span(row, std::max(from, inner_to), to, paint);
    }
  }

  // A capsule of the line's width; lines thinner than a pixel, and centre
  // lines in the outline mode, as 1-pixel lines.
  void Line(const Record& r, const Paint& paint) {
    CopperShape board, pixels;
    if (!ShapeOf(r, board) || !ToPixels(board, &pixels)) return;
    if (!Outline() && pixels.radius >= 0.5) {
      Fill(pixels, paint);
      return;
    }
    Touch(pixels.min_x, pixels.min_y, pixels.max_x, pixels.max_y);
    graphics::DrawLine(canvas_, ToPoint(r.x, r.y), ToPoint(r.EndX(), r.EndY()), 1, paint);
  }

  // The filled mode shows the drill as a black disc inside a ring of the
  // layer colour, so the hole shows through the copper around it.
  void Hole(const Record& r, const Paint& paint) {
    CopperShape pixels;
    if (!ToPixels(DiscShape(r.x, r.y, r.width / 2), &pixels)) return;
    if (Outline()) {
      Edge(pixels, paint);
      return;
    }
    Fill(pixels, paint);
    const double ring = std::clamp(HOLE_RING_MM * view_.scale, 1.0, std::max(pixels.radius, 1.0));
    if (pixels.radius <= ring) return;
    CopperShape inside = pixels;
    inside.radius = pixels.radius - ring;
    inside.ComputeBounds();
    Fill(inside, Paint{graphics::kBlack, paint.mode});
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
