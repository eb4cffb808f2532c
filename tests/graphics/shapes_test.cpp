// Frames, line modes, gradients, arrows, curves and the built-in glyphs.
#include <gtest/gtest.h>

#include "graphics/glyphs.hpp"
#include "graphics/shapes.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Point;

class ShapesTest : public BankTest {};

TEST_F(ShapesTest, FramesLieInsideTheirRectangle) {
  auto c = Whole();
  graphics::DrawFrame(c, PixelRect{10, 10, 17, 15}, 2, kPen);
  EXPECT_EQ(Picture(PixelRect{9, 9, 18, 16}), (std::vector<std::string>{
                                                  "..........",
                                                  ".########.",
                                                  ".########.",
                                                  ".##....##.",
                                                  ".##....##.",
                                                  ".########.",
                                                  ".########.",
                                                  "..........",
                                              }));
  // Wider than half the rectangle: filled.
  graphics::DrawFrame(c, PixelRect{100, 100, 105, 105}, 3, kPen);
  EXPECT_EQ(Changed(PixelRect{99, 99, 106, 106}).size(), 36u);
}

TEST_F(ShapesTest, LineModesXorTranslucentAndDashed) {
  auto c = Whole();
  const graphics::Paint xor_pen{kInk, graphics::LINE_MODE_XOR};
  graphics::FillRect(c, PixelRect{10, 10, 20, 20}, xor_pen);
  EXPECT_EQ(At(15, 15), (Color{static_cast<std::uint8_t>(kPaper.b ^ kInk.b), static_cast<std::uint8_t>(kPaper.g ^ kInk.g),
                               static_cast<std::uint8_t>(kPaper.r ^ kInk.r)}));
  graphics::FillRect(c, PixelRect{10, 10, 20, 20}, xor_pen);
  EXPECT_TRUE(ChangedAnywhere().empty());  // twice restores
  graphics::DrawFrame(c, PixelRect{30, 30, 60, 60}, 3, xor_pen);
  graphics::DrawFrame(c, PixelRect{30, 30, 60, 60}, 3, xor_pen);
  EXPECT_TRUE(ChangedAnywhere().empty());  // bands do not overlap

  graphics::FillRect(c, PixelRect{100, 100, 101, 101}, graphics::Paint{graphics::FromComponents(0, 0, 0), graphics::LINE_MODE_TRANSLUCENT});
  EXPECT_EQ(At(100, 100), (Color{0x77, 0x77, 0x77}));

  graphics::DrawFrame(c, PixelRect{200, 200, 219, 219}, 1, graphics::Paint{kInk, graphics::LINE_MODE_DASHED});
  EXPECT_EQ(Picture(PixelRect{200, 200, 219, 200}), (std::vector<std::string>{"####....####....####"}));
  EXPECT_TRUE(Inked(200, 203));
  EXPECT_FALSE(Inked(200, 204));
  EXPECT_TRUE(Inked(219, 208));
}

TEST_F(ShapesTest, RoundFramesCutTheirCorners) {
  auto c = Whole();
  graphics::DrawRoundFrame(c, PixelRect{10, 10, 29, 29}, 5, 1, kPen);
  EXPECT_FALSE(Inked(10, 10));
  EXPECT_TRUE(Inked(20, 10));
  EXPECT_TRUE(Inked(10, 20));
  EXPECT_FALSE(Inked(20, 20));
  graphics::FillRoundRect(c, PixelRect{100, 100, 139, 119}, 1000, kPen);  // radius cut to 10
  EXPECT_TRUE(Inked(120, 110));
  EXPECT_FALSE(Inked(100, 100));
  EXPECT_TRUE(Inked(100, 110));
  // Radius 0 is the plain frame.
  graphics::DrawRoundFrame(c, PixelRect{300, 300, 309, 309}, 0, 1, kPen);
  EXPECT_TRUE(Inked(300, 300));
  EXPECT_EQ(Changed(PixelRect{295, 295, 315, 315}).size(), 36u);
}

TEST_F(ShapesTest, GradientsHitTheirEndColoursExactly) {
  const Color from = graphics::FromComponents(0, 0, 0);
  const Color to = graphics::FromComponents(255, 100, 10);
  graphics::Gradient none;
  EXPECT_EQ(graphics::GradientColor(none, from, to, 0, 11), from);
  EXPECT_EQ(graphics::GradientColor(none, from, to, 10, 11), to);
  EXPECT_EQ(graphics::GradientColor(none, from, to, 5, 11), graphics::FromComponents(128, 50, 5));
  EXPECT_EQ(graphics::GradientColor(none, from, to, 0, 1), from);
  auto c = Whole();
  graphics::FillGradient(c, PixelRect{0, 0, 9, 99}, false, none, from, to);
  EXPECT_EQ(At(5, 0), from);
  EXPECT_EQ(At(5, 99), to);
  EXPECT_EQ(At(9, 50), At(0, 50));
  // Stops take over when two or more are set.
  graphics::Gradient stops;
  stops.stops[0] = {0, graphics::FromComponents(255, 0, 0)};
  stops.stops[1] = {500, graphics::FromComponents(0, 255, 0)};
  stops.stops[2] = {1000, graphics::FromComponents(0, 0, 255)};
  stops.used = {true, true, true};
  EXPECT_EQ(graphics::GradientColor(stops, from, to, 50, 101), graphics::FromComponents(0, 255, 0));
  EXPECT_EQ(graphics::GradientColor(stops, from, to, 25, 101), graphics::FromComponents(128, 128, 0));
  EXPECT_EQ(graphics::GradientColor(stops, from, to, 100, 101), graphics::FromComponents(0, 0, 255));
  graphics::FillGradientWave(c, PixelRect{100, 0, 139, 9}, 20, false, 0, none, from, to);
  EXPECT_EQ(At(100, 0), from);
  EXPECT_EQ(At(110, 5), to);
  EXPECT_EQ(At(120, 5), from);
}

TEST_F(ShapesTest, ArrowsHaveAFilledHeadAtTheTip) {
  auto c = Whole();
  const PixelRect area = graphics::DrawArrow(c, Point{100, 100}, Point{200, 100}, graphics::ArrowHead{20, 10}, false, 1, kPen);
  EXPECT_TRUE(Inked(200, 100));
  EXPECT_TRUE(Inked(185, 103));  // inside the head
  EXPECT_TRUE(Inked(120, 100));  // shaft
  EXPECT_FALSE(Inked(120, 103));
  EXPECT_LE(area.left, 100);
  EXPECT_GE(area.right, 200);
  graphics::DrawArrow(c, Point{100, 300}, Point{200, 300}, graphics::ArrowHead{20, 10}, true, 1, kPen);
  EXPECT_TRUE(Inked(115, 303));
  graphics::DrawCurveArrow(c, Point{100, 500}, Point{300, 500}, 50, graphics::ArrowHead{16, 12}, 2, kPen);
  EXPECT_TRUE(Inked(300, 500));
  EXPECT_FALSE(Changed(PixelRect{150, 440, 250, 490}).empty());  // bulges to the left (up)
  EXPECT_TRUE(Changed(PixelRect{150, 510, 250, 600}).empty());
}

TEST_F(ShapesTest, CurvePointListsStartAndEndOnTheirSegment) {
  const auto zig = graphics::ZigZagPoints(Point{0, 0}, Point{100, 0}, 10, 20);
  EXPECT_EQ(zig.front(), (Point{0, 0}));
  EXPECT_EQ(zig.back(), (Point{100, 0}));
  EXPECT_EQ(zig[1], (Point{5, -10}));
  EXPECT_EQ(zig[2], (Point{15, 10}));
  EXPECT_EQ(zig.size(), 12u);
  const auto sine = graphics::HorizontalSine(0, 50, 100, 20, 100, 0);
  EXPECT_EQ(sine.size(), 101u);
  EXPECT_EQ(sine[25], (Point{25, 30}));  // positive values rise
  EXPECT_EQ(sine[75], (Point{75, 70}));
  const auto along = graphics::SineAlong(Point{0, 0}, Point{0, 100}, 10, 1, 0);
  EXPECT_EQ(along.front(), (Point{0, 0}));
  EXPECT_EQ(along.back(), (Point{0, 100}));
  EXPECT_EQ(along[25], (Point{10, 25}));  // left of the downward direction is +x
  EXPECT_LE(graphics::HorizontalSine(0, 0, 1'000'000, 1, 0, 0).size(), static_cast<std::size_t>(graphics::CURVE_POINTS_MAX) + 1);
}

TEST_F(ShapesTest, PointListsParseAndScale) {
  std::vector<Point> pts;
  EXPECT_TRUE(graphics::ParsePointList("0,0, 10,0 10 20", 100, 200, 50, 100, pts));
  EXPECT_EQ(pts, (std::vector<Point>{{100, 200}, {105, 200}, {105, 210}}));
  EXPECT_FALSE(graphics::ParsePointList("1,2,3", 0, 0, 100, 100, pts));
  EXPECT_FALSE(graphics::ParsePointList("1,x", 0, 0, 100, 100, pts));
  EXPECT_FALSE(graphics::ParsePointList("", 0, 0, 100, 100, pts));
  EXPECT_FALSE(graphics::ParsePointList("1,2,3,4,5,6", 0, 0, 100, 2, pts));
}

TEST_F(ShapesTest, ObjectsStayInTheirBox) {
  auto c = Whole();
  for (int kind = 0; kind < graphics::OBJ_KIND_COUNT; ++kind) {
    const int x = 50 + kind * 60;
    for (bool fill : {false, true}) {
      const int y = fill ? 200 : 100;
      EXPECT_TRUE(graphics::DrawObject(c, kind, PixelRect{x, y, x + 39, y + 39}, fill, 1, kPen));
      EXPECT_FALSE(Changed(PixelRect{x, y, x + 39, y + 39}).empty()) << kind;
    }
  }
  EXPECT_TRUE(Changed(PixelRect{0, 0, 2599, 99}).empty());
  EXPECT_TRUE(Changed(PixelRect{0, 240, 2599, 1999}).empty());
  EXPECT_FALSE(graphics::DrawObject(c, graphics::OBJ_KIND_COUNT, PixelRect{0, 0, 9, 9}, true, 1, kPen));
  EXPECT_FALSE(graphics::DrawObject(c, -1, PixelRect{0, 0, 9, 9}, true, 1, kPen));
}

TEST_F(ShapesTest, NumTextBlendsDigitCoverage) {
  auto c = Whole();
  const auto r = graphics::DrawNumText(c, 2600, 2000, 100, 100, "1", 1, kInk);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.area, (PixelRect{100, 100, 107, 115}));
  const auto& g = graphics::DigitCoverage(1);
  for (int row = 0; row < 16; ++row) {
    for (int col = 0; col < 8; ++col) {
      const int cov = g[row * 8 + col];
      const Color expect{static_cast<std::uint8_t>((kPaper.b * (255 - cov) + kInk.b * cov) / 255),
                         static_cast<std::uint8_t>((kPaper.g * (255 - cov) + kInk.g * cov) / 255),
                         static_cast<std::uint8_t>((kPaper.r * (255 - cov) + kInk.r * cov) / 255)};
      EXPECT_EQ(At(100 + col, 100 + row), expect) << row << "," << col;
    }
  }
  // Each digit has some partial coverage that gets blended.
  int partial = 0;
  for (int d = 0; d < 10; ++d) {
    for (auto v : graphics::DigitCoverage(d)) partial += (v > 0 && v < 255) ? 1 : 0;
  }
  EXPECT_GT(partial, 0);
}

TEST_F(ShapesTest, NumTextScalesGapsAndLimits) {
  auto c = Whole();
  // Scale 0 is zero wide, a negative scale is drawn as 1, 9 as 4; a letter
  // leaves a gap of one cell.
  const auto zero_wide = graphics::DrawNumText(c, 2600, 2000, 0, 0, "8", 0, kInk);
  EXPECT_TRUE(zero_wide.complete);
  EXPECT_TRUE(zero_wide.area.Empty());
  EXPECT_TRUE(Changed(PixelRect{0, 0, 40, 40}).empty());
  EXPECT_EQ(graphics::DrawNumText(c, 2600, 2000, 0, 0, "8", -5, kInk).area, (PixelRect{0, 0, 7, 15}));
  EXPECT_EQ(graphics::DrawNumText(c, 2600, 2000, 0, 100, "8a8", 9, kInk).area, (PixelRect{0, 100, 95, 163}));
  EXPECT_TRUE(Changed(PixelRect{32, 100, 63, 163}).empty());
  EXPECT_FALSE(Changed(PixelRect{64, 100, 95, 163}).empty());
  // Each 8 x 16 glyph cell becomes a block of scale x scale pixels.
  EXPECT_EQ(At(4 * 3, 100 + 4 * 5), At(4 * 3 + 3, 100 + 4 * 5 + 3));
  // Stops before the character that would pass column 2600.
  auto stopped = graphics::DrawNumText(c, 2600, 2000, 2584, 300, "1234", 1, kInk);
  EXPECT_FALSE(stopped.complete);
  EXPECT_EQ(stopped.area, (PixelRect{2584, 300, 2599, 315}));
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, 2592, 400, "1", 1, kInk).complete);
  // Nothing at all below the surface or at negative positions.
  const auto before = ChangedAnywhere();
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, 10, 1985, "1", 1, kInk).area.Empty());
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, 10, 1937, "1", 4, kInk).area.Empty());
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, -1, 10, "1", 1, kInk).area.Empty());
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, 10, -1, "1", 1, kInk).area.Empty());
  EXPECT_EQ(ChangedAnywhere(), before);
  EXPECT_TRUE(graphics::DrawNumText(c, 2600, 2000, 10, 1984, "1", 1, kInk).complete);  // 1984 + 16 = 2000
}

TEST_F(ShapesTest, DotTextDrawsTheFiveBySevenFont) {
  auto c = Whole();
  const PixelRect area = graphics::DrawDotText(c, 10, 10, "T", 1, kInk);
  EXPECT_EQ(area, (PixelRect{10, 10, 15, 17}));
  EXPECT_EQ(Picture(PixelRect{10, 10, 14, 16}),
            (std::vector<std::string>{"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}));
  graphics::DrawDotText(c, 100, 100, "I", 3, kInk);
  EXPECT_EQ(Changed(PixelRect{100, 100, 117, 123}).size(), 11u * 9u);
  EXPECT_EQ(graphics::DotGlyph('~' + 1), nullptr);
  EXPECT_NE(graphics::DotGlyph(' '), nullptr);
}

}  // namespace
}  // namespace vx::test
