#pragma once
// The mass-and-spring chain: up to 2000 nodes in a row, node i joined to
// node i + 1 by a spring (link i). Each node has its own mass and damping;
// each link its own stiffness and may be cut. Nodes may be held still, and
// a node with a source moves as the source says (a driven point).
//
// Units are the script's: displacement in any unit, time in "units of
// time", node spacing 1. On a uniform chain a wave travels sqrt(k / m)
// nodes per unit of time.
#include <cstdint>
#include <span>
#include <vector>

#include "simulation/medium.hpp"
#include "simulation/source.hpp"

namespace vx::simulation {

inline constexpr std::int32_t CHAIN_NODES_MAX = 2000;
inline constexpr std::int32_t CHAIN_NODES_MIN = 2;
inline constexpr double DEFAULT_TIME_STEP = 0.5;

class Chain {
 public:
  Chain();

  // A fresh chain: every node at rest at 0, mass 1, stiffness 1, damping
  // 0, nothing held, cut or driven, time 0. False (nothing changes) for a
  // node count outside 2-2000, a time step that is not a positive finite
  // number or an unknown boundary.
  bool Init(std::int32_t nodes, double dt, std::int32_t left, std::int32_t right);

  std::int32_t Nodes() const { return nodes_; }
  double TimeStep() const { return dt_; }
  double Time() const { return time_; }
  std::int64_t StepCount() const { return steps_; }
  Boundary LeftBoundary() const { return left_; }
  Boundary RightBoundary() const { return right_; }

  // Nodes first to last (both included, either order). False (nothing
  // changes) when a node is outside the chain or the value is not valid.
  bool Set(Attribute attribute, std::int32_t first, std::int32_t last, double value);
  // Every node of first..last at once, first first (either order): Read
  // copies the attribute out (ATTR_HELD: 1 for a node that does not move,
  // held, a fixed end or driven, else 0), Write sets it (ATTR_HELD: not 0
  // holds the node). False (nothing changes) for a node outside the chain,
  // `values` of another size, or a value the attribute refuses.
  bool Read(Attribute attribute, std::int32_t first, std::int32_t last, std::span<double> values) const;
  bool Write(Attribute attribute, std::int32_t first, std::int32_t last, std::span<const double> values);

  // Cuts (or joins again) every link between nodes first and last.
  bool Cut(std::int32_t first, std::int32_t last, bool cut);
  bool Hold(std::int32_t first, std::int32_t last, bool held);
  // Drives `node` from now on; false when the node is outside the chain or
  // SOURCES_MAX other nodes are driven. A source of kind SOURCE_OFF
  // removes the node's source (true even when there was none).
  bool Drive(std::int32_t node, const Source& source);

  // The largest time step that keeps the integrator stable (see medium.hpp);
  // infinity when nothing can oscillate.
  double StabilityLimit();
  // One step of dt. False (nothing moves) when dt is not below the
  // stability limit.
  bool Step();

  double Kinetic() const;
  double Potential() const;
  double Energy() const { return Kinetic() + Potential(); }

  std::span<const double> Displacements() const { return {u_.data(), static_cast<std::size_t>(nodes_)}; }
  std::span<const double> Velocities() const { return {v_.data(), static_cast<std::size_t>(nodes_)}; }
  bool Held(std::int32_t node) const;  // held, a fixed end or driven
  bool LinkCut(std::int32_t link) const { return cut_[static_cast<std::size_t>(link)] != 0; }
  double Mass(std::int32_t node) const { return mass_[static_cast<std::size_t>(node)]; }
  double Stiffness(std::int32_t link) const { return stiffness_[static_cast<std::size_t>(link)]; }

 private:
  bool ValidRange(std::int32_t& first, std::int32_t& last) const;
  void Prepare();      // the per-node factors, after any change of the medium
  void Accelerate();   // a from u
  void ApplySources(double dt_used);

  std::int32_t nodes_ = 0;
  double dt_ = DEFAULT_TIME_STEP;
  double time_ = 0.0;
  std::int64_t steps_ = 0;
  Boundary left_ = BOUNDARY_FIXED;
  Boundary right_ = BOUNDARY_FIXED;

  std::vector<double> u_, v_, a_;
  std::vector<double> mass_, stiffness_, damping_;
  std::vector<std::uint8_t> cut_, held_;
  std::vector<AttachedSource> sources_;

  // Derived by Prepare.
  bool prepared_ = false;
  bool accel_valid_ = false;
  double limit_ = 0.0;
  std::vector<double> link_k_;   // stiffness, 0 across a cut
  std::vector<double> inv_mass_;
  std::vector<double> moves_;    // 1 for a free node, 0 for a held one
  std::vector<double> damp_div_; // 1 / (1 + dt/2 g)
};

}  // namespace vx::simulation
