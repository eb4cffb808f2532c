// The QR reader's image steps against plain pixel-by-pixel versions of
// them, on image sizes that are not whole cells and on contents that take
// every branch of the local threshold; and the symbol search where the
// drawn part's edges cut through cells, and beside long bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "graphics/vram.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"
#include "recognition/symbols.hpp"

namespace vx::recognition {
namespace {

using Grey = std::vector<std::uint8_t>;

// The 3 x 3 average of the pixels inside, one pixel at a time.
Grey PlainSmoothed(const Grey& g, int w, int h) {
  Grey out(g.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int sum = 0, n = 0;
      for (int j = std::max(y - 1, 0); j <= std::min(y + 1, h - 1); ++j) {
        for (int i = std::max(x - 1, 0); i <= std::min(x + 1, w - 1); ++i) sum += g[static_cast<std::size_t>(j * w + i)], ++n;
      }
      out[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(sum / n);
    }
  }
  return out;
}

// The local threshold one cell and one pixel at a time: each 8 x 8 cell's
// level is its average, or for a flat cell half its darkest grey unless its
// upper, left and upper-left neighbours make it part of a dark area; a
// pixel is dark at or below the average level of the 5 x 5 cells around.
Grey PlainDark(const Grey& grey, int w, int h, int fixed, bool smooth) {
  const Grey g = smooth ? PlainSmoothed(grey, w, h) : grey;
  Grey dark(g.size(), 0);
  if (fixed > 0) {
    for (std::size_t i = 0; i < g.size(); ++i) dark[i] = g[i] < fixed ? 1 : 0;
    return dark;
  }
  constexpr int cell = 8;
  const int bw = (w + cell - 1) / cell, bh = (h + cell - 1) / cell;
  std::vector<int> level(static_cast<std::size_t>(bw * bh));
  auto at = [&](int bx, int by) -> int& { return level[static_cast<std::size_t>(by * bw + bx)]; };
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      int lo = 255, hi = 0, sum = 0, n = 0;
      for (int y = by * cell; y < std::min((by + 1) * cell, h); ++y) {
        for (int x = bx * cell; x < std::min((bx + 1) * cell, w); ++x) {
          const int v = g[static_cast<std::size_t>(y * w + x)];
          lo = std::min(lo, v), hi = std::max(hi, v), sum += v, ++n;
        }
      }
      int average = sum / n;
      if (hi - lo <= 24) {
        average = lo / 2;
        if (bx > 0 && by > 0) {
          const int around = (at(bx, by - 1) + 2 * at(bx - 1, by) + at(bx - 1, by - 1)) / 4;
          if (lo < around) average = around;
        }
      }
      at(bx, by) = average;
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int bx = x / cell, by = y / cell;
      int sum = 0, n = 0;
      for (int j = std::max(by - 2, 0); j <= std::min(by + 2, bh - 1); ++j) {
        for (int i = std::max(bx - 2, 0); i <= std::min(bx + 2, bw - 1); ++i) sum += at(i, j), ++n;
      }
      dark[static_cast<std::size_t>(y * w + x)] = g[static_cast<std::size_t>(y * w + x)] <= sum / n ? 1 : 0;
    }
  }
  return dark;
}

// Test pictures: noise, flat light and dark areas (the flat rule and its
// neighbours), a gradient, and hard-edged blocks of modules.
Grey TestImage(int kind, int w, int h, std::mt19937& random) {
  Grey g(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int v = 0;
      switch (kind) {
        case 0: v = static_cast<int>(random() % 256); break;
        case 1: v = (x / 11 + y / 13) % 3 == 0 ? 20 + static_cast<int>(random() % 10) : 230; break;
        case 2: v = (x * 255) / std::max(w - 1, 1); break;
        default: v = ((x / 3) ^ (y / 3)) % 2 == 0 ? 30 + static_cast<int>(random() % 40) : 200 + static_cast<int>(random() % 56);
      }
      g[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(v);
    }
  }
  return g;
}

TEST(QrImageSteps, GreyOfRowsAsPixelByPixel) {
  // Lengths around a blank stretch, rows of noise, of one colour, and of
  // one colour broken by one pixel at the stretch's end or just after it.
  std::mt19937 random(21);
  for (const int count : {0, 1, 15, 16, 17, UNIFORM_STRETCH - 1, UNIFORM_STRETCH, UNIFORM_STRETCH + 1, 1100, PLANE_WIDTH}) {
    for (int kind = 0; kind < 4; ++kind) {
      std::vector<std::uint8_t> bgr(static_cast<std::size_t>(count) * 3);
      for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = kind == 0 ? static_cast<std::uint8_t>(random()) : std::uint8_t(i % 3 * 70 + 40);
      const int odd = kind == 2 ? UNIFORM_STRETCH - 1 : UNIFORM_STRETCH;
      if (kind >= 2 && odd < count) bgr[static_cast<std::size_t>(odd) * 3 + 1] = 0;
      std::vector<std::uint8_t> grey(static_cast<std::size_t>(count) + 1, 7);
      GreyOfRow(bgr.data(), count, grey.data());
      int wrong = 0;
      for (int i = 0; i < count; ++i) wrong += grey[static_cast<std::size_t>(i)] != GreyOfBgr(&bgr[static_cast<std::size_t>(i) * 3]);
      EXPECT_EQ(wrong, 0) << count << " pixels, kind " << kind;
      EXPECT_EQ(grey[static_cast<std::size_t>(count)], 7) << "written past the row";
    }
  }
}

const std::vector<std::pair<int, int>> kSizes = {{1, 1},  {1, 6},  {6, 1},  {2, 2},   {3, 3},  {7, 5},
                                                 {8, 8},  {9, 17}, {40, 40}, {123, 61}, {200, 3}, {3, 90}};

TEST(QrImageSteps, SmoothingAsPixelByPixel) {
  std::mt19937 random(3);
  for (const auto& [w, h] : kSizes) {
    for (int kind = 0; kind < 4; ++kind) {
      const Grey g = TestImage(kind, w, h, random);
      EXPECT_EQ(SmoothedGrey(g, w, h), PlainSmoothed(g, w, h)) << w << "x" << h << " kind " << kind;
    }
  }
  // Every sum of nine greys, as the centre of a 3 x 3 image.
  for (int sum = 0; sum <= 9 * 255; ++sum) {
    Grey g(9, 0);
    for (int i = 0, left = sum; i < 9; ++i) {
      g[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::min(left, 255));
      left -= g[static_cast<std::size_t>(i)];
    }
    ASSERT_EQ(SmoothedGrey(g, 3, 3)[4], sum / 9) << sum;
  }
  EXPECT_TRUE(SmoothedGrey(Grey(5), 2, 2).empty());  // sizes that do not match
}

TEST(QrImageSteps, ThresholdsAsPixelByPixel) {
  std::mt19937 random(8);
  for (const auto& [w, h] : kSizes) {
    for (int kind = 0; kind < 4; ++kind) {
      const Grey g = TestImage(kind, w, h, random);
      for (const bool smooth : {false, true}) {
        for (const int fixed : {0, 1, 128, 255}) {
          EXPECT_EQ(DarkFlags(g, w, h, fixed, smooth), PlainDark(g, w, h, fixed, smooth))
              << w << "x" << h << " kind " << kind << " threshold " << fixed << (smooth ? " smoothed" : "");
        }
      }
    }
  }
}

// A QR symbol of `module`-pixel modules at (x, y) of a white bank; the
// rectangle of its dark modules is returned.
Region DrawSymbol(std::vector<std::uint8_t>& bank, const std::string& text, int module, int x, int y) {
  std::string error;
  const QrMatrix m = EncodeQr(text, QR_LEVEL_M, error);
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      if (!m.At(r, c)) continue;
      for (int k = 0; k < module * module; ++k) {
        std::fill_n(graphics::PixelAt(bank.data(), x + c * module + k % module, y + r * module + k / module), 3,
                    std::uint8_t{0});
      }
    }
  }
  return Region{x, y, x + m.size * module - 1, y + m.size * module - 1};
}

// Reads the bank with `drawn` as its drawn part and as a whole picture:
// the text, log, marks and work image must be the same.
void ExpectAsWholePicture(const std::vector<std::uint8_t>& bank, const Region& drawn, const std::string& text,
                          const std::string& where) {
  Plane work, whole_work;
  std::string log, whole_log;
  std::vector<FinderMark> marks, whole_marks;
  const QrOutcome r = ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT, drawn, 255}, 0, work, log, &marks);
  const QrOutcome w = ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, whole_work, whole_log, &whole_marks);
  EXPECT_TRUE(r.ok) << where << "\n" << log;
  EXPECT_EQ(r.text, text) << where;
  EXPECT_EQ(w.text, text) << where;
  EXPECT_EQ(log, whole_log) << where;
  ASSERT_EQ(marks.size(), whole_marks.size()) << where;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    EXPECT_TRUE(marks[i].x == whole_marks[i].x && marks[i].y == whole_marks[i].y && marks[i].size == whole_marks[i].size)
        << where << " mark " << i;
  }
  int differ = 0;
  for (int y = 0; y < PLANE_HEIGHT; ++y) {
    differ += std::memcmp(work.Row(y), whole_work.Row(y), Plane::ROW_BYTES) != 0;
  }
  EXPECT_EQ(differ, 0) << where << ": work image rows differing";
  // A fixed threshold keeps the black and white picture as it is.
  ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT, drawn, 255}, 128, work, log);
  int wrong = 0;
  for (int y = std::max(drawn.y1 - 40, 0); y <= std::min(drawn.y2 + 40, PLANE_HEIGHT - 1); ++y) {
    for (int x = std::max(drawn.x1 - 40, 0); x <= std::min(drawn.x2 + 40, PLANE_WIDTH - 1); ++x) {
      wrong += work.Grey(x, y) != *graphics::PixelAt(bank.data(), x, y);
    }
  }
  EXPECT_EQ(wrong, 0) << where << ": pixels of the work image unlike the picture";
}

TEST(QrDrawnPart, EdgesThroughCellsReadAsTheWholePicture) {
  // The drawn part ends on the symbol's own dark modules (the quiet zone
  // lies outside it), at offsets that are not whole 8 x 8 cells, at the
  // plane's corners too; and a drawn part reaching far past the symbol
  // with a dot of contrast at its far corner, so that the content takes
  // in the margin beyond the cells converted.
  const int module = 3;
  std::string error;
  const int side = EncodeQr("straddle", QR_LEVEL_M, error).size * module;
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{
           {13, 21}, {0, 0}, {PLANE_WIDTH - side, PLANE_HEIGHT - side}, {1001, 7}, {PLANE_WIDTH - side - 5, 999}}) {
    std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
    const Region symbol = DrawSymbol(bank, "straddle", module, x, y);
    ExpectAsWholePicture(bank, symbol, "straddle", "symbol at " + std::to_string(x) + "," + std::to_string(y));
  }
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  const Region symbol = DrawSymbol(bank, "straddle", module, 437, 611);
  const Region drawn{symbol.x1 - 3, symbol.y1 - 5, symbol.x2 + 301, symbol.y2 + 203};
  for (int k = 0; k < 4; ++k) std::fill_n(graphics::PixelAt(bank.data(), drawn.x2 - k, drawn.y2), 3, std::uint8_t{0});
  ExpectAsWholePicture(bank, drawn, "straddle", "drawn part past the symbol");
}

TEST(QrDrawnPart, MarksBesideLongBarsAreTheSymbolsOwn) {
  // Bars 1:1:3:1:1 wide and 600 pixels high beside the symbol look like a
  // finder mark along every row; the check across them must reject them
  // (however long the bar), and the symbol's marks stay the same.
  const int module = 4;
  std::vector<std::uint8_t> alone(graphics::VRAM_BANK_BYTES, 255);
  DrawSymbol(alone, "bars", module, 500, 400);
  std::vector<std::uint8_t> bank = alone;
  const int widths[5] = {4, 4, 12, 4, 4};
  for (int copy = 0; copy < 3; ++copy) {
    int x = 700 + copy * 60;
    for (int i = 0; i < 5; ++i) {
      if (i % 2 == 0) {
        for (int y = 200; y < 800; ++y) std::fill_n(graphics::PixelAt(bank.data(), x, y), 3 * widths[i], std::uint8_t{0});
      }
      x += widths[i];
    }
  }
  Plane work;
  std::string log, alone_log;
  std::vector<FinderMark> marks, alone_marks;
  const QrOutcome r = ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, work, log, &marks);
  ReadQr(Picture{alone.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, work, alone_log, &alone_marks);
  EXPECT_TRUE(r.ok) << log;
  EXPECT_EQ(r.text, "bars");
  ASSERT_EQ(marks.size(), 3U) << log;
  ASSERT_EQ(alone_marks.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(marks[i].x, alone_marks[i].x);
    EXPECT_DOUBLE_EQ(marks[i].y, alone_marks[i].y);
    EXPECT_DOUBLE_EQ(marks[i].size, alone_marks[i].size);
  }
}

TEST(QrDrawnPart, MarksStretchedByAQuarterAreFound) {
  // Modules 4 wide and 5 high: across a mark the runs come to a quarter
  // more than along it, within the check's two fifths. The corners are
  // not square for the symbol's sampling; only the marks count here.
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  std::string error;
  const QrMatrix m = EncodeQr("tall", QR_LEVEL_M, error);
  const int left = 300, top = 200;
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      if (!m.At(r, c)) continue;
      for (int y = top + r * 5; y < top + r * 5 + 5; ++y) std::fill_n(graphics::PixelAt(bank.data(), left + c * 4, y), 12, std::uint8_t{0});
    }
  }
  Plane work;
  std::string log;
  std::vector<FinderMark> marks;
  ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, work, log, &marks);
  ASSERT_EQ(marks.size(), 3U) << log;
  const double far_x = left + (m.size - 3.5) * 4, far_y = top + (m.size - 3.5) * 5;
  const std::vector<std::pair<double, double>> centres = {{left + 14, top + 17.5}, {far_x, top + 17.5}, {left + 14, far_y}};
  for (const auto& centre : centres) {
    const double x = centre.first, y = centre.second;
    EXPECT_TRUE(std::any_of(marks.begin(), marks.end(), [&](const FinderMark& f) {
      return std::abs(f.x - x) <= 2 && std::abs(f.y - y) <= 2;
    })) << "no mark at " << x << "," << y << "\n" << log;
  }
}

}  // namespace
}  // namespace vx::recognition
