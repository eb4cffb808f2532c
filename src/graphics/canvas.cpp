#include "graphics/canvas.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/pixel_loop.hpp"

namespace vx::graphics {
namespace {

constexpr std::int64_t kRectLimit = 1 << 30;

int Narrow(std::int64_t v) { return static_cast<int>(std::clamp(v, -kRectLimit, kRectLimit)); }

inline void Put(std::uint8_t* p, const Paint& paint) {
  const Color c = paint.color;
  switch (paint.mode) {
    case LINE_MODE_XOR:
      p[0] ^= c.b;
      p[1] ^= c.g;
      p[2] ^= c.r;
      break;
    case LINE_MODE_TRANSLUCENT:
      p[0] = static_cast<std::uint8_t>((p[0] + c.b) / 2);
      p[1] = static_cast<std::uint8_t>((p[1] + c.g) / 2);
      p[2] = static_cast<std::uint8_t>((p[2] + c.r) / 2);
      break;
    default:
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
      break;
  }
}

// BlendComponent over a row; a coverage of 0 leaves the byte as it is, so
// the loop needs no test and vectorises.
VX_PIXEL_LOOP void BlendCoverage(std::uint8_t* __restrict p, const std::uint8_t* __restrict coverage,
                                 std::size_t pixels, Color colour) {
  for (std::size_t i = 0; i < pixels; ++i, p += 3) {
    const std::uint8_t c = coverage[i];
    p[0] = BlendComponent(p[0], colour.b, c);
    p[1] = BlendComponent(p[1], colour.g, c);
    p[2] = BlendComponent(p[2], colour.r, c);
  }
}

// The same for a short row (a glyph's is a dozen pixels or two), too short
// for the vector loop to reach its vector steps: pixels not covered at all,
// most of a glyph's box, are passed over, and covered ones are set.
void BlendCoverageShort(std::uint8_t* p, const std::uint8_t* coverage, std::size_t pixels, Color colour) {
  for (std::size_t i = 0; i < pixels; ++i, p += 3) {
    const std::uint8_t c = coverage[i];
    if (c == 0) continue;
    if (c == 255) {
      p[0] = colour.b;
      p[1] = colour.g;
      p[2] = colour.r;
      continue;
    }
    p[0] = BlendComponent(p[0], colour.b, c);
    p[1] = BlendComponent(p[1], colour.g, c);
    p[2] = BlendComponent(p[2], colour.r, c);
  }
}

// Rows shorter than this take the loop above.
constexpr std::size_t kShortBlendRow = 32;

}  // namespace

Canvas::Canvas(std::uint8_t* bank, const PixelRect& clip) : bank_(bank), clip_(clip) {
  // Whatever the caller asks for, never beyond the bank itself.
  clip_ = Intersect(clip_, PixelRect{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1});
}

Canvas Canvas::Current(Vram& vram) { return Canvas(vram.Current(), vram.Clip()); }

void Canvas::Plot(int x, int y, const Paint& paint) {
  if (bank_ == nullptr || !Inside(x, y)) return;
  Put(PixelAt(bank_, x, y), paint);
}

void Canvas::Span(int y, int x0, int x1, const Paint& paint) {
  if (bank_ == nullptr || y < clip_.top || y > clip_.bottom) return;
  x0 = std::max(x0, clip_.left);
  x1 = std::min(x1, clip_.right);
  if (x0 > x1) return;
  std::uint8_t* p = PixelAt(bank_, x0, y);
  std::uint8_t* const end = p + static_cast<std::size_t>(x1 - x0 + 1) * VRAM_PIXEL_BYTES;
  if (paint.mode == LINE_MODE_XOR || paint.mode == LINE_MODE_TRANSLUCENT) {
    for (; p != end; p += VRAM_PIXEL_BYTES) Put(p, paint);
    return;
  }
  // Eight pixels of the colour at a time: three word stores instead of 24
  // byte stores.
  const Color c = paint.color;
  std::uint8_t eight[8 * VRAM_PIXEL_BYTES];
  for (std::size_t i = 0; i < sizeof eight; i += VRAM_PIXEL_BYTES) {
    eight[i] = c.b;
    eight[i + 1] = c.g;
    eight[i + 2] = c.r;
  }
  for (; end - p >= static_cast<std::ptrdiff_t>(sizeof eight); p += sizeof eight) std::memcpy(p, eight, sizeof eight);
  for (; p != end; p += VRAM_PIXEL_BYTES) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
}

void Canvas::Blend(int x, int y, Color colour, std::uint8_t coverage) {
  if (bank_ == nullptr || coverage == 0 || !Inside(x, y)) return;
  std::uint8_t* p = PixelAt(bank_, x, y);
  p[0] = BlendComponent(p[0], colour.b, coverage);
  p[1] = BlendComponent(p[1], colour.g, coverage);
  p[2] = BlendComponent(p[2], colour.r, coverage);
}

void Canvas::BlendRow(std::int64_t x, std::int64_t y, Color colour, std::span<const std::uint8_t> coverage) {
  if (!Valid() || y < clip_.top || y > clip_.bottom) return;
  const std::int64_t first = std::max<std::int64_t>(x, clip_.left);
  const std::int64_t last = std::min<std::int64_t>(x + static_cast<std::int64_t>(coverage.size()) - 1, clip_.right);
  if (first > last) return;
  std::uint8_t* const p = PixelAt(bank_, static_cast<int>(first), static_cast<int>(y));
  const std::uint8_t* const covered = coverage.data() + (first - x);
  const auto pixels = static_cast<std::size_t>(last - first + 1);
  if (pixels < kShortBlendRow) {
    BlendCoverageShort(p, covered, pixels, colour);
  } else {
    BlendCoverage(p, covered, pixels, colour);
  }
}

PixelRect NormalizedRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  if (w == 0 || h == 0) return PixelRect{};
  const std::int64_t left = w > 0 ? x : x + w + 1;
  const std::int64_t right = w > 0 ? x + w - 1 : x;
  const std::int64_t top = h > 0 ? y : y + h + 1;
  const std::int64_t bottom = h > 0 ? y + h - 1 : y;
  return PixelRect{Narrow(left), Narrow(top), Narrow(right), Narrow(bottom)};
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

}  // namespace vx::graphics
