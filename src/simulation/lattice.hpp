#pragma once
// The lattice: up to 50 x 50 cells, each a mass joined by springs to its
// four neighbours, moving out of the plane like a drum skin. Its state is
// two planes of 50 x 50 values, displacement and velocity. Each cell has its
// own mass, stiffness and damping; the spring between two cells is the two
// cells' half-springs in series (2 ka kb / (ka + kb)), so a cell of
// stiffness 0 stands alone. Cells may be held, and up to 16 cells feel an
// outside force.
#include <cstdint>
#include <span>
#include <vector>

#include "simulation/medium.hpp"
#include "simulation/source.hpp"

namespace vx::simulation {

inline constexpr std::int32_t LATTICE_SIDE_MAX = 50;
inline constexpr std::int32_t LATTICE_SIDE_MIN = 1;
inline constexpr std::int32_t LATTICE_CELLS_MAX = LATTICE_SIDE_MAX * LATTICE_SIDE_MAX;

// The rule of each side of the lattice. A corner cell follows both of its
// sides: held when either is fixed, with one dashpot for each absorbing one.
struct LatticeEdges {
  Boundary left = BOUNDARY_FIXED;
  Boundary top = BOUNDARY_FIXED;
  Boundary right = BOUNDARY_FIXED;
  Boundary bottom = BOUNDARY_FIXED;
};

class Lattice {
 public:
  Lattice();

  // A flat lattice at rest: mass 1, stiffness 1, damping 0, nothing held
  // or forced, time 0. False (nothing changes) for a side outside 1-50, a
  // time step that is not a positive finite number or an unknown boundary.
  bool Init(std::int32_t width, std::int32_t height, double dt, std::int32_t left, std::int32_t top,
            std::int32_t right, std::int32_t bottom);
  // The same rule on all four sides.
  bool Init(std::int32_t width, std::int32_t height, double dt, std::int32_t boundary) {
    return Init(width, height, dt, boundary, boundary, boundary, boundary);
  }
  // Every cell back to rest at 0 and the time to 0; the medium, held cells
  // and forces stay.
  void Flatten();

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  double TimeStep() const { return dt_; }
  double Time() const { return time_; }
  std::int64_t StepCount() const { return steps_; }
  const LatticeEdges& Edges() const { return edges_; }

  // Cells (x0, y0) to (x1, y1), both corners included, in either order.
  // False (nothing changes) when a corner is outside or the value is not
  // valid.
  bool Set(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
           double value);
  // Every cell of the rectangle (x0, y0)-(x1, y1) at once, row by row from
  // the top-left corner: Read copies the attribute out (ATTR_HELD: 1 for a
  // cell that does not move, held or on a fixed side, else 0), Write sets it
  // (ATTR_HELD: not 0 holds the cell). False (nothing changes) for a corner
  // outside, `values` of another size, or a value the attribute refuses.
  bool Read(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
            std::span<double> values) const;
  bool Write(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
             std::span<const double> values);
  // The cells of that rectangle; 0 when a corner is outside.
  std::int32_t CellsIn(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const;

  // An outside force on cell (x, y) from now on; SOURCE_OFF removes it.
  bool Force(std::int32_t x, std::int32_t y, const Source& source);

  double StabilityLimit();
  bool Step();  // false (nothing moves) when dt is not below the limit

  double Kinetic() const;
  double Potential();
  double Energy() { return Kinetic() + Potential(); }

  bool Inside(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  double Displacement(std::int32_t x, std::int32_t y) const { return u_[Index(x, y)]; }
  double Velocity(std::int32_t x, std::int32_t y) const { return v_[Index(x, y)]; }
  bool Held(std::int32_t x, std::int32_t y) const;  // held by the script or a fixed edge

 private:
  std::size_t Index(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  }
  // The sides of rule `b` that cell (x, y) lies on (0 to 4 in a lattice one
  // cell wide or high).
  int SidesOf(std::int32_t x, std::int32_t y, Boundary b) const {
    return (x == 0 && edges_.left == b) + (y == 0 && edges_.top == b) + (x == width_ - 1 && edges_.right == b) +
           (y == height_ - 1 && edges_.bottom == b);
  }
  // Puts the corners in order; false when one lies outside.
  bool Rectangle(std::int32_t& x0, std::int32_t& y0, std::int32_t& x1, std::int32_t& y1) const;
  // The attribute's value of cell i, or a reference to where it is kept.
  double* Slot(Attribute attribute, std::size_t i);
  void Changed(Attribute attribute);
  void Prepare();
  void Accelerate(double t);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  double dt_ = 0.5;
  double time_ = 0.0;
  std::int64_t steps_ = 0;
  LatticeEdges edges_;

  std::vector<double> u_, v_, a_;
  std::vector<double> mass_, stiffness_, damping_;
  std::vector<std::uint8_t> held_;
  std::vector<AttachedSource> forces_;

  bool prepared_ = false;
  bool accel_valid_ = false;
  double limit_ = 0.0;
  std::vector<double> right_k_, down_k_;  // springs to the right and lower neighbours
  std::vector<double> inv_mass_, moves_, damp_div_;
};

}  // namespace vx::simulation
