// What a bank holds besides its clear colour: every pixel outside the
// drawn part has that colour whichever way the bank was written, writing a
// cleared bank out again leaves nothing of the old picture, the BMP loader
// reports the rows it placed, and file reads in any order give the file's
// bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "graphics/byte_source.hpp"
#include "graphics/bmp.hpp"
#include "graphics/picture_files.hpp"
#include "graphics/vram.hpp"
#include "image_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::PixelRect;
using graphics::Vram;
using graphics::VRAM_HEIGHT;
using graphics::VRAM_WIDTH;

constexpr Color kTeal{0x80, 0x70, 0x10};  // blue, green, red: not a grey
constexpr Color kWhite{255, 255, 255};
constexpr PixelRect kWholeBank{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};

// Pixels outside the drawn part that differ from the clear colour; read
// without counting anything as drawn.
int StrayPixels(Vram& v, int index) {
  const Vram::Ground ground = v.GroundOf(index);
  const std::uint8_t* bank = v.BankTracked(index);
  int stray = 0;
  for (int y = 0; y < VRAM_HEIGHT; ++y) {
    for (int x = 0; x < VRAM_WIDTH; ++x) {
      const PixelRect& d = ground.drawn;
      if (!d.Empty() && x >= d.left && x <= d.right && y >= d.top && y <= d.bottom) continue;
      stray += graphics::ReadPixel(bank, x, y) != ground.colour;
    }
  }
  return stray;
}

void Paint(std::uint8_t* bank, const PixelRect& r, Color c) {
  for (int y = r.top; y <= r.bottom; ++y) {
    for (int x = r.left; x <= r.right; ++x) {
      std::uint8_t* p = graphics::PixelAt(bank, x, y);
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  }
}

TEST(BankDrawnPart, ClearedBanksHoldNothingDrawn) {
  Vram v;
  const Vram::Ground fresh = v.GroundOf(0);
  EXPECT_EQ(fresh.colour, graphics::kBlack);
  EXPECT_TRUE(fresh.drawn.Empty());
  ASSERT_TRUE(v.ClearBank(0, kTeal));
  EXPECT_EQ(v.GroundOf(0).colour, kTeal);
  EXPECT_TRUE(v.GroundOf(0).drawn.Empty());
  EXPECT_EQ(StrayPixels(v, 0), 0);
  // Reading counts nothing as drawn; asking for the memory to write without
  // telling what counts everything.
  v.BankTracked(0);
  EXPECT_TRUE(v.Pixels(0).memory != nullptr);
  EXPECT_TRUE(v.GroundOf(0).drawn.Empty());
  v.Bank(0);
  EXPECT_EQ(v.GroundOf(0).drawn, kWholeBank);
  // Extension banks start black with nothing drawn.
  ASSERT_EQ(v.Extend(7), 1);
  EXPECT_TRUE(v.GroundOf(7).drawn.Empty());
  EXPECT_EQ(v.GroundOf(7).colour, graphics::kBlack);
  EXPECT_EQ(StrayPixels(v, 7), 0);
}

TEST(BankDrawnPart, TrackedWritesAtTheEdgesAndClearsKeepTheBound) {
  Vram v;
  std::mt19937 random(3);
  const std::vector<PixelRect> edges = {{0, 0, 5, 2},
                                        {VRAM_WIDTH - 4, VRAM_HEIGHT - 3, VRAM_WIDTH - 1, VRAM_HEIGHT - 1},
                                        {VRAM_WIDTH - 1, 0, VRAM_WIDTH - 1, 9},
                                        {0, VRAM_HEIGHT - 1, 40, VRAM_HEIGHT - 1}};
  for (int round = 0; round < 6; ++round) {
    // Same colour again (only the drawn part rewritten), or another one,
    // grey or not.
    const Color clear = round % 3 == 2 ? kTeal : (round % 3 == 1 ? Color{9, 9, 9} : kWhite);
    ASSERT_TRUE(v.ClearBank(1, clear));
    EXPECT_EQ(StrayPixels(v, 1), 0) << round;
    EXPECT_TRUE(v.GroundOf(1).drawn.Empty());
    for (int i = 0; i < 3; ++i) {
      const PixelRect r = round < 2 ? edges[static_cast<std::size_t>((round * 3 + i) % 4)]
                                    : PixelRect{static_cast<int>(random() % 2000), static_cast<int>(random() % 1500),
                                                0, 0};
      const PixelRect area = round < 2 ? r : PixelRect{r.left, r.top, r.left + 300, r.top + 200};
      Paint(v.BankTracked(1), area, Color{static_cast<std::uint8_t>(round), 1, 2});
      v.AddDrawn(1, area);
      EXPECT_EQ(StrayPixels(v, 1), 0) << round << " " << i;
    }
    // Outside the bank is cut off; an empty rectangle adds nothing.
    const PixelRect before = v.GroundOf(1).drawn;
    v.AddDrawn(1, PixelRect{VRAM_WIDTH, 0, VRAM_WIDTH + 10, 5});
    v.AddDrawn(1, PixelRect{});
    EXPECT_EQ(v.GroundOf(1).drawn, before);
  }
  // A picture drawn without telling, then cleared to the same colour: all
  // of it goes when the bank is written out again.
  Paint(v.Bank(1), PixelRect{100, 100, 2500, 1900}, Color{1, 2, 3});
  ASSERT_TRUE(v.ClearBank(1, kTeal));
  v.BankTracked(1);
  EXPECT_TRUE(v.GroundOf(1).drawn.Empty());
  EXPECT_EQ(StrayPixels(v, 1), 0);
}

TEST(BankDrawnPart, CopiesBetweenBanksKeepTheBound) {
  Vram v;
  const PixelRect corner{VRAM_WIDTH - 10, VRAM_HEIGHT - 10, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};
  v.ClearBank(2, kWhite);
  Paint(v.BankTracked(2), corner, kTeal);
  v.AddDrawn(2, corner);
  ASSERT_TRUE(v.ClearBank(-1, kWhite));
  v.BankTracked(-1);
  ASSERT_TRUE(graphics::RestoreCurrent(v, 2));
  EXPECT_EQ(StrayPixels(v, -1), 0);
  EXPECT_EQ(graphics::ReadPixel(v.BankTracked(-1), VRAM_WIDTH - 1, VRAM_HEIGHT - 1), kTeal);
  // A one-colour current bank backs up as that colour over a drawn bank.
  ASSERT_TRUE(v.ClearBank(-1, kTeal));
  ASSERT_TRUE(graphics::BackUpCurrent(v, 2));
  EXPECT_TRUE(v.GroundOf(2).drawn.Empty());
  EXPECT_EQ(StrayPixels(v, 2), 0);
}

TEST(BmpPlacement, PlacedRowsAreReportedAtEveryEdge) {
  // A 7 x 5 picture of distinct pixels, loaded partly off each edge.
  std::vector<std::uint8_t> source(graphics::VRAM_BANK_BYTES, 255);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      std::uint8_t* p = graphics::PixelAt(source.data(), x, y);
      p[0] = static_cast<std::uint8_t>(x * 30), p[1] = static_cast<std::uint8_t>(y * 40), p[2] = 7;
    }
  }
  const std::string bmp = graphics::EncodeBmp(graphics::BankPixels(source.data()), PixelRect{0, 0, 6, 4});
  struct Case {
    int x, y, max_w, max_h;
    PixelRect placed;
  };
  const std::vector<Case> cases = {
      {0, 0, 100, 100, {0, 0, 6, 4}},
      {-3, -2, 100, 100, {0, 0, 3, 2}},
      {VRAM_WIDTH - 4, VRAM_HEIGHT - 2, 100, 100, {VRAM_WIDTH - 4, VRAM_HEIGHT - 2, VRAM_WIDTH - 1, VRAM_HEIGHT - 1}},
      {10, 10, 3, 2, {10, 10, 12, 11}},
      {VRAM_WIDTH, 0, 100, 100, {}},
      {0, -5, 100, 100, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
    graphics::SpanSource file(bmp);
    const graphics::BmpLoadResult r =
        graphics::LoadBmp(file, graphics::Surface{bank.data()}, c.x, c.y, c.max_w, c.max_h);
    EXPECT_EQ(r.status, graphics::BmpLoadStatus::kOk);
    EXPECT_EQ(r.placed, c.placed) << c.x << "," << c.y;
    // Nothing outside the reported rows changed.
    int outside = 0;
    for (int y = 0; y < VRAM_HEIGHT; ++y) {
      for (int x = 0; x < VRAM_WIDTH; ++x) {
        const PixelRect& p = c.placed;
        if (!p.Empty() && x >= p.left && x <= p.right && y >= p.top && y <= p.bottom) continue;
        outside += graphics::ReadPixel(bank.data(), x, y) != kWhite;
      }
    }
    EXPECT_EQ(outside, 0) << c.x << "," << c.y;
  }
}

TEST(FileSourceReads, AnyOrderGivesTheFilesBytes) {
  PictureDir dir;
  const std::string path = dir.File("bytes.bin");
  std::vector<std::uint8_t> bytes(100000);
  std::mt19937 random(9);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);

  graphics::FileSource source(path);
  ASSERT_TRUE(source.Ok());
  std::uint64_t offset = 0;
  for (int i = 0; i < 400; ++i) {
    // Mostly reads that continue the last one, now and then the same bytes
    // again or a jump back or ahead, and reads running past the end.
    if (random() % 4 == 0) offset = random() % (bytes.size() + 50);
    std::vector<std::uint8_t> out(1 + random() % 3000, 0xEE);
    const std::size_t n = source.ReadAt(offset, out);
    const std::size_t expected = offset >= bytes.size() ? 0 : std::min(out.size(), bytes.size() - offset);
    ASSERT_EQ(n, expected) << i;
    ASSERT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n),
                           bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(offset, bytes.size()))))
        << i;
    if (random() % 8 != 0) offset += n;  // else the same bytes again
  }
}

}  // namespace
}  // namespace vx::test
