#pragma once
// Drawing the pattern list into a drawing bank with the view and the layer
// colours.
#include "graphics/canvas.hpp"
#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"

namespace vx::pcb {

inline constexpr int DRAW_MODE_FILLED = 0;   // lines at their width, pads filled
inline constexpr int DRAW_MODE_OUTLINE = 1;  // centre lines, pad outlines
inline constexpr double HOLE_RING_MM = 0.15;  // ring width of a hole in the filled mode

// Draws the records in the range on active layers, bottom side first, then
// the outline, the top side and last the holes. Returns the area it may
// have changed.
graphics::PixelRect DrawPatterns(graphics::Canvas& canvas, const PcbState& state, IndexRange range);

}  // namespace vx::pcb
