// Banks held as one colour: every way of reading them sees that colour
// without writing them, the first write gives them their memory exactly
// once, and extension and bank switching keep what each bank holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "graphics/bmp.hpp"
#include "graphics/canvas.hpp"
#include "graphics/png_writer.hpp"
#include "graphics/vram.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::PixelRect;
using graphics::Vram;

constexpr Color kTeal{0x80, 0x70, 0x10};  // blue, green, red: not a grey

std::string PngOf(const graphics::BankPixels& bank, int width, int height) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(graphics::WritePng(file, bank, width, height));
  std::string bytes;
  std::rewind(file);
  char block[4096];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
  std::fclose(file);
  return bytes;
}

// A bank with its own memory that holds `c` all over, for comparison.
void FillMaterialised(Vram& v, int index, Color c) {
  graphics::FillBank(v.Bank(index), c);
  ASSERT_FALSE(v.UniformColour(index).has_value());
}

TEST(LazyBank, FreshBanksAreBlackAndCostNothingToRead) {
  Vram v;
  for (int i = 0; i < graphics::VRAM_STATIC_BANKS; ++i) {
    ASSERT_TRUE(v.UniformColour(i).has_value()) << i;
    EXPECT_EQ(*v.UniformColour(i), graphics::kBlack);
    EXPECT_EQ(v.Pixels(i).At(2599, 0), graphics::kBlack);
  }
  EXPECT_FALSE(v.UniformColour(6).has_value());  // no such bank
  EXPECT_FALSE(v.Pixels(6));
  EXPECT_EQ(v.Materialisations(), 0u);
}

TEST(LazyBank, EveryReaderSeesTheClearColour) {
  Vram v;
  graphics::ClearCurrent(v, kTeal);
  EXPECT_EQ(v.UniformColour(-1), kTeal);
  const PixelRect area{3, 5, 41, 17};  // odd width: rows are padded
  Vram reference;
  FillMaterialised(reference, 5, kTeal);

  // Files and pictures of the bank match those of a bank written out.
  EXPECT_EQ(graphics::EncodeBmp(v.Pixels(-1), area), graphics::EncodeBmp(reference.Bank(5), area));
  EXPECT_EQ(graphics::EncodeDib(v.Pixels(-1), area), graphics::EncodeDib(reference.Bank(5), area));
  const PixelRect last_rows{2590, 1990, 2599, 1999};  // padding runs into the bank's end
  EXPECT_EQ(graphics::EncodeBmp(v.Pixels(-1), last_rows), graphics::EncodeBmp(reference.Bank(5), last_rows));
  EXPECT_EQ(PngOf(v.Pixels(-1), 37, 11), PngOf(reference.Bank(5), 37, 11));
  for (const auto& [x, y] : {std::pair{0, 0}, {2599, 1999}, {1300, 7}}) {
    EXPECT_EQ(v.Pixels(-1).At(x, y), kTeal);
  }
  // None of that wrote the bank.
  EXPECT_EQ(v.Materialisations(), 0u);
  EXPECT_TRUE(v.UniformColour(-1).has_value());
}

TEST(LazyBank, FirstWriteMaterialisesExactlyOnce) {
  Vram v;
  graphics::ClearCurrent(v, kTeal);
  std::uint8_t* bank = v.Current();
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(v.Materialisations(), 1u);
  EXPECT_FALSE(v.UniformColour(-1).has_value());
  EXPECT_EQ(graphics::ReadPixel(bank, 0, 0), kTeal);
  EXPECT_EQ(graphics::ReadPixel(bank, 2599, 1999), kTeal);

  // Drawing, then asking again: the drawing stays, nothing is filled again.
  graphics::Canvas canvas = graphics::Canvas::Current(v);
  canvas.Plot(10, 20, graphics::Paint{graphics::kWhite});
  EXPECT_EQ(v.Current(), bank);
  EXPECT_EQ(v.Bank(5), bank);
  EXPECT_EQ(v.Materialisations(), 1u);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 10, 20), graphics::kWhite);
  EXPECT_EQ(v.Pixels(-1).At(10, 20), graphics::kWhite);

  // A black fresh bank needs no filling but counts as written out once.
  std::uint8_t* black = v.Bank(0);
  EXPECT_EQ(graphics::ReadPixel(black, 5, 5), graphics::kBlack);
  EXPECT_EQ(v.Materialisations(), 2u);

  // Clearing again holds the colour; the next write fills the old memory.
  graphics::ClearCurrent(v, graphics::kBlack);
  EXPECT_EQ(v.Pixels(-1).At(10, 20), graphics::kBlack);
  EXPECT_EQ(v.Current(), bank);
  EXPECT_EQ(graphics::ReadPixel(bank, 10, 20), graphics::kBlack);
  EXPECT_EQ(graphics::ReadPixel(bank, 11, 20), graphics::kBlack);
  EXPECT_EQ(v.Materialisations(), 3u);
}

TEST(LazyBank, BackupAndRestoreCarryOneColourWithoutWriting) {
  Vram v;
  graphics::ClearCurrent(v, kTeal);
  ASSERT_TRUE(graphics::BackUpCurrent(v, 2));
  EXPECT_EQ(v.UniformColour(2), kTeal);
  ASSERT_TRUE(v.Select(3));
  ASSERT_TRUE(graphics::RestoreCurrent(v, 2));
  EXPECT_EQ(v.UniformColour(3), kTeal);
  EXPECT_EQ(v.Materialisations(), 0u);

  // A drawn bank backs up as its pixels, over a target held as one colour.
  graphics::Canvas::Current(v).Plot(7, 8, graphics::Paint{graphics::kWhite});
  ASSERT_TRUE(graphics::BackUpCurrent(v, 1));
  EXPECT_FALSE(v.UniformColour(1).has_value());
  EXPECT_EQ(graphics::ReadPixel(v.Bank(1), 7, 8), graphics::kWhite);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(1), 8, 8), kTeal);
}

TEST(LazyBank, SwitchingAndExtensionKeepWhatEachBankHolds) {
  Vram v;
  graphics::ClearCurrent(v, kTeal);                                      // bank 5: one colour
  ASSERT_TRUE(v.Select(4));
  graphics::Canvas::Current(v).Plot(1, 2, graphics::Paint{kTeal});        // bank 4: drawn
  ASSERT_EQ(v.Extend(9), 1);
  ASSERT_TRUE(v.Select(8));
  EXPECT_EQ(v.UniformColour(-1), graphics::kBlack);  // extension banks start black
  graphics::ClearCurrent(v, graphics::kWhite);
  graphics::Canvas::Current(v).Plot(0, 0, graphics::Paint{graphics::kBlack});
  ASSERT_TRUE(v.Select(7));
  graphics::ClearCurrent(v, kTeal);

  EXPECT_EQ(v.UniformColour(5), kTeal);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(4), 1, 2), kTeal);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(4), 2, 2), graphics::kBlack);
  EXPECT_EQ(v.Pixels(8).At(0, 0), graphics::kBlack);
  EXPECT_EQ(v.Pixels(8).At(1, 0), graphics::kWhite);
  EXPECT_EQ(v.UniformColour(7), kTeal);

  // A new extension replaces the old one: its banks start black again,
  // while the static banks keep their pictures.
  ASSERT_EQ(v.Extend(12), 1);
  EXPECT_EQ(v.UniformColour(7), graphics::kBlack);
  EXPECT_EQ(v.UniformColour(8), graphics::kBlack);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(8), 0, 0), graphics::kBlack);
  EXPECT_EQ(v.UniformColour(5), kTeal);
  EXPECT_EQ(graphics::ReadPixel(v.Bank(4), 1, 2), kTeal);

  // A failed extension leaves the static banks and no others.
  EXPECT_EQ(v.Extend(graphics::VRAM_BANK_INDEX_MAX + 1), 0);
  EXPECT_EQ(v.CurrentIndex(), graphics::VRAM_INITIAL_BANK);
  EXPECT_FALSE(v.UniformColour(7).has_value());
  EXPECT_FALSE(v.ClearBank(7, kTeal));
  EXPECT_EQ(v.UniformColour(5), kTeal);
}

TEST(LazyBank, ShiftingEverythingOutHoldsTheFillColour) {
  Vram v;
  graphics::Canvas::Current(v).Plot(5, 5, graphics::Paint{graphics::kWhite});
  graphics::ShiftCurrent(v, graphics::VRAM_WIDTH, 0, kTeal);
  EXPECT_EQ(v.UniformColour(-1), kTeal);
  EXPECT_EQ(graphics::ReadPixel(v.Current(), 5, 5), kTeal);
}

}  // namespace
}  // namespace vx::test
