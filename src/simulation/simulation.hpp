#pragma once
// The wave simulation's state in the Runtime: one chain, one lattice, and
// how the lattice was last shown. Made on first use.
#include <cstdint>

#include "graphics/canvas.hpp"
#include "graphics/color.hpp"
#include "simulation/chain.hpp"
#include "simulation/lattice.hpp"

namespace vx {
struct Runtime;
}

namespace vx::simulation {

enum MapMode : std::int32_t {
  MAP_COLOUR = 0,  // blue (down) through white (rest) to red (up)
  MAP_HEIGHT = 1,  // grey levels: black at -scale, mid grey at rest, white at +scale
};

inline constexpr std::int32_t CELL_PIXELS_MAX = 40;
// Drawn for a held cell in either map.
inline constexpr graphics::Color kHeldColour{96, 96, 96};

struct LatticeView {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t cell = 8;  // pixels a side, 1 to CELL_PIXELS_MAX
  std::int32_t mode = MAP_COLOUR;
  double scale = 1.0;     // the displacement shown at full colour
};

struct Simulation {
  Chain chain;
  Lattice lattice;
  LatticeView view;
};

Simulation& State(Runtime& rt);

// The colour of a displacement; values beyond the scale are held at the
// scale's colour, NaN shows as rest.
graphics::Color MapColour(double value, double scale, std::int32_t mode);

// The lattice as a picture of cell x cell squares with its top-left corner
// at (view.x, view.y); returns the rectangle touched.
graphics::PixelRect DrawLattice(graphics::Canvas& canvas, const Lattice& lattice, const LatticeView& view);

// The chain as a line across `box` (filled with `background` first): node
// 0 at the left edge, the last node at the right, displacement 0 on the
// middle row, `scale` pixels per unit of displacement upwards. Held nodes
// get a small square. Returns the rectangle touched.
graphics::PixelRect DrawChain(graphics::Canvas& canvas, const Chain& chain, const graphics::PixelRect& box,
                              double scale, graphics::Color line, graphics::Color background);

}  // namespace vx::simulation
