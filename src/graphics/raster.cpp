#include "graphics/raster.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vx::graphics {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  std::int64_t q = a / b;
  if ((a % b != 0) && (a < 0)) --q;
  return q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }  // b > 0

// The steps of a 1-pixel line whose coordinate along the longer axis lies
// inside a window: step i is at start + step * i along that axis and
// minor_start + floor((2 i minor + n) / 2n) across, the course rounded half
// up. The quotient and remainder of that division are kept for the first
// step; each step moves the remainder by 2 minor, at most 2n, so one carry
// at most.
struct LineCourse {
  bool x_major = true;
  std::int64_t step = 1;
  std::int64_t minor = 0;
  std::int64_t start = 0;
  std::int64_t minor_start = 0;
  std::int64_t first = 0;  // steps [first, last]
  std::int64_t last = -1;
  std::int64_t divisor = 1;
  std::int64_t offset = 0;  // across, at step `first`
  std::int64_t rest = 0;    // 0 <= rest < divisor
};

// The course from a to b, or the single point when they are the same.
LineCourse CourseOf(Point a, Point b, const PixelRect& window) {
  LineCourse c;
  const std::int64_t dx = static_cast<std::int64_t>(b.x) - a.x;
  const std::int64_t dy = static_cast<std::int64_t>(b.y) - a.y;
  const std::int64_t adx = dx < 0 ? -dx : dx;
  const std::int64_t ady = dy < 0 ? -dy : dy;
  c.x_major = adx >= ady;
  const std::int64_t n = c.x_major ? adx : ady;
  c.step = (c.x_major ? dx : dy) >= 0 ? 1 : -1;
  c.minor = c.x_major ? dy : dx;
  c.start = c.x_major ? a.x : a.y;
  c.minor_start = c.x_major ? a.y : a.x;
  if (n == 0) {  // visited whatever the window
    c.first = c.last = 0;
    return c;
  }
  const std::int64_t low = c.x_major ? window.left : window.top;
  const std::int64_t high = c.x_major ? window.right : window.bottom;
  c.first = std::max<std::int64_t>(c.step > 0 ? low - c.start : c.start - high, 0);
  c.last = std::min<std::int64_t>(c.step > 0 ? high - c.start : c.start - low, n);
  c.divisor = 2 * n;
  c.offset = FloorDiv(2 * c.first * c.minor + n, c.divisor);
  c.rest = 2 * c.first * c.minor + n - c.offset * c.divisor;
  return c;
}

// Calls visit(x, y) for the 1-pixel line's pixels whose coordinate along the
// longer axis lies inside `window` (the other coordinate is not checked).
template <class Visit>
void ForEachLinePixel(Point a, Point b, const PixelRect& window, Visit&& visit) {
  LineCourse c = CourseOf(a, b, window);
  for (std::int64_t i = c.first; i <= c.last; ++i) {
    const auto major_pos = static_cast<int>(c.start + c.step * i);
    const auto minor_pos = static_cast<int>(c.minor_start + c.offset);
    if (c.x_major) {
      visit(major_pos, minor_pos);
    } else {
      visit(minor_pos, major_pos);
    }
    c.rest += 2 * c.minor;
    if (c.rest >= c.divisor) {
      c.rest -= c.divisor;
      ++c.offset;
    } else if (c.rest < 0) {
      c.rest += c.divisor;
      --c.offset;
    }
  }
}

// ForEachLinePixel's pixels inside the clip, stored in one colour. The
// major coordinate is inside by the course's window; the store's byte
// offset moves a pixel along each step and one across on a carry, which for
// most slopes comes and goes without a pattern, so it is taken without a
// branch. `up`: the minor coordinate grows (minor >= 0).
template <bool up>
void StoreLinePixels(std::uint8_t* bank, LineCourse c, const PixelRect& clip, Color colour) {
  const auto offset_of = [](std::int64_t x, std::int64_t y) {
    return (static_cast<std::int64_t>(VRAM_HEIGHT) - 1 - y) * static_cast<std::int64_t>(VRAM_ROW_BYTES) +
           x * static_cast<std::int64_t>(VRAM_PIXEL_BYTES);
  };
  const std::int64_t x_bytes = VRAM_PIXEL_BYTES;
  const std::int64_t y_bytes = -static_cast<std::int64_t>(VRAM_ROW_BYTES);
  const std::int64_t major_bytes = c.step * (c.x_major ? x_bytes : y_bytes);
  const std::int64_t carry_bytes = (up ? 1 : -1) * (c.x_major ? y_bytes : x_bytes);
  const std::int64_t low = c.x_major ? clip.top : clip.left;
  const std::int64_t high = c.x_major ? clip.bottom : clip.right;
  const std::int64_t major_first = c.start + c.step * c.first;
  std::int64_t across = c.minor_start + c.offset;
  std::int64_t at = c.x_major ? offset_of(major_first, across) : offset_of(across, major_first);
  std::int64_t rest = c.rest;
  const std::int64_t move = 2 * c.minor;
  // Where the line will be kLookAhead steps on, to a pixel: a line that
  // steps from row to row meets a new cache line every step.
  constexpr std::int64_t kLookAhead = 12;
  const std::int64_t carries_ahead = (kLookAhead * (move < 0 ? -move : move) + c.divisor / 2) / c.divisor;
  const std::int64_t ahead = kLookAhead * major_bytes + carries_ahead * carry_bytes;
  const auto bank_address = reinterpret_cast<std::uintptr_t>(bank);
  for (std::int64_t i = c.first; i <= c.last; ++i) {
    __builtin_prefetch(reinterpret_cast<const void*>(bank_address + static_cast<std::uintptr_t>(at + ahead)), 1);
    if (across >= low && across <= high) {
      std::uint8_t* p = bank + at;
      p[0] = colour.b;
      p[1] = colour.g;
      p[2] = colour.r;
    }
    at += major_bytes;
    rest += move;
    const std::int64_t carry = up ? rest >= c.divisor : rest < 0;
    rest -= (up ? c.divisor : -c.divisor) * carry;
    across += (up ? 1 : -1) * carry;
    at += carry_bytes * carry;
  }
}

// The leftmost and rightmost x covered on each row of the clip.
class RowSpans {
 public:
  explicit RowSpans(const PixelRect& clip)
      : top_(clip.top),
        min_(static_cast<std::size_t>(std::max(clip.Height(), 0)), INT32_MAX),
        max_(min_.size(), INT32_MIN) {}

  void Add(int y, int x0, int x1) {
    const std::int64_t row = static_cast<std::int64_t>(y) - top_;
    if (row < 0 || row >= static_cast<std::int64_t>(min_.size())) return;
    min_[row] = std::min(min_[row], x0);
    max_[row] = std::max(max_[row], x1);
  }

  void Fill(Canvas& canvas, const Paint& paint) const {
    for (std::size_t row = 0; row < min_.size(); ++row) {
      if (min_[row] <= max_[row]) canvas.Span(top_ + static_cast<int>(row), min_[row], max_[row], paint);
    }
  }

 private:
  int top_;
  std::vector<int> min_;
  std::vector<int> max_;
};

PixelRect Widen(const PixelRect& r, int by) {
  return PixelRect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

}  // namespace

std::int64_t EllipseHalfWidth(std::int64_t A, std::int64_t B, std::int64_t Y) {
  using Wide = __int128;
  if (A <= 0 || B <= 0) return -1;
  const Wide b2 = static_cast<Wide>(B) * B;
  const Wide rest = b2 - static_cast<Wide>(Y) * Y;
  if (rest <= 0) return -1;
  const Wide limit = static_cast<Wide>(A) * A * rest;
  auto inside = [&](std::int64_t k) { return static_cast<Wide>(2 * k) * (2 * k) * b2 < limit; };
  // A close first guess; the exact tests below settle the last unit.
  auto k = static_cast<std::int64_t>(std::sqrt(static_cast<double>(limit)) / (2.0 * static_cast<double>(B)));
  while (k > 0 && !inside(k)) --k;
  while (inside(k + 1)) ++k;
  return inside(k) ? k : -1;
}

namespace {

// The band between the ellipse with doubled radii (ai, bi), excluded, and
// (ao, bo), included. Non-positive inner radii: no hole.
template <class Emit>
void EllipseBand(const PixelRect& clip, Point c, std::int64_t ao, std::int64_t bo,
                 std::int64_t ai, std::int64_t bi, Emit&& emit) {
  if (ao <= 0 || bo <= 0) return;
  const std::int64_t reach = (bo - 1) / 2;
  const std::int64_t y0 = std::max<std::int64_t>(clip.top, c.y - reach);
  const std::int64_t y1 = std::min<std::int64_t>(clip.bottom, c.y + reach);
  const bool hole = ai > 0 && bi > 0;
  for (std::int64_t y = y0; y <= y1; ++y) {
    const std::int64_t Y = 2 * (y - c.y);
    const std::int64_t outer = EllipseHalfWidth(ao, bo, Y);
    if (outer < 0) continue;
    const std::int64_t inner = hole ? EllipseHalfWidth(ai, bi, Y) : -1;
    const auto row = static_cast<int>(y);
    if (inner < 0) {
      emit(row, c.x - outer, c.x + outer);
    } else if (inner < outer) {
      emit(row, c.x - outer, c.x - inner - 1);
      emit(row, c.x + inner + 1, c.x + outer);
    }
  }
}

int NarrowX(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -4 * std::int64_t{COORD_LIMIT},
                                                   4 * std::int64_t{COORD_LIMIT}));
}

// A line of width w >= 2: the pixels whose centres lie closer than w / 2 to
// the segment between the end points' pixel centres, the segment moved half
// a pixel right and down for even widths. Worked in doubled coordinates, so
// every test is exact.
class WideLine {
 public:
  WideLine(Point a, Point b, int width) : w_(width) {
    const std::int64_t shift = width % 2 == 0 ? 1 : 0;
    ax_ = 2 * std::int64_t{a.x} + shift;
    ay_ = 2 * std::int64_t{a.y} + shift;
    dx_ = 2 * (std::int64_t{b.x} - a.x);
    dy_ = 2 * (std::int64_t{b.y} - a.y);
    len2_ = dx_ * dx_ + dy_ * dy_;
    len_ = std::sqrt(static_cast<double>(len2_)) / 2.0;
    if (len2_ > 0) {
      ux_ = dx_ / 2.0 / len_;
      uy_ = dy_ / 2.0 / len_;
    }
  }

  bool Inside(std::int64_t x, std::int64_t y) const {
    using Wide = __int128;
    const std::int64_t vx = 2 * x - ax_;
    const std::int64_t vy = 2 * y - ay_;
    const Wide w2 = static_cast<Wide>(w_) * w_;
    const Wide dot = static_cast<Wide>(vx) * dx_ + static_cast<Wide>(vy) * dy_;
    if (len2_ == 0 || dot <= 0) return static_cast<Wide>(vx) * vx + static_cast<Wide>(vy) * vy < w2;
    if (dot >= len2_) {
      const Wide ex = vx - dx_;
      const Wide ey = vy - dy_;
      return ex * ex + ey * ey < w2;
    }
    const Wide cross = static_cast<Wide>(vx) * dy_ - static_cast<Wide>(vy) * dx_;
    return cross * cross < w2 * len2_;
  }

  // The pixels of row y: an interval, the shape being convex.
  bool RowSpan(std::int64_t y, std::int64_t* x0, std::int64_t* x1) const {
    double lo = 0;
    double hi = 0;
    if (!ApproxRow(y, &lo, &hi)) return false;
    std::int64_t left = static_cast<std::int64_t>(std::floor(lo));
    std::int64_t right = static_cast<std::int64_t>(std::ceil(hi));
    // The estimate is within a pixel or so; exact tests settle the ends.
    while (left <= right && !Inside(left, y)) ++left;
    if (left > right) return false;
    while (Inside(left - 1, y)) --left;
    while (!Inside(right, y)) --right;
    while (Inside(right + 1, y)) ++right;
    *x0 = left;
    *x1 = right;
    return true;
  }

 private:
  // A floating-point cover of the row's interval, a pixel too wide.
  bool ApproxRow(std::int64_t y, double* lo, double* hi) const {
    const double r = w_ / 2.0;
    const double px = ax_ / 2.0;
    const double py = ay_ / 2.0;
    const double fy = static_cast<double>(y);
    bool any = false;
    auto take = [&](double a, double b) {
      *lo = any ? std::min(*lo, a) : a;
      *hi = any ? std::max(*hi, b) : b;
      any = true;
    };
    // The round ends.
    for (const auto& [cx, cy] : {std::pair{px, py}, std::pair{px + dx_ / 2.0, py + dy_ / 2.0}}) {
      const double h = r * r - (fy - cy) * (fy - cy);
      if (h >= 0) take(cx - std::sqrt(h), cx + std::sqrt(h));
    }
    // The band between them: 0 <= along <= length and |across| < r, each
    // linear in x along the row.
    if (len2_ > 0) {
      const double len = len_;
      const double ux = ux_;
      const double uy = uy_;
      double from = -1e18;
      double to = 1e18;
      auto limit = [&](double slope, double offset, double min, double max) {
        // min <= slope * x + offset <= max
        if (std::fabs(slope) < 1e-12) {
          if (offset < min || offset > max) from = 1, to = 0;
          return;
        }
        double a = (min - offset) / slope;
        double b = (max - offset) / slope;
        if (a > b) std::swap(a, b);
        from = std::max(from, a);
        to = std::min(to, b);
      };
      limit(ux, -px * ux + (fy - py) * uy, 0.0, len);
      limit(-uy, px * uy + (fy - py) * ux, -r, r);
      if (from <= to) take(from, to);
    }
    if (any) {
      *lo -= 1.0;
      *hi += 1.0;
    }
    return any;
  }

  int w_;
  std::int64_t ax_, ay_, dx_, dy_, len2_;
  double len_ = 0, ux_ = 0, uy_ = 0;  // the length and direction, for the estimate
};

}  // namespace

int ClampCoord(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -COORD_LIMIT, COORD_LIMIT)); }
int ClampRadius(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, RADIUS_LIMIT)); }
int ClampWidth(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, LINE_WIDTH_MIN, LINE_WIDTH_MAX));
}

std::vector<Point> LinePixels(Point a, Point b) {
  std::vector<Point> out;
  const PixelRect everything{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
  ForEachLinePixel(a, b, everything, [&](int x, int y) { out.push_back(Point{x, y}); });
  return out;
}

void DrawLine(Canvas& canvas, Point a, Point b, int width, const Paint& paint) {
  if (!canvas.Valid()) return;
  const PixelRect clip = canvas.ClipRect();
  if (width <= 1) {
    if (paint.mode != LINE_MODE_SOLID) {
      ForEachLinePixel(a, b, clip, [&](int x, int y) { canvas.Plot(x, y, paint); });
      return;
    }
    // Solid pixels are stored here, without a call and a mode test apiece.
    const LineCourse course = CourseOf(a, b, clip);
    if (a == b) {  // a single point, which the course does not clip
      if (canvas.Inside(a.x, a.y)) canvas.Plot(a.x, a.y, paint);
    } else if (course.minor >= 0) {
      StoreLinePixels<true>(canvas.Bank(), course, clip, paint.color);
    } else {
      StoreLinePixels<false>(canvas.Bank(), course, clip, paint.color);
    }
    return;
  }
  const std::int64_t reach = width / 2 + 1;
  // A segment wholly beside the clip costs nothing, however tall it is.
  if (std::max(a.x, b.x) + reach < clip.left || std::min(a.x, b.x) - reach > clip.right) return;
  const WideLine line(a, b, width);
  const std::int64_t y0 = std::max<std::int64_t>(clip.top, std::min(a.y, b.y) - reach);
  const std::int64_t y1 = std::min<std::int64_t>(clip.bottom, std::max(a.y, b.y) + reach);
  for (std::int64_t y = y0; y <= y1; ++y) {
    std::int64_t x0 = 0;
    std::int64_t x1 = 0;
    if (line.RowSpan(y, &x0, &x1)) canvas.Span(static_cast<int>(y), NarrowX(x0), NarrowX(x1), paint);
  }
}

void DrawPolyline(Canvas& canvas, std::span<const Point> points, int width, const Paint& paint) {
  if (points.size() == 1) DrawLine(canvas, points[0], points[0], width, paint);
  for (std::size_t i = 1; i < points.size(); ++i) {
    DrawLine(canvas, points[i - 1], points[i], width, paint);
  }
}

void OutlinePolygon(Canvas& canvas, std::span<const Point> points, int width, const Paint& paint) {
  DrawPolyline(canvas, points, width, paint);
  if (points.size() > 2) DrawLine(canvas, points.back(), points.front(), width, paint);
}

void FillPolygon(Canvas& canvas, std::span<const Point> points, const Paint& paint) {
  if (!canvas.Valid() || points.empty()) return;
  const PixelRect clip = canvas.ClipRect();
  const PixelRect box = BoundsOf(points, 0);
  const int y0 = std::max(box.top, clip.top);
  const int y1 = std::min(box.bottom, clip.bottom);
  struct Crossing {
    double x;
    std::int64_t first;  // leftmost pixel centre at or right of the crossing
    std::int64_t last;   // rightmost pixel centre at or left of it
  };
  std::vector<Crossing> crossings;
  const std::size_t n = points.size();
  for (int y = y0; y <= y1; ++y) {
    crossings.clear();
    for (std::size_t i = 0; i < n; ++i) {
      Point p = points[i];
      Point q = points[(i + 1) % n];
      if (p.y == q.y) continue;
      if (p.y > q.y) std::swap(p, q);
      if (y < p.y || y >= q.y) continue;  // half-open: a shared vertex counts once
      const std::int64_t den = static_cast<std::int64_t>(q.y) - p.y;
      const std::int64_t num = (static_cast<std::int64_t>(y) - p.y) * (static_cast<std::int64_t>(q.x) - p.x);
      crossings.push_back(Crossing{p.x + static_cast<double>(num) / static_cast<double>(den),
                                   p.x + CeilDiv(num, den), p.x + FloorDiv(num, den)});
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      const std::int64_t from = crossings[k].first;
      const std::int64_t to = crossings[k + 1].last;
      if (from <= to) canvas.Span(y, NarrowX(from), NarrowX(to), paint);
    }
  }
  OutlinePolygon(canvas, points, 1, paint);
}

void FillEllipse(Canvas& canvas, Point c, int a, int b, const Paint& paint) {
  if (!canvas.Valid() || a < 0 || b < 0) return;
  EllipseBand(canvas.ClipRect(), c, 2 * std::int64_t{a} + 1, 2 * std::int64_t{b} + 1, 0, 0,
              [&](int y, std::int64_t x0, std::int64_t x1) {
                canvas.Span(y, NarrowX(x0), NarrowX(x1), paint);
              });
}

void DrawEllipse(Canvas& canvas, Point c, int a, int b, int width, const Paint& paint) {
  if (!canvas.Valid() || a < 0 || b < 0) return;
  const std::int64_t w = std::max(width, 1);
  EllipseBand(canvas.ClipRect(), c, 2 * std::int64_t{a} + w, 2 * std::int64_t{b} + w,
              2 * std::int64_t{a} - w, 2 * std::int64_t{b} - w,
              [&](int y, std::int64_t x0, std::int64_t x1) {
                canvas.Span(y, NarrowX(x0), NarrowX(x1), paint);
              });
}

void DrawArc(Canvas& canvas, Point c, int radius, double start, double end, int width,
             bool pie, const Paint& paint) {
  if (!canvas.Valid() || radius < 0 || !std::isfinite(start) || !std::isfinite(end)) return;
  double sweep = end - start;
  const bool full = std::fabs(sweep) >= 360.0;
  double from = std::fmod(start, 360.0);
  if (from < 0) from += 360.0;
  sweep = std::fmod(sweep, 360.0);
  if (sweep < 0) sweep += 360.0;
  auto in_sweep = [&](int x, int y) {
    if (full) return true;
    if (x == c.x && y == c.y) return true;
    double angle = std::atan2(-(static_cast<double>(y) - c.y), static_cast<double>(x) - c.x) *
                   (180.0 / 3.14159265358979323846);
    double rel = angle - from;
    rel = std::fmod(rel, 360.0);
    if (rel < 0) rel += 360.0;
    return rel <= sweep + 1e-9;
  };
  auto emit = [&](int y, std::int64_t x0, std::int64_t x1) {
    const PixelRect& clip = canvas.ClipRect();
    const std::int64_t from_x = std::max<std::int64_t>(x0, clip.left);
    const std::int64_t to_x = std::min<std::int64_t>(x1, clip.right);
    for (std::int64_t x = from_x; x <= to_x; ++x) {
      if (in_sweep(static_cast<int>(x), y)) canvas.Plot(static_cast<int>(x), y, paint);
    }
  };
  const std::int64_t r = radius;
  const std::int64_t w = std::max(width, 1);
  if (pie) {
    EllipseBand(canvas.ClipRect(), c, 2 * r + 1, 2 * r + 1, 0, 0, emit);
  } else {
    EllipseBand(canvas.ClipRect(), c, 2 * r + w, 2 * r + w, 2 * r - w, 2 * r - w, emit);
  }
}

PixelRect FloodFill(Canvas& canvas, Point seed, const Paint& paint, const Color* border, bool* ok) {
  *ok = false;
  PixelRect changed{};
  if (!canvas.Valid() || !canvas.Inside(seed.x, seed.y)) return changed;
  *ok = true;
  const Color target = canvas.Get(seed.x, seed.y);
  if (border == nullptr && target == paint.color && paint.mode == LINE_MODE_SOLID) return changed;
  if (border != nullptr && target == *border) return changed;
  const PixelRect clip = canvas.ClipRect();
  const auto stride = static_cast<std::size_t>(clip.Width());
  std::vector<bool> visited(stride * static_cast<std::size_t>(clip.Height()), false);
  auto index = [&](int x, int y) {
    return static_cast<std::size_t>(y - clip.top) * stride + static_cast<std::size_t>(x - clip.left);
  };
  auto fillable = [&](int x, int y) {
    if (visited[index(x, y)]) return false;
    const Color here = canvas.Get(x, y);
    return border != nullptr ? !(here == *border) : here == target;
  };
  changed = PixelRect{seed.x, seed.y, seed.x, seed.y};
  std::vector<Point> stack{seed};
  while (!stack.empty()) {
    const Point p = stack.back();
    stack.pop_back();
    if (!fillable(p.x, p.y)) continue;
    int left = p.x;
    int right = p.x;
    while (left > clip.left && fillable(left - 1, p.y)) --left;
    while (right < clip.right && fillable(right + 1, p.y)) ++right;
    for (int x = left; x <= right; ++x) visited[index(x, p.y)] = true;
    changed = PixelRect{std::min(changed.left, left), std::min(changed.top, p.y),
                        std::max(changed.right, right), std::max(changed.bottom, p.y)};
    for (int ny : {p.y - 1, p.y + 1}) {
      if (ny < clip.top || ny > clip.bottom) continue;
      bool in_run = false;
      for (int x = left; x <= right; ++x) {
        const bool f = fillable(x, ny);
        if (f && !in_run) stack.push_back(Point{x, ny});
        in_run = f;
      }
    }
    canvas.Span(p.y, left, right, paint);
  }
  return changed;
}

PixelRect BoundsOf(std::span<const Point> points, int margin) {
  if (points.empty()) return PixelRect{};
  PixelRect r{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const Point& p : points) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  return Widen(r, margin);
}

}  // namespace vx::graphics
