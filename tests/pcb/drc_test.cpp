// Design-rule checks: gaps at and just below a clearance, the report point,
// and the hole, board-edge and keep-out rules on planted violations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "pcb/drc.hpp"
#include "pcb/fill.hpp"
#include "pcb/pattern.hpp"

namespace vx::pcb {
namespace {

std::string Rec(int kind, double w, double x, double y, double dx, double dy,
                std::string_view layer, std::string_view net = "") {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer,
                "GB_P:%d, GB_W:%.17g, GB_X:%.17g, GB_Y:%.17g, GB_XD:%.17g, GB_YD:%.17g, "
                "GB_NET:%.*s, GB_LAY:%.*s, \n",
                kind, w, x, y, dx, dy, static_cast<int>(net.size()), net.data(),
                static_cast<int>(layer.size()), layer.data());
  return buffer;
}
std::string Pad(double d, double x, double y, std::string_view net = "",
                std::string_view layer = "tPtn") {
  return Rec(KIND_ROUND_PAD, d, x, y, 0, 0, layer, net);
}
std::string Track(double w, double x, double y, double x2, double y2, std::string_view net = "",
                  std::string_view layer = "tPtn") {
  return Rec(KIND_LINE, w, x, y, x2 - x, y2 - y, layer, net);
}
std::string Hole(int kind, double d, double x, double y, std::string_view net = "") {
  return Rec(kind, d, x, y, 0, 0, "holes", net);
}
std::string Box(double x0, double y0, double x1, double y1) {  // a closed outline
  return Track(0.2, x0, y0, x1, y0, "", "dim") + Track(0.2, x1, y0, x1, y1, "", "dim") +
         Track(0.2, x1, y1, x0, y1, "", "dim") + Track(0.2, x0, y1, x0, y0, "", "dim");
}

PcbState Board(const std::string& text) {
  PcbState state;
  LoadPatternText(state, 0, text);
  return state;
}

DrcRules Only(Rule rule, double clearance) {
  DrcRules rules;
  rules.copper = 0;
  switch (rule) {
    case Rule::copper: rules.copper = clearance; break;
    case Rule::hole: rules.hole = clearance; break;
    case Rule::edge: rules.edge = clearance; break;
    case Rule::keepout: rules.keepout = clearance; break;
  }
  return rules;
}

std::string Pairs(const DrcResult& result) {
  std::string out;
  for (const Violation& v : result.listed) {
    out += std::to_string(v.a) + "-" + std::to_string(v.b);
    char d[32];
    std::snprintf(d, sizeof d, "@%.3f ", v.distance);
    out += d;
  }
  return out;
}

TEST(DrcGap, ExactlyTheClearanceIsNoViolationJustBelowIs) {
  // Edge to edge 0.4 mm, computed as 1.4 - 0.5 - 0.5 (a hair below 0.4 in
  // floating point).
  const PcbState state = Board(Pad(1, 0, 0, "A") + Pad(1, 1.4, 0, "B") +
                               Track(0.2, 0, 3, 5, 3, "C") + Track(0.3, 0, 3.65, 5, 3.65, "D"));
  std::size_t total = 0;
  EXPECT_TRUE(CheckClearance(state, LAYER_TOP_COPPER, 0.4, 10, &total).empty());
  EXPECT_EQ(total, 0u);
  // Half a micrometre short is still the clearance; two are not.
  EXPECT_EQ(CheckClearance(state, LAYER_TOP_COPPER, 0.4005, 10, &total).size(), 0u);
  const std::vector<Violation> below = CheckClearance(state, LAYER_TOP_COPPER, 0.402, 10, &total);
  ASSERT_EQ(total, 2u);  // the pads, and the tracks (0.4 between 3.1 and 3.5)
  EXPECT_EQ(below[0].a, 0);
  EXPECT_EQ(below[0].b, 1);
  EXPECT_NEAR(below[0].distance, 0.4, 1e-9);
  EXPECT_EQ(below[1].a, 2);
  EXPECT_EQ(below[1].b, 3);
}

TEST(DrcGap, FillAtTheClearanceChecksClean) {
  PcbState state = Board(Box(0, 0, 10, 10) + Pad(1.6, 2.5, 2.5, "S1") + Pad(1.6, 7.3, 2.7, "S2") +
                         Track(0.25, 2.5, 2.5, 5, 2.6, "S1") + Hole(KIND_PLATED_HOLE, 0.8, 2.5, 2.5) +
                         Rec(KIND_OCTAGON_PAD, 1.7, 5.1, 6.3, 0, 0, "tPtn", "S3") +
                         Rec(KIND_RECT_PAD, 0, 7.7, 7.9, 1.3, 0.9, "tPtn", "S4") +
                         Rec(KIND_OBLONG_PAD, 0, 3.3, 8.1, 2.1, 1.1, "tPtn", "S5") +
                         Hole(KIND_HOLE, 1.1, 8.6, 5.2) +
                         Rec(KIND_RECT_PAD, 0, 1.5, 5.5, 1.2, 1.3, "tKOut"));
  SetFillParams(state.fill, 0.3, 0.4);
  const GenerateResult made =
      MakeFill(state, IndexRange::Clamp(state, 0, state.count), LAYER_TOP_COPPER, "GND", false);
  ASSERT_GT(made.made, 40);
  DrcRules rules;
  rules.copper = rules.hole = rules.edge = rules.keepout = 0.4;
  const DrcResult clean = CheckRules(state, LAYER_TOP_COPPER, rules, 100);
  EXPECT_EQ(clean.total, 0u) << Pairs(clean);
  // The fill does come right up to each clearance.
  for (const Rule rule : {Rule::copper, Rule::hole, Rule::edge, Rule::keepout}) {
    const auto closest = MinimumGap(state, LAYER_TOP_COPPER, rule);
    ASSERT_TRUE(closest.has_value()) << static_cast<int>(rule);
    EXPECT_NEAR(closest->distance, 0.4, 1e-6) << static_cast<int>(rule);
    EXPECT_GT(CheckRules(state, LAYER_TOP_COPPER, Only(rule, 0.402), 100).total, 0u);
  }
}

TEST(DrcGap, ReportPointIsTheMidpointOfTheNearestCopper) {
  const PcbState state = Board(Pad(2, 0, 0, "A") + Pad(0.5, 3, 0, "B") +  // copper at 1 and 2.75
                               Track(0.4, 10, 0, 10, 5, "C") + Pad(1, 11.5, 8, "D"));
  std::size_t total = 0;
  const std::vector<Violation> v = CheckClearance(state, LAYER_TOP_COPPER, 5, 10, &total);
  ASSERT_GE(v.size(), 1u);
  EXPECT_EQ(v[0].a, 0);
  EXPECT_EQ(v[0].b, 1);
  EXPECT_NEAR(v[0].distance, 1.75, 1e-9);
  EXPECT_NEAR(v[0].at_x, 1.875, 1e-9);
  EXPECT_NEAR(v[0].at_y, 0.0, 1e-9);
  std::string report;
  AppendViolation(state, v[0], report);
  EXPECT_EQ(report, "A:0,A,B:1,B, dist=1.750000 \r\n at (1.875, 0.000)\r\n");
  // A track's end cap and a pad: nearest points on the line between the
  // track's end (10, 5) and the pad's centre (11.5, 8), each radius in.
  const auto track_pad = std::find_if(v.begin(), v.end(), [](const Violation& x) {
    return x.a == 2 && x.b == 3;
  });
  ASSERT_NE(track_pad, v.end());
  const double length = std::hypot(1.5, 3.0);
  const double ux = 1.5 / length, uy = 3.0 / length;
  EXPECT_NEAR(track_pad->distance, length - 0.7, 1e-9);
  EXPECT_NEAR(track_pad->at_x, (10 + 0.2 * ux + 11.5 - 0.5 * ux) / 2, 1e-9);
  EXPECT_NEAR(track_pad->at_y, (5 + 0.2 * uy + 8 - 0.5 * uy) / 2, 1e-9);
  // A short: the point lies in the copper of both.
  const PcbState shorted = Board(Pad(2, 0, 0, "A") + Pad(2, 1.5, 0, "B"));
  const auto s = MinimumClearance(shorted, LAYER_TOP_COPPER);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->distance, 0.0);
  EXPECT_GE(s->at_x, 0.5);
  EXPECT_LE(s->at_x, 1.0);
  // Crossing tracks: where their centre lines cross.
  const PcbState crossing = Board(Track(0.2, 0, 0, 4, 2, "A") + Track(0.2, 0, 3, 3, 0, "B"));
  const auto x = MinimumClearance(crossing, LAYER_TOP_COPPER);
  ASSERT_TRUE(x.has_value());
  EXPECT_EQ(x->distance, 0.0);
  EXPECT_NEAR(x->at_x, 2.0, 1e-9);
  EXPECT_NEAR(x->at_y, 1.0, 1e-9);
}

TEST(DrcGap, AShapeInsideAnotherTouchesIt) {
  const PcbState state = Board(
      Rec(KIND_RECT_PAD, 0, 0, 0, 4, 4, "tPtn", "A") + Pad(1, 0.5, 0.5, "B") +  // 0, 1
      Rec(KIND_OCTAGON_PAD, 3, 10, 0, 0, 0, "tPtn", "C") +                     // 2
      Rec(KIND_RECT_PAD, 0, 10, 0, 0.5, 0.5, "tPtn", "D") +                    // 3
      Pad(0.5, 20, 0, "", "tKOut") + Rec(KIND_RECT_PAD, 0, 20, 0, 3, 3, "tPtn", "E") +  // 4, 5
      Track(0.2, 29, 0, 31, 0, "F") + Rec(KIND_OBLONG_PAD, 0, 30, 0, 6, 2, "tPtn", "G"));  // 6, 7
  DrcRules rules;
  rules.copper = 0.1;
  rules.keepout = 0.1;
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, rules, 100)),
            "0-1@0.000 2-3@0.000 6-7@0.000 5-4@0.000 ");
}

TEST(DrcGap, AShortThroughUnnamedCopperIsFound) {
  // Pad X, an unnamed track, two unnamed tracks, pad Y: one conductor of two nets.
  const PcbState state = Board(Pad(1, 0, 0, "X") + Track(0.2, 0, 0, 3, 0) +
                               Track(0.2, 3, 0, 6, 0) + Pad(1, 6, 0, "Y") +
                               Pad(1, 0, 5, "Z") + Track(0.2, 0, 5, 3, 5));  // 4, 5: no short
  // Within the conductor nothing but the short counts, however wide the
  // clearance (pad X is 2.4 mm from the track on pad Y).
  std::size_t total = 0;
  const std::vector<Violation> v = CheckClearance(state, LAYER_TOP_COPPER, 3, 10, &total);
  ASSERT_EQ(total, 1u);
  EXPECT_EQ(v[0].distance, 0.0);
  EXPECT_TRUE((v[0].a == 1 && v[0].b == 2)) << v[0].a << "-" << v[0].b;  // where X meets Y
  const auto closest = MinimumClearance(state, LAYER_TOP_COPPER);
  ASSERT_TRUE(closest.has_value());
  EXPECT_EQ(closest->distance, 0.0);
  // A fill without a net runs over unnamed copper (here a track from pad X):
  // it joins net X, no short.
  PcbState filled = Board(Box(0, 0, 10, 10) + Pad(1, 3, 5, "X") + Track(0.3, 3, 5, 8, 5));
  ASSERT_GT(MakeFill(filled, IndexRange::Clamp(filled, 0, filled.count), LAYER_TOP_COPPER, "", false)
                .made,
            10);
  EXPECT_EQ(CheckClearance(filled, LAYER_TOP_COPPER, 0.3, 10, &total).size(), 0u);
}

TEST(DrcHoles, PlatedHolesOwnTheirPadsNonPlatedOwnNothing) {
  const PcbState state = Board(
      Pad(1.2, 5, 5, "A") +                          // 0: the pad of hole 1
      Hole(KIND_PLATED_HOLE, 0.6, 5, 5) +            // 1
      Track(0.2, 5, 6, 9, 6, "B") +                  // 2: 0.6 from hole 1, 0.3 from pad 0
      Hole(KIND_HOLE, 2, 12, 5) +                    // 3: non-plated
      Pad(1, 12, 6.7, "C") +                         // 4: 0.2 from hole 3
      Track(0.2, 5, 5, 5, 2, "A") +                  // 5: from pad 0 through the hole: its own
      Hole(KIND_PLATED_HOLE, 0.4, 16, 5, "VIA1") +   // 6: a via of its own net
      Pad(0.8, 16, 5, "D") +                         // 7: names another net: a short
      Pad(0.8, 16, 6, "VIA1") +                      // 8: 0.4 off, but the via's own net
      Pad(1.5, 12, 5) +                              // 9: over the non-plated hole
      Pad(1.2, 20, 5) + Hole(KIND_PLATED_HOLE, 0.6, 20, 5) +  // 10, 11: no nets
      Track(0.1, 20, 5.45, 24, 5.45));               // 12: from pad 10, 0.1 from hole 11: its own
  DrcResult r = CheckRules(state, LAYER_TOP_COPPER, Only(Rule::hole, 0.7), 100);
  EXPECT_EQ(Pairs(r), "2-1@0.600 4-3@0.200 7-6@0.000 9-3@0.000 ");
  EXPECT_EQ(r.counts[static_cast<int>(Rule::hole)], 4u);
  EXPECT_EQ(r.counts[static_cast<int>(Rule::copper)], 0u);
  // At exactly its clearance the track passes; 2 micrometres more and it fails.
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, Only(Rule::hole, 0.6), 100)),
            "4-3@0.200 7-6@0.000 9-3@0.000 ");
  EXPECT_EQ(CheckRules(state, LAYER_TOP_COPPER, Only(Rule::hole, 0.602), 100).total, 4u);
  // At clearance 0 only what touches a hole it does not belong to.
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, Only(Rule::hole, 0), 100)),
            "7-6@0.000 9-3@0.000 ");
  // Holes are left alone unless asked for, and the bottom copper has none near.
  EXPECT_EQ(CheckRules(state, LAYER_TOP_COPPER, DrcRules{}, 100).total, 0u);
  EXPECT_EQ(CheckRules(state, LAYER_BOTTOM_COPPER, Only(Rule::hole, 5), 100).total, 0u);
  std::string report;
  AppendViolation(state, r.listed[2], report);
  EXPECT_EQ(report, "A:7,D,B:6,VIA1, dist=0.000000 \r\n at (16.000, 5.000) hole\r\n");
}

TEST(DrcEdge, CopperNearOrOutsideTheOutline) {
  const PcbState state = Board(
      Box(0, 0, 20, 10) +                                  // 0-3
      Pad(1, 0.8, 5) +                                     // 4: 0.3 from the left edge
      Rec(KIND_RECT_PAD, 0, 25, 5, 2, 2, "tPtn") +         // 5: off the board
      Track(0.4, 10, 9.5, 12, 9.5) +                       // 6: 0.3 from the top edge
      Box(8, 4, 10, 6) +                                   // 7-10: a cut-out
      Pad(0.5, 9, 5) +                                     // 11: in the cut-out
      Pad(1, 15, 5) +                                      // 12: well inside
      Rec(KIND_RECT_PAD, 0, 20, 2, 1, 1, "tPtn"));         // 13: across the right edge
  DrcResult r = CheckRules(state, LAYER_TOP_COPPER, Only(Rule::edge, 0.3), 100);
  EXPECT_EQ(Pairs(r), "5-1@0.000 11-7@0.000 13-1@0.000 ");
  r = CheckRules(state, LAYER_TOP_COPPER, Only(Rule::edge, 0.35), 100);
  EXPECT_EQ(Pairs(r), "4-3@0.300 5-1@0.000 6-2@0.300 11-7@0.000 13-1@0.000 ");
  EXPECT_EQ(r.counts[static_cast<int>(Rule::edge)], 5u);
  EXPECT_NEAR(r.listed[0].at_x, 0.15, 1e-9);
  EXPECT_NEAR(r.listed[0].at_y, 5, 1e-9);
  std::string report;
  AppendViolation(state, r.listed[0], report);
  EXPECT_EQ(report, "A:4,$nonet$,B:3,$nonet$, dist=0.300000 \r\n at (0.150, 5.000) edge\r\n");
  const auto closest = MinimumGap(state, LAYER_TOP_COPPER, Rule::edge);
  ASSERT_TRUE(closest.has_value());
  EXPECT_EQ(closest->distance, 0.0);
  EXPECT_EQ(closest->a, 5);
  // Without an outline there is no edge to keep from.
  const PcbState open = Board(Pad(1, 0.8, 5));
  EXPECT_EQ(CheckRules(open, LAYER_TOP_COPPER, Only(Rule::edge, 1), 100).total, 0u);
  EXPECT_FALSE(MinimumGap(open, LAYER_TOP_COPPER, Rule::edge).has_value());
}

TEST(DrcKeepout, EachCopperLayerKeepsFromItsOwnKeepout) {
  const PcbState state = Board(
      Rec(KIND_RECT_PAD, 0, 10, 5, 4, 2, "tKOut") +        // 0: 8..12 x 4..6
      Track(0.4, 2, 7, 18, 7, "A") +                       // 1: 0.8 above it
      Pad(1, 10, 5, "B") +                                 // 2: inside it
      Track(0.4, 2, 5, 18, 5, "C", "bPtn") +               // 3: the other side
      Rec(KIND_ROUND_PAD, 3, 30, 5, 0, 0, "bKOut") +       // 4: far from everything
      Pad(1, 10, 5, "B", "tDoc"));                         // 5: not copper of a checked side
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, Only(Rule::keepout, 1.0), 100)),
            "1-0@0.800 2-0@0.000 ");
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, Only(Rule::keepout, 0.8), 100)),
            "2-0@0.000 ");
  EXPECT_EQ(CheckRules(state, LAYER_BOTTOM_COPPER, Only(Rule::keepout, 1.0), 100).total, 0u);
  EXPECT_EQ(CheckRules(state, LAYER_TOP_DOC, Only(Rule::keepout, 1.0), 100).total, 0u);
  const auto closest = MinimumGap(state, LAYER_BOTTOM_COPPER, Rule::keepout);
  ASSERT_TRUE(closest.has_value());
  EXPECT_NEAR(closest->distance, 30 - 1.5 - 18 - 0.2, 1e-9);
}

TEST(DrcRules, CountsOrderAndLimit) {
  const PcbState state = Board(Box(0, 0, 20, 10) +               // 0-3
                               Pad(1, 5, 5, "A") + Pad(1, 6.2, 5, "B") +  // 4, 5: 0.2 apart
                               Hole(KIND_HOLE, 1, 8, 5) +        // 6: 0.8 from pad 5
                               Pad(1, 0.5, 8) +                  // 7: on the edge
                               Rec(KIND_RECT_PAD, 0, 12, 8, 1, 1, "tKOut") +  // 8
                               Pad(1, 12, 6.5, "C"));            // 9: 0.5 from the keep-out
  DrcRules rules;
  rules.copper = 0.3;
  rules.hole = 1.0;
  rules.edge = 0.1;
  rules.keepout = 0.6;
  const DrcResult all = CheckRules(state, LAYER_TOP_COPPER, rules, 100);
  EXPECT_EQ(Pairs(all), "4-5@0.200 5-6@0.800 7-3@0.000 9-8@0.500 ");
  EXPECT_EQ(all.counts, (std::array<std::size_t, RULE_COUNT>{1, 1, 1, 1}));
  const DrcResult two = CheckRules(state, LAYER_TOP_COPPER, rules, 2);
  EXPECT_EQ(two.total, 4u);
  EXPECT_EQ(Pairs(two), "4-5@0.200 5-6@0.800 ");
  // A rule below 0 is left out; NaN too.
  rules.hole = -0.5;
  rules.edge = std::nan("");
  EXPECT_EQ(Pairs(CheckRules(state, LAYER_TOP_COPPER, rules, 100)), "4-5@0.200 9-8@0.500 ");
}

}  // namespace
}  // namespace vx::pcb
