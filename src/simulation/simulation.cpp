#include "simulation/simulation.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/runtime.hpp"
#include "graphics/raster.hpp"
#include "graphics/shapes.hpp"

namespace vx::simulation {

using graphics::Color;
using graphics::Paint;
using graphics::PixelRect;
using graphics::Point;

Simulation& State(Runtime& rt) {
  if (!rt.simulation) rt.simulation = std::make_shared<Simulation>();
  return *rt.simulation;
}

Color MapColour(double value, double scale, std::int32_t mode) {
  double level = scale > 0.0 && std::isfinite(scale) ? value / scale : 0.0;
  if (std::isnan(level)) level = 0.0;
  level = std::clamp(level, -1.0, 1.0);
  if (mode == MAP_HEIGHT) {
    const auto grey = static_cast<std::int64_t>(std::lround(127.5 + 127.5 * level));
    return graphics::FromComponents(grey, grey, grey);
  }
  // Diverging map: the far side fades to white as the level nears 0.
  const auto fade = static_cast<std::int64_t>(std::lround(255.0 * (1.0 - std::abs(level))));
  return level >= 0.0 ? graphics::FromComponents(255, fade, fade) : graphics::FromComponents(fade, fade, 255);
}

PixelRect DrawLattice(graphics::Canvas& canvas, const Lattice& lattice, const LatticeView& view) {
  const std::int64_t cell = view.cell;
  PixelRect touched{0, 0, -1, -1};
  const PixelRect whole = graphics::NormalizedRect(view.x, view.y, cell * lattice.Width(), cell * lattice.Height());
  if (whole.Empty()) return touched;
  for (std::int32_t y = 0; y < lattice.Height(); ++y) {
    for (std::int32_t x = 0; x < lattice.Width(); ++x) {
      const Color c = lattice.Held(x, y) ? kHeldColour : MapColour(lattice.Displacement(x, y), view.scale, view.mode);
      const PixelRect square = graphics::NormalizedRect(view.x + x * cell, view.y + y * cell, cell, cell);
      if (!square.Empty()) graphics::FillRect(canvas, square, Paint{c});
    }
  }
  return whole;
}

PixelRect DrawChain(graphics::Canvas& canvas, const Chain& chain, const PixelRect& box, double scale,
                    Color line, Color background) {
  if (box.Empty()) return box;
  graphics::FillRect(canvas, box, Paint{background});
  const std::int32_t n = chain.Nodes();
  const double middle = (box.top + box.bottom) / 2.0;
  const double span = std::max(1, box.Width() - 1);
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(n));
  const std::span<const double> u = chain.Displacements();
  const auto node_point = [&](std::int32_t i) {
    const double x = box.left + span * i / std::max(1, n - 1);
    double y = middle - u[static_cast<std::size_t>(i)] * scale;
    if (!std::isfinite(y)) y = middle;
    y = std::clamp(y, static_cast<double>(box.top), static_cast<double>(box.bottom));
    return Point{static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
  };
  for (std::int32_t i = 0; i < n; ++i) {
    const Point p = node_point(i);
    // Nodes that land on one column add nothing inside the extremes so far.
    if (points.size() >= 2 && points.back().x == p.x && points[points.size() - 2].x == p.x) {
      const int lo = std::min(points[points.size() - 2].y, points.back().y);
      const int hi = std::max(points[points.size() - 2].y, points.back().y);
      if (p.y >= lo && p.y <= hi) continue;
    }
    points.push_back(p);
  }
  graphics::DrawPolyline(canvas, points, 1, Paint{line});
  for (std::int32_t i = 0; i < n; ++i) {
    if (!chain.Held(i)) continue;
    const Point p = node_point(i);
    const PixelRect mark = graphics::Intersect(graphics::NormalizedRect(p.x - 2, p.y - 2, 5, 5), box);
    if (!mark.Empty()) graphics::FillRect(canvas, mark, Paint{line});
  }
  return box;
}

}  // namespace vx::simulation
