// The lattice: symmetry of a point disturbance, energy, edges, forces and
// the display's colour map.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "simulation/lattice.hpp"
#include "graphics/vram.hpp"
#include "simulation/simulation.hpp"

namespace vx::simulation {
namespace {

TEST(Lattice, APointDisturbanceSpreadsTheSameWayInEveryDirection) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(49, 49, 0.25, BOUNDARY_FIXED));
  ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 24, 24, 24, 24, 1.0));
  for (int s = 0; s < 60; ++s) ASSERT_TRUE(lattice.Step());
  // The eight images of every cell under the square's symmetries agree.
  for (int dx = 0; dx <= 24; ++dx) {
    for (int dy = 0; dy <= 24; ++dy) {
      const double u = lattice.Displacement(24 + dx, 24 + dy);
      for (const auto& [sx, sy] : {std::pair{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}) {
        ASSERT_NEAR(lattice.Displacement(24 + sx * dx, 24 + sy * dy), u, 1e-12) << dx << "," << dy;
        ASSERT_NEAR(lattice.Displacement(24 + sx * dy, 24 + sy * dx), u, 1e-12) << dx << "," << dy;
      }
    }
  }
  // It did spread: 15 units of time at speed up to 1 reach cells 10 away.
  EXPECT_GT(std::abs(lattice.Displacement(34, 24)), 1e-4);
  EXPECT_EQ(lattice.Displacement(0, 24), 0.0);  // the fixed edge
}

TEST(Lattice, AnUndampedLatticeKeepsItsEnergy) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(50, 50, 0.1, BOUNDARY_REFLECTING));
  ASSERT_NEAR(lattice.StabilityLimit(), 1.0 / std::sqrt(2.0), 1e-12);
  for (int y = 20; y < 30; ++y) {
    for (int x = 15; x < 25; ++x) {
      const double r2 = (x - 19.5) * (x - 19.5) + (y - 24.5) * (y - 24.5);
      ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, x, y, x, y, std::exp(-r2 / 8.0)));
    }
  }
  const double start = lattice.Energy();
  double worst = 0.0;
  for (int s = 0; s < 10000; ++s) {
    ASSERT_TRUE(lattice.Step());
    worst = std::max(worst, std::abs(lattice.Energy() - start) / start);
  }
  EXPECT_LT(worst, 1e-3);
}

TEST(Lattice, AbsorbingEdgesTakeTheWaveInReflectingOnesKeepIt) {
  double left[2] = {};
  for (const Boundary b : {BOUNDARY_REFLECTING, BOUNDARY_ABSORBING}) {
    Lattice lattice;
    ASSERT_TRUE(lattice.Init(50, 50, 0.25, b));
    ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 24, 24, 25, 25, 1.0));
    const double start = lattice.Energy();
    for (int s = 0; s < 2000; ++s) ASSERT_TRUE(lattice.Step());
    left[b == BOUNDARY_ABSORBING] = lattice.Energy() / start;
  }
  // A one-cell bump is mostly short waves, for which the step's energy
  // error is a few percent (it oscillates; it does not drain).
  EXPECT_GT(left[0], 0.9);
  EXPECT_LT(left[1], 0.1);
}

// A plane wave running along x (the same in every row) toward the left
// side or the right one; with free top and bottom sides it stays plane.
void PlaneWave(Lattice& lattice, double centre, double speed) {
  for (std::int32_t x = 0; x < lattice.Width(); ++x) {
    const double d = x - centre;
    const double u = std::exp(-d * d / 72.0);
    ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, x, 0, x, lattice.Height() - 1, u));
    ASSERT_TRUE(lattice.Set(ATTR_VELOCITY, x, 0, x, lattice.Height() - 1, speed * d / 36.0 * u));
  }
}

TEST(LatticeEdges, EachSideTakesItsOwnRule) {
  // Absorbing left, free elsewhere: a wave running left goes out, one
  // running right comes back whole.
  for (const double speed : {-1.0, 1.0}) {
    Lattice lattice;
    ASSERT_TRUE(lattice.Init(50, 6, 0.1, BOUNDARY_ABSORBING, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING,
                             BOUNDARY_REFLECTING));
    PlaneWave(lattice, 25, speed);
    const double start = lattice.Energy();
    for (int s = 0; s < 500; ++s) ASSERT_TRUE(lattice.Step());
    if (speed < 0) {
      EXPECT_LT(lattice.Energy(), start * 0.01);
    } else {
      EXPECT_GT(lattice.Energy(), start * 0.99);
    }
  }
  // The same on the other three sides, turned: absorbing right, top, bottom.
  {
    Lattice lattice;
    ASSERT_TRUE(lattice.Init(50, 6, 0.1, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING, BOUNDARY_ABSORBING,
                             BOUNDARY_REFLECTING));
    PlaneWave(lattice, 25, 1.0);
    const double start = lattice.Energy();
    for (int s = 0; s < 500; ++s) ASSERT_TRUE(lattice.Step());
    EXPECT_LT(lattice.Energy(), start * 0.01);
  }
  for (const bool top : {true, false}) {
    Lattice lattice;
    ASSERT_TRUE(lattice.Init(6, 50, 0.1, BOUNDARY_REFLECTING, top ? BOUNDARY_ABSORBING : BOUNDARY_REFLECTING,
                             BOUNDARY_REFLECTING, top ? BOUNDARY_REFLECTING : BOUNDARY_ABSORBING));
    for (std::int32_t y = 0; y < 50; ++y) {
      const double d = y - 25.0;
      const double u = std::exp(-d * d / 72.0);
      const double speed = top ? -1.0 : 1.0;
      ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 0, y, 5, y, u));
      ASSERT_TRUE(lattice.Set(ATTR_VELOCITY, 0, y, 5, y, speed * d / 36.0 * u));
    }
    const double start = lattice.Energy();
    for (int s = 0; s < 500; ++s) ASSERT_TRUE(lattice.Step());
    EXPECT_LT(lattice.Energy(), start * 0.01) << (top ? "top" : "bottom");
  }
  // A fixed side holds its cells (corners too), the others move.
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(5, 4, 0.1, BOUNDARY_REFLECTING, BOUNDARY_FIXED, BOUNDARY_ABSORBING, BOUNDARY_REFLECTING));
  EXPECT_EQ(lattice.Edges().top, BOUNDARY_FIXED);
  EXPECT_EQ(lattice.Edges().right, BOUNDARY_ABSORBING);
  for (std::int32_t x = 0; x < 5; ++x) EXPECT_TRUE(lattice.Held(x, 0)) << x;
  EXPECT_FALSE(lattice.Held(0, 1));
  EXPECT_FALSE(lattice.Held(4, 3));
  EXPECT_FALSE(lattice.Held(2, 3));
  EXPECT_FALSE(lattice.Init(5, 4, 0.1, 0, 0, 3, 0));
  EXPECT_EQ(lattice.Edges().top, BOUNDARY_FIXED) << "a refused Init changes nothing";
}

TEST(LatticeEdges, ACornerTakesADashpotForEachAbsorbingSide) {
  // One step of the corner cell set moving, worked by hand: two dashpots
  // of sqrt(k m) = 1 and two springs (right, down) of stiffness 1.
  const double dt = 0.1, h = dt / 2;
  for (const int sides : {1, 2}) {
    Lattice lattice;
    ASSERT_TRUE(lattice.Init(3, 3, dt, BOUNDARY_ABSORBING, sides == 2 ? BOUNDARY_ABSORBING : BOUNDARY_REFLECTING,
                             BOUNDARY_REFLECTING, BOUNDARY_REFLECTING));
    ASSERT_TRUE(lattice.Set(ATTR_VELOCITY, 0, 0, 0, 0, 1.0));
    ASSERT_TRUE(lattice.Step());
    const double half = 1.0 / (1 + h * sides);
    const double u = dt * half;
    const double v = (half + h * (-2 * u)) / (1 + h * sides);
    EXPECT_NEAR(lattice.Displacement(0, 0), u, 1e-15) << sides;
    EXPECT_NEAR(lattice.Velocity(0, 0), v, 1e-15) << sides;
  }
}

TEST(LatticeFields, RectanglesReadAndWrittenLineByLine) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(6, 5, 0.1, BOUNDARY_FIXED));
  EXPECT_EQ(lattice.CellsIn(1, 1, 3, 2), 6);
  EXPECT_EQ(lattice.CellsIn(3, 2, 1, 1), 6) << "corners in either order";
  EXPECT_EQ(lattice.CellsIn(1, 1, 6, 2), 0);
  // Cells (1..3, 1..2), line by line from the top-left corner.
  ASSERT_TRUE(lattice.Write(ATTR_DISPLACEMENT, 3, 2, 1, 1, std::vector<double>{11, 21, 31, 12, 22, 32}));
  EXPECT_EQ(lattice.Displacement(1, 1), 11);
  EXPECT_EQ(lattice.Displacement(3, 1), 31);
  EXPECT_EQ(lattice.Displacement(1, 2), 12);
  EXPECT_EQ(lattice.Displacement(3, 2), 32);
  std::vector<double> whole(30);
  ASSERT_TRUE(lattice.Read(ATTR_DISPLACEMENT, 0, 0, 5, 4, whole));
  EXPECT_EQ(whole[6 * 2 + 2], 22);
  EXPECT_EQ(whole[6 * 1 + 1], 11);
  EXPECT_EQ(whole[0], 0);
  // The springs feel it at once.
  EXPECT_GT(lattice.Potential(), 100);
  // Held cells: the fixed edges and the ones set.
  ASSERT_TRUE(lattice.Write(ATTR_HELD, 2, 2, 2, 2, std::vector<double>{1}));
  std::vector<double> held(30);
  ASSERT_TRUE(lattice.Read(ATTR_HELD, 0, 0, 5, 4, held));
  EXPECT_EQ(held[0], 1);
  EXPECT_EQ(held[6 * 1 + 1], 0);
  EXPECT_EQ(held[6 * 2 + 2], 1);
  EXPECT_EQ(held[6 * 4 + 5], 1);
  // The medium: a heavier patch raises nothing but its own cells' mass.
  ASSERT_TRUE(lattice.Write(ATTR_MASS, 1, 1, 2, 1, std::vector<double>{4, 9}));
  std::vector<double> mass(2);
  ASSERT_TRUE(lattice.Read(ATTR_MASS, 2, 1, 1, 1, mass));
  EXPECT_EQ(mass, (std::vector<double>{4, 9}));
  // All or nothing.
  EXPECT_FALSE(lattice.Write(ATTR_MASS, 1, 1, 2, 1, std::vector<double>{4, 0}));
  EXPECT_FALSE(lattice.Write(ATTR_STIFFNESS, 1, 1, 2, 1, std::vector<double>{-1, 1}));
  EXPECT_FALSE(lattice.Write(ATTR_DISPLACEMENT, 1, 1, 2, 1, std::vector<double>{INFINITY, 1}));
  EXPECT_FALSE(lattice.Write(ATTR_DISPLACEMENT, 1, 1, 2, 1, std::vector<double>{1, 2, 3}));
  EXPECT_FALSE(lattice.Write(ATTR_DISPLACEMENT, 1, 1, 6, 1, std::vector<double>(6, 1.0)));
  EXPECT_FALSE(lattice.Read(ATTR_DISPLACEMENT, 0, 0, 5, 5, whole));
  ASSERT_TRUE(lattice.Read(ATTR_MASS, 2, 1, 1, 1, mass));
  EXPECT_EQ(mass, (std::vector<double>{4, 9}));
}

TEST(Lattice, AForceDrivesTheCellAndFlatteningStopsEverything) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(20, 10, 0.2, BOUNDARY_FIXED));
  ASSERT_TRUE(lattice.Force(5, 5, Source::Sine(1.0, 0.1, 0.0)));
  for (int s = 0; s < 50; ++s) ASSERT_TRUE(lattice.Step());
  EXPECT_GT(lattice.Energy(), 0.01);
  EXPECT_NE(lattice.Displacement(6, 5), 0.0);
  lattice.Flatten();
  EXPECT_EQ(lattice.Energy(), 0.0);
  EXPECT_EQ(lattice.Time(), 0.0);
  EXPECT_EQ(lattice.Width(), 20);  // the medium stays
  ASSERT_TRUE(lattice.Force(5, 5, Source{}));
  for (int s = 0; s < 50; ++s) ASSERT_TRUE(lattice.Step());
  EXPECT_EQ(lattice.Energy(), 0.0);
}

TEST(Lattice, HeldCellsAndSoftCellsShapeTheMedium) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(30, 30, 0.2, BOUNDARY_REFLECTING));
  // A wall of held cells down the middle keeps the right half still.
  ASSERT_TRUE(lattice.Set(ATTR_HELD, 15, 0, 15, 29, 1.0));
  ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 5, 10, 7, 12, 1.0));
  for (int s = 0; s < 500; ++s) ASSERT_TRUE(lattice.Step());
  EXPECT_TRUE(lattice.Held(15, 3));
  for (int y = 0; y < 30; ++y) {
    for (int x = 15; x < 30; ++x) ASSERT_EQ(lattice.Displacement(x, y), 0.0);
  }
  // A stiffer patch lowers the stability limit.
  const double before = lattice.StabilityLimit();
  ASSERT_TRUE(lattice.Set(ATTR_STIFFNESS, 2, 2, 4, 4, 16.0));
  EXPECT_LT(lattice.StabilityLimit(), before);
}

TEST(Lattice, BadArgumentsChangeNothing) {
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(10, 12, 0.1, BOUNDARY_FIXED));
  EXPECT_FALSE(lattice.Init(51, 10, 0.1, 0));
  EXPECT_FALSE(lattice.Init(0, 10, 0.1, 0));
  EXPECT_FALSE(lattice.Init(10, 10, -0.1, 0));
  EXPECT_FALSE(lattice.Init(10, 10, 0.1, 7));
  EXPECT_EQ(lattice.Height(), 12);
  EXPECT_FALSE(lattice.Set(ATTR_DISPLACEMENT, 0, 0, 10, 0, 1.0));
  EXPECT_FALSE(lattice.Set(ATTR_MASS, 0, 0, 1, 1, -2.0));
  EXPECT_FALSE(lattice.Force(-1, 0, Source::Sine(1, 1, 0)));
  EXPECT_FALSE(lattice.Force(10, 0, Source::Sine(1, 1, 0)));
  ASSERT_TRUE(lattice.Init(10, 10, 5.0, BOUNDARY_REFLECTING));
  EXPECT_FALSE(lattice.Step());
  EXPECT_EQ(lattice.StepCount(), 0);
}

TEST(LatticeDisplay, TheColourMapRunsBlueWhiteRedAndHeightGreys) {
  using graphics::Color;
  EXPECT_EQ(MapColour(0.0, 1.0, MAP_COLOUR), (graphics::FromComponents(255, 255, 255)));
  EXPECT_EQ(MapColour(2.0, 1.0, MAP_COLOUR), (graphics::FromComponents(255, 0, 0)));
  EXPECT_EQ(MapColour(-0.5, 0.5, MAP_COLOUR), (graphics::FromComponents(0, 0, 255)));
  EXPECT_EQ(MapColour(0.5, 1.0, MAP_COLOUR), (graphics::FromComponents(255, 128, 128)));
  EXPECT_EQ(MapColour(-1.0, 1.0, MAP_HEIGHT), (graphics::FromComponents(0, 0, 0)));
  EXPECT_EQ(MapColour(1.0, 1.0, MAP_HEIGHT), (graphics::FromComponents(255, 255, 255)));
  EXPECT_EQ(MapColour(NAN, 1.0, MAP_HEIGHT), MapColour(0.0, 1.0, MAP_HEIGHT));
}

}  // namespace
}  // namespace vx::simulation

namespace vx::simulation {
namespace {

using graphics::Canvas;
using graphics::Color;
using graphics::PixelRect;

TEST(SimulationDrawing, TheLatticeIsDrawnCellByCellWithHeldCellsGrey) {
  graphics::Vram vram;
  Canvas canvas = Canvas::Current(vram);
  Lattice lattice;
  ASSERT_TRUE(lattice.Init(4, 3, 0.1, BOUNDARY_REFLECTING));
  ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 1, 0, 1, 0, 5.0));
  ASSERT_TRUE(lattice.Set(ATTR_DISPLACEMENT, 2, 2, 2, 2, -5.0));
  ASSERT_TRUE(lattice.Set(ATTR_HELD, 3, 1, 3, 1, 1.0));
  const LatticeView view{100, 50, 5, MAP_COLOUR, 2.0};
  EXPECT_EQ(DrawLattice(canvas, lattice, view), (PixelRect{100, 50, 119, 64}));
  EXPECT_EQ(canvas.Get(105, 50), graphics::FromComponents(255, 0, 0));   // cell (1, 0), top-left pixel
  EXPECT_EQ(canvas.Get(109, 54), graphics::FromComponents(255, 0, 0));   // its bottom-right pixel
  EXPECT_EQ(canvas.Get(112, 62), graphics::FromComponents(0, 0, 255));   // cell (2, 2)
  EXPECT_EQ(canvas.Get(117, 57), kHeldColour);                           // cell (3, 1)
  EXPECT_EQ(canvas.Get(100, 50), graphics::FromComponents(255, 255, 255));
  EXPECT_EQ(canvas.Get(120, 50), graphics::kBlack);  // outside: untouched
  EXPECT_EQ(canvas.Get(100, 65), graphics::kBlack);
  // A lattice hanging off the bank is clipped, not written past it.
  const LatticeView off{2595, 1995, 8, MAP_HEIGHT, 1.0};
  DrawLattice(canvas, lattice, off);
  EXPECT_EQ(canvas.Get(2599, 1999), MapColour(0.0, 1.0, MAP_HEIGHT));
}

TEST(SimulationDrawing, TheChainIsALineAcrossItsBoxNeverOutside) {
  graphics::Vram vram;
  Canvas canvas = Canvas::Current(vram);
  Chain chain;
  ASSERT_TRUE(chain.Init(11, 0.1, BOUNDARY_FIXED, BOUNDARY_FIXED));
  ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, 5, 5, 1000.0));  // far beyond the box
  const PixelRect box{10, 10, 110, 50};
  const Color ink{1, 2, 3};
  const Color paper{200, 200, 200};
  DrawChain(canvas, chain, box, 10.0, ink, paper);
  EXPECT_EQ(canvas.Get(30, 30), ink);    // node 2 at rest on the middle row
  EXPECT_EQ(canvas.Get(60, 10), ink);    // node 5, held at the top edge
  EXPECT_EQ(canvas.Get(30, 20), paper);
  EXPECT_EQ(canvas.Get(10, 30), ink);    // a fixed end's square
  EXPECT_EQ(canvas.Get(60, 9), graphics::kBlack);
  EXPECT_EQ(canvas.Get(9, 30), graphics::kBlack);
}

}  // namespace
}  // namespace vx::simulation
