#pragma once
// Design-rule checks of one layer, as a board maker's check runs them:
// clearance between conductors, copper to drilled holes, copper to the board
// edge and copper to keep-out areas, each with its own clearance; and the
// listing of records near a point.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "pcb/pattern.hpp"
#include "pcb/shape.hpp"

namespace vx::pcb {

// Gaps are compared with this tolerance: a gap short of the clearance by
// less than a micrometre is rounding (the fill lays its copper exactly at
// the clearance), not a violation.
inline constexpr double DRC_TOLERANCE = 0.001;
// Shapes closer than this touch (one conductor, or a short).
inline constexpr double TOUCH_GAP = 1e-9;
inline constexpr double RULE_OFF = -1.0;  // a clearance below 0 leaves its rule out

enum class Rule : int {
  copper = 0,   // between different conductors of the layer
  hole = 1,     // copper to a drilled hole of any layer
  edge = 2,     // copper to the board outline (the dim layer's lines)
  keepout = 3,  // copper to the layer's keep-out records (tKOut, bKOut)
};
inline constexpr int RULE_COUNT = 4;

struct DrcRules {
  double copper = 0;
  double hole = RULE_OFF;
  double edge = RULE_OFF;
  double keepout = RULE_OFF;
  double Clearance(Rule rule) const;
};

struct Violation {
  // Copper rule: the two records, a < b. Other rules: the copper record,
  // then the hole, outline line or keep-out record.
  int a = -1, b = -1;
  double distance = 0;
  double at_x = 0, at_y = 0;  // the midpoint of the nearest points of the two records
  Rule rule = Rule::copper;
};

struct DrcResult {
  std::vector<Violation> listed;  // the first `limit`, by rule, then by a and b
  std::array<std::size_t, RULE_COUNT> counts{};  // violations of each rule
  std::size_t total = 0;
};

// Checks the layer against the rules that have a clearance of 0 or more.
// Copper: records that touch or carry the same net name are one conductor;
// two conductors closer than the clearance, or touching records of
// different nets (a short; unnamed copper takes the net of the named copper
// it touches), are a violation. Hole: copper closer
// than the clearance to a non-plated hole, or to a plated hole it does not
// belong to (a plated hole belongs to the conductors that touch it without a
// contrary net name, and to its own net). Edge: copper closer than the
// clearance to an outline line, or outside the closed outline. Keep-out
// (tPtn and bPtn only): copper closer than the clearance to a record of the
// keep-out layer. Touching or overlapping counts at any clearance.
DrcResult CheckRules(const PcbState& state, int layer, const DrcRules& rules, std::size_t limit);
// The copper rule alone.
std::vector<Violation> CheckClearance(const PcbState& state, int layer, double clearance,
                                      std::size_t limit, std::size_t* total);
// The smallest gap the rule measures on the layer (a short, overlap or
// copper outside the outline counts 0); none when the layer has no such
// pair.
std::optional<Violation> MinimumGap(const PcbState& state, int layer, Rule rule);
std::optional<Violation> MinimumClearance(const PcbState& state, int layer);

// "A:%d,%s,B:%d,%s, dist=%lf \r\n" (nets, "$nonet$" when empty) then
// " at (%.3lf, %.3lf)\r\n", with " hole", " edge" or " keep-out" before the
// line end for the rules besides copper.
void AppendViolation(const PcbState& state, const Violation& v, std::string& out);

// CtDebug: the records within `radius` pixels of a pixel, then the
// generated records.
std::string NearListing(const PcbState& state, double px, double py, double radius);

}  // namespace vx::pcb
