// Drawing from exact geometry: a pixel is set exactly when its centre lies
// inside a shape (filled mode) or within half a pixel of its edge (outline
// mode), measured here by distances to the shapes, independently of the
// drawing code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "graphics/vram.hpp"
#include "pcb/draw.hpp"
#include "pcb/pattern.hpp"

namespace vx::pcb {
namespace {

const graphics::Color kRed{.b = 0, .g = 0, .r = 255};
const graphics::Color kBlue{.b = 255, .g = 0, .r = 0};

std::string Rec(int kind, double w, double x, double y, double dx, double dy,
                std::string_view layer = "tPtn") {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer,
                "GB_P:%d, GB_W:%.17g, GB_X:%.17g, GB_Y:%.17g, GB_XD:%.17g, GB_YD:%.17g, GB_LAY:%.*s\n",
                kind, w, x, y, dx, dy, static_cast<int>(layer.size()), layer.data());
  return buffer;
}

// A shape as the points within `radius` of a convex core (1, 2 or more
// corners), in board millimetres.
struct Expected {
  std::vector<double> xy;
  double radius = 0;
};

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
  const double t = len2 > 0 ? std::clamp(((px - ax) * vx + (py - ay) * vy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(px - ax - t * vx, py - ay - t * vy);
}

// Signed distance from the shape's edge: negative inside.
double SignedDistance(const Expected& s, double px, double py) {
  const int n = static_cast<int>(s.xy.size() / 2);
  double d = std::numeric_limits<double>::infinity();
  const int edges = n >= 3 ? n : 1;  // a point is a segment of no length
  for (int i = 0; i < edges; ++i) {
    const int j = (i + 1) % n;
    d = std::min(d, SegmentDistance(px, py, s.xy[2 * i], s.xy[2 * i + 1], s.xy[2 * j], s.xy[2 * j + 1]));
  }
  if (n >= 3) {
    bool inside = true;
    double area = 0;
    for (int i = 0; i < n; ++i) {
      const int j = (i + 1) % n;
      area += s.xy[2 * i] * s.xy[2 * j + 1] - s.xy[2 * j] * s.xy[2 * i + 1];
    }
    for (int i = 0; i < n; ++i) {
      const int j = (i + 1) % n;
      const double cross = (s.xy[2 * j] - s.xy[2 * i]) * (py - s.xy[2 * i + 1]) -
                           (s.xy[2 * j + 1] - s.xy[2 * i + 1]) * (px - s.xy[2 * i]);
      if (cross * area < 0) inside = false;
    }
    if (inside) return -d - s.radius;
  }
  return d - s.radius;
}

Expected Disc(double d, double x, double y) { return {{x, y}, d / 2}; }
Expected Capsule(double w, double x, double y, double x2, double y2) { return {{x, y, x2, y2}, w / 2}; }
Expected Rect(double x, double y, double sx, double sy) {
  return {{x - sx / 2, y - sy / 2, x + sx / 2, y - sy / 2, x + sx / 2, y + sy / 2, x - sx / 2, y + sy / 2}, 0};
}
Expected Octagon(double w, double x, double y) {
  Expected e;
  for (int k = 0; k < 8; ++k) {
    const double a = (22.5 + 45.0 * k) * M_PI / 180.0;
    e.xy.push_back(x + w * 1.08239 / 2 * std::cos(a));
    e.xy.push_back(y + w * 1.08239 / 2 * std::sin(a));
  }
  return e;
}

// Draws the board and compares every pixel of the area with `expected`:
// `set(distance in pixels)` says whether a pixel at that signed distance from
// a shape is drawn. Pixels within a millionth of a pixel of a decision are
// not judged. Returns the mismatches as text.
template <class Set>
std::string Compare(PcbState& state, const std::vector<Expected>& shapes, Set set, int width,
                    int height, int* drawn) {
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, state.count));
  std::string mismatches;
  *drawn = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double bx = state.view.BoardX(x), by = state.view.BoardY(y);
      int verdict = 0;  // 1 set, -1 unsure
      for (const Expected& s : shapes) {
        const double d = SignedDistance(s, bx, by) * state.view.scale;
        const int v = set(d);
        if (v == 1) {
          verdict = 1;
          break;
        }
        if (v < 0) verdict = -1;
      }
      const bool is_set = canvas.Get(x, y) == kRed;
      *drawn += is_set;
      if (verdict >= 0 && is_set != (verdict == 1) && mismatches.size() < 400)
        mismatches += "(" + std::to_string(x) + "," + std::to_string(y) + (is_set ? " set) " : " clear) ");
    }
  }
  return mismatches;
}

int Filled(double d) {
  if (std::fabs(d) < 1e-6) return -1;
  return d < 0 ? 1 : 0;
}
int Band(double d) {
  if (std::fabs(std::fabs(d) - 0.5) < 1e-6) return -1;
  return std::fabs(d) < 0.5 ? 1 : 0;
}

struct Board {
  std::string text;
  std::vector<Expected> filled, outlined;
  void Pad(int kind, double w, double x, double y, double sx, double sy, const Expected& e) {
    text += Rec(kind, w, x, y, sx, sy);
    filled.push_back(e);
    outlined.push_back(e);
  }
  void Line(double w, double x, double y, double x2, double y2) {
    text += Rec(KIND_LINE, w, x, y, x2 - x, y2 - y);
    filled.push_back(Capsule(w, x, y, x2, y2));
  }
};

Board Shapes() {
  Board b;
  b.Pad(KIND_ROUND_PAD, 3.3, 5, 5, 0, 0, Disc(3.3, 5, 5));
  b.Pad(KIND_ROUND_PAD, 1.37, 12.33, 7.71, 0, 0, Disc(1.37, 12.33, 7.71));
  b.Pad(KIND_RECT_PAD, 0, 25.3, 4.44, 2.17, 1.33, Rect(25.3, 4.44, 2.17, 1.33));
  b.Pad(KIND_OBLONG_PAD, 0, 30.2, 10.7, 3.1, 1.25, Capsule(1.25, 30.2 - 0.925, 10.7, 30.2 + 0.925, 10.7));
  b.Pad(KIND_OBLONG_PAD, 0, 35.5, 5.5, 0.9, 2.6, Capsule(0.9, 35.5, 5.5 - 0.85, 35.5, 5.5 + 0.85));
  b.Pad(KIND_OCTAGON_PAD, 2.3, 8.8, 20.1, 0, 0, Octagon(2.3, 8.8, 20.1));
  b.Pad(KIND_OCTAGON_PAD, 1.45, 31.07, 19.93, 0, 0, Octagon(1.45, 31.07, 19.93));
  b.Line(0.63, 2.1, 12.2, 17.77, 15.05);
  b.Line(1.0, 20.05, 1, 20.05, 9);
  b.Line(0.25, 14.2, 22.1, 24.9, 17.3);
  b.Line(0.13, 22.2, 20.7, 28.9, 23.35);  // between 1 and 2 pixels wide
  return b;
}

void Load(PcbState& state, const std::string& text, double scale, double ox, double oy,
          double offset_x, double offset_y, int mode) {
  LoadPatternText(state, 0, text);
  state.view = View{};
  state.view.scale = scale;
  state.view.origin_x = ox;
  state.view.origin_y = oy;
  state.view.offset_x = offset_x;
  state.view.offset_y = offset_y;
  state.view.mode = mode;
}

TEST(DrawExact, FilledShapesCoverThePixelCentresInsideThem) {
  const Board board = Shapes();
  // The board corner at the picture's bottom left, 10 pixels per millimetre,
  // as in the comparison with gerbv; then an odd scale and offset.
  PcbState state;
  Load(state, board.text, 10, -0.5, 249.5, 0, 0, DRAW_MODE_FILLED);
  int drawn = 0;
  EXPECT_EQ(Compare(state, board.filled, Filled, 420, 260, &drawn), "");
  EXPECT_GT(drawn, 2500);
  Load(state, board.text, 13.7, 20.25, 400.6, 1.1, -0.7, DRAW_MODE_FILLED);
  EXPECT_EQ(Compare(state, board.filled, Filled, 600, 420, &drawn), "");
  EXPECT_GT(drawn, 4500);
}

TEST(DrawExact, APadOfThreePointThreeMillimetresIsThirtyTwoPixelsAcross) {
  // Centre (49.5, 199.5), radius 16.5 pixels: the centres inside run from
  // column 34 to 65 and row 184 to 215.
  PcbState state;
  Load(state, Rec(KIND_ROUND_PAD, 3.3, 5, 5, 0, 0), 10, -0.5, 249.5, 0, 0, DRAW_MODE_FILLED);
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, 1));
  int left = 1000, right = -1, top = 1000, bottom = -1;
  for (int y = 150; y < 250; ++y)
    for (int x = 0; x < 100; ++x)
      if (canvas.Get(x, y) == kRed) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  EXPECT_EQ(left, 34);
  EXPECT_EQ(right, 65);
  EXPECT_EQ(top, 184);
  EXPECT_EQ(bottom, 215);
}

TEST(DrawExact, AShapeNPixelsWideCoversNPixels) {
  // Edges through pixel centres: a 1.5 x 2.5 mm pad from pixel 242 to 257
  // across and 187 to 212 down covers 15 x 25 pixels (left and top edges
  // drawn, right and bottom not); a 0.3 mm track 3 rows.
  PcbState state;
  Load(state, Rec(KIND_RECT_PAD, 0, 25, 5, 1.5, 2.5) + Rec(KIND_LINE, 0.3, 3, 3, 10, 0), 10, -0.5,
       249.5, 0, 0, DRAW_MODE_FILLED);
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, 2));
  int count = 0, left = 1000, right = -1, top = 1000, bottom = -1;
  for (int y = 150; y < 250; ++y)
    for (int x = 200; x < 300; ++x)
      if (canvas.Get(x, y) == kRed) {
        ++count;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  EXPECT_EQ(count, 15 * 25);
  EXPECT_EQ(left, 242);
  EXPECT_EQ(right, 256);
  EXPECT_EQ(top, 187);
  EXPECT_EQ(bottom, 211);
  std::string rows;
  for (int y = 215; y < 224; ++y) rows += canvas.Get(80, y) == kRed ? '#' : '.';
  EXPECT_EQ(rows, "...###...");  // rows 218 to 220
}

TEST(DrawExact, OutlinesAreTheHalfPixelBandAroundTheEdge) {
  // Lines are 1-pixel centre lines in this mode: the pads alone.
  const Board board = Shapes();
  std::string pads;
  for (std::size_t at = 0; at < board.text.size();) {
    const std::size_t end = board.text.find('\n', at) + 1;
    const std::string line = board.text.substr(at, end - at);
    if (line.rfind("GB_P:1,", 0) != 0) pads += line;
    at = end;
  }
  PcbState state;
  Load(state, pads, 10, -0.5, 249.5, 0, 0, DRAW_MODE_OUTLINE);
  int drawn = 0;
  EXPECT_EQ(Compare(state, board.outlined, Band, 420, 260, &drawn), "");
  EXPECT_GT(drawn, 400);
  Load(state, pads, 13.7, 20.25, 400.6, 1.1, -0.7, DRAW_MODE_OUTLINE);
  EXPECT_EQ(Compare(state, board.outlined, Band, 600, 420, &drawn), "");
}

TEST(DrawExact, HolesAndHairlines) {
  PcbState state;
  // A hole of 1.3 mm at 10 pixels per millimetre: black out to 6.5 - 1.5
  // pixels from its centre, the ring beyond; a 0.05 mm line still shows as
  // one pixel a column.
  Load(state, Rec(KIND_PLATED_HOLE, 1.3, 5, 5, 0, 0, "tPtn") + Rec(KIND_LINE, 0.05, 10, 5.03, 10, 0),
       10, -0.5, 249.5, 0, 0, DRAW_MODE_FILLED);
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  for (int y = 150; y < 250; ++y) canvas.Span(y, 0, 300, graphics::Paint{kBlue});
  DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, 2));
  int mismatches = 0;
  for (int y = 185; y < 215; ++y)
    for (int x = 35; x < 65; ++x) {
      const double d = std::hypot(x - 49.5, y - 199.5);
      if (std::fabs(d - 6.5) < 1e-6 || std::fabs(d - 5.0) < 1e-6) continue;
      const graphics::Color want = d > 6.5 ? kBlue
                                   : d > 5.0 ? kRed
                                             : graphics::kBlack;
      mismatches += canvas.Get(x, y) != want;
    }
  EXPECT_EQ(mismatches, 0);
  for (int x = 100; x <= 200; ++x) {
    int set = 0;
    for (int y = 190; y < 210; ++y) set += canvas.Get(x, y) == kRed;
    EXPECT_EQ(set, 1) << x;
  }
  EXPECT_NE(canvas.Get(99, 199), kRed);
  EXPECT_NE(canvas.Get(201, 199), kRed);
  // At 5 pixels per millimetre the ring would be 0.75 pixels: it keeps one.
  // A hole of 3.8 pixels' radius centred on pixel (25, 225): black within 2.8.
  Load(state, Rec(KIND_PLATED_HOLE, 1.52, 5, 5, 0, 0, "tPtn"), 5, 0, 250, 0, 0, DRAW_MODE_FILLED);
  graphics::Vram small;
  graphics::Canvas small_canvas = graphics::Canvas::Current(small);
  DrawPatterns(small_canvas, state, IndexRange::Clamp(state, 0, 1));
  EXPECT_EQ(small_canvas.Get(28, 225), kRed);  // 3 pixels out
  EXPECT_EQ(small_canvas.Get(27, 226), graphics::kBlack);  // 2.24: the drill
  EXPECT_EQ(small_canvas.Get(27, 227), kRed);             // 2.83: the ring
  EXPECT_EQ(small_canvas.Get(29, 225), graphics::kBlack);  // 4: outside, the background
}

TEST(DrawExact, HugeAndFarShapesStayInsideTheBank) {
  PcbState state;
  Load(state,
       Rec(KIND_RECT_PAD, 0, 0, 0, 1e7, 1e7) + Rec(KIND_ROUND_PAD, 5, 1e300, 0, 0, 0) +
           Rec(KIND_LINE, 1, -1e15, 3, 2e15, 0) + Rec(KIND_OCTAGON_PAD, 1e9, 7, 7, 0, 0),
       10, 100, 100, 0, 0, DRAW_MODE_FILLED);
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  const graphics::PixelRect changed = DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, 4));
  const graphics::PixelRect clip = canvas.ClipRect();
  EXPECT_EQ(canvas.Get(clip.left, clip.top), kRed);
  EXPECT_EQ(canvas.Get(clip.right, clip.bottom), kRed);
  EXPECT_LE(changed.left, clip.left);
  EXPECT_GE(changed.right, clip.right);
  state.view.mode = DRAW_MODE_OUTLINE;
  graphics::Vram outlines;
  graphics::Canvas outline_canvas = graphics::Canvas::Current(outlines);
  DrawPatterns(outline_canvas, state, IndexRange::Clamp(state, 0, 4));
  EXPECT_EQ(outline_canvas.Get(clip.left + 10, clip.top + 10), graphics::kBlack);  // far from every edge
}

}  // namespace
}  // namespace vx::pcb
