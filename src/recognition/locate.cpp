#include "recognition/locate.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace vx::recognition {
namespace {

// Widens lo and hi to the greys of one row of a whole cell. Four running
// ranges, joined at the end, keep the compares independent.
void RangeOfCellRow(const std::uint8_t* cell, std::uint8_t& lo, std::uint8_t& hi) {
  static_assert(SEARCH_BLOCK % 4 == 0);
  std::array<std::uint8_t, 4> l{lo, lo, lo, lo}, h{hi, hi, hi, hi};
  for (int i = 0; i < SEARCH_BLOCK; i += 4) {
    for (std::size_t k = 0; k < 4; ++k) {
      const std::uint8_t v = cell[(static_cast<std::size_t>(i) + k) * PLANE_PIXEL_BYTES];
      l[k] = std::min(l[k], v);
      h[k] = std::max(h[k], v);
    }
  }
  lo = std::min(std::min(l[0], l[1]), std::min(l[2], l[3]));
  hi = std::max(std::max(h[0], h[1]), std::max(h[2], h[3]));
}

// The cells of the locating pass that look like code: a grey range of at
// least `contrast` and, on average, a dark-light change on each row and
// column. Cells outside what was written since the plane's last fill hold
// one grey and cannot qualify, so only the cells over the written part are
// looked at: one pass over their rows takes every cell's range, then only
// cells with the contrast are looked at again, row by row as dark flags.
// Cells at the right and bottom edges are cut to the plane.
std::vector<std::uint8_t> CodeCells(const Plane& plane, int contrast) {
  constexpr int cw = (PLANE_WIDTH + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  constexpr int ch = (PLANE_HEIGHT + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  constexpr std::size_t step = PLANE_PIXEL_BYTES;
  std::vector<std::uint8_t> code(static_cast<std::size_t>(cw * ch), 0);
  const std::optional<Region> written = plane.Written();
  if (!plane.Used() || !written) return code;
  const int first_bx = written->x1 / SEARCH_BLOCK, last_bx = written->x2 / SEARCH_BLOCK;
  const int first_x = first_bx * SEARCH_BLOCK, end_x = std::min((last_bx + 1) * SEARCH_BLOCK, PLANE_WIDTH);
  std::array<std::uint8_t, cw> lo{}, hi{};
  for (int by = written->y1 / SEARCH_BLOCK; by <= written->y2 / SEARCH_BLOCK; ++by) {
    const int y0 = by * SEARCH_BLOCK, y1 = std::min(y0 + SEARCH_BLOCK, PLANE_HEIGHT);
    lo.fill(255);
    hi.fill(0);
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* row = plane.Row(y);
      for (int x0 = first_x; x0 < end_x; x0 += SEARCH_BLOCK) {
        const std::size_t bx = static_cast<std::size_t>(x0 / SEARCH_BLOCK);
        const std::uint8_t* cell = row + static_cast<std::size_t>(x0) * step;
        const int n = std::min(SEARCH_BLOCK, PLANE_WIDTH - x0);
        if (n == SEARCH_BLOCK) {
          RangeOfCellRow(cell, lo[bx], hi[bx]);
          continue;
        }
        std::uint8_t l = lo[bx], h = hi[bx];
        for (int i = 0; i < n; ++i) {
          const std::uint8_t v = cell[static_cast<std::size_t>(i) * step];
          l = std::min(l, v);
          h = std::max(h, v);
        }
        lo[bx] = l;
        hi[bx] = h;
      }
    }
    for (int bx = first_bx; bx <= last_bx; ++bx) {
      const int l = lo[static_cast<std::size_t>(bx)], h = hi[static_cast<std::size_t>(bx)];
      if (h - l < contrast) continue;
      const int mid = (l + h) / 2;
      const int x0 = bx * SEARCH_BLOCK;
      const std::size_t width = static_cast<std::size_t>(std::min(x0 + SEARCH_BLOCK, PLANE_WIDTH) - x0);
      int changes = 0;
      std::array<std::uint8_t, SEARCH_BLOCK> dark{}, dark_above{};
      for (int y = y0; y < y1; ++y) {
        const std::uint8_t* cell = plane.Row(y) + static_cast<std::size_t>(x0) * step;
        for (std::size_t i = 0; i < width; ++i) dark[i] = cell[i * step] < mid ? 1 : 0;
        for (std::size_t i = 1; i < width; ++i) changes += dark[i] != dark[i - 1];
        if (y > y0) {
          for (std::size_t i = 0; i < width; ++i) changes += dark[i] != dark_above[i];
        }
        dark_above = dark;
      }
      code[static_cast<std::size_t>(by * cw + bx)] = changes >= SEARCH_BLOCK ? 1 : 0;
    }
  }
  return code;
}

}  // namespace

std::optional<Region> LocateCode(const Plane& plane, int contrast) {
  constexpr int cw = (PLANE_WIDTH + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  constexpr int ch = (PLANE_HEIGHT + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  const std::vector<std::uint8_t> code = CodeCells(plane, contrast);
  // Largest group of code cells.
  std::vector<int> group(code.size(), -1);
  int best = -1, best_cells = 0;
  Region best_box;
  std::vector<int> stack;
  for (int start = 0; start < cw * ch; ++start) {
    if (code[static_cast<std::size_t>(start)] == 0 || group[static_cast<std::size_t>(start)] >= 0) continue;
    int cells = 0;
    Region box{start % cw, start / cw, start % cw, start / cw};
    group[static_cast<std::size_t>(start)] = start;
    stack.assign(1, start);
    while (!stack.empty()) {
      const int c = stack.back();
      stack.pop_back();
      ++cells;
      const int cx = c % cw, cy = c / cw;
      box = Region{std::min(box.x1, cx), std::min(box.y1, cy), std::max(box.x2, cx), std::max(box.y2, cy)};
      const int around[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
      for (const auto& d : around) {
        const int nx = cx + d[0], ny = cy + d[1];
        if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
        const int n = ny * cw + nx;
        if (code[static_cast<std::size_t>(n)] != 0 && group[static_cast<std::size_t>(n)] < 0) {
          group[static_cast<std::size_t>(n)] = start;
          stack.push_back(n);
        }
      }
    }
    if (cells > best_cells) {
      best = start;
      best_cells = cells;
      best_box = box;
    }
  }
  if (best < 0) return std::nullopt;
  return Normalized(Region{(best_box.x1 - 2) * SEARCH_BLOCK, (best_box.y1 - 2) * SEARCH_BLOCK,
                           (best_box.x2 + 3) * SEARCH_BLOCK - 1, (best_box.y2 + 3) * SEARCH_BLOCK - 1});
}

}  // namespace vx::recognition
