#pragma once
// Words shared by the chain and the lattice: what an attribute call sets,
// how the edges behave, and the integrator's step rule.
//
// Both models are point masses joined by linear springs, moving along one
// axis (the displacement u), integrated with velocity Verlet:
//
//   v(t + dt/2) = (v(t) + dt/2 a(t)) / (1 + dt/2 g)
//   u(t + dt)   = u(t) + dt v(t + dt/2)
//   v(t + dt)   = (v(t + dt/2) + dt/2 a(t + dt)) / (1 + dt/2 g)
//
// where a is the spring force over the mass and g = damping / mass. The
// damping term is taken implicitly, so any damping only ever removes
// energy; without damping the scheme is plain velocity Verlet
// (time-reversible, energy error O(dt^2), no drift). It is stable while
// dt < 2 / w_max, w_max the highest natural frequency; StabilityLimit
// bounds w_max^2 from above by Gershgorin's theorem (the largest
// 2 x (sum of the spring constants at a node) / mass), so the limit it gives
// is safe. For a uniform chain that is 1 / sqrt(k / m), for a uniform
// lattice 1 / sqrt(2 k / m).
#include <cstdint>

namespace vx::simulation {

enum Attribute : std::int32_t {
  ATTR_MASS = 0,          // > 0
  ATTR_STIFFNESS = 1,     // >= 0: the springs to the next node (lattice: of the cell)
  ATTR_DAMPING = 2,       // >= 0: drag against the rest frame, force = -damping x velocity
  ATTR_DISPLACEMENT = 3,  // any finite value
  ATTR_VELOCITY = 4,      // any finite value
  ATTR_HELD = 5,          // lattice only: not 0 holds the cell where it is
};

enum Boundary : std::int32_t {
  BOUNDARY_FIXED = 0,       // the edge nodes are held: waves come back inverted
  BOUNDARY_REFLECTING = 1,  // free edge: waves come back upright
  BOUNDARY_ABSORBING = 2,   // a dashpot matched to the medium (sqrt(k m)) takes the wave in
};

inline bool ValidBoundary(std::int32_t b) { return b >= BOUNDARY_FIXED && b <= BOUNDARY_ABSORBING; }

// Whether `value` is acceptable for the attribute (finite, and in range).
bool ValidAttributeValue(Attribute attribute, double value);

// Sources a model holds at once.
inline constexpr std::int32_t SOURCES_MAX = 16;

}  // namespace vx::simulation
