#pragma once
// Drawing settings that outlive one API call besides the bank state: the
// point buffer of DrawLineBff, the gradient stops of SetGradMV and the area
// that the defocus APIs leave sharp.
#include <cstddef>
#include <vector>

#include "graphics/shapes.hpp"

namespace vx::graphics {

inline constexpr std::size_t LINE_BUFFER_MAX = 4096;

struct DrawingState {
  std::vector<Point> line_buffer;
  Gradient gradient;
  PixelRect sharp_area;  // Empty(): none
};

}  // namespace vx::graphics
