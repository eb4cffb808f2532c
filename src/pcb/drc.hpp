#pragma once
// Design-rule checks between copper records of one layer, and the listing
// of records near a point.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "pcb/pattern.hpp"

namespace vx::pcb {

// Copper of a record as a convex polygon (1 to 8 corners) grown by a radius.
struct CopperShape {
  std::array<double, 16> xy{};  // corner coordinates x0, y0, x1, y1, ...
  int corners = 0;
  double radius = 0;
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
};
// False for records that put no copper down (holes, unknown kinds).
bool ShapeOf(const Record& record, CopperShape& shape);

// Edge-to-edge distance (0 when they touch or overlap) and the point
// halfway between the nearest points.
double ShapeDistance(const CopperShape& a, const CopperShape& b, double* at_x, double* at_y);

struct Violation {
  int a = -1, b = -1;  // record indexes, a < b
  double distance = 0;
  double at_x = 0, at_y = 0;
};

// Records of one layer that touch, or that carry the same net name, are one
// conductor. A violation is two conductors closer than `clearance`, or two
// touching records that carry different net names (a short, distance 0). At most `limit` are returned,
// ordered by the first record; `total` receives how many there are.
std::vector<Violation> CheckClearance(const PcbState& state, int layer, double clearance,
                                      std::size_t limit, std::size_t* total);
// The closest pair of different conductors (or a short); none when the
// layer has fewer than two conductors.
std::optional<Violation> MinimumClearance(const PcbState& state, int layer);

// "A:%d,%s,B:%d,%s, dist=%lf \r\n" (nets, "$nonet$" when empty) then
// " at (%.3lf, %.3lf)\r\n".
void AppendViolation(const PcbState& state, const Violation& v, std::string& out);

// CtDebug: the records within `radius` pixels of a pixel, then the
// generated records.
std::string NearListing(const PcbState& state, double px, double py, double radius);

}  // namespace vx::pcb
