// The rasteriser's pixel rules and its clipping.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/raster.hpp"
#include "graphics/shapes.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Point;
using Pixels = std::set<std::pair<int, int>>;

class RasterTest : public BankTest {};

TEST_F(RasterTest, ThinLinesStepAlongTheLongerAxisWithBothEnds) {
  auto c = Whole();
  graphics::DrawLine(c, Point{10, 10}, Point{14, 12}, 1, kPen);
  // Minor coordinate rounded half up from the first point: 10, 10.5->11,
  // 11, 11.5->12, 12.
  EXPECT_EQ(ChangedAnywhere(), (Pixels{{10, 10}, {11, 11}, {12, 11}, {13, 12}, {14, 12}}));
}

// A row of coverage blends like one pixel at a time (0 keeps the pixel, 255
// paints it), and only the part inside the clip is touched: short rows (a
// glyph's) and long ones take different loops.
TEST_F(RasterTest, CoverageRowsBlendLikePixelsInsideTheClip) {
  for (const int length : {40, 200}) {
    std::vector<std::uint8_t> coverage;
    for (int i = 0; i < length; ++i) {
      coverage.push_back(static_cast<std::uint8_t>(i % 5 == 0 ? 0 : i % 7 == 0 ? 255 : i * 41));
    }
    const Color ink{30, 140, 250};
    for (const graphics::PixelRect& clip : {graphics::PixelRect{10, 5, 30, 7}, graphics::PixelRect{10, 5, 400, 7}}) {
      auto c = Clipped(clip);
      for (const std::int64_t x : {std::int64_t{0}, std::int64_t{12}, std::int64_t{25}, std::int64_t{31},
                                   std::int64_t{-50}, std::int64_t{300}}) {
        for (const std::int64_t y : {std::int64_t{6}, std::int64_t{4}, std::int64_t{8}}) {
          graphics::FillBank(Bank(), kPaper);
          c.BlendRow(x, y, ink, coverage);
          std::vector<std::uint8_t> want(graphics::VRAM_BANK_BYTES);
          graphics::FillBank(want.data(), kPaper);
          graphics::Canvas reference(want.data(), clip);
          for (std::size_t i = 0; i < coverage.size(); ++i) {
            reference.Blend(static_cast<int>(x + static_cast<std::int64_t>(i)), static_cast<int>(y), ink, coverage[i]);
          }
          ASSERT_TRUE(std::equal(want.begin(), want.end(), Bank()))
              << "row of " << length << " from " << x << "," << y << " clipped at " << clip.right;
        }
      }
    }
  }
}

// Glyph rows (under 32 pixels) blend several pixels a step: each byte is
// BlendComponent of its own background and coverage, for every pair of the
// two, and rows of every short length stop at their last pixel.
TEST_F(RasterTest, ShortCoverageRowsBlendEveryByteExactly) {
  const Color ink{30, 140, 250};
  // Blends `length` pixels at (x, y) over the given background bytes and
  // checks them and the pixels either side.
  auto check = [&](int x, int y, const std::vector<std::uint8_t>& background,
                   const std::vector<std::uint8_t>& coverage) {
    const std::size_t length = coverage.size();
    std::uint8_t* row = graphics::PixelAt(Bank(), x, y);
    std::memcpy(row, background.data(), length * 3);
    Whole().BlendRow(x, y, ink, coverage);
    const std::uint8_t channel[3] = {ink.b, ink.g, ink.r};
    for (std::size_t i = 0; i < length * 3; ++i) {
      ASSERT_EQ(row[i], graphics::BlendComponent(background[i], channel[i % 3], coverage[i / 3]))
          << "byte " << i << " of a row of " << length << " at " << x << "," << y;
    }
    if (x + static_cast<int>(length) < graphics::VRAM_WIDTH) {
      ASSERT_EQ(At(x + static_cast<int>(length), y), kPaper);
    }
    if (x > 0) {
      ASSERT_EQ(At(x - 1, y), kPaper);
    }
    for (int i = std::max(x - 1, 0); i <= std::min(x + static_cast<int>(length), graphics::VRAM_WIDTH - 1); ++i) {
      std::uint8_t* pixel = graphics::PixelAt(Bank(), i, y);
      pixel[0] = kPaper.b;
      pixel[1] = kPaper.g;
      pixel[2] = kPaper.r;
    }
  };
  EachLoopKind([&] {
    // Every background byte against every coverage, 31 pixels a row.
    for (int background = 0; background < 256; ++background) {
      for (int first = 0; first < 256; first += 31) {
        std::vector<std::uint8_t> coverage;
        for (int c = first; c < std::min(first + 31, 256); ++c) coverage.push_back(static_cast<std::uint8_t>(c));
        check(7, 3, std::vector<std::uint8_t>(coverage.size() * 3, static_cast<std::uint8_t>(background)), coverage);
      }
    }
    // Every short length, with mixed backgrounds, at a row's start, middle and end.
    std::mt19937 random(11);
    for (std::size_t length = 1; length < 32; ++length) {
      std::vector<std::uint8_t> background(length * 3), coverage(length);
      for (auto& b : background) b = static_cast<std::uint8_t>(random());
      for (auto& c : coverage) c = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random());
      const int n = static_cast<int>(length);
      check(0, 0, background, coverage);
      check(100 + n, 50, background, coverage);
      check(graphics::VRAM_WIDTH - n, 0, background, coverage);
    }
  });
}

// A bank whose last byte is followed by a page that cannot be read or
// written: a step that strays past the bank's end stops the test.
class GuardedBank {
 public:
  GuardedBank() {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    size_ = (graphics::VRAM_BANK_BYTES + page - 1) / page * page + page;
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    block_ = static_cast<std::uint8_t*>(p);
    if (mprotect(block_ + size_ - page, page, PROT_NONE) != 0) return;
    bank_ = block_ + size_ - page - graphics::VRAM_BANK_BYTES;
  }
  ~GuardedBank() {
    if (block_ != nullptr) munmap(block_, size_);
  }
  GuardedBank(const GuardedBank&) = delete;
  GuardedBank& operator=(const GuardedBank&) = delete;
  std::uint8_t* Bank() const { return bank_; }

 private:
  std::uint8_t* block_ = nullptr;
  std::uint8_t* bank_ = nullptr;
  std::size_t size_ = 0;
};

TEST(CoverageRowAtTheBankEnd, TouchesNothingBeyondIt) {
  GuardedBank guarded;
  ASSERT_NE(guarded.Bank(), nullptr);
  graphics::Canvas canvas(guarded.Bank(), PixelRect{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1});
  // Rows are stored bottom up: the bank ends with the top row's last pixel.
  const int y = 0;
  ASSERT_EQ(graphics::PixelAt(guarded.Bank(), graphics::VRAM_WIDTH - 1, y) + 3,
            guarded.Bank() + graphics::VRAM_BANK_BYTES);
  EachLoopKind([&] {
    for (int length = 1; length < 40; ++length) {
      std::vector<std::uint8_t> coverage(static_cast<std::size_t>(length), 255);
      coverage[0] = 0;  // the pixel before the row's ink stays as it was
      const int x = graphics::VRAM_WIDTH - length;
      const Color before = graphics::ReadPixel(guarded.Bank(), x, y);
      canvas.BlendRow(x, y, kInk, coverage);
      EXPECT_EQ(graphics::ReadPixel(guarded.Bank(), x, y), before);
      if (length > 1) {
        EXPECT_EQ(graphics::ReadPixel(guarded.Bank(), graphics::VRAM_WIDTH - 1, y), kInk);
      }
    }
  });
}

// Solid spans are stored eight pixels at a time: every length and start,
// cut by the clip on either side, paints exactly its pixels.
TEST_F(RasterTest, SolidSpansPaintExactlyTheirPixels) {
  const graphics::PixelRect clip{10, 0, 70, 2};
  auto c = Clipped(clip);
  for (int x0 = 0; x0 < 20; ++x0) {
    for (int length = 1; length <= 60; ++length) {
      const int x1 = x0 + length - 1;
      c.Span(1, x0, x1, kPen);
      Pixels want;
      for (int x = std::max(x0, clip.left); x <= std::min(x1, clip.right); ++x) want.insert({x, 1});
      ASSERT_EQ(Changed(graphics::PixelRect{0, 0, 90, 2}), want) << x0 << " to " << x1;
      for (const auto& [x, y] : want) EXPECT_TRUE(Inked(x, y));
      c.Span(1, x0, x1, graphics::Paint{kPaper, graphics::LINE_MODE_SOLID});
    }
  }
}

TEST_F(RasterTest, ThinLinePixelsMatchTheListedRule) {
  const auto pixels = graphics::LinePixels(Point{0, 0}, Point{3, -7});
  ASSERT_EQ(pixels.size(), 8u);
  EXPECT_EQ(pixels.front(), (Point{0, 0}));
  EXPECT_EQ(pixels.back(), (Point{3, -7}));
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    EXPECT_EQ(pixels[i].y, pixels[i - 1].y - 1);
    EXPECT_LE(std::abs(pixels[i].x - pixels[i - 1].x), 1);
  }
  EXPECT_EQ(graphics::LinePixels(Point{5, 5}, Point{5, 5}).size(), 1u);
}

// A thin line's pixel at step i along its longer axis lies at
// floor((2 i minor + n) / 2n) across: the course rounded half up. Random
// segments of every slope, long ones and ones far outside the bank, drawn
// whole and under clips, give exactly those pixels (inside the clip).
TEST_F(RasterTest, ThinLinesFollowTheRoundedCourseUnderAnyClip) {
  auto floor_div = [](std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0 && a < 0) ? 1 : 0); };
  auto course = [&](Point a, Point b) {
    const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
    const std::int64_t n = std::max(std::abs(dx), std::abs(dy));
    std::vector<Point> out;
    for (std::int64_t i = 0; i <= n; ++i) {
      if (n == 0) {
        out.push_back(a);
        break;
      }
      const bool x_major = std::abs(dx) >= std::abs(dy);
      const std::int64_t major = (x_major ? dx : dy) > 0 ? i : -i;
      const std::int64_t minor = floor_div(2 * i * (x_major ? dy : dx) + n, 2 * n);
      out.push_back(x_major ? Point{static_cast<int>(a.x + major), static_cast<int>(a.y + minor)}
                            : Point{static_cast<int>(a.x + minor), static_cast<int>(a.y + major)});
    }
    return out;
  };
  std::uint32_t seed = 7;
  auto next = [&seed](int low, int high) {
    seed = seed * 1664525u + 1013904223u;
    return low + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(high - low + 1));
  };
  const graphics::PixelRect clips[] = {{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1},
                                       {100, 80, 160, 130}};
  for (int k = 0; k < 300; ++k) {
    const Point a{next(-300, 500), next(-300, 500)};
    Point b = k % 3 == 0 ? Point{a.x + next(-3, 3), a.y + next(-900, 900)} : Point{next(-300, 500), next(-300, 500)};
    if (k % 20 == 1) b = a;  // a single point, mostly outside the small clip
    const std::vector<Point> want = course(a, b);
    ASSERT_EQ(graphics::LinePixels(a, b), want) << a.x << "," << a.y << " to " << b.x << "," << b.y;
    // The segment's box, a pixel wider, inside the clip: where it may draw.
    const graphics::PixelRect box{std::min(a.x, b.x) - 1, std::min(a.y, b.y) - 1, std::max(a.x, b.x) + 1,
                                  std::max(a.y, b.y) + 1};
    for (const graphics::PixelRect& clip : clips) {
      auto c = Clipped(clip);
      graphics::DrawLine(c, a, b, 1, kPen);
      Pixels inside;
      for (const Point& p : want) {
        if (p.x >= clip.left && p.x <= clip.right && p.y >= clip.top && p.y <= clip.bottom) inside.insert({p.x, p.y});
      }
      ASSERT_EQ(Changed(graphics::Intersect(box, clip)), inside) << a.x << "," << a.y << " to " << b.x << "," << b.y;
      if (a == b) {
        ASSERT_EQ(ChangedAnywhere(), inside) << "point " << a.x << "," << a.y;
      }
      graphics::DrawLine(c, a, b, 1, graphics::Paint{kPaper, graphics::LINE_MODE_SOLID});
    }
  }
}

TEST_F(RasterTest, WideHorizontalLinesCoverExactlyTheirWidth) {
  for (int w : {2, 3, 4, 7}) {
    graphics::FillBank(Bank(), kPaper);
    auto c = Whole();
    graphics::DrawLine(c, Point{100, 100}, Point{200, 100}, w, kPen);
    int rows = 0;
    for (int y = 80; y <= 120; ++y) rows += Inked(150, y) ? 1 : 0;
    EXPECT_EQ(rows, w) << "width " << w;
    // Even widths reach one row further down than up.
    EXPECT_TRUE(Inked(150, 100 - (w - 1) / 2)) << w;
    EXPECT_TRUE(Inked(150, 100 + w / 2)) << w;
  }
}

TEST_F(RasterTest, DotsOfWidthTwoAndThreeAreSquaresWiderOnesRound) {
  auto c = Whole();
  graphics::DrawLine(c, Point{10, 10}, Point{10, 10}, 2, kPen);
  EXPECT_EQ(Picture(PixelRect{9, 9, 12, 12}), (std::vector<std::string>{"....", ".##.", ".##.", "...."}));
  graphics::DrawLine(c, Point{30, 30}, Point{30, 30}, 3, kPen);
  EXPECT_EQ(Changed(PixelRect{25, 25, 35, 35}).size(), 9u);
  graphics::DrawLine(c, Point{50, 50}, Point{50, 50}, 4, kPen);
  EXPECT_EQ(Picture(PixelRect{48, 48, 53, 53}),
            (std::vector<std::string>{"......", "..##..", ".####.", ".####.", "..##..", "......"}));
}

TEST_F(RasterTest, WideLinesAreCapsulesAroundTheSegment) {
  auto c = Whole();
  // A 45-degree line of width 3: every pixel within 1.5 of the segment.
  graphics::DrawLine(c, Point{100, 100}, Point{140, 140}, 3, kPen);
  for (int y = 95; y <= 145; ++y) {
    for (int x = 95; x <= 145; ++x) {
      // Distance to the segment y = x, 100 <= x <= 140, or to its ends.
      const double t = std::clamp((x + y) / 2.0, 100.0, 140.0);
      const double d = std::hypot(x - t, y - t);
      EXPECT_EQ(Inked(x, y), d < 1.5) << x << "," << y;
    }
  }
  // Both directions give the same pixels.
  graphics::FillBank(Bank(), kPaper);
  graphics::DrawLine(c, Point{300, 310}, Point{420, 270}, 6, kPen);
  const auto forward = ChangedAnywhere();
  graphics::FillBank(Bank(), kPaper);
  graphics::DrawLine(c, Point{420, 270}, Point{300, 310}, 6, kPen);
  EXPECT_EQ(ChangedAnywhere(), forward);
  // Rows are solid: no gaps inside a wide steep line.
  graphics::FillBank(Bank(), kPaper);
  graphics::DrawLine(c, Point{500, 100}, Point{510, 400}, 9, kPen);
  for (int y = 100; y <= 400; ++y) {
    const auto row = Changed(PixelRect{480, y, 530, y});
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(static_cast<int>(row.size()), row.rbegin()->first - row.begin()->first + 1) << y;
  }
}

TEST_F(RasterTest, DiscsAndCirclesFollowTheHalfPixelRule) {
  auto c = Whole();
  graphics::FillEllipse(c, Point{10, 10}, 0, 0, kPen);
  EXPECT_EQ(ChangedAnywhere(), (Pixels{{10, 10}}));
  graphics::FillEllipse(c, Point{20, 20}, 1, 1, kPen);  // d^2 < 2.25: the 3 x 3 square
  EXPECT_EQ(Changed(PixelRect{18, 18, 22, 22}).size(), 9u);
  graphics::FillEllipse(c, Point{50, 50}, 3, 3, kPen);
  EXPECT_EQ(Picture(PixelRect{46, 46, 54, 54}),
            (std::vector<std::string>{".........", "...###...", "..#####..", ".#######.", ".#######.",
                                      ".#######.", "..#####..", "...###...", "........."}));
  // A circle of width 1 is the disc of its radius less the disc one smaller.
  graphics::DrawEllipse(c, Point{100, 100}, 3, 3, 1, kPen);
  EXPECT_EQ(Picture(PixelRect{96, 96, 104, 104}),
            (std::vector<std::string>{".........", "...###...", "..#...#..", ".#.....#.", ".#.....#.",
                                      ".#.....#.", "..#...#..", "...###...", "........."}));
}

TEST_F(RasterTest, EllipsesAreSymmetric) {
  auto c = Whole();
  graphics::DrawEllipse(c, Point{300, 300}, 40, 17, 3, kPen);
  for (const auto& [x, y] : Changed(PixelRect{200, 200, 400, 400})) {
    EXPECT_TRUE(Inked(600 - x, y));
    EXPECT_TRUE(Inked(x, 600 - y));
  }
  EXPECT_TRUE(Inked(340, 300));   // on the outline, right
  EXPECT_TRUE(Inked(300, 283));   // top
  EXPECT_FALSE(Inked(300, 300));  // hollow
}

TEST_F(RasterTest, ArcsKeepToTheirSweep) {
  auto c = Whole();
  // A quarter from 0 (right) counter-clockwise to 90 (up).
  graphics::DrawArc(c, Point{200, 200}, 20, 0, 90, 1, false, kPen);
  EXPECT_TRUE(Inked(220, 200));
  EXPECT_TRUE(Inked(200, 180));
  for (const auto& [x, y] : ChangedAnywhere()) {
    EXPECT_GE(x, 200);
    EXPECT_LE(y, 200);
  }
  // A sweep that wraps through 0, and a pie.
  graphics::DrawArc(c, Point{500, 500}, 20, 270, 450, 1, false, kPen);
  EXPECT_TRUE(Inked(500, 520));
  EXPECT_TRUE(Inked(520, 500));
  EXPECT_FALSE(Inked(480, 500));
  graphics::DrawArc(c, Point{800, 800}, 10, 180, 270, 1, true, kPen);
  EXPECT_TRUE(Inked(795, 805));
  EXPECT_FALSE(Inked(805, 805));
}

TEST_F(RasterTest, PolygonsCoverTheirEdgesAndVertices) {
  auto c = Whole();
  const std::array<Point, 3> tri{Point{10, 10}, Point{20, 10}, Point{10, 20}};
  graphics::FillPolygon(c, tri, kPen);
  EXPECT_TRUE(Inked(10, 10));
  EXPECT_TRUE(Inked(20, 10));
  EXPECT_TRUE(Inked(10, 20));
  EXPECT_TRUE(Inked(15, 15));
  EXPECT_FALSE(Inked(16, 16));
  EXPECT_FALSE(Inked(21, 10));
  // A rectangle as a polygon equals the filled rectangle.
  const std::array<Point, 4> quad{Point{100, 100}, Point{109, 100}, Point{109, 104}, Point{100, 104}};
  graphics::FillPolygon(c, quad, kPen);
  EXPECT_EQ(Changed(PixelRect{90, 90, 120, 120}).size(), 50u);
  // Even-odd: the centre of a pentagram stays open.
  const std::array<Point, 5> star{Point{300, 200}, Point{330, 290}, Point{250, 235}, Point{350, 235}, Point{270, 290}};
  graphics::FillPolygon(c, star, kPen);
  EXPECT_FALSE(Inked(300, 250));
  EXPECT_TRUE(Inked(300, 215));
}

TEST_F(RasterTest, FloodFillStopsAtOtherColoursAndReportsItsArea) {
  auto c = Whole();
  graphics::DrawFrame(c, PixelRect{10, 10, 30, 30}, 1, kPen);
  const graphics::Paint red{graphics::FromComponents(255, 0, 0)};
  bool ok = false;
  const PixelRect filled = graphics::FloodFill(c, Point{20, 20}, red, nullptr, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(filled, (PixelRect{11, 11, 29, 29}));
  EXPECT_EQ(At(11, 11), red.color);
  EXPECT_EQ(At(29, 29), red.color);
  EXPECT_TRUE(Inked(10, 20));
  EXPECT_EQ(At(31, 20), kPaper);
  // Already the colour: nothing to do, not a failure.
  EXPECT_TRUE(graphics::FloodFill(c, Point{20, 20}, red, nullptr, &ok).Empty());
  EXPECT_TRUE(ok);
  // Outside the clip: failure.
  graphics::FloodFill(c, Point{-1, 5}, red, nullptr, &ok);
  EXPECT_FALSE(ok);
  // Up to a border colour, over everything else.
  auto clipped = Clipped(PixelRect{0, 0, 60, 60});
  const graphics::Paint blue{graphics::FromComponents(0, 0, 255)};
  const Color border = kInk;
  graphics::FloodFill(clipped, Point{40, 40}, blue, &border, &ok);
  EXPECT_EQ(At(60, 60), blue.color);
  EXPECT_EQ(At(0, 0), blue.color);
  EXPECT_EQ(At(20, 20), red.color);  // inside the frame: not reached
  EXPECT_EQ(At(61, 61), kPaper);     // outside the clip
}

TEST_F(RasterTest, FloodFillOfAWholeBankTerminates) {
  auto c = Whole();
  bool ok = false;
  const PixelRect filled = graphics::FloodFill(c, Point{1300, 1000}, kPen, nullptr, &ok);
  EXPECT_EQ(filled, (PixelRect{0, 0, 2599, 1999}));
  EXPECT_TRUE(Inked(0, 0) && Inked(2599, 1999));
}

// Every shape drawn across each edge of a clip rectangle and far outside
// it: nothing changes outside the clip.
TEST_F(RasterTest, NothingIsWrittenOutsideTheClip) {
  const PixelRect clip{1000, 800, 1099, 899};
  auto c = Clipped(clip);
  const Point corners[] = {{1000, 800}, {1099, 800}, {1099, 899}, {1000, 899}, {1050, 850},
                           {-1000000, -1000000}, {1000000, 1000000}, {-1000000, 1000000}};
  for (const Point& p : corners) {
    for (int w : {1, 2, 5, 100}) {
      graphics::DrawLine(c, p, Point{1050, 850}, w, kPen);
      graphics::DrawLine(c, p, Point{p.x + 300, p.y - 300}, w, kPen);
      graphics::DrawEllipse(c, p, 40, 70, w, kPen);
      graphics::DrawArc(c, p, 60, 10, 300, w, false, kPen);
    }
    graphics::FillEllipse(c, p, 30, 30, kPen);
    graphics::DrawArc(c, p, 60, 10, 300, 1, true, kPen);
    const std::array<Point, 3> tri{p, Point{p.x + 200, p.y + 10}, Point{p.x - 50, p.y + 150}};
    graphics::FillPolygon(c, tri, kPen);
    graphics::DrawFrame(c, PixelRect{p.x - 20, p.y - 20, p.x + 20, p.y + 20}, 3, kPen);
    graphics::DrawRoundFrame(c, PixelRect{p.x - 30, p.y - 30, p.x + 30, p.y + 30}, 12, 4, kPen);
    graphics::FillRect(c, PixelRect{p.x - 5, p.y - 5, p.x + 5, p.y + 5}, kPen);
  }
  graphics::FillEllipse(c, Point{1050, 850}, graphics::RADIUS_LIMIT, graphics::RADIUS_LIMIT, kPen);
  EXPECT_EQ(ChangedOutside(clip), 0u);
  EXPECT_TRUE(Inked(1000, 800));
  EXPECT_TRUE(Inked(1099, 899));
}

TEST_F(RasterTest, BankEdgesClipEveryShape) {
  auto c = Whole();
  const Point corners[] = {{0, 0}, {2599, 0}, {2599, 1999}, {0, 1999}, {-5, 1000}, {2605, 1000}, {1300, -5}, {1300, 2005}};
  for (const Point& p : corners) {
    graphics::DrawLine(c, p, Point{p.x + 40, p.y + 40}, 9, kPen);
    graphics::DrawLine(c, p, Point{p.x - 40, p.y - 40}, 9, kPen);
    graphics::DrawEllipse(c, p, 25, 25, 6, kPen);
    graphics::FillEllipse(c, p, 10, 10, kPen);
    graphics::DrawRoundFrame(c, PixelRect{p.x - 30, p.y - 30, p.x + 30, p.y + 30}, 10, 3, kPen);
  }
  EXPECT_TRUE(Inked(0, 0));
  EXPECT_TRUE(Inked(2599, 1999));
  EXPECT_TRUE(Inked(2599, 0));
  EXPECT_TRUE(Inked(0, 1999));
}

}  // namespace
}  // namespace vx::test
