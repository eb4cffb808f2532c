// The click-area table: hit tests, groups, nearest areas and icon items.
#include <gtest/gtest.h>

#include "graphics/click_areas.hpp"
#include "graphics/drawing.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

using graphics::ClickArea;
using graphics::ClickAreas;

TEST(ClickAreaTable, RectanglesIncludeTheirEdgesAndTheFirstAreaWins) {
  ClickAreas t;
  t.Set(3, 10, 10, 20, 20, "three", 1, 0, 0);
  t.Set(7, 15, 15, 30, 30, "seven", 1, 0, 77);
  EXPECT_EQ(t.FirstHit(10, 10, 0), 3);
  EXPECT_EQ(t.FirstHit(20, 20, 0), 3);
  EXPECT_EQ(t.FirstHit(21, 20, 0), 7);
  EXPECT_EQ(t.FirstHit(9, 10, 0), -1);
  EXPECT_EQ(t.AllHits(18, 18, 0), (std::vector<int>{3, 7}));
  t.At(3).active = 0;  // not in use: skipped
  EXPECT_EQ(t.FirstHit(18, 18, 0), 7);
  t.Clear(7);
  EXPECT_EQ(t.FirstHit(18, 18, 0), -1);
}

TEST(ClickAreaTable, ATableNeverSetHasNoAreas) {
  // The table is made on the first write; until then every question has
  // the answer of a table of unused areas.
  ClickAreas t;
  const ClickAreas& read = t;
  EXPECT_FALSE(read.At(499).Used());
  EXPECT_EQ(read.At(0).text, "");
  EXPECT_EQ(t.FirstHit(0, 0, 0), -1);
  EXPECT_TRUE(t.AllHits(0, 0, 0).empty());
  EXPECT_EQ(t.Nearest(0, 0, 0, -1, nullptr), -1);
  t.Clear(5);
  t.ClearAll();
  EXPECT_EQ(t.FirstHit(0, 0, 0), -1);
  t.Set(499, 0, 0, 1, 1, "last", 1, 0, 0);
  EXPECT_EQ(t.FirstHit(0, 0, 0), 499);
  t.ClearAll();
  EXPECT_EQ(t.FirstHit(0, 0, 0), -1);
}

TEST(ClickAreaTable, CirclesUseHalfTheShorterSide) {
  ClickAreas t;
  t.Set(0, 0, 0, 10, 20, "", 1, 0, 0);
  t.At(0).shape = graphics::CLICK_SHAPE_CIRCLE;  // centre (5, 10), radius 5
  EXPECT_EQ(t.FirstHit(0, 0, 0), -1);  // the rectangle's corner
  EXPECT_EQ(t.FirstHit(5, 10, 0), 0);
  EXPECT_EQ(t.FirstHit(9, 10, 0), 0);
  EXPECT_EQ(t.FirstHit(10, 10, 0), -1);  // on the circle: not strictly inside
  EXPECT_EQ(t.FirstHit(5, 15, 0), -1);
  t.At(0).shape = 2;  // any other code is a rectangle
  EXPECT_EQ(t.FirstHit(0, 0, 0), 0);
}

TEST(ClickAreaTable, GroupMasksSelectAreas) {
  ClickAreas t;
  t.Set(0, 0, 0, 9, 9, "a", 1, 1, 0);
  t.Set(1, 0, 0, 9, 9, "b", 1, 4 | 8, 0);
  t.Set(2, 0, 0, 9, 9, "c", 1, 0, 0);
  EXPECT_EQ(t.FirstHit(5, 5, 0), 0);
  EXPECT_EQ(t.FirstHit(5, 5, 4), 1);
  EXPECT_EQ(t.FirstHit(5, 5, 2), -1);
  EXPECT_EQ(t.AllHits(5, 5, 8 | 1), (std::vector<int>{0, 1}));
}

TEST(ClickAreaTable, NearestMeasuresToTheRectangle) {
  ClickAreas t;
  t.Set(0, 100, 100, 110, 110, "", 1, 0, 0);
  t.Set(1, 200, 100, 210, 110, "", 1, 0, 0);
  std::int64_t d = -1;
  EXPECT_EQ(t.Nearest(105, 105, 0, -1, &d), 0);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(t.Nearest(190, 105, 0, -1, &d), 1);
  EXPECT_EQ(d, 10);
  EXPECT_EQ(t.Nearest(113, 114, 0, -1, &d), 0);
  EXPECT_EQ(d, 5);  // 3-4-5
  EXPECT_EQ(t.Nearest(155, 105, 0, -1, &d), 0);  // a tie goes to the lower index
  EXPECT_EQ(t.Nearest(150, 105, 0, 39, &d), -1);
  EXPECT_EQ(ClickAreas().Nearest(0, 0, 0, -1, &d), -1);
}

// Opposite corners of the 32-bit plane are 2^32 apart on each axis: the
// squared distance must neither wrap to "inside" nor lose the ordering.
TEST(ClickAreaTable, NearestSurvivesTheWidestDistances) {
  ClickAreas t;
  t.Set(0, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, "", 1, 0, 0);
  t.Set(1, INT32_MIN, 0, INT32_MIN, 0, "", 1, 0, 0);
  std::int64_t d = -1;
  EXPECT_EQ(t.Nearest(INT32_MAX, INT32_MAX, 0, -1, &d), 1);
  EXPECT_EQ(d, 4801919417);  // ceil(hypot(2^32 - 1, 2^31 - 1))
  t.Clear(1);
  EXPECT_EQ(t.Nearest(INT32_MAX, INT32_MAX, 0, -1, &d), 0);
  EXPECT_EQ(d, 6074000999);  // ceil((2^32 - 1) * sqrt(2))
  EXPECT_EQ(t.Nearest(INT32_MAX, INT32_MAX, 0, 6074000998, &d), -1);
  t.Set(0, 0, 0, 0, 0, "", 1, 0, 0);
  EXPECT_EQ(t.Nearest(3000000, 4000000, 0, -1, &d), 0);
  EXPECT_EQ(d, 5000000);
  EXPECT_EQ(t.Nearest(3000000, 4000001, 0, -1, &d), 0);
  EXPECT_EQ(d, 5000001);
}

TEST(ClickAreaTable, FullPlaneCircleCornersAreOutside) {
  ClickAreas t;
  t.Set(0, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, "", 1, 0, 0);
  t.At(0).shape = graphics::CLICK_SHAPE_CIRCLE;
  EXPECT_EQ(t.FirstHit(INT32_MIN, INT32_MIN, 0), -1);
  EXPECT_EQ(t.FirstHit(INT32_MAX, INT32_MAX, 0), -1);
  EXPECT_EQ(t.FirstHit(0, 0, 0), 0);
  EXPECT_EQ(t.FirstHit(INT32_MIN + 1, 0, 0), -1);  // on the circle: outside
  EXPECT_EQ(t.FirstHit(INT32_MIN + 2, 0, 0), 0);
}

TEST(ClickAreaTable, TextsAreCutTo1023Bytes) {
  ClickAreas t;
  t.Set(499, 0, 0, 1, 1, std::string(5000, 'x'), 1, 0, 0);
  EXPECT_EQ(t.At(499).text.size(), 1023u);
  EXPECT_TRUE(ClickAreas::ValidIndex(499));
  EXPECT_FALSE(ClickAreas::ValidIndex(500));
  EXPECT_FALSE(ClickAreas::ValidIndex(-1));
}

TEST(IconItems, SplitAtKnownItemsOnly) {
  const auto items = graphics::ParseIconItems("$fill:255,0,0$frm:2$cap:Price $5:00$frmS:3");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].name, "fill");
  EXPECT_EQ(items[0].value, "255,0,0");
  EXPECT_EQ(items[1].name, "frm");
  EXPECT_EQ(items[1].value, "2");
  EXPECT_EQ(items[2].name, "cap");
  EXPECT_EQ(items[2].value, "Price $5:00");
  EXPECT_EQ(items[3].name, "frmS");
  EXPECT_EQ(items[3].value, "3");
  std::string_view cap;
  EXPECT_TRUE(graphics::FindIconItem("junk$cap:Open", "cap", &cap));
  EXPECT_EQ(cap, "Open");
  EXPECT_FALSE(graphics::FindIconItem("no items", "cap", &cap));
  EXPECT_TRUE(graphics::ParseIconItems("").empty());
}

TEST(IconItems, ColourListsTakeComponentsOrAPackedValue) {
  graphics::Color c;
  ASSERT_TRUE(graphics::ParseColourList("300, -5, 20", &c));
  EXPECT_EQ(c, graphics::FromComponents(255, 0, 20));
  ASSERT_TRUE(graphics::ParseColourList("0x102030", &c));
  EXPECT_EQ(c, graphics::FromComponents(0x10, 0x20, 0x30));
  EXPECT_FALSE(graphics::ParseColourList("red", &c));
}

TEST(Icons, DrawTheirItemsInsideTheArea) {
  graphics::Vram v;
  graphics::ClearCurrent(v, graphics::kWhite);
  ClickArea a;
  a.left = 100;
  a.top = 100;
  a.right = 163;
  a.bottom = 163;
  a.active = 1;
  a.text = "$fill:0,0,255$col:255,255,0$frm:2$icon:0$cap:OK";
  const PixelRect r = graphics::DrawIcon(v, a, graphics::ICON_STATE_NORMAL);
  EXPECT_EQ(r, (PixelRect{100, 100, 163, 163}));
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 100, 100), graphics::FromComponents(255, 255, 0));  // frame
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 103, 103), graphics::FromComponents(0, 0, 255));    // fill
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 99, 99), graphics::kWhite);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 164, 164), graphics::kWhite);
  // Highlighted: everything brighter.
  graphics::DrawIcon(v, a, graphics::ICON_STATE_HIGHLIGHT);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 103, 103), graphics::FromComponents(40, 40, 255));
  // A missing picture file draws nothing and breaks nothing.
  a.text = "$bmp:no-such-file.bmp";
  graphics::DrawIcon(v, a, 0);
}

}  // namespace
}  // namespace vx::test
