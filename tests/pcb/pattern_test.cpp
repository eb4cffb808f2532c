// The pattern model, its record text, plotter output, silk text, fill,
// vias and design-rule checks, below the API layer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "graphics/vram.hpp"
#include "pcb/draw.hpp"
#include "pcb/drc.hpp"
#include "pcb/fill.hpp"
#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"
#include "pcb/silk.hpp"

namespace vx::pcb {
namespace {

std::string Line(int kind, double w, double x, double y, double dx, double dy,
                 std::string_view layer, std::string_view net = "") {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer,
                "GB_P:%d, GB_PIN:0, GB_W:%g, GB_X:%g, GB_Y:%g, GB_XD:%g, GB_YD:%g, GB_PART:, "
                "GB_SIG:, GB_NET:%.*s, GB_LAY:%.*s, GB_EX:0, \r\n",
                kind, w, x, y, dx, dy, static_cast<int>(net.size()), net.data(),
                static_cast<int>(layer.size()), layer.data());
  return buffer;
}

std::string Outline(double w, double h) {
  return Line(1, 0.2, 0, 0, w, 0, "dim") + Line(1, 0.2, w, 0, 0, h, "dim") +
         Line(1, 0.2, w, h, -w, 0, "dim") + Line(1, 0.2, 0, h, 0, -h, "dim");
}

TEST(GbNumbers, LeadingDecimalTextOnly) {
  EXPECT_EQ(LeadingDouble("12.5xyz"), 12.5);
  EXPECT_EQ(LeadingDouble("  -3"), -3.0);
  EXPECT_EQ(LeadingDouble("+2.25"), 2.25);
  EXPECT_EQ(LeadingDouble("abc"), 0.0);
  EXPECT_EQ(LeadingDouble(""), 0.0);
  EXPECT_EQ(LeadingDouble("1e999"), 0.0);  // never infinite
  EXPECT_EQ(LeadingDouble("inf"), 0.0);
  EXPECT_EQ(LeadingDouble("nan"), 0.0);
  EXPECT_EQ(LeadingDouble("0x10"), 0.0);
  EXPECT_EQ(LeadingDouble("1.5e2"), 150.0);
  EXPECT_EQ(LeadingInt("7.9"), 7);
  EXPECT_EQ(LeadingInt("-12abc"), -12);
  EXPECT_EQ(LeadingInt("x1"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(LeadingInt("-99999999999999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(GbText, WriterFormatAndRoundTrip) {
  PcbState state;
  Record r;
  r.present = true;
  r.kind = KIND_RECT_PAD;
  r.pin = -4;
  r.width = 0.123456;
  r.x = -1.5;
  r.y = 2.000004;
  r.dx = 1.27;
  r.dy = 2.54;
  r.part.Assign("U12");
  r.signal.Assign("VCC");
  r.net.Assign("P3V3");
  r.layer = LAYER_BOTTOM_COPPER;
  r.extra = 99;
  const std::string text = GbText(state, r);
  EXPECT_EQ(text,
            "GB_P:2, GB_PIN:-4, GB_W:0.12346, GB_X:-1.50000, GB_Y:2.00000, GB_XD:1.27000, "
            "GB_YD:2.54000, GB_PART:U12, GB_SIG:VCC, GB_NET:P3V3, GB_LAY:bPtn, GB_EX:99, ");
  Record back;
  ASSERT_TRUE(ParseGbLine(state, text, back));
  EXPECT_EQ(GbText(state, back), text);
}

TEST(GbText, MissingKeysLongValuesAndNames) {
  PcbState state;
  Record r;
  EXPECT_FALSE(ParseGbLine(state, "GB_PIN:3, GB_X:1", r));
  ASSERT_TRUE(ParseGbLine(state, "GB_P:3", r));
  EXPECT_EQ(r.kind, 3);
  EXPECT_EQ(r.pin, 0);
  EXPECT_EQ(r.extra, 0);
  EXPECT_EQ(r.layer, LAYER_UNKNOWN);
  // A value is at most 32 characters: the rest of a long number is lost.
  ASSERT_TRUE(ParseGbLine(state, "GB_P:1, GB_X:123456789012345678901234567890123456789, ", r));
  EXPECT_DOUBLE_EQ(r.x, 12345678901234567890123456789012.0);
  // Names keep 15 bytes and never half a two-byte character.
  ASSERT_TRUE(ParseGbLine(state, "GB_P:1, GB_PART:ABCDEFGHIJKLMNOPQRSTUVWXYZ, GB_NET:ABCDEFGHIJKLMN\x82\xa0, ", r));
  EXPECT_EQ(r.part.View(), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(r.net.View(), "ABCDEFGHIJKLMN");
  // Layer names compare exactly.
  ASSERT_TRUE(ParseGbLine(state, "GB_P:1, GB_LAY:TPTN, ", r));
  EXPECT_EQ(r.layer, LAYER_UNKNOWN);
  ASSERT_TRUE(ParseGbLine(state, "GB_LAY:holes, GB_P:11", r));
  EXPECT_EQ(r.layer, LAYER_HOLES);
  // A key inside another value does not shadow the real one.
  ASSERT_TRUE(ParseGbLine(state, "GB_P:1, GB_SIG:R, GB_PART:GB_SIG:Q, ", r));
  EXPECT_EQ(r.signal.View(), "R");
  EXPECT_EQ(r.part.View(), "GB_SIG:Q");
  Record again;
  ASSERT_TRUE(ParseGbLine(state, GbText(state, r), again));
  EXPECT_EQ(again.signal.View(), "R");
  // Without a key that starts a field, the first occurrence counts.
  ASSERT_TRUE(ParseGbLine(state, "xGB_P:4 yGB_X:2.5", r));
  EXPECT_EQ(r.kind, 4);
  EXPECT_EQ(r.x, 2.5);
}

TEST(Loading, CapacityStopsAtIndex49999) {
  PcbState state;
  std::string text;
  for (int i = 0; i < PATTERN_RECORDS_MAX; ++i) text += Line(3, 1, i % 100, i / 100, 0, 0, "tPtn");
  LoadResult full = LoadPatternText(state, 0, text);
  EXPECT_EQ(full.read, PATTERN_RECORDS_MAX);
  EXPECT_FALSE(full.over_capacity);
  text += Line(3, 1, 7, 7, 0, 0, "tPtn");
  text += Line(3, 1, 8, 8, 0, 0, "tPtn");
  LoadResult over = LoadPatternText(state, 0, text);
  EXPECT_EQ(over.read, PATTERN_RECORDS_MAX);
  EXPECT_TRUE(over.over_capacity);
  EXPECT_EQ(state.count, PATTERN_RECORDS_MAX);
  // Appending to a full list stores nothing and keeps what is there.
  LoadResult more = LoadPatternText(state, PATTERN_RECORDS_MAX, Line(3, 1, 0, 0, 0, 0, "tPtn"));
  EXPECT_EQ(more.read, 0);
  EXPECT_TRUE(more.over_capacity);
  EXPECT_EQ(state.count, PATTERN_RECORDS_MAX);
}

TEST(Loading, FileLinesLongerThanTheLimitAreCut) {
  PcbState state;
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  const std::string long_line = "GB_P:3, GB_Y:4, " + std::string(GB_LINE_MAX, ' ') + "GB_X:9, GB_LAY:tPtn\r\n";
  const std::string text = long_line + Line(1, 0.2, 1, 2, 3, 4, "dim") + "GB_P:5, GB_X:1.5";
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  const LoadResult result = LoadPatterns(state, 0, f);
  std::fclose(f);
  ASSERT_EQ(result.read, 3);
  EXPECT_EQ(state.records[0].y, 4.0);
  EXPECT_EQ(state.records[0].x, 0.0);  // beyond the limit
  EXPECT_EQ(state.records[0].layer, LAYER_UNKNOWN);
  EXPECT_EQ(state.records[1].layer, LAYER_DIM);
  EXPECT_EQ(state.records[2].kind, 5);  // a last line without its end
  EXPECT_EQ(state.records[2].x, 1.5);
  EXPECT_EQ(state.board_x, 4.0);  // both ends of the outline line
  EXPECT_EQ(state.board_y, 6.0);
}

TEST(Loading, GapsAreNeitherMeasuredNorHitNorPlotted) {
  PcbState state;
  LoadPatternText(state, 0, Line(1, 0.2, -5, -5, -1, -1, "dim"));
  LoadPatternText(state, 10, Line(3, 1, 20, 20, 0, 0, "tPtn"));
  ASSERT_EQ(state.count, 11);
  EXPECT_FALSE(state.Holds(5));
  double x = 0, y = 0;
  DimSize(state, &x, &y);
  EXPECT_EQ(x, 0.0);  // the gaps' zeros are no outline points
  EXPECT_EQ(y, 0.0);
  // A click at board (0, 0) finds a real record, not a gap there.
  const int hit = ClickPattern(state, state.view.PixelX(0), state.view.PixelY(0));
  EXPECT_TRUE(hit == 0 || hit == 10);
  const IndexRange all = IndexRange::Clamp(state, 0, 100);
  const ApertureList dim = BuildApertures(state, all, LAYER_DIM);
  ASSERT_EQ(dim.entries.size(), 1u);
  const std::string gerber = GerberText(state, all, LAYER_DIM, dim, Units::FromMode(1));
  EXPECT_EQ(gerber.find("X000000Y000000"), std::string::npos);
}

TEST(Click, CyclesThroughEqualDistancesAndFindsASingleRecord) {
  PcbState state;
  LoadPatternText(state, 0, Line(3, 1, 1, 1, 0, 0, "tPtn"));
  const double px = state.view.PixelX(1), py = state.view.PixelY(1);
  EXPECT_EQ(ClickPattern(state, px, py), 0);
  EXPECT_EQ(ClickPattern(state, px, py), 0);
  LoadPatternText(state, 0,
                  Line(3, 1, 1, 1, 0, 0, "tPtn") + Line(3, 1, 1, 1, 0, 0, "bPtn") +
                      Line(3, 1, 1, 1, 0, 0, "tName") + Line(1, 0.2, 0, 0, 2, 2, "tDoc"));
  state.last_hit = -1;
  EXPECT_EQ(ClickPattern(state, px, py), 0);
  EXPECT_EQ(ClickPattern(state, px, py), 1);
  EXPECT_EQ(ClickPattern(state, px, py), 2);
  EXPECT_EQ(ClickPattern(state, px, py), 3);  // a line by its midpoint
  EXPECT_EQ(ClickPattern(state, px, py), 0);
  state.layers[LAYER_TOP_COPPER].active = false;
  EXPECT_EQ(ClickPattern(state, px, py), 1);
}

TEST(Queries, PinsNetsAndLayerSize) {
  PcbState state;
  LoadPatternText(state, 0,
                  "GB_P:3, GB_PIN:1, GB_PART:R1, GB_SIG:A, GB_LAY:tPtn\n"
                  "GB_P:3, GB_PIN:1, GB_PART:R1, GB_SIG:A, GB_LAY:bPtn\n"
                  "GB_P:4, GB_PIN:2, GB_PART:R1, GB_SIG:B, GB_X:5, GB_Y:5, GB_XD:2, GB_YD:1, GB_LAY:tPtn\n"
                  "GB_P:1, GB_X:-1, GB_Y:3, GB_XD:2, GB_YD:-6, GB_LAY:tPtn\n"
                  "GB_P:3, GB_X:100, GB_W:5, GB_LAY:tPtn\n"
                  "GB_P:2, GB_X:30, GB_Y:20, GB_XD:2, GB_YD:4, GB_LAY:bPtn\n");
  EXPECT_EQ(PinToNet(state, "R1", 1, "GND", 3), 2);
  EXPECT_EQ(state.records[0].net.View(), "GND");
  EXPECT_EQ(state.records[1].flags, 1u);
  EXPECT_EQ(PinToNet(state, "R1", 1, "0123456789ABCDEF", 0), 2);  // 16 bytes: not stored
  EXPECT_EQ(state.records[0].net.View(), "GND");
  EXPECT_EQ(PinToNet(state, "R1", 1, "", 0), 2);
  EXPECT_EQ(state.records[0].net.View(), "GND");
  EXPECT_EQ(PinToNet(state, "R1", 1, "0123456789ABCDE", 0), 2);  // 15 bytes: stored
  EXPECT_EQ(state.records[1].net.View(), "0123456789ABCDE");
  EXPECT_EQ(FindPin(state, "R1", 2), 2);
  EXPECT_EQ(FindPin(state, "R2", 2), -1);
  EXPECT_EQ(FindSignal(state, "R1", "B"), 2);
  const Extent e = LayerExtent(state, LAYER_TOP_COPPER);  // round pads do not count
  EXPECT_EQ(e.min_x, -1.0);
  EXPECT_EQ(e.max_x, 6.0);
  EXPECT_EQ(e.min_y, -3.0);
  EXPECT_EQ(e.max_y, 5.5);
  const Extent bottom = LayerExtent(state, LAYER_BOTTOM_COPPER);  // a rectangle alone
  EXPECT_EQ(bottom.min_x, 29.0);
  EXPECT_EQ(bottom.max_x, 31.0);
  EXPECT_EQ(bottom.min_y, 18.0);
  EXPECT_EQ(bottom.max_y, 22.0);
}

TEST(Drill, CoordinatesRoundAwayFromZeroPastTheHalf) {
  EXPECT_EQ(DrillCoordinate(1.27, 25.4), 50);
  EXPECT_EQ(DrillCoordinate(-1.27, 25.4), -50);
  EXPECT_EQ(DrillCoordinate(-0.04, 25.4), -2);  // -1.5748
  EXPECT_EQ(DrillCoordinate(0.04, 25.4), 2);
  EXPECT_EQ(DrillCoordinate(-0.0014, 1.0), -1);  // -1.4
  EXPECT_EQ(DrillCoordinate(0.0025, 1.0), 2);    // 2.5 exactly stays
  EXPECT_EQ(DrillCoordinate(-0.0025, 1.0), -2);
  EXPECT_EQ(DrillCoordinate(1e300, 1.0), 0);
}

TEST(Plotter, ApertureAndToolListsOverflow) {
  PcbState state;
  std::string text;
  for (int i = 0; i < APERTURES_MAX + 2; ++i) text += Line(1, 0.1 + i * 0.01, i, 0, 1, 0, "tPtn");
  for (int i = 0; i < TOOLS_MAX + 3; ++i) text += Line(12, 0.5 + i * 0.01, i, 5, 0, 0, "holes");
  LoadPatternText(state, 0, text);
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  const ApertureList apertures = BuildApertures(state, all, LAYER_TOP_COPPER);
  EXPECT_EQ(apertures.entries.size(), static_cast<std::size_t>(APERTURES_MAX));
  EXPECT_EQ(apertures.overflows, 2);
  EXPECT_EQ(apertures.entries.back().name, "D99");
  const std::string gerber = GerberText(state, all, LAYER_TOP_COPPER, apertures, Units::FromMode(0));
  EXPECT_NE(gerber.find("X035433"), std::string::npos);  // x = 89 mm, the 90th line
  EXPECT_EQ(gerber.find("X035827"), std::string::npos);  // x = 90 mm found no aperture
  const ToolList tools = BuildTools(state, all);
  EXPECT_EQ(tools.entries.size(), static_cast<std::size_t>(TOOLS_MAX));
  EXPECT_EQ(tools.overflows, 3);
  EXPECT_EQ(tools.entries.back().name, "T90");
  const std::string drill = DrillText(state, all, tools, Units::FromMode(1), false);
  EXPECT_NE(drill.find("X89000Y5000\r\n"), std::string::npos);
  EXPECT_EQ(drill.find("X90000Y5000\r\n"), std::string::npos);
}

TEST(Plotter, ToolsFromTheTenthOnKeepTwoDigits) {
  PcbState state;
  std::string text;
  for (int i = 0; i < 11; ++i) text += Line(i == 9 ? 12 : 11, 0.5 + 0.1 * i, i, 1, 0, 0, "holes");
  LoadPatternText(state, 0, text);
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  const ToolList tools = BuildTools(state, all);
  ASSERT_EQ(tools.entries.size(), 11u);
  const std::string list = ToolListText(tools, Units::FromMode(1));
  EXPECT_EQ(list.substr(list.find("T08")),
            "T08 1.20mm\t\tTH\r\nT09 1.30mm\t\tTH\r\nT10 1.40mm\t\tNTH\r\n"
            "T11 1.50mm\t\tTH\r\n");
  const std::string drill = DrillText(state, all, tools, Units::FromMode(1), false);
  EXPECT_EQ(drill.substr(drill.find("T09")),
            "T09\r\nX8000Y1000\r\nT10\r\nX9000Y1000\r\nT11\r\nX10000Y1000\r\nM30\r\n");
  const std::string standard = DrillText(state, all, tools, Units::FromMode(0), true);
  EXPECT_EQ(standard.substr(0, 15), "M48\r\nINCH,LZ\r\nT");
  EXPECT_NE(standard.find("T09C0.0512\r\nT10C0.0551\r\nT11C0.0591\r\n%\r\n"), std::string::npos);
  EXPECT_NE(standard.find("T10\r\nX0.354Y0.039\r\nT11\r\n"), std::string::npos);
}

TEST(Plotter, PadsOfOneWidthButAnotherHeightGetTheirOwnAperture) {
  PcbState state;
  LoadPatternText(state, 0,
                  Line(2, 0, 0, 0, 1, 2, "tPtn") + Line(2, 0, 5, 0, 1, 3, "tPtn") +
                      Line(2, 0, 10, 0, 1, 2, "tPtn") + Line(4, 0, 0, 5, 2, 1, "tPtn") +
                      Line(4, 0, 5, 5, 2, 1.5, "tPtn") + Line(5, 1, 0, 9, 0, 0, "tPtn") +
                      Line(3, 1, 5, 9, 0, 0, "tPtn"));
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  const ApertureList apertures = BuildApertures(state, all, LAYER_TOP_COPPER);
  ASSERT_EQ(apertures.entries.size(), 6u);
  const std::string gerber = GerberText(state, all, LAYER_TOP_COPPER, apertures, Units::FromMode(1));
  EXPECT_NE(gerber.find("%ADD10R,1.000X2.000*%\r\n%ADD11R,1.000X3.000*%\r\n%ADD12O,2.000X1.000*%\r\n"
                        "%ADD13O,2.000X1.500*%\r\n%ADD14OC8,1.000*%\r\n%ADD15C,1.000*%\r\n"),
            std::string::npos);
  EXPECT_NE(gerber.find("D10*\r\nX000000Y000000D03*\r\nX010000Y000000D03*\r\nD11*\r\n"
                        "X005000Y000000D03*\r\nD12*\r\n"),
            std::string::npos);
}

TEST(Plotter, UnplottableKindsGetNoAperture) {
  PcbState state;
  LoadPatternText(state, 0,
                  Line(7, 0.5, 1, 1, 0, 0, "tPtn") + Line(0, 0.5, 1, 1, 0, 0, "tPtn") +
                      Line(11, 0.5, 1, 1, 0, 0, "tPtn"));
  const IndexRange all = IndexRange::Clamp(state, -5, 1000);
  EXPECT_TRUE(BuildApertures(state, all, LAYER_TOP_COPPER).entries.empty());
}

TEST(Silk, EightOrientationsOfOneStroke) {
  SilkPlacement p;
  p.x = 10;
  p.y = 20;
  p.unit_x = p.unit_y = 1;
  p.width = 0.2;
  auto stroke = [&](int orientation) {
    p.orientation = orientation;
    PcbState state;
    LoadPatternText(state, 0, SilkText("-", p, "tName"));
    EXPECT_EQ(state.count, 1);
    const Record& r = state.records[0];
    return std::to_string(static_cast<int>(r.x)) + "," + std::to_string(static_cast<int>(r.y)) +
           ">" + std::to_string(static_cast<int>(r.EndX())) + "," +
           std::to_string(static_cast<int>(r.EndY()));
  };
  EXPECT_EQ(stroke(0), "10,17>12,17");
  EXPECT_EQ(stroke(1), "13,20>13,22");
  EXPECT_EQ(stroke(2), "10,23>8,23");
  EXPECT_EQ(stroke(3), "7,20>7,18");
  EXPECT_EQ(stroke(-4), "10,17>8,17");
  EXPECT_EQ(stroke(-3), "13,20>13,18");
  EXPECT_EQ(stroke(-2), "10,23>12,23");
  EXPECT_EQ(stroke(-1), "7,20>7,22");
  EXPECT_EQ(stroke(9), stroke(0));
  p.orientation = 0;
  EXPECT_EQ(SilkText("-", p, "tName"),
            "GB_P:1, GB_PIN:0, GB_W:0.20000, GB_X:10.00000, GB_Y:17.00000, GB_XD:2.00000, "
            "GB_YD:0.00000, GB_PART:, GB_SIG:, GB_NET:, GB_LAY:tName, GB_EX:0, \r\n");
  EXPECT_EQ(SilkText("", p, "tName"), "");
  // Characters without a glyph take no room; a two-byte character is one.
  EXPECT_EQ(SilkText("a-\x82\xb5", p, "tName"), SilkText("-", p, "tName"));
  EXPECT_NE(SilkText("\xb5", p, "tName"), "");
  EXPECT_NE(SilkText("--", p, "tName").find("GB_X:16.00000"), std::string::npos);
}

TEST(Drc, ClearanceShortsAndConductors) {
  PcbState state;
  LoadPatternText(state, 0,
                  Line(3, 2, 0, 0, 0, 0, "tPtn", "A") +     // 0: disc radius 1
                      Line(3, 2, 3, 0, 0, 0, "tPtn", "B") + // 1: 1 mm from 0
                      Line(1, 0.5, 3, 0, 5, 0, "tPtn", "B") +  // 2: touches 1
                      Line(2, 0, 0, 5, 2, 2, "tPtn", "C") + // 3: rect
                      Line(5, 2, 1.5, 5, 0, 0, "tPtn", "D") +  // 4: octagon over the rect
                      Line(3, 2, 0, 0, 0, 0, "bPtn", "Z"));  // other layer
  std::size_t total = 0;
  std::vector<Violation> v = CheckClearance(state, LAYER_TOP_COPPER, 1.5, 100, &total);
  ASSERT_EQ(total, 2u);
  EXPECT_EQ(v[0].a, 0);
  EXPECT_EQ(v[0].b, 1);
  EXPECT_NEAR(v[0].distance, 1.0, 1e-9);
  EXPECT_NEAR(v[0].at_x, 1.5, 1e-9);
  EXPECT_EQ(v[1].a, 3);  // the short
  EXPECT_EQ(v[1].b, 4);
  EXPECT_EQ(v[1].distance, 0.0);
  v = CheckClearance(state, LAYER_TOP_COPPER, 0.5, 100, &total);
  EXPECT_EQ(total, 1u);
  std::string report;
  AppendViolation(state, v[0], report);
  EXPECT_EQ(report.rfind("A:3,C,B:4,D, dist=0.000000 \r\n at (", 0), 0u) << report;
  const auto closest = MinimumClearance(state, LAYER_TOP_COPPER);
  ASSERT_TRUE(closest.has_value());
  EXPECT_EQ(closest->a, 3);
}

TEST(Fill, KeepsTheClearanceAndStaysInsideTheOutline) {
  PcbState state;
  LoadPatternText(state, 0,
                  Outline(20, 10) + Line(3, 2, 10, 5, 0, 0, "tPtn", "SIG") +
                      Line(3, 2, 13.45, 5, 0, 0, "tPtn", "SIG2") +  // a gap narrower than a line
                      Line(3, 2, 4, 5, 0, 0, "tPtn", "GND") + Line(12, 1, 15, 5, 0, 0, "holes"));
  const int before = state.count;
  SetFillParams(state.fill, 0.3, 0.5);
  const GenerateResult made =
      MakeFill(state, IndexRange::Clamp(state, 0, state.count), LAYER_TOP_COPPER, "GND", false);
  EXPECT_FALSE(made.no_solution);
  EXPECT_GT(made.made, 20);
  EXPECT_EQ(state.count, before + made.made);
  EXPECT_EQ(state.segment_count, made.made);
  for (int i = before; i < state.count; ++i) {
    const Record& r = state.records[i];
    ASSERT_EQ(r.kind, KIND_LINE);
    EXPECT_EQ(r.net.View(), "GND");
    EXPECT_GE(std::min(r.x, r.EndX()) - r.width / 2, 0.5 - 1e-9);
    EXPECT_LE(std::max(r.x, r.EndX()) + r.width / 2, 19.5 + 1e-9);
    EXPECT_GE(r.y - r.width / 2, 0.5 - 1e-9);
    EXPECT_LE(r.y + r.width / 2, 9.5 + 1e-9);
    // No piece shorter than the line is wide.
    EXPECT_GE(std::fabs(r.dx), r.width);
    // Clear of the hole at (15, 5), radius 0.5.
    EXPECT_GE(PointSegmentDistance(15, 5, r.x, r.y, r.EndX(), r.EndY()) - 0.5 - r.width / 2,
              0.5 - 1e-9);
  }
  std::size_t total = 0;
  CheckClearance(state, LAYER_TOP_COPPER, 0.5 - 1e-6, 10, &total);
  EXPECT_EQ(total, 0u);
  CheckClearance(state, LAYER_TOP_COPPER, 0.6, 10, &total);
  EXPECT_GT(total, 0u);  // the fill comes right up to the clearance
  // Vertical fill too.
  const GenerateResult vertical =
      MakeFill(state, IndexRange::Clamp(state, 0, before), LAYER_BOTTOM_COPPER, "", true);
  EXPECT_GT(vertical.made, 20);
  EXPECT_EQ(state.records[state.count - 1].dx, 0.0);
  EXPECT_EQ(state.records[state.count - 1].net.View(), "$nonet$");
}

TEST(Fill, FailuresAndParameters) {
  PcbState state;
  EXPECT_TRUE(MakeFill(state, {}, LAYER_TOP_NAME, "", false).bad_layer);
  EXPECT_TRUE(MakeFill(state, {}, LAYER_TOP_COPPER, "", false).no_solution);  // no outline
  FillParams f;
  SetFillParams(f, 0.128, 0.001);  // both bounds are exclusive
  EXPECT_EQ(f.width, FillParams{}.width);
  EXPECT_EQ(f.clearance, FillParams{}.clearance);
  SetFillParams(f, 0.2, 0.25);
  EXPECT_EQ(f.width, 0.2);
  EXPECT_DOUBLE_EQ(f.pitch, 0.202);
  EXPECT_EQ(f.clearance, 0.25);
  // A full pattern list takes only what fits.
  std::string text = Outline(10, 10);
  for (int i = 0; i < PATTERN_RECORDS_MAX - 10; ++i) text += Line(3, 0.1, 1, 1, 0, 0, "tDoc");
  LoadPatternText(state, 0, text);
  const GenerateResult full =
      MakeFill(state, IndexRange::Clamp(state, 0, state.count), LAYER_TOP_COPPER, "", false);
  EXPECT_TRUE(full.pattern_overflow);
  EXPECT_EQ(full.made, 6);
  EXPECT_EQ(state.count, PATTERN_RECORDS_MAX);
}

TEST(Via, TakesTheNetBelowAndKeepsClear) {
  PcbState state;
  LoadPatternText(state, 0,
                  Line(1, 0.5, 0, 0, 10, 0, "tPtn", "N1") + Line(3, 1, 5, 2, 0, 0, "bPtn", "N2"));
  std::string log;
  ViaResult via = PutVia(state, 3, 0, 0.3, "", "V1", log);
  EXPECT_FALSE(via.refused);
  EXPECT_EQ(via.net, "N1");
  EXPECT_EQ(via.generated.made, 3);
  ASSERT_EQ(state.count, 5);
  EXPECT_EQ(state.records[4].kind, KIND_PLATED_HOLE);
  EXPECT_EQ(state.records[2].layer, LAYER_TOP_COPPER);
  EXPECT_EQ(state.records[3].layer, LAYER_BOTTOM_COPPER);
  EXPECT_EQ(state.records[3].part.View(), "V1");
  EXPECT_EQ(log.substr(0, 20), "CoreTrickTapVia() \r\n");
  log.clear();
  via = PutVia(state, 5, 1.2, 0.3, "N1", "V2", log);
  EXPECT_TRUE(via.refused);
  EXPECT_NE(log.find("<via tap gap error> (N2, 1) \r\n"), std::string::npos);
  EXPECT_NE(log.find("gap=0.000000 \r\n"), std::string::npos);
  EXPECT_EQ(state.count, 5);
  log.clear();
  via = PutVia(state, 8, 8, 0.3, "", "", log);
  EXPECT_EQ(via.net, "$nonet$");
}

TEST(Draw, LayerColoursActiveLayersAndHoles) {
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  PcbState state;
  state.view = View{};
  state.view.scale = 10;
  state.view.origin_x = 100;
  state.view.origin_y = 300;
  LoadPatternText(state, 0,
                  Line(3, 2, 0, 0, 0, 0, "tPtn") + Line(2, 0, 10, 0, 2, 2, "bPtn") +
                      Line(3, 2, 20, 0, 0, 0, "tName") + Line(11, 1, 0, 0, 0, 0, "holes"));
  state.layers[LAYER_TOP_NAME].active = false;
  const graphics::PixelRect changed = DrawPatterns(canvas, state, IndexRange::Clamp(state, 0, 10));
  EXPECT_FALSE(changed.Empty());
  EXPECT_EQ(canvas.Get(100 + 8, 300), (graphics::Color{0, 0, 255}));   // red pad
  EXPECT_EQ(canvas.Get(100, 300), graphics::kBlack);                    // the hole
  EXPECT_EQ(canvas.Get(100 + 4, 300), (graphics::Color{20, 20, 20}));  // its ring
  EXPECT_EQ(canvas.Get(200 + 9, 300 - 9), (graphics::Color{255, 0, 0}));  // blue square
  EXPECT_EQ(canvas.Get(300, 300), graphics::kBlack);  // inactive layer
}

}  // namespace
}  // namespace vx::pcb
