#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "recognition/qr.hpp"

namespace vx::recognition {
namespace {

constexpr int BLOCK = 8;            // local threshold cell
constexpr int FLAT_RANGE = 24;      // a cell with less contrast takes its neighbours' threshold
constexpr int CONTENT_MARGIN = 4;   // cells kept around the part of the picture with contrast
constexpr std::size_t CANDIDATES_MAX = 4096;

template <typename... A>
void Log(std::string& log, const char* format, A... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, args...);
  log += buffer;
}

// Black-and-white part of a picture, row by row top-down, 1 for dark; the
// part starts at (left, top) of the picture and everything around it is
// light.
struct Binary {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> dark;
  bool At(int x, int y) const {
    x -= left;
    y -= top;
    return x >= 0 && y >= 0 && x < width && y < height && dark[static_cast<std::size_t>(y * width + x)] != 0;
  }
};

// Grey pixels of a rectangle of the picture.
struct GreyArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;
};

// Grey of `count` pixels of picture row y from column x.
void GreyRow(const Picture& p, int x, int y, int count, std::uint8_t* out) {
  // Bank rows are bottom-up, 2600 pixels of blue, green, red.
  const std::uint8_t* px = p.bank + static_cast<std::size_t>(PLANE_HEIGHT - 1 - y) * PLANE_WIDTH * 3 +
                           static_cast<std::size_t>(x) * 3;
  GreyOfRow(px, count, out);
}

// The part of the picture that holds contrast: the bounding box of the
// BLOCK cells whose grey range exceeds FLAT_RANGE, grown by CONTENT_MARGIN
// cells so that quiet zones and the local threshold's neighbourhood stay
// inside. A symbol on a blank page is worked on alone; flat surroundings
// could hold no finder mark anyway. Cells wholly outside the picture's
// drawn part are one colour, so only the cells over it are looked at.
// Empty for a flat picture.
GreyArea ContentOf(const Picture& p) {
  GreyArea a;
  if (!p.drawn) return a;
  const int x1 = std::max(p.drawn->x1, 0), x2 = std::min(p.drawn->x2, p.width - 1);
  const int y1 = std::max(p.drawn->y1, 0), y2 = std::min(p.drawn->y2, p.height - 1);
  if (x1 > x2 || y1 > y2) return a;
  const int first_bx = x1 / BLOCK, last_bx = x2 / BLOCK;
  const int first_x = first_bx * BLOCK, end_x = std::min((last_bx + 1) * BLOCK, p.width);
  const int first_y = y1 / BLOCK * BLOCK, end_y = std::min((y2 / BLOCK + 1) * BLOCK, p.height);
  // The grey of the cells over the drawn part, converted once: the cells'
  // ranges and the content below are taken from it.
  const std::size_t span = static_cast<std::size_t>(end_x - first_x);
  std::vector<std::uint8_t> cells_grey(span * static_cast<std::size_t>(end_y - first_y));
  for (int y = first_y; y < end_y; ++y) {
    GreyRow(p, first_x, y, end_x - first_x, cells_grey.data() + static_cast<std::size_t>(y - first_y) * span);
  }
  int left = last_bx + 1, right = -1, top = y2 / BLOCK + 1, bottom = -1;
  std::vector<std::uint8_t> column_lo(span), column_hi(span);
  for (int by = first_y / BLOCK; by * BLOCK < end_y; ++by) {
    // Per column over the band's rows, then per cell.
    const std::uint8_t* band = cells_grey.data() + static_cast<std::size_t>(by * BLOCK - first_y) * span;
    std::copy_n(band, span, column_lo.begin());
    std::copy_n(band, span, column_hi.begin());
    std::uint8_t* __restrict low = column_lo.data();
    std::uint8_t* __restrict high = column_hi.data();
    const int rows = std::min(BLOCK, end_y - by * BLOCK);
    for (int r = 1; r < rows; ++r) {
      const std::uint8_t* __restrict row = band + static_cast<std::size_t>(r) * span;
      for (std::size_t x = 0; x < span; ++x) {
        low[x] = std::min(low[x], row[x]);
        high[x] = std::max(high[x], row[x]);
      }
    }
    for (std::size_t from = 0; from < span; from += BLOCK) {
      const std::size_t to = std::min(from + BLOCK, span);
      std::uint8_t l = 255, h = 0;
      for (std::size_t i = from; i < to; ++i) {
        l = std::min(l, low[i]);
        h = std::max(h, high[i]);
      }
      if (h - l <= FLAT_RANGE) continue;
      const int bx = first_bx + static_cast<int>(from / BLOCK);
      left = std::min(left, bx), right = std::max(right, bx);
      top = std::min(top, by), bottom = std::max(bottom, by);
    }
  }
  if (right < 0) return a;
  a.left = std::max(left - CONTENT_MARGIN, 0) * BLOCK;
  a.top = std::max(top - CONTENT_MARGIN, 0) * BLOCK;
  a.width = std::min((right + 1 + CONTENT_MARGIN) * BLOCK, p.width) - a.left;
  a.height = std::min((bottom + 1 + CONTENT_MARGIN) * BLOCK, p.height) - a.top;
  a.grey.resize(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  // Rows and columns over the cells come from their grey; the margin
  // beyond them from the picture.
  const int copy_left = std::max(a.left, first_x), copy_right = std::min(a.left + a.width, end_x);
  for (int y = 0; y < a.height; ++y) {
    const int py = a.top + y;
    std::uint8_t* out = a.grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width);
    if (py < first_y || py >= end_y || copy_left >= copy_right) {
      GreyRow(p, a.left, py, a.width, out);
      continue;
    }
    if (copy_left > a.left) GreyRow(p, a.left, py, copy_left - a.left, out);
    std::copy_n(cells_grey.data() + static_cast<std::size_t>(py - first_y) * span + static_cast<std::size_t>(copy_left - first_x),
                copy_right - copy_left, out + (copy_left - a.left));
    if (copy_right < a.left + a.width) GreyRow(p, copy_right, py, a.left + a.width - copy_right, out + (copy_right - a.left));
  }
  return a;
}

// n / 9 for every sum of nine greys (0 to 2295), as a multiplication that
// vectorises; checked against the division for all of them in the tests.
inline std::uint8_t NinthOf(unsigned n) { return static_cast<std::uint8_t>((n * 7282U) >> 16); }

// 3 x 3 box average: noise off module edges before a second try. At the
// edges only the pixels inside count. Sums of three rows per column, then
// of three columns: the same sums as pixel by pixel.
std::vector<std::uint8_t> Smoothed(const std::vector<std::uint8_t>& g, int w, int h) {
  std::vector<std::uint8_t> out(g.size());
  if (w <= 0 || h <= 0) return out;
  const std::size_t width = static_cast<std::size_t>(w);
  std::vector<std::uint16_t> column(width);  // at most 3 x 255
  for (int y = 0; y < h; ++y) {
    const int y0 = std::max(y - 1, 0), y1 = std::min(y + 1, h - 1);
    const int rows = y1 - y0 + 1;
    std::fill(column.begin(), column.end(), 0);
    for (int j = y0; j <= y1; ++j) {
      const std::uint8_t* row = g.data() + static_cast<std::size_t>(j) * width;
      for (std::size_t x = 0; x < width; ++x) column[x] = static_cast<std::uint16_t>(column[x] + row[x]);
    }
    std::uint8_t* o = out.data() + static_cast<std::size_t>(y) * width;
    if (w == 1) {
      o[0] = static_cast<std::uint8_t>(column[0] / rows);
      continue;
    }
    o[0] = static_cast<std::uint8_t>((column[0] + column[1]) / (2 * rows));
    o[width - 1] = static_cast<std::uint8_t>((column[width - 2] + column[width - 1]) / (2 * rows));
    if (rows == 3) {  // every row but the first and last: nine pixels
      const std::uint16_t* c = column.data();
      for (std::size_t x = 1; x + 1 < width; ++x) o[x] = NinthOf(c[x - 1] + c[x] + c[x + 1]);
    } else {
      const int n = 3 * rows;
      for (std::size_t x = 1; x + 1 < width; ++x) o[x] = static_cast<std::uint8_t>((column[x - 1] + column[x] + column[x + 1]) / n);
    }
  }
  return out;
}

Binary Threshold(const GreyArea& area, int fixed, bool smooth) {
  const int w = area.width, h = area.height;
  Binary b{area.left, area.top, w, h, {}};
  std::vector<std::uint8_t> smoothed;
  if (smooth) smoothed = Smoothed(area.grey, w, h);
  const std::vector<std::uint8_t>& g = smooth ? smoothed : area.grey;
  b.dark.assign(g.size(), 0);
  if (fixed > 0) {
    for (std::size_t i = 0; i < g.size(); ++i) b.dark[i] = g[i] < fixed ? 1 : 0;
    return b;
  }
  const std::size_t width = static_cast<std::size_t>(w);
  const int bw = (w + BLOCK - 1) / BLOCK;
  const int bh = (h + BLOCK - 1) / BLOCK;
  // Each cell's range and average, a band of cells at a time: the rows of
  // the band into per-column ranges and sums, then those per cell.
  std::vector<int> level(static_cast<std::size_t>(bw * bh), 0);
  std::vector<int> lo(static_cast<std::size_t>(bw)), hi(lo.size()), sum(lo.size());
  std::vector<std::uint8_t> column_lo(width), column_hi(width);
  std::vector<std::uint16_t> column_sum(width);
  for (int by = 0; by < bh; ++by) {
    const int y_end = std::min((by + 1) * BLOCK, h);
    const std::uint8_t* first = g.data() + static_cast<std::size_t>(by * BLOCK) * width;
    std::copy_n(first, width, column_lo.begin());
    std::copy_n(first, width, column_hi.begin());
    std::copy_n(first, width, column_sum.begin());
    std::uint8_t* __restrict low = column_lo.data();
    std::uint8_t* __restrict high = column_hi.data();
    std::uint16_t* __restrict total = column_sum.data();
    for (int y = by * BLOCK + 1; y < y_end; ++y) {
      const std::uint8_t* __restrict row = g.data() + static_cast<std::size_t>(y) * width;
      for (std::size_t x = 0; x < width; ++x) {
        low[x] = std::min(low[x], row[x]);
        high[x] = std::max(high[x], row[x]);
        total[x] = static_cast<std::uint16_t>(total[x] + row[x]);
      }
    }
    for (int bx = 0; bx < bw; ++bx) {
      const std::size_t c = static_cast<std::size_t>(bx);
      int l = 255, u = 0, total = 0;
      const int x_end = std::min((bx + 1) * BLOCK, w);
      for (int x = bx * BLOCK; x < x_end; ++x) {
        l = std::min(l, static_cast<int>(column_lo[static_cast<std::size_t>(x)]));
        u = std::max(u, static_cast<int>(column_hi[static_cast<std::size_t>(x)]));
        total += column_sum[static_cast<std::size_t>(x)];
      }
      lo[c] = l, hi[c] = u, sum[c] = total;
    }
    const int rows = y_end - by * BLOCK;
    for (int bx = 0; bx < bw; ++bx) {
      const std::size_t c = static_cast<std::size_t>(bx);
      const int n = rows * (std::min((bx + 1) * BLOCK, w) - bx * BLOCK);
      int average = sum[c] / std::max(n, 1);
      if (hi[c] - lo[c] <= FLAT_RANGE) {
        // Flat: light unless the neighbours say this is inside a dark area.
        average = lo[c] / 2;
        if (bx > 0 && by > 0) {
          const int around = (level[static_cast<std::size_t>((by - 1) * bw + bx)] +
                              2 * level[static_cast<std::size_t>(by * bw + bx - 1)] +
                              level[static_cast<std::size_t>((by - 1) * bw + bx - 1)]) / 4;
          if (lo[c] < around) average = around;
        }
      }
      level[static_cast<std::size_t>(by * bw + bx)] = average;
    }
  }
  // Each cell's threshold: the average of the levels of the 5 x 5 cells
  // around it; then the pixels, row by row.
  // Sums of five levels along each row of cells (fewer at the ends) from
  // running sums, then five of those down a column.
  std::vector<int> across(level.size());
  for (int by = 0; by < bh; ++by) {
    const int* row = level.data() + static_cast<std::size_t>(by * bw);
    int* out = across.data() + static_cast<std::size_t>(by * bw);
    int window = 0;
    for (int i = 0; i < std::min(2, bw); ++i) window += row[i];
    for (int bx = 0; bx < bw; ++bx) {
      if (bx + 2 < bw) window += row[bx + 2];
      if (bx - 3 >= 0) window -= row[bx - 3];
      out[bx] = window;
    }
  }
  std::vector<int> t(static_cast<std::size_t>(bw));
  std::vector<std::uint8_t> limit(width);
  for (int by = 0; by < bh; ++by) {
    const int j1 = std::max(by - 2, 0), j2 = std::min(by + 2, bh - 1);
    for (int bx = 0; bx < bw; ++bx) {
      int s = 0;
      for (int j = j1; j <= j2; ++j) s += across[static_cast<std::size_t>(j * bw + bx)];
      const int n = (j2 - j1 + 1) * (std::min(bx + 2, bw - 1) - std::max(bx - 2, 0) + 1);
      t[static_cast<std::size_t>(bx)] = s / n;
    }
    // The thresholds spread over a row of pixels, then compared row by row.
    static_assert(BLOCK == 8);  // a cell's row of thresholds is one 64-bit word
    for (int bx = 0; bx < bw; ++bx) {
      const auto value = static_cast<std::uint8_t>(t[static_cast<std::size_t>(bx)]);
      const int x0 = bx * BLOCK, x_end = std::min(x0 + BLOCK, w);
      if (x_end - x0 == BLOCK) {
        const std::uint64_t word = value * 0x0101010101010101ULL;
        std::memcpy(limit.data() + x0, &word, sizeof word);
      } else {
        std::fill(limit.begin() + x0, limit.begin() + x_end, value);
      }
    }
    const int y_end = std::min((by + 1) * BLOCK, h);
    for (int y = by * BLOCK; y < y_end; ++y) {
      const std::uint8_t* row = g.data() + static_cast<std::size_t>(y) * width;
      std::uint8_t* dark = b.dark.data() + static_cast<std::size_t>(y) * width;
      for (std::size_t x = 0; x < width; ++x) dark[x] = row[x] <= limit[x] ? 1 : 0;
    }
  }
  return b;
}

// Run widths dark, light, dark, light, dark in 1:1:3:1:1.
bool FinderRatio(const std::array<int, 5>& c) {
  const int total = c[0] + c[1] + c[2] + c[3] + c[4];
  if (total < 7 || c[0] == 0 || c[1] == 0 || c[2] == 0 || c[3] == 0 || c[4] == 0) return false;
  const double module = total / 7.0;
  // Small modules under blur or noise gain or lose a pixel per run.
  const double tolerance = std::max(module / 2, 1.5);
  return std::abs(module - c[0]) < tolerance && std::abs(module - c[1]) < tolerance &&
         std::abs(3 * module - c[2]) < 3 * tolerance && std::abs(module - c[3]) < tolerance &&
         std::abs(module - c[4]) < tolerance;
}

// The pixels of the binary along a line through (x, y) in direction
// (dx, dy), each -1, 0 or 1: step k is dark when it lies inside and is set.
class LineWalk {
 public:
  LineWalk(const Binary& b, int x, int y, int dx, int dy) {
    const int lx = x - b.left, ly = y - b.top;
    if (lx < 0 || ly < 0 || lx >= b.width || ly >= b.height) return;  // nothing is dark
    first_ = -b.width - b.height, last_ = b.width + b.height;
    Limit(lx, dx, b.width);
    Limit(ly, dy, b.height);
    origin_ = b.dark.data() + static_cast<std::ptrdiff_t>(ly) * b.width + lx;
    stride_ = static_cast<std::ptrdiff_t>(dy) * b.width + dx;
  }
  bool Dark(int k) const { return k >= first_ && k <= last_ && origin_[k * stride_] != 0; }

 private:
  // Steps k keeping `at + k * d` inside 0 to size - 1.
  void Limit(int at, int d, int size) {
    if (d > 0) first_ = std::max(first_, -at), last_ = std::min(last_, size - 1 - at);
    if (d < 0) first_ = std::max(first_, at - (size - 1)), last_ = std::min(last_, at);
  }
  const std::uint8_t* origin_ = nullptr;
  std::ptrdiff_t stride_ = 0;
  int first_ = 1, last_ = 0;  // empty until the start is known to be inside
};

// Runs through (x, y) along (dx, dy): the centre along that axis and the
// mark's width, or a negative width when the pattern is not there. Runs
// longer than a matching width could be end the count early.
std::pair<double, int> CrossCheck(const Binary& b, int x, int y, int dx, int dy, int expected) {
  std::array<int, 5> c{};
  const LineWalk line(b, x, y, dx, dy);
  if (!line.Dark(0)) return {0, -1};
  const int limit = 4 * expected + 8;
  const int too_long = 7 * expected;  // 5 x counted beyond this: the width check fails
  int counted = 0;
  auto over = [&] { return 5 * ++counted > too_long; };
  int k = 0;
  while (k > -limit && line.Dark(k)) {
    ++c[2], --k;
    if (over()) return {0, -1};
  }
  while (k > -limit && !line.Dark(k)) {
    ++c[1], --k;
    if (over()) return {0, -1};
  }
  while (k > -limit && line.Dark(k)) {
    ++c[0], --k;
    if (over()) return {0, -1};
  }
  int d = 1;
  while (d < limit && line.Dark(d)) {
    ++c[2], ++d;
    if (over()) return {0, -1};
  }
  while (d < limit && !line.Dark(d)) {
    ++c[3], ++d;
    if (over()) return {0, -1};
  }
  while (d < limit && line.Dark(d)) {
    ++c[4], ++d;
    if (over()) return {0, -1};
  }
  if (!FinderRatio(c)) return {0, -1};
  const int total = c[0] + c[1] + c[2] + c[3] + c[4];
  if (std::abs(total - expected) * 5 > 2 * expected) return {0, -1};
  return {d - c[4] - c[3] - c[2] / 2.0, total};
}

// The pattern along the diagonal; its runs must come to less than twice
// `expected`, so the count stops there.
bool DiagonalCheck(const Binary& b, int x, int y, int expected) {
  std::array<int, 5> c{};
  const LineWalk line(b, x, y, 1, 1);
  if (!line.Dark(0)) return false;
  const int limit = 2 * expected + 8;
  int counted = 0;
  auto over = [&] { return ++counted >= 2 * expected; };
  int k = 0;
  while (k > -limit && line.Dark(k)) {
    ++c[2], --k;
    if (over()) return false;
  }
  while (k > -limit && !line.Dark(k)) {
    ++c[1], --k;
    if (over()) return false;
  }
  while (k > -limit && line.Dark(k)) {
    ++c[0], --k;
    if (over()) return false;
  }
  int d = 1;
  while (d < limit && line.Dark(d)) {
    ++c[2], ++d;
    if (over()) return false;
  }
  while (d < limit && !line.Dark(d)) {
    ++c[3], ++d;
    if (over()) return false;
  }
  while (d < limit && line.Dark(d)) {
    ++c[4], ++d;
    if (over()) return false;
  }
  const int total = c[0] + c[1] + c[2] + c[3] + c[4];
  if (c[0] == 0 || c[1] == 0 || c[3] == 0 || c[4] == 0) return false;
  const double module = total / 7.0;
  const double tolerance = module * 0.75;
  return std::abs(module - c[0]) < tolerance && std::abs(module - c[1]) < tolerance &&
         std::abs(3 * module - c[2]) < 3 * tolerance && std::abs(module - c[3]) < tolerance &&
         std::abs(module - c[4]) < tolerance && total < 2 * expected;
}

void AddCandidate(std::vector<FinderMark>& marks, double x, double y, double size) {
  const double module = size / 7;
  for (FinderMark& m : marks) {
    if (std::abs(m.x - x) <= module * 1.5 && std::abs(m.y - y) <= module * 1.5 &&
        std::abs(m.size - size) <= std::max(m.size, size) * 0.4) {
      const double n = m.hits;
      m.x = (m.x * n + x) / (n + 1);
      m.y = (m.y * n + y) / (n + 1);
      m.size = (m.size * n + size) / (n + 1);
      ++m.hits;
      return;
    }
  }
  if (marks.size() < CANDIDATES_MAX) marks.push_back(FinderMark{x, y, size, 1});
}

std::vector<FinderMark> FindMarks(const Binary& b) {
  std::vector<FinderMark> found;
  std::vector<int> starts;
  std::vector<int> lengths;
  const std::size_t width = static_cast<std::size_t>(b.width);
  for (int y = b.top; y < b.top + b.height; ++y) {
    starts.clear();
    lengths.clear();
    // Runs from the first dark one; each run's end is the first pixel of
    // the other colour (the flags are 0 and 1).
    const std::uint8_t* row = b.dark.data() + static_cast<std::size_t>(y - b.top) * width;
    const void* first = width == 0 ? nullptr : std::memchr(row, 1, width);
    std::size_t x = first == nullptr ? width : static_cast<std::size_t>(static_cast<const std::uint8_t*>(first) - row);
    while (x < width) {
      const std::uint8_t colour = row[x];
      const void* end = std::memchr(row + x, colour ^ 1, width - x);
      const std::size_t next = end == nullptr ? width : static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - row);
      starts.push_back(b.left + static_cast<int>(x));
      lengths.push_back(static_cast<int>(next - x));
      x = next;
    }
    // Dark runs sit at even positions.
    for (std::size_t i = 0; i + 4 < lengths.size(); i += 2) {
      const std::array<int, 5> c = {lengths[i], lengths[i + 1], lengths[i + 2], lengths[i + 3], lengths[i + 4]};
      if (!FinderRatio(c)) continue;
      const int total = c[0] + c[1] + c[2] + c[3] + c[4];
      const int cx = starts[i + 2] + c[2] / 2;
      const auto [dy, vertical] = CrossCheck(b, cx, y, 0, 1, total);
      if (vertical <= 0) continue;
      const double cy = y + dy;
      const auto [dx, horizontal] = CrossCheck(b, cx, static_cast<int>(cy), 1, 0, total);
      if (horizontal <= 0) continue;
      const double fx = cx + dx;
      // The pattern must hold across the diagonal too (runs there are longer).
      if (!DiagonalCheck(b, static_cast<int>(fx), static_cast<int>(cy), (vertical + horizontal) / 2)) continue;
      AddCandidate(found, fx, cy, (vertical + horizontal) / 2.0);
    }
  }
  int most = 0;
  for (const FinderMark& m : found) most = std::max(most, m.hits);
  const int needed = std::max(2, most / 3);
  std::vector<FinderMark> marks;
  for (const FinderMark& m : found) {
    if (m.hits >= needed) marks.push_back(m);
  }
  return marks;
}

struct Vec {
  double x, y;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double Length(Vec a) { return std::hypot(a.x, a.y); }

// Dark runs along the timing line from one mark centre to another: the
// symbol size they imply, or 0.
int TimingSize(const Binary& b, Vec from, Vec to, Vec offset, double module) {
  from = from + offset;
  to = to + offset;
  const double length = Length(to - from);
  const int steps = static_cast<int>(length / (module / 4)) + 1;
  int runs = 0;
  bool previous = false;
  int same = 0;
  bool stable = false;
  for (int i = 0; i <= steps; ++i) {
    const Vec p = from + (to - from) * (static_cast<double>(i) / steps);
    const bool dark = b.At(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    if (i == 0) {
      previous = dark;
      stable = dark;
      if (dark) runs = 1;
      continue;
    }
    same = dark == previous ? same + 1 : 0;
    previous = dark;
    // A colour counts once it held for a third of a module (noise filter).
    if (dark != stable && same + 1 >= 2) {
      stable = dark;
      if (dark) ++runs;
    }
  }
  if (runs < 2) return 0;
  return 2 * (runs - 2) + 15;
}

bool Plausible(int size) { return size >= QR_SIZE_MIN && size <= QR_SIZE_MAX && (size - QR_SIZE_MIN) % 4 == 0; }

QrMatrix Sample(const Binary& b, Vec corner, Vec right, Vec down, int size) {
  QrMatrix m{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size * size), 0)};
  const Vec u = (right - corner) * (1.0 / (size - 7));
  const Vec v = (down - corner) * (1.0 / (size - 7));
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      const Vec p = corner + u * (c - 3.0) + v * (r - 3.0);
      m.dark[static_cast<std::size_t>(r * size + c)] =
          b.At(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y))) ? 1 : 0;
    }
  }
  return m;
}

QrMatrix Transposed(const QrMatrix& m) {
  QrMatrix t = m;
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) t.dark[static_cast<std::size_t>(c * m.size + r)] = m.dark[static_cast<std::size_t>(r * m.size + c)];
  }
  return t;
}

void FillWork(const Binary& b, Plane& work) {
  work.Fill(255);  // rewrites only what the last picture left
  const std::size_t width = static_cast<std::size_t>(b.width);
  for (int y = 0; y < b.height; ++y) {
    const std::uint8_t* dark = b.dark.data() + static_cast<std::size_t>(y) * width;
    std::uint8_t* to = work.WriteRow(b.left, b.top + y, b.width);
    // Dark runs blackened whole (the flags are 0 and 1).
    for (std::size_t x = 0; x < width;) {
      const void* start = std::memchr(dark + x, 1, width - x);
      if (start == nullptr) break;
      const std::size_t first = static_cast<std::size_t>(static_cast<const std::uint8_t*>(start) - dark);
      const void* end = std::memchr(dark + first, 0, width - first);
      x = end == nullptr ? width : static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - dark);
      std::memset(to + first * PLANE_PIXEL_BYTES, 0, (x - first) * PLANE_PIXEL_BYTES);
    }
  }
}

// Whether three of the marks can be one symbol's corners.
bool Usable(const std::vector<FinderMark>& marks) { return !MarkTriples(marks).empty(); }

bool Locate(const Picture& picture, int threshold, Plane& work, std::vector<FinderMark>& marks,
            std::vector<MarkTriple>& triples, std::string& log, Binary& binary) {
  const int width = std::clamp(picture.width, 0, PLANE_WIDTH);
  const int height = std::clamp(picture.height, 0, PLANE_HEIGHT);
  Picture cut = picture;
  cut.width = width;
  cut.height = height;
  const GreyArea content = ContentOf(cut);
  binary = Threshold(content, threshold, false);
  marks = FindMarks(binary);
  if (marks.size() < 3) {
    // Noise can break the runs of small modules: once more, smoothed.
    Binary smoothed = Threshold(content, threshold, true);
    std::vector<FinderMark> again = FindMarks(smoothed);
    if (Usable(again)) {
      binary = std::move(smoothed);
      marks = std::move(again);
    }
  }
  FillWork(binary, work);
  for (std::size_t i = 0; i < marks.size() && i < 8; ++i) {
    Log(log, "mark%d[%d, %d] \r\n", static_cast<int>(i), static_cast<int>(marks[i].x), static_cast<int>(marks[i].y));
  }
  for (std::size_t i = 0; i < marks.size() && i < 8; ++i) {
    Log(log, "sq_mark[%d].sz[%d] \r\n", static_cast<int>(i), static_cast<int>(std::lround(marks[i].size)));
  }
  triples = MarkTriples(marks);
  if (triples.empty()) {
    log += "error : [markCnt != 3] \r\n";
    return false;
  }
  return true;
}

// Samples and decodes the symbol whose finder marks are `marks`.
QrOutcome ReadSymbol(const Binary& b, const std::array<FinderMark, 3>& marks, std::string& log) {
  // The corner mark faces the longest side.
  const std::array<Vec, 3> p = {Vec{marks[0].x, marks[0].y}, Vec{marks[1].x, marks[1].y}, Vec{marks[2].x, marks[2].y}};
  int corner = 0;
  double longest = -1;
  for (int i = 0; i < 3; ++i) {
    const double side = Length(p[static_cast<std::size_t>((i + 1) % 3)] - p[static_cast<std::size_t>((i + 2) % 3)]);
    if (side > longest) {
      longest = side;
      corner = i;
    }
  }
  const Vec tl = p[static_cast<std::size_t>(corner)];
  Vec tr = p[static_cast<std::size_t>((corner + 1) % 3)];
  Vec bl = p[static_cast<std::size_t>((corner + 2) % 3)];
  const double ratio = Length(tr - tl) / std::max(Length(bl - tl), 1e-9);
  if (ratio < 0.9 || ratio > 1.1) {
    Log(log, "Error : marks are not at right angles (%.3f) \r\n", ratio);
    return {};
  }
  const Vec a = tr - tl;
  const Vec c = bl - tl;
  if (a.x * c.y - a.y * c.x < 0) std::swap(tr, bl);  // y grows downwards

  const double module = (marks[0].size + marks[1].size + marks[2].size) / 21.0;
  Log(log, "dp->iModule = %ld     [QR_TraceBaseLine()]\r\n", std::lround(module));
  const double span = (Length(tr - tl) + Length(bl - tl)) / 2;
  const int estimate = static_cast<int>(std::lround(span / module)) + 7;
  int size = ((estimate - QR_SIZE_MIN + 2) / 4) * 4 + QR_SIZE_MIN;
  const Vec across = (tr - tl) * (3 * module / Length(tr - tl));
  const Vec downward = (bl - tl) * (3 * module / Length(bl - tl));
  std::vector<int> sizes;
  for (int timing : {TimingSize(b, tl, tr, downward, module), TimingSize(b, tl, bl, across, module)}) {
    if (Plausible(timing) && std::abs(timing - estimate) <= std::max(4, estimate / 8) &&
        std::find(sizes.begin(), sizes.end(), timing) == sizes.end()) {
      sizes.push_back(timing);
    }
  }
  if (std::find(sizes.begin(), sizes.end(), size) == sizes.end() && Plausible(size)) sizes.push_back(size);
  for (int s : sizes) {
    Log(log, "symbol size %d \r\n", s);
    const QrMatrix m = Sample(b, tl, tr, bl, s);
    QrOutcome out = DecodeQrMatrix(m, log);
    if (out.ok) return out;
    out = DecodeQrMatrix(Transposed(m), log);  // a mirrored print
    if (out.ok) return out;
  }
  return {};
}

}  // namespace

std::vector<MarkTriple> MarkTriples(const std::vector<FinderMark>& marks) {
  if (marks.size() < 3) return {};
  if (marks.size() == 3) return {MarkTriple{{0, 1, 2}, 0}};  // taken as they are; the reader checks the angle
  // The marks found most often; look-alikes in the data are seen less.
  std::vector<std::size_t> order(marks.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return marks[a].hits > marks[b].hits; });
  if (order.size() > TRIPLE_MARKS_MAX) order.resize(TRIPLE_MARKS_MAX);
  std::vector<MarkTriple> out;
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      for (std::size_t k = j + 1; k < order.size(); ++k) {
        const std::array<std::size_t, 3> t = {order[i], order[j], order[k]};
        const double score = TriangleScore({marks[t[0]], marks[t[1]], marks[t[2]]});
        if (score >= 0) out.push_back(MarkTriple{t, score});
      }
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const MarkTriple& a, const MarkTriple& b) { return a.score < b.score; });
  // A second symbol (a layout apart from the best one's marks) makes the
  // picture ambiguous: which one was meant is not known.
  for (std::size_t n = 1; n < out.size(); ++n) {
    const auto& best = out[0].marks;
    const bool apart = std::none_of(out[n].marks.begin(), out[n].marks.end(), [&](std::size_t m) {
      return std::find(best.begin(), best.end(), m) != best.end();
    });
    if (apart) return {};
  }
  if (out.size() > TRIPLES_TRIED) out.resize(TRIPLES_TRIED);
  return out;
}

double TriangleScore(const std::array<FinderMark, 3>& m) {
  const double small = std::min({m[0].size, m[1].size, m[2].size});
  const double large = std::max({m[0].size, m[1].size, m[2].size});
  if (small < TRIPLE_SIZE_RATIO_MIN * large) return -1;
  // The corner faces the longest side; its two legs must be equal and at
  // a right angle.
  std::size_t corner = 0;
  double longest = -1;
  for (std::size_t i = 0; i < 3; ++i) {
    const FinderMark& p = m[(i + 1) % 3];
    const FinderMark& q = m[(i + 2) % 3];
    const double side = std::hypot(p.x - q.x, p.y - q.y);
    if (side > longest) longest = side, corner = i;
  }
  const FinderMark& o = m[corner];
  const double ax = m[(corner + 1) % 3].x - o.x, ay = m[(corner + 1) % 3].y - o.y;
  const double bx = m[(corner + 2) % 3].x - o.x, by = m[(corner + 2) % 3].y - o.y;
  const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  if (la < 1e-9 || lb < 1e-9) return -1;
  const double legs = std::abs(std::log(la / lb));
  const double cosine = std::abs(ax * bx + ay * by) / (la * lb);
  // Centres of a symbol's marks are 14 (version 1) to 170 modules apart.
  const double module = (m[0].size + m[1].size + m[2].size) / 21.0;
  const double span = (la + lb) / 2 / module;
  if (legs > TRIPLE_LEGS_MAX || cosine > TRIPLE_COSINE_MAX || span < 12 || span > QR_SIZE_MAX) return -1;
  return (1 - small / large) + legs + cosine;
}

std::vector<std::uint8_t> SmoothedGrey(const std::vector<std::uint8_t>& grey, int width, int height) {
  if (width < 0 || height < 0 || grey.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return {};
  return Smoothed(grey, width, height);
}

std::vector<std::uint8_t> DarkFlags(const std::vector<std::uint8_t>& grey, int width, int height, int threshold,
                                    bool smooth) {
  if (width < 0 || height < 0 || grey.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return {};
  return Threshold(GreyArea{0, 0, width, height, grey}, threshold, smooth).dark;
}

bool PreprocessQr(const Picture& picture, int threshold, Plane& work, std::vector<FinderMark>& marks,
                  std::string& log) {
  Binary binary;
  std::vector<MarkTriple> triples;
  return Locate(picture, threshold, work, marks, triples, log, binary);
}

QrOutcome ReadQr(const Picture& picture, int threshold, Plane& work, std::string& log,
                 std::vector<FinderMark>* found) {
  log += "start of QR_Decord() \r\n";
  Binary b;
  std::vector<FinderMark> marks;
  std::vector<MarkTriple> triples;
  const bool located = Locate(picture, threshold, work, marks, triples, log, b);
  if (found != nullptr) *found = marks;
  if (!located) return {};
  for (const MarkTriple& t : triples) {
    if (marks.size() > 3) {
      Log(log, "marks taken: %d, %d, %d \r\n", static_cast<int>(t.marks[0]), static_cast<int>(t.marks[1]),
          static_cast<int>(t.marks[2]));
    }
    QrOutcome out = ReadSymbol(b, {marks[t.marks[0]], marks[t.marks[1]], marks[t.marks[2]]}, log);
    if (out.ok) return out;
  }
  return {};
}

}  // namespace vx::recognition
