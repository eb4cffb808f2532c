#include "graphics/shapes.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vx::graphics {
namespace {

constexpr double kPi = 3.14159265358979323846;

Point Rounded(double x, double y) {
  auto clamp = [](double v) {
    return ClampCoord(static_cast<std::int64_t>(std::lround(std::clamp(v, -4e6, 4e6))));
  };
  return Point{clamp(x), clamp(y)};
}

struct Vec {
  double x;
  double y;
};

// Spans of the rounded rectangle on row y; false when the row misses it.
bool RoundRowSpan(const PixelRect& r, int radius, int y, int* x0, int* x1) {
  if (r.Empty() || y < r.top || y > r.bottom) return false;
  const int rad = std::clamp(radius, 0, std::min(r.Width(), r.Height()) / 2);
  std::int64_t dy = 0;
  if (y < r.top + rad) {
    dy = r.top + rad - y;
  } else if (y > r.bottom - rad) {
    dy = y - (r.bottom - rad);
  }
  if (dy == 0) {
    *x0 = r.left;
    *x1 = r.right;
    return true;
  }
  const std::int64_t half = EllipseHalfWidth(2 * std::int64_t{rad} + 1, 2 * std::int64_t{rad} + 1, 2 * dy);
  if (half < 0) return false;
  *x0 = static_cast<int>(r.left + rad - half);
  *x1 = static_cast<int>(r.right - rad + half);
  return true;
}

PixelRect Shrunk(const PixelRect& r, int by) {
  return PixelRect{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

void DashedRow(Canvas& canvas, int y, int x0, int x1, int origin, const Paint& paint) {
  for (int x = x0; x <= x1; ++x) {
    if (((x - origin) / 4) % 2 == 0) {
      const int end = std::min(x1, x + 3 - ((x - origin) % 4));
      canvas.Span(y, x, end, paint);
      x = end;
    }
  }
}

void FilledTriangle(Canvas& canvas, Point a, Point b, Point c, const Paint& paint) {
  const std::array<Point, 3> pts{a, b, c};
  FillPolygon(canvas, pts, paint);
}

}  // namespace

PixelRect FillRect(Canvas& canvas, const PixelRect& r, const Paint& paint) {
  if (r.Empty()) return r;
  const PixelRect clipped = Intersect(r, canvas.ClipRect());
  if (clipped.Empty()) return r;  // wholly beside the clip
  Paint p = paint;
  if (p.mode == LINE_MODE_DASHED) p.mode = LINE_MODE_SOLID;
  for (int y = clipped.top; y <= clipped.bottom; ++y) canvas.Span(y, clipped.left, clipped.right, p);
  return r;
}

PixelRect DrawFrame(Canvas& canvas, const PixelRect& r, int width, const Paint& paint) {
  if (r.Empty()) return r;
  const int w = std::clamp(width, LINE_WIDTH_MIN, LINE_WIDTH_MAX);
  if (2 * static_cast<std::int64_t>(w) >= r.Width() || 2 * static_cast<std::int64_t>(w) >= r.Height()) {
    return FillRect(canvas, r, paint);
  }
  const PixelRect clip = canvas.ClipRect();
  const bool dashed = paint.mode == LINE_MODE_DASHED;
  Paint p = paint;
  if (dashed) p.mode = LINE_MODE_SOLID;
  auto band_row = [&](int y) {
    if (dashed) {
      DashedRow(canvas, y, std::max(r.left, clip.left), std::min(r.right, clip.right), r.left, p);
    } else {
      canvas.Span(y, r.left, r.right, p);
    }
  };
  for (int y = std::max(r.top, clip.top); y <= std::min(r.top + w - 1, clip.bottom); ++y) band_row(y);
  for (int y = std::max(r.bottom - w + 1, clip.top); y <= std::min(r.bottom, clip.bottom); ++y) band_row(y);
  for (int y = std::max(r.top + w, clip.top); y <= std::min(r.bottom - w, clip.bottom); ++y) {
    if (dashed && ((y - r.top) / 4) % 2 != 0) continue;
    canvas.Span(y, r.left, r.left + w - 1, p);
    canvas.Span(y, r.right - w + 1, r.right, p);
  }
  return r;
}

PixelRect FillRoundRect(Canvas& canvas, const PixelRect& r, int radius, const Paint& paint) {
  if (r.Empty()) return r;
  const PixelRect clip = canvas.ClipRect();
  for (int y = std::max(r.top, clip.top); y <= std::min(r.bottom, clip.bottom); ++y) {
    int x0 = 0;
    int x1 = 0;
    if (RoundRowSpan(r, radius, y, &x0, &x1)) canvas.Span(y, x0, x1, paint);
  }
  return r;
}

PixelRect DrawRoundFrame(Canvas& canvas, const PixelRect& r, int radius, int width,
                         const Paint& paint) {
  if (r.Empty()) return r;
  const int w = std::clamp(width, LINE_WIDTH_MIN, LINE_WIDTH_MAX);
  const int rad = std::clamp(radius, 0, std::min(r.Width(), r.Height()) / 2);
  const PixelRect inner = Shrunk(r, w);
  if (inner.Empty()) return FillRoundRect(canvas, r, rad, paint);
  const int inner_rad = std::max(rad - w, 0);
  const PixelRect clip = canvas.ClipRect();
  Paint p = paint;
  if (p.mode == LINE_MODE_DASHED) p.mode = LINE_MODE_SOLID;
  for (int y = std::max(r.top, clip.top); y <= std::min(r.bottom, clip.bottom); ++y) {
    int x0 = 0;
    int x1 = 0;
    if (!RoundRowSpan(r, rad, y, &x0, &x1)) continue;
    int i0 = 0;
    int i1 = 0;
    if (RoundRowSpan(inner, inner_rad, y, &i0, &i1) && i0 <= i1) {
      if (x0 <= i0 - 1) canvas.Span(y, x0, i0 - 1, p);
      if (i1 + 1 <= x1) canvas.Span(y, i1 + 1, x1, p);
    } else {
      canvas.Span(y, x0, x1, p);
    }
  }
  return r;
}

ArrowHead DefaultArrowHead(int line_width) {
  const int len = 10 + 3 * std::clamp(line_width, LINE_WIDTH_MIN, LINE_WIDTH_MAX);
  return ArrowHead{len, len};
}

PixelRect DrawArrow(Canvas& canvas, Point from, Point to, ArrowHead head, bool both, int width,
                    const Paint& paint) {
  const double dx = static_cast<double>(to.x) - from.x;
  const double dy = static_cast<double>(to.y) - from.y;
  const double len = std::hypot(dx, dy);
  const std::array<Point, 2> ends{from, to};
  PixelRect bounds = BoundsOf(ends, width + std::max(head.width, 0));
  if (len < 1e-9) {
    DrawLine(canvas, from, to, width, paint);
    return bounds;
  }
  const Vec u{dx / len, dy / len};
  const Vec n{-u.y, u.x};
  double head_len = std::clamp<double>(head.length, 0.0, both ? len / 2 : len);
  const double half = std::max(head.width, 0) / 2.0;
  auto draw_head = [&](Point tip, Vec dir) {
    if (head_len <= 0) return;
    const double bx = tip.x - dir.x * head_len;
    const double by = tip.y - dir.y * head_len;
    FilledTriangle(canvas, tip, Rounded(bx + n.x * half, by + n.y * half),
                   Rounded(bx - n.x * half, by - n.y * half), paint);
  };
  const Point shaft_from = both ? Rounded(from.x + u.x * head_len, from.y + u.y * head_len) : from;
  const Point shaft_to = Rounded(to.x - u.x * head_len, to.y - u.y * head_len);
  if (head_len < len) DrawLine(canvas, shaft_from, shaft_to, width, paint);
  draw_head(to, u);
  if (both) draw_head(from, Vec{-u.x, -u.y});
  return bounds;
}

PixelRect DrawCurveArrow(Canvas& canvas, Point from, Point to, int bend, ArrowHead head, int width,
                         const Paint& paint) {
  const double dx = static_cast<double>(to.x) - from.x;
  const double dy = static_cast<double>(to.y) - from.y;
  const double chord = std::hypot(dx, dy);
  if (chord < 1e-9) return DrawArrow(canvas, from, to, head, false, width, paint);
  const Vec left{dy / chord, -dx / chord};
  const Vec c{(from.x + to.x) / 2.0 + left.x * bend, (from.y + to.y) / 2.0 + left.y * bend};
  const double approx = chord + 2.0 * std::fabs(static_cast<double>(bend));
  const int steps = std::clamp(static_cast<int>(approx / 3.0), 8, 512);
  const double head_len = std::max(head.length, 0);
  std::vector<Point> shaft;
  shaft.reserve(static_cast<std::size_t>(steps) + 2);
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const double a = (1 - t) * (1 - t);
    const double b = 2 * (1 - t) * t;
    const double e = t * t;
    const double x = a * from.x + b * c.x + e * to.x;
    const double y = a * from.y + b * c.y + e * to.y;
    if (std::hypot(to.x - x, to.y - y) < head_len && i > 0) break;
    shaft.push_back(Rounded(x, y));
  }
  // The head follows the curve's direction at its end.
  Vec dir{to.x - c.x, to.y - c.y};
  const double dlen = std::hypot(dir.x, dir.y);
  if (dlen < 1e-9) {
    dir = Vec{dx / chord, dy / chord};
  } else {
    dir = Vec{dir.x / dlen, dir.y / dlen};
  }
  const Vec n{-dir.y, dir.x};
  const double bx = to.x - dir.x * head_len;
  const double by = to.y - dir.y * head_len;
  shaft.push_back(Rounded(bx, by));
  DrawPolyline(canvas, shaft, width, paint);
  const double half = std::max(head.width, 0) / 2.0;
  if (head_len > 0) {
    FilledTriangle(canvas, to, Rounded(bx + n.x * half, by + n.y * half),
                   Rounded(bx - n.x * half, by - n.y * half), paint);
  }
  std::vector<Point> all = shaft;
  all.push_back(to);
  all.push_back(Rounded(c.x, c.y));
  return BoundsOf(all, width + std::max(head.width, 0));
}

std::vector<Point> ZigZagPoints(Point from, Point to, int amplitude, int pitch) {
  std::vector<Point> points{from};
  const double dx = static_cast<double>(to.x) - from.x;
  const double dy = static_cast<double>(to.y) - from.y;
  const double len = std::hypot(dx, dy);
  pitch = std::max(pitch, 2);
  if (len >= 1e-9) {
    const Vec u{dx / len, dy / len};
    const Vec left{u.y, -u.x};
    int sign = 1;
    for (double s = pitch / 4.0; s < len && points.size() < CURVE_POINTS_MAX; s += pitch / 2.0) {
      points.push_back(Rounded(from.x + u.x * s + left.x * amplitude * sign,
                               from.y + u.y * s + left.y * amplitude * sign));
      sign = -sign;
    }
  }
  points.push_back(to);
  return points;
}

std::vector<Point> SineAlong(Point from, Point to, double amplitude, double cycles, double phase) {
  const double dx = static_cast<double>(to.x) - from.x;
  const double dy = static_cast<double>(to.y) - from.y;
  const double len = std::hypot(dx, dy);
  std::vector<Point> points;
  if (len < 1e-9) return {from};
  const Vec u{dx / len, dy / len};
  const Vec left{u.y, -u.x};
  const int n = std::clamp(static_cast<int>(std::lround(len)), 1, CURVE_POINTS_MAX);
  const double ph = phase * kPi / 180.0;
  points.reserve(static_cast<std::size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) {
    const double s = len * i / n;
    const double off = amplitude * std::sin(2 * kPi * cycles * i / n + ph);
    points.push_back(Rounded(from.x + u.x * s + left.x * off, from.y + u.y * s + left.y * off));
  }
  return points;
}

std::vector<Point> HorizontalSine(int x, int y, int length, double amplitude, double period,
                                  double phase) {
  std::vector<Point> points;
  if (length < 0) return points;
  if (!(std::fabs(period) >= 1.0)) period = 1.0;
  const int n = std::min(length, CURVE_POINTS_MAX);
  const double ph = phase * kPi / 180.0;
  points.reserve(static_cast<std::size_t>(n) + 1);
  for (int t = 0; t <= n; ++t) {
    points.push_back(Rounded(static_cast<double>(x) + t, y - amplitude * std::sin(2 * kPi * t / period + ph)));
  }
  return points;
}

bool DrawObject(Canvas& canvas, std::int32_t kind, const PixelRect& box, bool fill, int width,
                const Paint& paint) {
  if (kind < 0 || kind >= OBJ_KIND_COUNT) return false;
  if (box.Empty()) return true;
  const int l = box.left;
  const int t = box.top;
  const int r = box.right;
  const int b = box.bottom;
  const int cx = l + (r - l) / 2;
  const int cy = t + (b - t) / 2;
  const double w = box.Width();
  const double h = box.Height();
  auto polygon = [&](std::span<const Point> pts) {
    if (fill) {
      FillPolygon(canvas, pts, paint);
    } else {
      OutlinePolygon(canvas, pts, width, paint);
    }
  };
  switch (kind) {
    case OBJ_RECTANGLE:
      if (fill) {
        FillRect(canvas, box, paint);
      } else {
        DrawFrame(canvas, box, width, paint);
      }
      break;
    case OBJ_ELLIPSE: {
      const int a = (r - l) / 2;
      const int bb = (b - t) / 2;
      if (fill) {
        FillEllipse(canvas, Point{cx, cy}, a, bb, paint);
      } else {
        DrawEllipse(canvas, Point{cx, cy}, std::max(a - width / 2, 0), std::max(bb - width / 2, 0),
                    width, paint);
      }
      break;
    }
    case OBJ_ROUND_RECT: {
      const int rad = std::min(box.Width(), box.Height()) / 4;
      if (fill) {
        FillRoundRect(canvas, box, rad, paint);
      } else {
        DrawRoundFrame(canvas, box, rad, width, paint);
      }
      break;
    }
    case OBJ_DIAMOND: {
      const std::array<Point, 4> pts{Point{cx, t}, Point{r, cy}, Point{cx, b}, Point{l, cy}};
      polygon(pts);
      break;
    }
    case OBJ_TRIANGLE_UP: {
      const std::array<Point, 3> pts{Point{cx, t}, Point{r, b}, Point{l, b}};
      polygon(pts);
      break;
    }
    case OBJ_TRIANGLE_DOWN: {
      const std::array<Point, 3> pts{Point{l, t}, Point{r, t}, Point{cx, b}};
      polygon(pts);
      break;
    }
    case OBJ_TRIANGLE_LEFT: {
      const std::array<Point, 3> pts{Point{l, cy}, Point{r, t}, Point{r, b}};
      polygon(pts);
      break;
    }
    case OBJ_TRIANGLE_RIGHT: {
      const std::array<Point, 3> pts{Point{l, t}, Point{r, cy}, Point{l, b}};
      polygon(pts);
      break;
    }
    case OBJ_CROSS:
      DrawLine(canvas, Point{l, t}, Point{r, b}, width, paint);
      DrawLine(canvas, Point{r, t}, Point{l, b}, width, paint);
      break;
    case OBJ_PLUS:
      DrawLine(canvas, Point{cx, t}, Point{cx, b}, width, paint);
      DrawLine(canvas, Point{l, cy}, Point{r, cy}, width, paint);
      break;
    case OBJ_STAR: {
      std::array<Point, 10> pts{};
      const double ox = (l + r) / 2.0;
      const double oy = (t + b) / 2.0;
      for (int i = 0; i < 10; ++i) {
        const double ang = -kPi / 2 + i * kPi / 5;
        const double k = (i % 2 == 0) ? 1.0 : 0.382;
        pts[static_cast<std::size_t>(i)] = Rounded(ox + std::cos(ang) * (w - 1) / 2 * k,
                                                   oy + std::sin(ang) * (h - 1) / 2 * k);
      }
      polygon(pts);
      break;
    }
    case OBJ_HEXAGON: {
      const double q = (w - 1) / 4.0;
      const std::array<Point, 6> pts{Rounded(l + q, t), Rounded(r - q, t), Point{r, cy},
                                     Rounded(r - q, b), Rounded(l + q, b), Point{l, cy}};
      polygon(pts);
      break;
    }
    case OBJ_BLOCK_ARROW: {
      const double head = std::min(w / 2, h);
      const double st = t + h / 4;
      const double sb = b - h / 4;
      const std::array<Point, 7> pts{Rounded(l, st), Rounded(r - head, st), Point{static_cast<int>(std::lround(r - head)), t},
                                     Point{r, cy},   Rounded(r - head, b),  Rounded(r - head, sb),
                                     Rounded(l, sb)};
      polygon(pts);
      break;
    }
    case OBJ_CHECK: {
      const std::array<Point, 3> pts{Rounded(l + w * 0.1, t + h * 0.55), Rounded(l + w * 0.4, b - h * 0.1),
                                     Rounded(r - w * 0.1, t + h * 0.15)};
      DrawPolyline(canvas, pts, width, paint);
      break;
    }
    default:
      break;
  }
  return true;
}

Color GradientColor(const Gradient& g, Color from, Color to, std::int64_t i, std::int64_t n) {
  if (n <= 1) i = 0, n = 1;
  std::array<GradientStop, GRADIENT_STOPS_MAX> stops{};
  std::size_t count = 0;
  for (std::size_t k = 0; k < g.stops.size(); ++k) {
    if (g.used[k]) stops[count++] = g.stops[k];
  }
  if (count < 2) {
    if (n == 1) return from;
    const std::int64_t d = n - 1;
    auto mix = [&](int a, int b) {
      return static_cast<std::uint8_t>((a * (d - i) + b * i + d / 2) / d);
    };
    return Color{mix(from.b, to.b), mix(from.g, to.g), mix(from.r, to.r)};
  }
  std::sort(stops.begin(), stops.begin() + static_cast<std::ptrdiff_t>(count),
            [](const GradientStop& a, const GradientStop& b) { return a.position < b.position; });
  const double pos = n == 1 ? 0.0 : static_cast<double>(GRADIENT_POSITION_MAX) * static_cast<double>(i) / static_cast<double>(n - 1);
  if (pos <= stops[0].position) return stops[0].color;
  if (pos >= stops[count - 1].position) return stops[count - 1].color;
  std::size_t k = 1;
  while (k < count && stops[k].position < pos) ++k;
  const GradientStop& a = stops[k - 1];
  const GradientStop& b = stops[k];
  const double span = b.position - a.position;
  const double f = span <= 0 ? 1.0 : (pos - a.position) / span;
  auto mix = [&](int x, int y) { return ClampComponent(std::lround(x + (y - x) * f)); };
  return Color{mix(a.color.b, b.color.b), mix(a.color.g, b.color.g), mix(a.color.r, b.color.r)};
}

PixelRect FillGradient(Canvas& canvas, const PixelRect& r, bool horizontal, const Gradient& g,
                       Color from, Color to) {
  if (r.Empty()) return r;
  const PixelRect c = Intersect(r, canvas.ClipRect());
  if (c.Empty()) return r;
  if (!horizontal) {
    for (int y = c.top; y <= c.bottom; ++y) {
      canvas.Span(y, c.left, c.right, Paint{GradientColor(g, from, to, y - r.top, r.Height())});
    }
    return r;
  }
  std::vector<Color> columns(static_cast<std::size_t>(c.Width()));
  for (int x = c.left; x <= c.right; ++x) {
    columns[static_cast<std::size_t>(x - c.left)] = GradientColor(g, from, to, x - r.left, r.Width());
  }
  for (int y = c.top; y <= c.bottom; ++y) {
    for (int x = c.left; x <= c.right; ++x) canvas.Plot(x, y, Paint{columns[static_cast<std::size_t>(x - c.left)]});
  }
  return r;
}

PixelRect FillGradientWave(Canvas& canvas, const PixelRect& r, int period, bool vertical,
                           double phase, const Gradient& g, Color from, Color to) {
  if (r.Empty()) return r;
  const PixelRect c = Intersect(r, canvas.ClipRect());
  if (c.Empty()) return r;
  period = std::max(period, 2);
  const double ph = phase * kPi / 180.0;
  auto colour_at = [&](int t) {
    const double f = (1.0 - std::cos(2 * kPi * t / period + ph)) / 2.0;
    return GradientColor(g, from, to, std::lround(f * GRADIENT_POSITION_MAX), GRADIENT_POSITION_MAX + 1);
  };
  if (vertical) {
    for (int y = c.top; y <= c.bottom; ++y) canvas.Span(y, c.left, c.right, Paint{colour_at(y - r.top)});
    return r;
  }
  std::vector<Color> columns(static_cast<std::size_t>(c.Width()));
  for (int x = c.left; x <= c.right; ++x) columns[static_cast<std::size_t>(x - c.left)] = colour_at(x - r.left);
  for (int y = c.top; y <= c.bottom; ++y) {
    for (int x = c.left; x <= c.right; ++x) canvas.Plot(x, y, Paint{columns[static_cast<std::size_t>(x - c.left)]});
  }
  return r;
}

bool ParsePointList(std::string_view text, int x, int y, int percent, std::size_t max_points,
                    std::vector<Point>& out) {
  out.clear();
  std::vector<std::int64_t> numbers;
  std::size_t i = 0;
  while (i < text.size()) {
    const char ch = text[i];
    if (ch == ',' || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
      ++i;
      continue;
    }
    std::int64_t v = 0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    if (*begin == '+') ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr == begin) return false;
    numbers.push_back(std::clamp<std::int64_t>(v, -COORD_LIMIT, COORD_LIMIT));
    i = static_cast<std::size_t>(ptr - text.data());
    if (numbers.size() > 2 * max_points) return false;
  }
  if (numbers.size() % 2 != 0 || numbers.empty()) return false;
  for (std::size_t k = 0; k < numbers.size(); k += 2) {
    out.push_back(Point{ClampCoord(x + numbers[k] * percent / 100),
                        ClampCoord(y + numbers[k + 1] * percent / 100)});
  }
  return true;
}

}  // namespace vx::graphics
