// Banks: layout, lookup, extension, the dirty rectangle and the bank-wide
// operations.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

using graphics::DirtyRect;
using graphics::Vram;

TEST(BankLayout, RowsAreBottomUpAndPixelsBlueGreenRed) {
  Vram v;
  std::uint8_t* bank = v.Current();
  ASSERT_NE(bank, nullptr);
  graphics::Canvas canvas = graphics::Canvas::Current(v);
  canvas.Plot(0, 0, graphics::Paint{graphics::FromComponents(0x11, 0x22, 0x33)});
  canvas.Plot(2599, 1999, graphics::Paint{graphics::FromComponents(0x44, 0x55, 0x66)});
  // Script row 0 is the last row in memory.
  const std::uint8_t* top_left = bank + 1999 * graphics::VRAM_ROW_BYTES;
  EXPECT_EQ(top_left[0], 0x33);
  EXPECT_EQ(top_left[1], 0x22);
  EXPECT_EQ(top_left[2], 0x11);
  const std::uint8_t* bottom_right = bank + 2599 * 3;
  EXPECT_EQ(bottom_right[0], 0x66);
  EXPECT_EQ(bottom_right[2], 0x44);
  EXPECT_EQ(graphics::VRAM_BANK_BYTES, 15'600'000u);
}

TEST(BankLookup, StaticBanksNegativeIndexAndMissingBanks) {
  Vram v;
  EXPECT_EQ(v.BankCount(), 6);
  EXPECT_EQ(v.CurrentIndex(), 5);
  for (int i = 0; i < 6; ++i) EXPECT_NE(v.Bank(i), nullptr) << i;
  EXPECT_EQ(v.Bank(-1), v.Bank(5));
  EXPECT_EQ(v.Bank(-1000), v.Bank(5));
  EXPECT_EQ(v.Bank(6), nullptr);
  EXPECT_EQ(v.Bank(1 << 30), nullptr);
  // Fresh banks are black.
  EXPECT_EQ(graphics::ReadPixel(v.Bank(2), 100, 100), graphics::kBlack);
  EXPECT_TRUE(v.Select(0));
  EXPECT_EQ(v.Bank(-1), v.Bank(0));
  EXPECT_FALSE(v.Select(6));
  EXPECT_TRUE(v.Select(-1));  // the current bank
  EXPECT_EQ(v.CurrentIndex(), 0);
}

TEST(BankExtension, GrowsReplacesAndFallsBackAfterFailure) {
  Vram v;
  EXPECT_EQ(v.Extend(3), 1);  // below the count: nothing to do
  EXPECT_EQ(v.BankCount(), 6);
  EXPECT_EQ(v.Extend(7), 1);
  EXPECT_EQ(v.BankCount(), 8);
  ASSERT_NE(v.Bank(7), nullptr);
  EXPECT_EQ(v.Bank(8), nullptr);
  EXPECT_EQ(v.Bank(7) - v.Bank(6), static_cast<std::ptrdiff_t>(graphics::VRAM_BANK_BYTES));
  ASSERT_TRUE(v.Select(7));
  EXPECT_EQ(v.Extend(7), 1);  // still below the count
  // An extension that cannot be had leaves the static banks only, and the
  // current bank that lived in the old extension falls back to 5.
  EXPECT_EQ(v.Extend(graphics::VRAM_BANK_INDEX_MAX + 1), 0);
  EXPECT_EQ(v.BankCount(), 6);
  EXPECT_EQ(v.Bank(6), nullptr);
  EXPECT_EQ(v.CurrentIndex(), 5);
  EXPECT_NE(v.Current(), nullptr);
  EXPECT_EQ(v.Extend(9), 1);
  EXPECT_EQ(v.BankCount(), 10);
}

TEST(DirtyRectangle, StartsEmptyBecomesTheAreaAndGrows) {
  Vram v;
  EXPECT_FALSE(v.dirty.NonEmpty());
  EXPECT_FALSE(v.redraw_needed);
  v.MarkDirty(10, 20, 5, 6);
  EXPECT_EQ(v.dirty, (DirtyRect{10, 20, 15, 26}));
  EXPECT_TRUE(v.redraw_needed);
  v.MarkDirty(100, 5, 1, 1);
  EXPECT_EQ(v.dirty, (DirtyRect{10, 5, 101, 26}));
  v.EmptyDirty();
  EXPECT_EQ(v.dirty, (DirtyRect{2599, 1999, 0, 0}));
}

TEST(DirtyRectangle, EdgesOutsideTheSurfaceGoToTheirSide) {
  Vram v;
  v.MarkDirty(-5, -7, 20, 30);
  EXPECT_EQ(v.dirty, (DirtyRect{0, 0, 15, 23}));
  v.EmptyDirty();
  v.MarkDirty(2590, 1990, 50, 50);
  EXPECT_EQ(v.dirty, (DirtyRect{2590, 1990, 2599, 1999}));
  v.EmptyDirty();
  // An area wholly to the right: its left edge is outside too, and goes to 0.
  v.MarkDirty(3000, 10, 10, 10);
  EXPECT_EQ(v.dirty, (DirtyRect{0, 10, 2599, 20}));
  v.EmptyDirty();
  v.MarkDirty(10, -100, 10, 50);  // bottom -50 is outside: last row
  EXPECT_EQ(v.dirty, (DirtyRect{10, 0, 20, 1999}));
  v.EmptyDirty();
  v.MarkDirty(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX);
  EXPECT_EQ(v.dirty, (DirtyRect{0, 0, 2599, 1999}));
}

TEST(Mix, ComponentArithmeticAtTheFixedRatios) {
  using graphics::MixComponent;
  // 50: the average (truncated).
  EXPECT_EQ(MixComponent(100, 201, 50), 150);
  EXPECT_EQ(MixComponent(0, 255, 50), 127);
  // 100: A + B - 255, clamped: a dark and a light picture give their overlap.
  EXPECT_EQ(MixComponent(200, 100, 100), 45);
  EXPECT_EQ(MixComponent(255, 30, 100), 30);
  EXPECT_EQ(MixComponent(10, 20, 100), 0);
  // Below 0: A + B x r / 100, truncated toward zero.
  EXPECT_EQ(MixComponent(100, 50, -50), 75);
  EXPECT_EQ(MixComponent(10, 15, -50), 3);  // 10 + (-7)
  EXPECT_EQ(MixComponent(10, 200, -50), 0);
  // Above 100: A + B x (r - 100) / 100.
  EXPECT_EQ(MixComponent(100, 50, 150), 125);
  EXPECT_EQ(MixComponent(200, 200, 150), 255);
  // The other ratios below 100 weigh B by 100 - r and A by r.
  EXPECT_EQ(MixComponent(100, 0, 0), 0);
  EXPECT_EQ(MixComponent(100, 0, 99), 99);
  EXPECT_EQ(MixComponent(255, 255, 25), 255);
}

TEST(Mix, StaticBanksOnlyAndTheRectangleInsideTheSurface) {
  Vram v;
  graphics::FillBank(v.Bank(0), graphics::FromComponents(100, 0, 200));
  graphics::FillBank(v.Bank(1), graphics::FromComponents(200, 255, 100));
  graphics::FillBank(v.Bank(5), graphics::kBlack);
  ASSERT_TRUE(graphics::MixBanks(v, -1, 0, 1, 50, PixelRect{10, 10, 19, 19}));
  EXPECT_EQ(graphics::ReadPixel(v.Bank(5), 10, 10), graphics::FromComponents(150, 127, 150));
  EXPECT_EQ(graphics::ReadPixel(v.Bank(5), 19, 19), graphics::FromComponents(150, 127, 150));
  EXPECT_EQ(graphics::ReadPixel(v.Bank(5), 20, 19), graphics::kBlack);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(5), 9, 10), graphics::kBlack);
  EXPECT_TRUE(v.dirty.NonEmpty());  // bank 5 is current
  ASSERT_TRUE(graphics::MixBanks(v, 2, 0, 1, 100, PixelRect{0, 0, 2599, 1999}));
  EXPECT_EQ(graphics::ReadPixel(v.Bank(2), 2599, 1999), graphics::FromComponents(45, 0, 45));
  // Refused: a bank above 5, a rectangle reaching out of the surface.
  ASSERT_EQ(v.Extend(6), 1);
  EXPECT_FALSE(graphics::MixBanks(v, 6, 0, 1, 50, PixelRect{0, 0, 9, 9}));
  EXPECT_FALSE(graphics::MixBanks(v, 2, 6, 1, 50, PixelRect{0, 0, 9, 9}));
  EXPECT_FALSE(graphics::MixBanks(v, 2, 0, 1, 50, PixelRect{-1, 0, 9, 9}));
  EXPECT_FALSE(graphics::MixBanks(v, 2, 0, 1, 50, PixelRect{2590, 0, 2600, 9}));
  EXPECT_FALSE(graphics::MixBanks(v, 2, 0, 1, 50, PixelRect{0, 1995, 9, 2000}));
}

TEST(WholeBank, ClearBackUpRestoreAndShift) {
  Vram v;
  graphics::ClearCurrent(v, graphics::FromComponents(1, 2, 3));
  EXPECT_EQ(v.dirty, (DirtyRect{0, 0, 2599, 1999}));
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 1234, 567), graphics::FromComponents(1, 2, 3));
  EXPECT_TRUE(graphics::BackUpCurrent(v, 0));
  EXPECT_EQ(std::memcmp(v.Bank(0), v.Bank(5), graphics::VRAM_BANK_BYTES), 0);
  EXPECT_FALSE(graphics::BackUpCurrent(v, 6));
  graphics::ClearCurrent(v, graphics::kWhite);
  v.EmptyDirty();
  v.redraw_needed = false;
  EXPECT_FALSE(graphics::RestoreCurrent(v, 6));
  EXPECT_FALSE(v.redraw_needed);
  EXPECT_TRUE(graphics::RestoreCurrent(v, 0));
  EXPECT_TRUE(v.redraw_needed);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 0, 0), graphics::FromComponents(1, 2, 3));

  graphics::Canvas c = graphics::Canvas::Current(v);
  c.Plot(10, 10, graphics::Paint{graphics::kBlack});
  graphics::ShiftCurrent(v, 5, -3, graphics::kWhite);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 15, 7), graphics::kBlack);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 10, 10), graphics::FromComponents(1, 2, 3));
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 4, 100), graphics::kWhite);   // uncovered left
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 5, 100), graphics::FromComponents(1, 2, 3));
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 100, 1997), graphics::kWhite);  // uncovered bottom
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 100, 1996), graphics::FromComponents(1, 2, 3));
  graphics::ShiftCurrent(v, 0, 5000, graphics::kBlack);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 100, 100), graphics::kBlack);
}

TEST(Clip, IsKeptInsideTheSurface) {
  Vram v;
  v.SetClip(PixelRect{-50, 10, 5000, 20});
  EXPECT_EQ(v.Clip(), (PixelRect{0, 10, 2599, 20}));
  v.ResetClip();
  EXPECT_EQ(v.Clip(), (PixelRect{0, 0, 2599, 1999}));
  // A canvas never reaches beyond the bank whatever it is given.
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  graphics::Canvas c(bank.data(), PixelRect{-10, -10, 9000, 9000});
  EXPECT_EQ(c.ClipRect(), (PixelRect{0, 0, 2599, 1999}));
}

}  // namespace
}  // namespace vx::test
