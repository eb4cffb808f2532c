#include "recognition/locate.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace vx::recognition {
namespace {

// The first byte of each of `count` plane pixels. A plain loop: packing
// every third byte into vectors costs more than it saves without byte
// shuffles.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-vectorize")))
#endif
void GreysOf(const std::uint8_t* pixels, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = pixels[i * PLANE_PIXEL_BYTES];
}

// The cells of the locating pass that look like code: a grey range of at
// least `contrast` and, on average, a dark-light change on each row and
// column. Cells outside what was written since the plane's last fill hold
// one grey and cannot qualify, so only the cells over the written part are
// looked at, a band of SEARCH_BLOCK rows at a time: the band's greys are
// taken out of the plane once, then every cell's range is taken and only
// cells with the contrast are looked at again. Cells at the right and
// bottom edges are cut to the plane.
std::vector<std::uint8_t> CodeCells(const Plane& plane, int contrast) {
  constexpr int cw = (PLANE_WIDTH + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  constexpr int ch = (PLANE_HEIGHT + SEARCH_BLOCK - 1) / SEARCH_BLOCK;
  std::vector<std::uint8_t> code(static_cast<std::size_t>(cw * ch), 0);
  const std::optional<Region> written = plane.Written();
  if (!plane.Used() || !written) return code;
  const int first_bx = written->x1 / SEARCH_BLOCK, last_bx = written->x2 / SEARCH_BLOCK;
  const int first_x = first_bx * SEARCH_BLOCK, end_x = std::min((last_bx + 1) * SEARCH_BLOCK, PLANE_WIDTH);
  const std::size_t span = static_cast<std::size_t>(end_x - first_x);
  std::vector<std::uint8_t> band(span * SEARCH_BLOCK);
  std::array<std::uint8_t, SEARCH_BLOCK> dark{}, dark_above{};
  for (int by = written->y1 / SEARCH_BLOCK; by <= written->y2 / SEARCH_BLOCK; ++by) {
    const int y0 = by * SEARCH_BLOCK, rows = std::min(SEARCH_BLOCK, PLANE_HEIGHT - y0);
    for (int r = 0; r < rows; ++r) {
      GreysOf(plane.Row(y0 + r) + static_cast<std::size_t>(first_x) * PLANE_PIXEL_BYTES, span,
              band.data() + static_cast<std::size_t>(r) * span);
    }
    for (int bx = first_bx; bx <= last_bx; ++bx) {
      const std::size_t x0 = static_cast<std::size_t>((bx - first_bx) * SEARCH_BLOCK);
      const std::size_t width = std::min<std::size_t>(SEARCH_BLOCK, span - x0);
      std::uint8_t lo = 255, hi = 0;
      for (int r = 0; r < rows; ++r) {
        const std::uint8_t* cell = band.data() + static_cast<std::size_t>(r) * span + x0;
        for (std::size_t i = 0; i < width; ++i) {
          lo = std::min(lo, cell[i]);
          hi = std::max(hi, cell[i]);
        }
      }
      if (hi - lo < contrast) continue;
      const int mid = (lo + hi) / 2;
      int changes = 0;
      for (int r = 0; r < rows; ++r) {
        const std::uint8_t* cell = band.data() + static_cast<std::size_t>(r) * span + x0;
        for (std::size_t i = 0; i < width; ++i) dark[i] = cell[i] < mid ? 1 : 0;
        for (std::size_t i = 1; i < width; ++i) changes += dark[i] != dark[i - 1];
        if (r > 0) {
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
