#include "graphics/image_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vx::graphics {
namespace {

void Include(Region& region, int x, int y) {
  if (region.pixels == 0) {
    region.box = PixelRect{x, y, x, y};
  } else {
    region.box.left = std::min(region.box.left, x);
    region.box.right = std::max(region.box.right, x);
    region.box.top = std::min(region.box.top, y);
    region.box.bottom = std::max(region.box.bottom, y);
  }
  ++region.pixels;
}

template <typename Visit>
void ForEachPixel(const std::uint8_t* bank, const PixelRect& r, Visit&& visit) {
  for (int y = r.top; y <= r.bottom; ++y) {
    const std::uint8_t* p = PixelAt(bank, r.left, y);
    for (int x = r.left; x <= r.right; ++x, p += 3) visit(Color{p[0], p[1], p[2]}, x, y);
  }
}

int PlaneValue(Color c, int plane) {
  switch (plane) {
    case 0: return c.r;
    case 1: return c.g;
    case 2: return c.b;
    default: return Luma(c);
  }
}

// Flood over `r` from `seed` through pixels `member` accepts; `diagonal`
// adds the four diagonal neighbours. `seen` spans r.
template <typename Member>
Region Flood(const PixelRect& r, Point seed, bool diagonal, std::vector<std::uint8_t>& seen, Member&& member) {
  Region region;
  const auto index = [&](int x, int y) {
    return static_cast<std::size_t>(y - r.top) * static_cast<std::size_t>(r.Width()) + static_cast<std::size_t>(x - r.left);
  };
  std::vector<Point> stack{seed};
  seen[index(seed.x, seed.y)] = 1;
  while (!stack.empty()) {
    const Point p = stack.back();
    stack.pop_back();
    Include(region, p.x, p.y);
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if ((dx == 0 && dy == 0) || (!diagonal && dx != 0 && dy != 0)) continue;
        const int x = p.x + dx;
        const int y = p.y + dy;
        if (x < r.left || x > r.right || y < r.top || y > r.bottom || seen[index(x, y)] != 0) continue;
        if (!member(x, y)) continue;
        seen[index(x, y)] = 1;
        stack.push_back(Point{x, y});
      }
    }
  }
  return region;
}

}  // namespace

Region ConnectedArea(const std::uint8_t* bank, const PixelRect& bounds, Point seed, int tolerance) {
  const PixelRect r = Intersect(bounds, kBankRect);
  if (bank == nullptr || r.Empty() || seed.x < r.left || seed.x > r.right || seed.y < r.top || seed.y > r.bottom) {
    return Region{};
  }
  const Color colour = ReadPixel(bank, seed.x, seed.y);
  std::vector<std::uint8_t> seen(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()), 0);
  return Flood(r, seed, false, seen, [&](int x, int y) { return Near(ReadPixel(bank, x, y), colour, tolerance); });
}

Region ColourRangeArea(const std::uint8_t* bank, const PixelRect& area, Color low, Color high) {
  Region region;
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return region;
  ForEachPixel(bank, r, [&](Color c, int x, int y) {
    if (c.r >= low.r && c.r <= high.r && c.g >= low.g && c.g <= high.g && c.b >= low.b && c.b <= high.b) {
      Include(region, x, y);
    }
  });
  return region;
}

Region ContentArea(const std::uint8_t* bank, const PixelRect& area, Color background, int tolerance) {
  Region region;
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return region;
  ForEachPixel(bank, r, [&](Color c, int x, int y) {
    if (!Near(c, background, tolerance)) Include(region, x, y);
  });
  return region;
}

std::vector<Region> FindBlobs(const std::uint8_t* bank, const PixelRect& area, Color background, int tolerance,
                              std::int64_t min_pixels, std::size_t max_count, std::int64_t* total) {
  std::vector<Region> blobs;
  *total = 0;
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return blobs;
  const auto foreground = [&](int x, int y) { return !Near(ReadPixel(bank, x, y), background, tolerance); };
  std::vector<std::uint8_t> seen(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()), 0);
  std::size_t i = 0;
  for (int y = r.top; y <= r.bottom; ++y) {
    for (int x = r.left; x <= r.right; ++x, ++i) {
      if (seen[i] != 0 || !foreground(x, y)) continue;
      const Region blob = Flood(r, Point{x, y}, true, seen, foreground);
      if (blob.pixels < min_pixels) continue;
      ++*total;
      if (blobs.size() < max_count) blobs.push_back(blob);
    }
  }
  return blobs;
}

std::vector<Run> ScanRuns(const std::uint8_t* bank, Point start, int length, bool vertical, int tolerance) {
  std::vector<Run> runs;
  if (bank == nullptr) return runs;
  for (int i = 0; i < length; ++i) {
    const int x = vertical ? start.x : start.x + i;
    const int y = vertical ? start.y + i : start.y;
    if (x < 0 || y < 0 || x >= VRAM_WIDTH || y >= VRAM_HEIGHT) {
      if (!runs.empty() && (vertical ? y >= VRAM_HEIGHT : x >= VRAM_WIDTH)) break;
      continue;
    }
    const Color c = ReadPixel(bank, x, y);
    if (!runs.empty() && runs.back().start + runs.back().length == i && Near(c, runs.back().colour, tolerance)) {
      ++runs.back().length;
    } else {
      runs.push_back(Run{i, 1, c});
    }
  }
  return runs;
}

std::vector<std::uint8_t> Profile(const std::uint8_t* bank, Point start, int length, bool vertical, int plane) {
  std::vector<std::uint8_t> samples;
  if (bank == nullptr) return samples;
  for (int i = 0; i < length; ++i) {
    const int x = vertical ? start.x : start.x + i;
    const int y = vertical ? start.y + i : start.y;
    if (x < 0 || y < 0 || x >= VRAM_WIDTH || y >= VRAM_HEIGHT) continue;
    samples.push_back(static_cast<std::uint8_t>(PlaneValue(ReadPixel(bank, x, y), plane)));
  }
  return samples;
}

namespace {

// Counts of one plane's values over the area. Four tables take pixels in
// turn: in a photo neighbours are often equal, and one table would make
// each increment wait for the one before it.
std::array<std::int64_t, 256> CountValues(const std::uint8_t* bank, const PixelRect& r, int plane) {
  std::array<std::array<std::uint32_t, 256>, 4> tables{};
  const auto pixels = static_cast<std::size_t>(r.Width());
  for (int y = r.top; y <= r.bottom; ++y) {
    const std::uint8_t* row = PixelAt(bank, r.left, y);
    std::size_t i = 0;
    if (plane < 0 || plane > 2) {  // brightness, as PlaneValue
      auto luma = [row](std::size_t k) {
        const std::uint8_t* p = row + 3 * k;
        return static_cast<std::size_t>(Luma(Color{p[0], p[1], p[2]}));
      };
      for (; i + 4 <= pixels; i += 4) {
        ++tables[0][luma(i)];
        ++tables[1][luma(i + 1)];
        ++tables[2][luma(i + 2)];
        ++tables[3][luma(i + 3)];
      }
      for (; i < pixels; ++i) ++tables[0][luma(i)];
      continue;
    }
    // Pixels are stored blue, green, red.
    const std::uint8_t* p = row + (plane == 0 ? 2 : plane == 1 ? 1 : 0);
    for (; i + 4 <= pixels; i += 4, p += 12) {
      ++tables[0][p[0]];
      ++tables[1][p[3]];
      ++tables[2][p[6]];
      ++tables[3][p[9]];
    }
    for (; i < pixels; ++i, p += 3) ++tables[0][*p];
  }
  std::array<std::int64_t, 256> counts{};
  for (const auto& table : tables) {
    for (std::size_t v = 0; v < 256; ++v) counts[v] += table[v];
  }
  return counts;
}

}  // namespace

Histogram ComputeHistogram(const std::uint8_t* bank, const PixelRect& area, int plane) {
  Histogram h;
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return h;
  h.counts = CountValues(bank, r, plane);
  double sum = 0.0;
  double squares = 0.0;
  h.minimum = 255;
  for (int v = 0; v < 256; ++v) {
    const std::int64_t n = h.counts[static_cast<std::size_t>(v)];
    if (n == 0) continue;
    h.total += n;
    h.minimum = std::min(h.minimum, v);
    h.maximum = v;
    if (n > h.counts[static_cast<std::size_t>(h.mode)]) h.mode = v;
    sum += static_cast<double>(n) * v;
    squares += static_cast<double>(n) * v * v;
  }
  h.mean = sum / static_cast<double>(h.total);
  h.deviation = std::sqrt(std::max(0.0, squares / static_cast<double>(h.total) - h.mean * h.mean));
  return h;
}

AreaStatistics Analyze(const std::uint8_t* bank, const PixelRect& area) {
  AreaStatistics s;
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return s;
  std::vector<std::uint32_t> colours;
  colours.reserve(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()));
  double red = 0, green = 0, blue = 0, luma = 0, luma_squares = 0;
  s.darkest = 255;
  ForEachPixel(bank, r, [&](Color c, int, int) {
    colours.push_back(ToPacked(c));
    red += c.r;
    green += c.g;
    blue += c.b;
    const int l = Luma(c);
    luma += l;
    luma_squares += static_cast<double>(l) * l;
    s.darkest = std::min(s.darkest, l);
    s.lightest = std::max(s.lightest, l);
  });
  const double n = static_cast<double>(colours.size());
  s.pixels = static_cast<std::int64_t>(colours.size());
  s.mean_red = red / n;
  s.mean_green = green / n;
  s.mean_blue = blue / n;
  s.mean_brightness = luma / n;
  s.brightness_deviation = std::sqrt(std::max(0.0, luma_squares / n - s.mean_brightness * s.mean_brightness));
  std::sort(colours.begin(), colours.end());
  std::size_t best_count = 0;
  for (std::size_t i = 0; i < colours.size();) {
    std::size_t j = i;
    while (j < colours.size() && colours[j] == colours[i]) ++j;
    ++s.distinct_colours;
    if (j - i > best_count) {
      best_count = j - i;
      s.dominant = FromPacked(colours[i]);
    }
    i = j;
  }
  return s;
}

Comparison Compare(const std::uint8_t* a, const PixelRect& area, const std::uint8_t* b, Point other, int tolerance) {
  Comparison result;
  if (a == nullptr || b == nullptr || area.Empty()) return result;
  // Pixels inside bank a whose partner lies inside bank b.
  const int dx = other.x - area.left;
  const int dy = other.y - area.top;
  const PixelRect partner_inside{-dx, -dy, VRAM_WIDTH - 1 - dx, VRAM_HEIGHT - 1 - dy};
  const PixelRect r = Intersect(Intersect(area, kBankRect), partner_inside);
  if (r.Empty()) return result;
  Region differences;
  double sum = 0.0;
  ForEachPixel(a, r, [&](Color c, int x, int y) {
    const Color d = ReadPixel(b, x + dx, y + dy);
    const int diff[3] = {std::abs(c.r - d.r), std::abs(c.g - d.g), std::abs(c.b - d.b)};
    const int most = std::max({diff[0], diff[1], diff[2]});
    sum += diff[0] + diff[1] + diff[2];
    result.largest = std::max(result.largest, most);
    ++result.pixels;
    if (most > tolerance) Include(differences, x, y);
  });
  result.different = differences.pixels;
  result.box = differences.box;
  result.mean = sum / (3.0 * static_cast<double>(result.pixels));
  return result;
}

}  // namespace vx::graphics
