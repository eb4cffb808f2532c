#pragma once
// A bank seen in script coordinates through a clip rectangle. Every write of
// the rasteriser goes through here, and nothing here writes outside the clip,
// which itself never leaves the bank.
#include <cstdint>
#include <span>

#include "graphics/color.hpp"
#include "graphics/vram.hpp"

namespace vx::graphics {

struct Paint {
  Color color;
  std::int32_t mode = LINE_MODE_SOLID;  // LineMode; dashing is the shape's business
};

class Canvas {
 public:
  Canvas(std::uint8_t* bank, const PixelRect& clip);
  // The current bank of `vram` through its drawing clip.
  static Canvas Current(Vram& vram);

  bool Valid() const { return bank_ != nullptr && !clip_.Empty(); }
  const PixelRect& ClipRect() const { return clip_; }
  bool Inside(int x, int y) const {
    return x >= clip_.left && x <= clip_.right && y >= clip_.top && y <= clip_.bottom;
  }
  std::uint8_t* Bank() { return bank_; }

  Color Get(int x, int y) const { return ReadPixel(bank_, x, y); }  // no clip check
  void Plot(int x, int y, const Paint& paint);
  // Pixels x0 to x1 (both included) of row y, clipped; nothing when x0 > x1
  // (an empty intersection stays empty).
  void Span(int y, int x0, int x1, const Paint& paint);
  // Blends `colour` over pixel (x, y) with an 8-bit coverage.
  void Blend(int x, int y, Color colour, std::uint8_t coverage);
  // Blends `colour` over the pixels of row y from x on, pixel i with
  // coverage[i]; clipped.
  void BlendRow(std::int64_t x, std::int64_t y, Color colour, std::span<const std::uint8_t> coverage);

 private:
  std::uint8_t* bank_;
  PixelRect clip_;
};

// Clips a rectangle given as x, y, width, height (negative sizes extend to
// the left or up) to an inclusive rectangle; Empty() when nothing is left.
PixelRect NormalizedRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h);
PixelRect Intersect(const PixelRect& a, const PixelRect& b);

}  // namespace vx::graphics
