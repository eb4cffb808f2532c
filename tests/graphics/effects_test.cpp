// Picture operations: blur, brighten, bevels, outlines, shadows, copies
// between banks, hue turns, and the PNG output.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "graphics/effects.hpp"
#include "graphics/png_writer.hpp"
#include "graphics/shapes.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Point;

class EffectsTest : public BankTest {};

TEST_F(EffectsTest, SoftenTouchesEdgesOnlyAndBlurAverages) {
  auto c = Whole();
  graphics::FillRect(c, PixelRect{10, 10, 19, 19}, kPen);
  graphics::SoftenEdges(c, PixelRect{0, 0, 40, 40});
  EXPECT_EQ(At(15, 15), kInk);    // flat inside
  EXPECT_EQ(At(30, 30), kPaper);  // flat outside
  EXPECT_FALSE(At(10, 15) == kInk);
  EXPECT_FALSE(At(9, 15) == kPaper);
  graphics::FillBank(Bank(), kPaper);
  c.Plot(100, 100, graphics::Paint{graphics::kBlack});
  graphics::BoxBlur(c, PixelRect{90, 90, 110, 110}, 1);
  // 8 paper pixels and one black, averaged and rounded.
  const std::uint8_t expect = static_cast<std::uint8_t>((8 * 0xEE + 4) / 9);
  EXPECT_EQ(At(99, 99), (Color{expect, expect, expect}));
  EXPECT_EQ(At(101, 101), (Color{expect, expect, expect}));
  EXPECT_EQ(At(102, 102), kPaper);
  // A kept pixel stays sharp.
  c.Plot(200, 200, graphics::Paint{graphics::kBlack});
  graphics::BoxBlur(c, PixelRect{190, 190, 210, 210}, 2,
                    [](int y) { return y == 200 ? graphics::SharpSpan{200, 200} : graphics::SharpSpan{}; });
  EXPECT_EQ(At(200, 200), graphics::kBlack);
}

TEST_F(EffectsTest, AddColourClampsAndBevelsLightTopLeft) {
  auto c = Whole();
  graphics::AddColour(c, PixelRect{0, 0, 9, 9}, graphics::FromComponents(0x20, 0x20, 0x20), false);
  EXPECT_EQ(At(5, 5), (Color{0xFF, 0xFF, 0xFF}));
  graphics::AddColour(c, PixelRect{0, 0, 9, 9}, graphics::FromComponents(0x10, 0, 0), true);
  EXPECT_EQ(At(5, 5), (Color{0xFF, 0xFF, 0xEF}));
  graphics::FillBank(Bank(), graphics::FromComponents(100, 100, 100));
  graphics::Bevel(c, PixelRect{100, 100, 139, 139}, 3, 50, false, false);
  EXPECT_EQ(At(101, 120), graphics::FromComponents(150, 150, 150));
  EXPECT_EQ(At(138, 120), graphics::FromComponents(50, 50, 50));
  EXPECT_EQ(At(120, 120), graphics::FromComponents(100, 100, 100));
  EXPECT_EQ(At(139, 100), graphics::FromComponents(150, 150, 150));  // the diagonal is lit
  graphics::Bevel(c, PixelRect{200, 200, 239, 239}, 4, 80, true, true);
  EXPECT_EQ(At(200, 220), graphics::FromComponents(20, 20, 20));   // sunken, outermost
  EXPECT_EQ(At(203, 220), graphics::FromComponents(80, 80, 80));   // fades inwards
}

TEST_F(EffectsTest, OutlinesEdgesAndShadows) {
  auto c = Whole();
  graphics::FillRect(c, PixelRect{50, 50, 59, 59}, kPen);
  const Color red = graphics::FromComponents(255, 0, 0);
  graphics::OutlineShapes(c, PixelRect{0, 0, 100, 100}, kPaper, 2, red);
  EXPECT_EQ(At(49, 49), red);
  EXPECT_EQ(At(48, 55), red);
  EXPECT_EQ(At(47, 55), kPaper);
  EXPECT_EQ(At(55, 55), kInk);
  // Thicker outlines reach every pixel within that chessboard distance.
  graphics::FillBank(Bank(), kPaper);
  c.Plot(300, 300, kPen);
  graphics::OutlineShapes(c, PixelRect{200, 200, 400, 400}, kPaper, 5, red);
  EXPECT_EQ(Changed(PixelRect{200, 200, 400, 400}).size(), 121u);
  EXPECT_EQ(At(295, 305), red);
  EXPECT_EQ(At(294, 300), kPaper);

  graphics::FillBank(Bank(), kPaper);
  graphics::FillRect(c, PixelRect{10, 10, 19, 19}, kPen);
  const std::int64_t edges = graphics::DetectEdges(c, PixelRect{0, 0, 29, 29}, 10, graphics::kBlack, graphics::kWhite);
  EXPECT_EQ(At(9, 15), graphics::kBlack);
  EXPECT_EQ(At(19, 15), graphics::kBlack);
  EXPECT_EQ(At(15, 15), graphics::kWhite);
  EXPECT_EQ(edges, 39);  // 4 sides of 10, the corner (19, 19) once

  graphics::FillBank(Bank(), kPaper);
  graphics::FillRect(c, PixelRect{10, 10, 19, 19}, kPen);
  graphics::DropShadow(c, PixelRect{0, 0, 40, 40}, 3, 3, kPaper);
  EXPECT_EQ(At(22, 22), (Color{0x77, 0x77, 0x77}));
  EXPECT_EQ(At(23, 23), kPaper);
  EXPECT_EQ(At(15, 15), kInk);
}

TEST_F(EffectsTest, CopiesBetweenBanksHonourTransparencyAndMasks) {
  std::vector<std::uint8_t> other(graphics::VRAM_BANK_BYTES);
  graphics::FillBank(other.data(), graphics::kWhite);
  graphics::Canvas src(other.data(), PixelRect{0, 0, 2599, 1999});
  src.Span(5, 0, 9, graphics::Paint{graphics::kBlack});
  auto c = Whole();
  const Color white = graphics::kWhite;
  graphics::Overlay(c, other.data(), PixelRect{0, 0, 9, 9}, Point{100, 100}, &white);
  EXPECT_EQ(At(100, 105), graphics::kBlack);
  EXPECT_EQ(At(100, 104), kPaper);
  graphics::Overlay(c, other.data(), PixelRect{0, 0, 9, 9}, Point{200, 200}, nullptr);
  EXPECT_EQ(At(200, 204), graphics::kWhite);
  // NOT AND: white in the mask clears, black keeps.
  graphics::NotAnd(c, other.data(), PixelRect{0, 0, 9, 9}, Point{300, 300});
  EXPECT_EQ(At(300, 300), graphics::kBlack);
  EXPECT_EQ(At(300, 305), kPaper);
  // Overlapping copies within one bank read the original pixels.
  graphics::FillRect(c, PixelRect{500, 500, 509, 500}, kPen);
  graphics::Overlay(c, Bank(), PixelRect{500, 500, 509, 509}, Point{502, 500}, nullptr);
  EXPECT_TRUE(Inked(502, 500));
  EXPECT_TRUE(Inked(511, 500));
  // Sources beyond the bank are cut, not read.
  graphics::Overlay(c, other.data(), PixelRect{2590, 1990, 2700, 2100}, Point{0, 0}, nullptr);
}

TEST_F(EffectsTest, ProjectionMapsCornersAndLiftMovesThePicture) {
  std::vector<std::uint8_t> other(graphics::VRAM_BANK_BYTES);
  graphics::FillBank(other.data(), graphics::FromComponents(0, 0, 255));
  graphics::Canvas src(other.data(), PixelRect{0, 0, 2599, 1999});
  src.Plot(0, 0, graphics::Paint{graphics::FromComponents(255, 0, 0)});
  src.Plot(99, 99, graphics::Paint{graphics::FromComponents(0, 255, 0)});
  auto c = Whole();
  const std::array<Point, 4> quad{Point{1000, 1000}, Point{1199, 1000}, Point{1199, 1199}, Point{1000, 1199}};
  ASSERT_TRUE(graphics::ProjectQuad(c, other.data(), PixelRect{0, 0, 99, 99}, quad));
  EXPECT_EQ(At(1000, 1000), graphics::FromComponents(255, 0, 0));
  EXPECT_EQ(At(1199, 1199), graphics::FromComponents(0, 255, 0));
  EXPECT_EQ(At(1100, 1100), graphics::FromComponents(0, 0, 255));
  EXPECT_EQ(At(999, 1000), kPaper);
  const std::array<Point, 4> trapezoid{Point{1500, 100}, Point{1600, 100}, Point{1700, 300}, Point{1400, 300}};
  EXPECT_TRUE(graphics::ProjectQuad(c, other.data(), PixelRect{0, 0, 99, 99}, trapezoid));
  EXPECT_EQ(At(1550, 200), graphics::FromComponents(0, 0, 255));
  EXPECT_EQ(At(1450, 150), kPaper);
  const std::array<Point, 4> flat{Point{0, 0}, Point{0, 0}, Point{0, 0}, Point{0, 0}};
  EXPECT_FALSE(graphics::ProjectQuad(c, other.data(), PixelRect{0, 0, 99, 99}, flat));

  graphics::FillBank(Bank(), kPaper);
  graphics::FillRect(c, PixelRect{100, 100, 119, 119}, kPen);
  const PixelRect moved = graphics::Lift(c, PixelRect{100, 100, 119, 119}, 4);
  EXPECT_EQ(moved, (PixelRect{96, 96, 119, 119}));
  EXPECT_TRUE(Inked(96, 96));
  EXPECT_TRUE(Inked(115, 115));
  EXPECT_EQ(At(118, 118), (Color{0x18, 0x10, 0x08}));  // the uncovered strip, darkened
}

TEST_F(EffectsTest, HueTurnsAndPalette) {
  auto c = Whole();
  c.Plot(0, 0, graphics::Paint{graphics::FromComponents(255, 0, 0)});
  c.Plot(1, 0, graphics::Paint{graphics::FromComponents(10, 20, 30)});
  graphics::RotateHue(c, PixelRect{0, 0, 1, 0}, 120);
  EXPECT_EQ(At(0, 0), graphics::FromComponents(0, 255, 0));
  EXPECT_EQ(At(1, 0), graphics::FromComponents(30, 10, 20));
  graphics::RotateHue(c, PixelRect{0, 0, 1, 0}, -120);
  EXPECT_EQ(At(0, 0), graphics::FromComponents(255, 0, 0));
  graphics::RotateHue(c, PixelRect{0, 0, 0, 0}, 60);
  EXPECT_EQ(At(0, 0), graphics::FromComponents(255, 255, 0));
  Color p;
  ASSERT_TRUE(graphics::PaletteColour(9, &p));
  EXPECT_EQ(p, graphics::FromComponents(255, 0, 0));
  ASSERT_TRUE(graphics::PaletteColour(16 + 5 * 36 + 3 * 6 + 1, &p));
  EXPECT_EQ(p, graphics::FromComponents(255, 153, 51));
  ASSERT_TRUE(graphics::PaletteColour(255, &p));
  EXPECT_EQ(p, graphics::FromComponents(238, 238, 238));
  EXPECT_FALSE(graphics::PaletteColour(256, &p));
  EXPECT_FALSE(graphics::PaletteColour(-1, &p));
}

TEST_F(EffectsTest, PngHoldsTheTopLeftOfTheBankInRgb) {
  auto c = Whole();
  c.Plot(0, 0, graphics::Paint{graphics::FromComponents(0x11, 0x22, 0x33)});
  c.Plot(4, 2, graphics::Paint{graphics::FromComponents(0xAA, 0xBB, 0xCC)});
  const std::string path = (std::filesystem::temp_directory_path() / "vexmora_png_test.png").string();
  ASSERT_TRUE(graphics::WritePngFile(path, Bank(), 5, 3));
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(image.width, 5u);
  EXPECT_EQ(image.height, 3u);
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(rgb[0], 0x11);
  EXPECT_EQ(rgb[1], 0x22);
  EXPECT_EQ(rgb[2], 0x33);
  const std::size_t at = (2 * 5 + 4) * 3;
  EXPECT_EQ(rgb[at], 0xAA);
  EXPECT_EQ(rgb[at + 2], 0xCC);
  EXPECT_EQ(rgb[3], kPaper.r);
  std::filesystem::remove(path);
  EXPECT_FALSE(graphics::WritePngFile("/nonexistent-dir/x.png", Bank(), 5, 3));
  EXPECT_FALSE(graphics::WritePngFile(path, Bank(), 0, 3));
  EXPECT_TRUE(graphics::WritePngFile(path, Bank(), 99999, 99999));  // cut to the bank
  std::filesystem::remove(path);
}


// The box blur worked out pixel by pixel: each row averaged over the
// window cut to the area (rounded), then each column of those; kept pixels
// stay as they were.
std::vector<std::uint8_t> ReferenceBlur(const std::vector<std::uint8_t>& bank, const PixelRect& a, int r,
                                        const std::function<graphics::SharpSpan(int)>& sharp) {
  std::vector<std::uint8_t> out = bank;
  const int w = a.Width();
  const int h = a.Height();
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(w) * h * 3);
  auto at = [&](int x, int y, int c) -> std::uint8_t& { return rows[(static_cast<std::size_t>(y) * w + x) * 3 + c]; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        int n = 0;
        for (int t = std::max(x - r, 0); t <= std::min(x + r, w - 1); ++t, ++n) {
          sum += graphics::PixelAt(bank.data(), a.left + t, a.top + y)[c];
        }
        at(x, y, c) = static_cast<std::uint8_t>((sum + n / 2) / n);
      }
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (sharp) {
        const graphics::SharpSpan span = sharp(a.top + y);
        if (a.left + x >= span.left && a.left + x <= span.right) continue;
      }
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        int n = 0;
        for (int t = std::max(y - r, 0); t <= std::min(y + r, h - 1); ++t, ++n) sum += at(x, t, c);
        graphics::PixelAt(out.data(), a.left + x, a.top + y)[c] = static_cast<std::uint8_t>((sum + n / 2) / n);
      }
    }
  }
  return out;
}

class BlurTest : public BankTest {
 protected:
  BlurTest() {
    std::uint32_t seed = 2024;
    for (std::size_t i = 0; i < graphics::VRAM_BANK_BYTES; ++i) {
      Bank()[i] = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    }
  }
  // Blurs `area` on a canvas clipped to `clip` and compares every byte of
  // the bank with the reference.
  void Check(const PixelRect& area, const PixelRect& clip, int r,
             const std::function<graphics::SharpSpan(int)>& sharp = {}) {
    const std::vector<std::uint8_t> before(Bank(), Bank() + graphics::VRAM_BANK_BYTES);
    auto canvas = Clipped(clip);
    graphics::BoxBlur(canvas, area, r, sharp);
    const PixelRect a = graphics::Intersect(area, clip);
    const std::vector<std::uint8_t> want = a.Empty() ? before : ReferenceBlur(before, a, r, sharp);
    if (std::equal(want.begin(), want.end(), Bank())) return;
    for (std::size_t i = 0; i < want.size(); ++i) {
      const int pixel = static_cast<int>(i / 3);
      ASSERT_EQ(Bank()[i], want[i]) << "radius " << r << " at " << pixel % graphics::VRAM_WIDTH << ","
                                    << pixel / graphics::VRAM_WIDTH << " byte " << i % 3 << " area " << area.left << ","
                                    << area.top << "-" << area.right << "," << area.bottom;
    }
  }
};

TEST_F(BlurTest, EveryRadiusMatchesThePixelByPixelAverage) {
  const PixelRect whole{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1};
  for (int r = 1; r <= graphics::BLUR_RADIUS_MAX; ++r) {
    Check(PixelRect{5, 7, 5 + 22, 7 + 16}, whole, r);  // 23 x 17: every window cut at some radius
    Check(PixelRect{40, 3, 40 + 130, 3 + 2}, whole, r);  // wider than any window, three rows
  }
  // The largest sums: white with a few darker pixels, whose averages sit
  // just below a whole number.
  const PixelRect white{600, 600, 600 + 140, 600 + 140};
  for (int y = white.top; y <= white.bottom; ++y) std::memset(graphics::PixelAt(Bank(), white.left, y), 0xFF, 141 * 3);
  for (int i = 0; i < 141; i += 7) graphics::PixelAt(Bank(), white.left + i, white.top + (i * 5) % 141)[i % 3] = 254;
  for (int r = 1; r <= graphics::BLUR_RADIUS_MAX; ++r) Check(white, whole, r);
  // A single pixel, a single column and a single row.
  for (int r : {1, 2, 5}) {
    Check(PixelRect{300, 300, 300, 300}, whole, r);
    Check(PixelRect{310, 300, 310, 340}, whole, r);
    Check(PixelRect{320, 300, 400, 300}, whole, r);
  }
}

// Tall areas run as several bands of rows, which read the rows beyond their
// ends as they were before a neighbouring band blurred them.
TEST_F(BlurTest, TallAreasMatchAcrossBandsOfRows) {
  const PixelRect whole{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1};
  for (int r : {1, 2, 3, 4, 7, 16, 17, 40, 64}) Check(PixelRect{11, 1, 11 + 6, 1 + 1300}, whole, r);
  Check(PixelRect{0, 0, graphics::VRAM_WIDTH - 1, 600}, whole, 2);
}

// Areas cut by the canvas clip and by the bank, and kept sharp parts: a
// rectangle and a round spot, partly outside the area.
TEST_F(BlurTest, ClippedAreasAndKeptPartsMatch) {
  const PixelRect clip{100, 50, 260, 400};
  Check(PixelRect{60, 20, 150, 90}, clip, 3);
  Check(PixelRect{200, 350, 500, 700}, clip, 6);
  const PixelRect bank_edge{graphics::VRAM_WIDTH - 40, graphics::VRAM_HEIGHT - 30, graphics::VRAM_WIDTH + 60,
                            graphics::VRAM_HEIGHT + 10};
  Check(bank_edge, PixelRect{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1}, 5);
  const PixelRect sharp{120, 80, 180, 300};
  auto in_sharp = [&](int y) {
    return y >= sharp.top && y <= sharp.bottom ? graphics::SharpSpan{sharp.left, sharp.right} : graphics::SharpSpan{};
  };
  Check(PixelRect{100, 50, 200, 350}, clip, 2, in_sharp);
  // Spans reaching past the area on either side, or wholly outside it.
  auto wide = [](int y) { return graphics::SharpSpan{y % 3 == 0 ? -50 : 140, y % 5 == 0 ? 5000 : 150}; };
  Check(PixelRect{100, 50, 200, 350}, clip, 3, wide);
  auto outside = [](int y) { return graphics::SharpSpan{y, y + 2}; };
  Check(PixelRect{300, 50, 400, 90}, PixelRect{0, 0, 500, 500}, 2, outside);
  auto spot = [](int y) { return graphics::SpotSpan(graphics::Point{150, 200}, 40, y); };
  Check(PixelRect{90, 40, 250, 390}, clip, 4, spot);
  Check(PixelRect{130, 60, 140, 360}, clip, 9, spot);
}

// A spot's row spans hold exactly the pixels whose centres lie inside the
// disc of diameter 2 spot + 1, for small spots and for spots too large for
// 32-bit squares.
TEST(SpotSpan, HoldsExactlyThePixelsInsideTheDisc) {
  const graphics::Point centre{7, -3};
  for (int spot : {0, 1, 2, 3, 4, 7, 10, 31, 100}) {
    for (int y = centre.y - spot - 2; y <= centre.y + spot + 2; ++y) {
      const graphics::SharpSpan span = graphics::SpotSpan(centre, spot, y);
      for (int x = centre.x - spot - 2; x <= centre.x + spot + 2; ++x) {
        const std::int64_t dx = x - centre.x;
        const std::int64_t dy = y - centre.y;
        const bool inside = 4 * (dx * dx + dy * dy) < (2 * std::int64_t{spot} + 1) * (2 * std::int64_t{spot} + 1);
        ASSERT_EQ(x >= span.left && x <= span.right, inside) << "spot " << spot << " at " << x << "," << y;
      }
    }
  }
  const int huge = 1'000'000;
  const graphics::SharpSpan middle = graphics::SpotSpan(graphics::Point{0, 0}, huge, 0);
  EXPECT_EQ(middle.left, -huge);
  EXPECT_EQ(middle.right, huge);
  const graphics::SharpSpan top = graphics::SpotSpan(graphics::Point{0, 0}, huge, huge);
  // (2 huge + 1)^2 - 4 huge^2 = 4 huge + 1: 1000 pixels each side.
  EXPECT_EQ(top.left, -1000);
  EXPECT_EQ(top.right, 1000);
  EXPECT_GT(graphics::SpotSpan(graphics::Point{0, 0}, huge, huge - 1).right, 1000);
  EXPECT_GT(graphics::SpotSpan(graphics::Point{0, 0}, huge, huge + 1).left, graphics::SpotSpan(graphics::Point{0, 0}, huge, huge + 1).right);
}

}  // namespace
}  // namespace vx::test
