#include "camera/frame_turn.hpp"

#include <cmath>
#include <cstring>

namespace vx::camera {

int QuarterTurnsFor(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  // The clockwise angle in [0, 360), with a little room below 0 so that
  // -0.5 counts as 0 rather than as 359.5.
  double theta = -std::round(degrees);
  theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
  for (int turns = 1; turns <= 3; ++turns) {
    if (std::fabs(theta - 90.0 * turns) < 1.0) return turns;
  }
  return 0;
}

void TurnPlane(const std::uint8_t* src, std::ptrdiff_t src_stride, int width, int height, int step,
               int quarter_turns, std::uint8_t* dst, std::ptrdiff_t dst_stride) {
  const std::size_t bytes = static_cast<std::size_t>(step);
  const auto pixel = [&](int row, int column) { return src + row * src_stride + column * step; };
  switch (quarter_turns & 3) {
    case 0:
      for (int r = 0; r < height; ++r) std::memcpy(dst + r * dst_stride, pixel(r, 0), bytes * width);
      break;
    case 1:  // the left column becomes the top row
      for (int r = 0; r < width; ++r) {
        for (int c = 0; c < height; ++c) std::memcpy(dst + r * dst_stride + c * step, pixel(height - 1 - c, r), bytes);
      }
      break;
    case 2:
      for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
          std::memcpy(dst + r * dst_stride + c * step, pixel(height - 1 - r, width - 1 - c), bytes);
        }
      }
      break;
    default:  // the right column becomes the top row
      for (int r = 0; r < width; ++r) {
        for (int c = 0; c < height; ++c) std::memcpy(dst + r * dst_stride + c * step, pixel(c, width - 1 - r), bytes);
      }
      break;
  }
}

}  // namespace vx::camera
