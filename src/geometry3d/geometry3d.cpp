#include "geometry3d/geometry3d.hpp"

#include "engine/runtime.hpp"

namespace vx::geometry3d {

Geometry3d& State(Runtime& rt) {
  if (!rt.geometry3d) rt.geometry3d = std::make_shared<Geometry3d>();
  return *rt.geometry3d;
}

}  // namespace vx::geometry3d
