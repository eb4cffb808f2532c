// Picture operations: exact pixel moves for turns, zooms and copies,
// colour processing values, filters, and the measurements.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "graphics/image_analysis.hpp"
#include "graphics/image_ops.hpp"
#include "graphics_test_support.hpp"
#include "image_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Image;
using graphics::Point;
using graphics::Sampling;

Image PatternImage(int w, int h) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.Set(x, y, Pattern(x, y));
  }
  return image;
}

class ImageOpsTest : public BankTest {
 protected:
  void Fill(const PixelRect& r, Color c) {
    for (int y = r.top; y <= r.bottom; ++y) {
      for (int x = r.left; x <= r.right; ++x) {
        std::uint8_t* p = graphics::PixelAt(Bank(), x, y);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    }
  }
};

// Pictures placed at the ends of the int range draw nothing and report
// where they lie without overflowing; one placed across the corner draws
// exactly its part inside.
TEST_F(ImageOpsTest, PicturesPlacedAnywhereDrawOnlyTheirPartInside) {
  const Image src = PatternImage(8, 6);
  auto canvas = Whole();
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  for (const Point to : {Point{kMin, 0}, Point{0, kMin}, Point{kMax - 3, 0}, Point{0, kMax - 2}, Point{kMax, kMax},
                         Point{-8, 0}, Point{graphics::VRAM_WIDTH, 0}}) {
    const PixelRect placed = graphics::DrawImage(canvas, src, to);
    EXPECT_EQ(placed.left, to.x);
    EXPECT_GE(placed.right, placed.left);
    graphics::CopyPlanes(canvas, src, to, 7);
    graphics::Multiply(canvas, src, to);
  }
  EXPECT_EQ(ChangedOutside(PixelRect{}), 0u);
  graphics::DrawImage(canvas, src, Point{-5, -4});
  EXPECT_EQ(At(0, 0), Pattern(5, 4));
  EXPECT_EQ(At(2, 1), Pattern(7, 5));
  EXPECT_EQ(ChangedOutside(PixelRect{0, 0, 2, 1}), 0u);
}

TEST_F(ImageOpsTest, QuarterTurnsMovePixelsExactly) {
  const Image src = PatternImage(4, 2);
  auto canvas = Whole();
  // 90 degrees counter-clockwise: the top-right corner becomes the top-left.
  const PixelRect box = graphics::DrawRotated(canvas, src, 90, Point{100, 100}, Sampling::kNearest, nullptr);
  EXPECT_EQ(box.Width(), 2);
  EXPECT_EQ(box.Height(), 4);
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 2; ++i) EXPECT_EQ(At(box.left + i, box.top + j), Pattern(3 - j, i)) << i << "," << j;
  }
  EXPECT_EQ(ChangedOutside(box), 0u);
  // 180 degrees, bilinear: still exact.
  const PixelRect half = graphics::DrawRotated(canvas, src, -180, Point{300, 300}, Sampling::kBilinear, nullptr);
  EXPECT_EQ(half.Width(), 4);
  EXPECT_EQ(At(half.left, half.top), Pattern(3, 1));
  EXPECT_EQ(At(half.right, half.bottom), Pattern(0, 0));
  // A full turn is the picture itself, centred on the point.
  const PixelRect same = graphics::DrawRotated(canvas, src, 720, Point{500, 500}, Sampling::kNearest, nullptr);
  EXPECT_EQ(same, (PixelRect{499, 500, 502, 501}));
  EXPECT_EQ(At(499, 500), Pattern(0, 0));
}

TEST_F(ImageOpsTest, MaskedTurnsSkipTheKeyAndShadowsDarken) {
  Image src(3, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) src.Set(x, y, graphics::kWhite);
  }
  src.Set(1, 1, kInk);
  auto canvas = Whole();
  const Color key = graphics::kWhite;
  graphics::DrawRotated(canvas, src, 45, Point{50, 50}, Sampling::kNearest, &key);
  EXPECT_EQ(ChangedAnywhere(), (std::set<std::pair<int, int>>{{50, 50}}));
  graphics::DrawRotatedShadow(canvas, src, 0, Point{50, 50}, Point{10, 5}, 50, &key);
  EXPECT_EQ(At(60, 55), (Color{0xEE / 2, 0xEE / 2, 0xEE / 2}));
  EXPECT_EQ(At(61, 55), kPaper);
}

TEST_F(ImageOpsTest, ZoomsByAreaNearestAndBilinear) {
  Image src(4, 2);
  const Color a{0, 0, 0}, b{200, 100, 40};
  for (int x = 0; x < 4; ++x) {
    src.Set(x, 0, x % 2 == 0 ? a : b);
    src.Set(x, 1, x % 2 == 0 ? b : a);
  }
  auto canvas = Whole();
  graphics::DrawResampled(canvas, src, PixelRect{0, 0, 1, 0}, Sampling::kNearest, true);
  EXPECT_EQ(At(0, 0), (Color{100, 50, 20}));  // 2 x 2 averages
  EXPECT_EQ(At(1, 0), (Color{100, 50, 20}));
  graphics::DrawResampled(canvas, src, PixelRect{10, 10, 17, 13}, Sampling::kNearest, false);
  EXPECT_EQ(At(10, 10), a);  // each pixel doubled
  EXPECT_EQ(At(11, 11), a);
  EXPECT_EQ(At(12, 10), b);
  EXPECT_EQ(At(17, 13), a);
  Image pair(2, 1);
  pair.Set(0, 0, Color{0, 0, 0});
  pair.Set(1, 0, Color{200, 200, 200});
  graphics::DrawResampled(canvas, pair, PixelRect{20, 20, 23, 20}, Sampling::kBilinear, false);
  EXPECT_EQ(At(20, 20), (Color{0, 0, 0}));        // ends kept
  EXPECT_EQ(At(21, 20), (Color{50, 50, 50}));     // a quarter of the way
  EXPECT_EQ(At(23, 20), (Color{200, 200, 200}));
  // A target far larger than the clip computes only what shows.
  auto clipped = Clipped(PixelRect{0, 100, 9, 109});
  graphics::DrawResampled(clipped, pair, PixelRect{0, 100, 999999, 999999}, Sampling::kBilinear, false);
  EXPECT_EQ(ChangedOutside(PixelRect{0, 0, 23, 109}), 0u);
}

// A bilinear sample taken the plain way: the four pixels around (sx, sy),
// each pair blended across, then down, rounded half up.
Color BilinearSample(const Image& image, double sx, double sy) {
  const double cx = std::clamp(sx, 0.0, image.width - 1.0);
  const double cy = std::clamp(sy, 0.0, image.height - 1.0);
  const int x0 = static_cast<int>(std::floor(cx));
  const int y0 = static_cast<int>(std::floor(cy));
  const int x1 = std::min(x0 + 1, image.width - 1);
  const int y1 = std::min(y0 + 1, image.height - 1);
  const Color c00 = image.At(x0, y0), c10 = image.At(x1, y0), c01 = image.At(x0, y1), c11 = image.At(x1, y1);
  auto mix = [&](std::uint8_t Color::*k) {
    const double top = c00.*k + (c10.*k - c00.*k) * (cx - x0);
    const double bottom = c01.*k + (c11.*k - c01.*k) * (cx - x0);
    return static_cast<std::uint8_t>(std::clamp(std::floor(top + (bottom - top) * (cy - y0) + 0.5), 0.0, 255.0));
  };
  return Color{mix(&Color::b), mix(&Color::g), mix(&Color::r)};
}

Image RandomImage(int width, int height, std::uint32_t seed) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(seed >> 24);
      };
      image.Set(x, y, Color{next(), next(), next()});
    }
  }
  return image;
}

// Bilinear zooms against a sample taken a pixel at a time (pixel centres
// mapped onto the source, each pair blended across, then down, rounded half
// up), over enlargements, reductions, single rows and columns, and targets
// cut by the clip.
TEST_F(ImageOpsTest, BilinearZoomsGiveTheSampleOfEveryPixel) {
  EachLoopKind([&] {
    std::uint32_t seed = 99;
    struct Case {
      int source_width, source_height;
      PixelRect target;
      PixelRect clip;
    };
    const PixelRect all{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1};
    const Case cases[] = {
        {7, 5, PixelRect{0, 0, 22, 16}, all},          // up by 3.3
        {13, 11, PixelRect{0, 0, 4, 6}, all},          // down
        {1, 6, PixelRect{0, 0, 8, 9}, all},            // one column
        {9, 1, PixelRect{0, 0, 30, 2}, all},           // one row
        {6, 6, PixelRect{-5, -3, 17, 19}, PixelRect{0, 0, 9, 8}},  // cut on every side
        {50, 20, PixelRect{3, 2, 130, 41}, all},       // up by 2.56 across many columns
    };
    for (const Case& c : cases) {
      const Image source = RandomImage(c.source_width, c.source_height, seed++);
      auto canvas = Clipped(c.clip);
      graphics::DrawResampled(canvas, source, c.target, Sampling::kBilinear, false);
      const double sx = static_cast<double>(source.width) / c.target.Width();
      const double sy = static_cast<double>(source.height) / c.target.Height();
      const PixelRect shown = graphics::Intersect(c.target, c.clip);
      for (int v = shown.top; v <= shown.bottom; ++v) {
        for (int u = shown.left; u <= shown.right; ++u) {
          const Color want = BilinearSample(source, (u - c.target.left + 0.5) * sx - 0.5, (v - c.target.top + 0.5) * sy - 0.5);
          ASSERT_EQ(At(u, v), want) << c.source_width << "x" << c.source_height << " at " << u << "," << v;
        }
      }
      EXPECT_EQ(ChangedOutside(shown), 0u);
      graphics::FillBank(Bank(), kPaper);
    }
  });
}

// Turns by angles that are not quarter turns, bilinear: every pixel of the
// box whose centre maps inside the picture's pixel squares is the sample
// there, and nothing else changes; also under a clip that cuts the box.
// The widest picture gives long runs of whole four-pixel steps.
TEST_F(ImageOpsTest, BilinearTurnsGiveTheSampleOfEveryPixel) {
  EachLoopKind([&] {
    const PixelRect all{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1};
    for (const Image& source : {RandomImage(9, 6, 4242), RandomImage(41, 23, 4243), RandomImage(97, 31, 4244)}) {
      for (const double degrees : {30.0, -17.5, 133.0, 400.0}) {
        for (const PixelRect clip : {all, PixelRect{48, 47, 53, 51}}) {
          auto canvas = Clipped(clip);
          const PixelRect box = graphics::DrawRotated(canvas, source, degrees, Point{50, 50}, Sampling::kBilinear, nullptr);
          const double radians = std::fmod(degrees, 360.0) * std::numbers::pi / 180.0;
          const double cosine = std::cos(radians), sine = std::sin(radians);
          const double centre_x = box.left + (box.Width() - 1) / 2.0, centre_y = box.top + (box.Height() - 1) / 2.0;
          const PixelRect shown = graphics::Intersect(box, clip);
          for (int v = shown.top; v <= shown.bottom; ++v) {
            for (int u = shown.left; u <= shown.right; ++u) {
              const double dx = u - centre_x, dy = v - centre_y;
              const double sx = dx * cosine - dy * sine + (source.width - 1) / 2.0;
              const double sy = dx * sine + dy * cosine + (source.height - 1) / 2.0;
              const bool inside = sx >= -0.5 && sy >= -0.5 && sx <= source.width - 0.5 && sy <= source.height - 0.5;
              const Color want = inside ? BilinearSample(source, sx, sy) : kPaper;
              ASSERT_EQ(At(u, v), want) << degrees << " degrees at " << u << "," << v;
            }
          }
          EXPECT_EQ(ChangedOutside(shown), 0u);
          graphics::FillBank(Bank(), kPaper);
        }
      }
    }
  });
}

TEST_F(ImageOpsTest, RingsTilesAndPlanes) {
  const Image src = PatternImage(8, 4);
  auto canvas = Whole();
  graphics::DrawRing(canvas, src, Point{200, 200}, 40, 20, 0);
  EXPECT_EQ(At(200, 160), src.At(0, 0));   // twelve o'clock, outer edge: top-left
  EXPECT_EQ(At(200, 200), kPaper);          // the hole
  EXPECT_EQ(At(240, 200), src.At(2, 0));   // a quarter round: column 2 of 8
  graphics::TileImage(canvas, src, PixelRect{300, 300, 320, 309}, Point{298, 300});
  EXPECT_EQ(At(300, 300), src.At(2, 0));
  EXPECT_EQ(At(306, 304), src.At(0, 0));
  EXPECT_EQ(At(320, 309), src.At(6, 1));
  EXPECT_EQ(ChangedOutside(PixelRect{160, 160, 320, 309}), 0u);
  graphics::CopyPlanes(canvas, src, Point{0, 0}, 1);  // red only
  EXPECT_EQ(At(3, 2), (Color{kPaper.b, kPaper.g, Pattern(3, 2).r}));
}

TEST_F(ImageOpsTest, ColourProcessingValues) {
  auto canvas = Whole();
  const PixelRect r{0, 0, 0, 0};
  Fill(r, Color{30, 60, 90});  // blue 30, green 60, red 90
  ASSERT_TRUE(graphics::ProcessColours(canvas, r, graphics::COLOUR_NEGATIVE, 0));
  EXPECT_EQ(At(0, 0), (Color{225, 195, 165}));
  Fill(r, Color{30, 60, 90});
  ASSERT_TRUE(graphics::ProcessColours(canvas, r, graphics::COLOUR_GREY, 0));
  EXPECT_EQ(At(0, 0), (Color{66, 66, 66}));  // (90*299 + 60*587 + 30*114) / 1000
  Fill(r, Color{30, 60, 90});
  ASSERT_TRUE(graphics::ProcessColours(canvas, r, graphics::COLOUR_BRIGHTNESS, 200));
  EXPECT_EQ(At(0, 0), (Color{230, 255, 255}));
  ASSERT_TRUE(graphics::ProcessColours(canvas, r, graphics::COLOUR_SWAP_RED_BLUE, 0));
  EXPECT_EQ(At(0, 0), (Color{255, 255, 230}));
  EXPECT_FALSE(graphics::ProcessColours(canvas, r, 99, 0));
  EXPECT_FALSE(graphics::ProcessColours(canvas, r, graphics::COLOUR_GAMMA, 0));
  Fill(r, Color{100, 130, 200});
  graphics::ReduceColours(canvas, r, 2, false);
  EXPECT_EQ(At(0, 0), (Color{0, 255, 255}));
  Fill(PixelRect{0, 0, 3, 0}, Color{10, 10, 10});
  Fill(PixelRect{4, 0, 5, 0}, Color{200, 200, 200});
  EXPECT_EQ(graphics::Threshold(canvas, PixelRect{0, 0, 5, 0}, 128, graphics::kWhite, graphics::kBlack), 2);
  EXPECT_EQ(At(0, 0), graphics::kBlack);
  EXPECT_EQ(At(5, 0), graphics::kWhite);
}

// Sepia per pixel: each sum of products in doubles, rounded half up and cut
// at 255.
Color SepiaOf(Color c) {
  auto round = [](double v) { return static_cast<std::uint8_t>(std::min(std::floor(v + 0.5), 255.0)); };
  const double r = c.r, g = c.g, b = c.b;
  return Color{round(0.272 * r + 0.534 * g + 0.131 * b), round(0.349 * r + 0.686 * g + 0.168 * b),
               round(0.393 * r + 0.769 * g + 0.189 * b)};
}

// Grey, swap and sepia run over whole rows in vector steps: every width
// (short rows, whole steps and their tails) and start gives the per-pixel
// result, and nothing beside the area changes.
TEST_F(ImageOpsTest, RowColourChangesGiveThePixelResultAtEveryWidth) {
  EachLoopKind([&] {
    auto canvas = Whole();
    std::uint32_t seed = 12345;
    auto next_byte = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<std::uint8_t>(seed >> 24);
    };
    for (const std::int32_t mode : {graphics::COLOUR_GREY, graphics::COLOUR_SWAP_RED_BLUE, graphics::COLOUR_SEPIA,
                                    graphics::COLOUR_NEGATIVE}) {
      for (int width = 1; width <= 75; ++width) {
        const int left = width % 5;
        const PixelRect area{left, 0, left + width - 1, 1};
        const PixelRect around{0, 0, left + width + 1, 1};
        std::vector<Color> before;
        for (int y = around.top; y <= around.bottom; ++y) {
          for (int x = around.left; x <= around.right; ++x) {
            const Color c{next_byte(), next_byte(), next_byte()};
            Fill(PixelRect{x, y, x, y}, c);
            before.push_back(c);
          }
        }
        ASSERT_TRUE(graphics::ProcessColours(canvas, area, mode, 0));
        std::size_t i = 0;
        for (int y = around.top; y <= around.bottom; ++y) {
          for (int x = around.left; x <= around.right; ++x, ++i) {
            const Color c = before[i];
            Color want = c;
            if (x >= area.left && x <= area.right) {
              const auto grey = static_cast<std::uint8_t>(graphics::Luma(c));
              const auto negative = [](std::uint8_t v) { return static_cast<std::uint8_t>(255 - v); };
              want = mode == graphics::COLOUR_GREY       ? Color{grey, grey, grey}
                     : mode == graphics::COLOUR_SEPIA    ? SepiaOf(c)
                     : mode == graphics::COLOUR_NEGATIVE ? Color{negative(c.b), negative(c.g), negative(c.r)}
                                                         : Color{c.r, c.g, c.b};
            }
            ASSERT_EQ(At(x, y), want) << "mode " << mode << " width " << width << " at " << x << "," << y;
          }
        }
      }
    }
  });
}

// Sepia works in single precision and takes the sums that land on a whole
// number and a half again in doubles: every colour with such a sum (about
// three in a thousand) rounds as the doubles do, wherever it sits in a row.
TEST_F(ImageOpsTest, SepiaRoundsExactHalvesAsDoublesDo) {
  EachLoopKind([&] {
    const int weights[3][3] = {{393, 769, 189}, {349, 686, 168}, {272, 534, 131}};
    std::vector<Color> halves;
    int rounded_down = 0;  // halves that the doubles' own rounding takes down
    for (int r = 0; r < 256; ++r) {
      for (int g = 0; g < 256; ++g) {
        for (int b = 0; b < 256; ++b) {
          for (const auto& w : weights) {
            const int sum = w[0] * r + w[1] * g + w[2] * b + 500;
            if (sum % 1000 != 0) continue;
            const Color c{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
            const Color doubles = SepiaOf(c);
            const int component = &w == &weights[0] ? doubles.r : &w == &weights[1] ? doubles.g : doubles.b;
            if (sum / 1000 <= 255 && component != sum / 1000) ++rounded_down;
            halves.push_back(c);
            break;
          }
        }
      }
    }
    ASSERT_GT(halves.size(), 40000u);
    ASSERT_GT(rounded_down, 100);
    auto canvas = Whole();
    const int width = 1000;  // whole runs of the row loop and a part run
    std::size_t done = 0;
    for (int y = 0; done < halves.size(); ++y) {
      for (int x = 0; x < width; ++x) {
        // Between the halves, plain colours, so both kinds share runs.
        const Color c = x % 7 == 3 ? Color{static_cast<std::uint8_t>(x), 40, 200} : halves[done++ % halves.size()];
        Fill(PixelRect{x, y, x, y}, c);
      }
      std::vector<Color> before;
      for (int x = 0; x < width; ++x) before.push_back(At(x, y));
      ASSERT_TRUE(graphics::ProcessColours(canvas, PixelRect{0, y, width - 1, y}, graphics::COLOUR_SEPIA, 0));
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(At(x, y), SepiaOf(before[static_cast<std::size_t>(x)])) << "at " << x << "," << y;
      }
    }
  });
}

// Every one of the 2^24 colours, laid out along whole bank rows (so every
// vector step and tail of the row loops sees them), gives the doubles'
// sepia.
TEST_F(ImageOpsTest, SepiaOfEveryColourIsTheDoublesResult) {
  constexpr int kColours = 1 << 24;
  constexpr int kPerBank = graphics::VRAM_WIDTH * graphics::VRAM_HEIGHT;
  // Each bankful of colours before and after, laid out once for every loop kind.
  struct Bankful {
    std::vector<std::uint8_t> before, after;
  };
  std::vector<Bankful> bankfuls;
  for (int first = 0; first < kColours; first += kPerBank) {
    Bankful& b = bankfuls.emplace_back();
    b.before.resize(graphics::VRAM_BANK_BYTES);
    b.after.resize(graphics::VRAM_BANK_BYTES);
    for (int i = 0; i < std::min(kPerBank, kColours - first); ++i) {
      const int v = first + i;
      const Color c{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                    static_cast<std::uint8_t>(v >> 16)};
      const Color sepia = SepiaOf(c);
      const int x = i % graphics::VRAM_WIDTH, y = i / graphics::VRAM_WIDTH;
      std::memcpy(graphics::PixelAt(b.before.data(), x, y), &c, 3);
      std::memcpy(graphics::PixelAt(b.after.data(), x, y), &sepia, 3);
    }
  }
  EachLoopKind([&] {
    auto canvas = Whole();
    for (const Bankful& b : bankfuls) {
      std::memcpy(Bank(), b.before.data(), b.before.size());
      ASSERT_TRUE(graphics::ProcessColours(canvas, graphics::kBankRect, graphics::COLOUR_SEPIA, 0));
      if (std::memcmp(Bank(), b.after.data(), b.after.size()) == 0) continue;
      int shown = 0;
      for (std::size_t at = 0; at < b.after.size() && shown < 5; at += 3) {
        if (std::memcmp(Bank() + at, b.after.data() + at, 3) == 0) continue;
        ++shown;
        const std::uint8_t* was = b.before.data() + at;
        const std::uint8_t* got = Bank() + at;
        ADD_FAILURE() << "blue, green, red " << int{was[0]} << "," << int{was[1]} << "," << int{was[2]} << " gives "
                      << int{got[0]} << "," << int{got[1]} << "," << int{got[2]};
      }
      return;
    }
  });
}

// Grey divides its weighted sum by 1000 in single precision: every colour
// whose sum lies on a multiple of 1000 or beside one (the only place the
// division could land on the wrong side) gives the luma of the integers.
TEST_F(ImageOpsTest, GreyIsTheIntegerLumaAtEveryRoundingEdge) {
  EachLoopKind([&] {
    std::vector<Color> edges;
    for (int r = 0; r < 256; ++r) {
      for (int g = 0; g < 256; ++g) {
        for (int b = 0; b < 256; ++b) {
          const int rest = (r * 299 + g * 587 + b * 114 + 500) % 1000;
          if (rest == 0 || rest == 1 || rest == 999) {
            edges.push_back(
                Color{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)});
          }
        }
      }
    }
    ASSERT_GT(edges.size(), 40000u);
    auto canvas = Whole();
    const int width = 2000;
    for (std::size_t done = 0; done < edges.size();) {
      const int rows = 25;
      const std::size_t first = done;
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) Fill(PixelRect{x, y, x, y}, edges[done++ % edges.size()]);
      }
      ASSERT_TRUE(graphics::ProcessColours(canvas, PixelRect{0, 0, width - 1, rows - 1}, graphics::COLOUR_GREY, 0));
      std::size_t i = first;
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
          const auto grey = static_cast<std::uint8_t>(graphics::Luma(edges[i++ % edges.size()]));
          ASSERT_EQ(At(x, y), (Color{grey, grey, grey})) << "at " << x << "," << y;
        }
      }
    }
  });
}

TEST_F(ImageOpsTest, FiltersWorkInsideTheArea) {
  auto canvas = Whole();
  Fill(PixelRect{10, 10, 14, 14}, graphics::kBlack);
  Fill(PixelRect{12, 12, 12, 12}, graphics::kWhite);  // one bright speck
  ASSERT_TRUE(graphics::ApplyFilter(canvas, PixelRect{10, 10, 14, 14}, graphics::FILTER_MEDIAN, 0));
  EXPECT_EQ(At(12, 12), graphics::kBlack);
  Fill(PixelRect{12, 12, 12, 12}, graphics::kWhite);
  ASSERT_TRUE(graphics::ApplyFilter(canvas, PixelRect{10, 10, 14, 14}, graphics::FILTER_DILATE, 1));
  EXPECT_EQ(At(11, 11), graphics::kWhite);
  EXPECT_EQ(At(10, 10), graphics::kBlack);
  ASSERT_TRUE(graphics::ApplyFilter(canvas, PixelRect{10, 10, 14, 14}, graphics::FILTER_ERODE, 1));
  EXPECT_EQ(At(12, 12), graphics::kWhite);
  EXPECT_EQ(At(11, 11), graphics::kBlack);
  Fill(PixelRect{20, 20, 21, 21}, Color{0, 0, 0});
  Fill(PixelRect{20, 20, 20, 20}, Color{200, 100, 40});
  ASSERT_TRUE(graphics::ApplyFilter(canvas, PixelRect{20, 20, 21, 21}, graphics::FILTER_MOSAIC, 2));
  EXPECT_EQ(At(21, 21), (Color{50, 25, 10}));
  EXPECT_FALSE(graphics::ApplyFilter(canvas, PixelRect{20, 20, 21, 21}, 42, 0));
  EXPECT_EQ(ChangedOutside(PixelRect{10, 10, 21, 21}), 0u);
}

// The 3 x 3 median of every component equals the middle of its nine
// neighbours (cut to the area and the clip) sorted, for areas of every
// narrow shape, wide ones, tall ones that run as several bands of rows, and
// areas cut by the canvas clip, on noise where every pixel differs.
TEST_F(ImageOpsTest, MedianIsTheMiddleOfTheSortedNeighbourhood) {
  std::uint32_t seed = 12345;
  for (int y = 0; y < 700; ++y) {
    for (int x = 0; x < 760; ++x) {
      std::uint8_t* p = graphics::PixelAt(Bank(), x, y);
      for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    }
  }
  const std::vector<std::uint8_t> before(Bank(), Bank() + graphics::VRAM_BANK_BYTES);
  const PixelRect whole{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1};
  struct Case {
    PixelRect area;
    PixelRect clip;
  };
  const Case cases[] = {{{0, 0, 599, 149}, whole},     {{610, 0, 610, 40}, whole},   {{620, 0, 621, 40}, whole},
                        {{630, 0, 632, 40}, whole},    {{640, 0, 690, 0}, whole},    {{640, 10, 690, 11}, whole},
                        {{640, 20, 690, 22}, whole},   {{650, 160, 650, 160}, whole}, {{700, 0, 704, 690}, whole},
                        {{710, 0, 710, 520}, whole},   {{0, 200, 690, 460}, whole},
                        {{100, 500, 300, 699}, PixelRect{150, 470, 720, 650}}};
  for (const Case& c : cases) {
    auto canvas = Clipped(c.clip);
    ASSERT_TRUE(graphics::ApplyFilter(canvas, c.area, graphics::FILTER_MEDIAN, 0));
  }
  for (const Case& c : cases) {
    const PixelRect a = graphics::Intersect(c.area, c.clip);
    for (int y = a.top; y <= a.bottom; ++y) {
      for (int x = a.left; x <= a.right; ++x) {
        for (int k = 0; k < 3; ++k) {
          std::array<std::uint8_t, 9> v{};
          std::size_t n = 0;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              const int sx = std::clamp(x + dx, a.left, a.right);
              const int sy = std::clamp(y + dy, a.top, a.bottom);
              v[n++] = graphics::PixelAt(before.data(), sx, sy)[k];
            }
          }
          std::sort(v.begin(), v.end());
          ASSERT_EQ(graphics::PixelAt(Bank(), x, y)[k], v[4]) << x << "," << y << " component " << k;
        }
      }
    }
  }
  // Nothing outside the areas changed.
  for (int y = 0; y < 700; ++y) {
    for (int x = 0; x < 760; ++x) {
      bool inside = false;
      for (const Case& c : cases) {
        const PixelRect a = graphics::Intersect(c.area, c.clip);
        inside = inside || (x >= a.left && x <= a.right && y >= a.top && y <= a.bottom);
      }
      if (!inside) {
        ASSERT_EQ(graphics::ReadPixel(Bank(), x, y), graphics::ReadPixel(before.data(), x, y)) << x << "," << y;
      }
    }
  }
}

TEST_F(ImageOpsTest, AreasBlobsAndRuns) {
  Fill(PixelRect{10, 10, 19, 14}, kInk);          // 50 pixels
  Fill(PixelRect{20, 15, 20, 15}, kInk);          // touches only diagonally
  Fill(PixelRect{40, 10, 41, 11}, Color{9, 9, 9});
  const graphics::Region area = graphics::ConnectedArea(Bank(), graphics::kBankRect, Point{12, 12}, 0);
  EXPECT_EQ(area.pixels, 50);
  EXPECT_EQ(area.box, (PixelRect{10, 10, 19, 14}));
  std::int64_t total = 0;
  const auto blobs = graphics::FindBlobs(Bank(), PixelRect{0, 0, 99, 99}, kPaper, 0, 1, 10, &total);
  ASSERT_EQ(total, 2);
  EXPECT_EQ(blobs[0].pixels, 51);  // diagonal neighbours join
  EXPECT_EQ(blobs[1].box, (PixelRect{40, 10, 41, 11}));
  const auto runs = graphics::ScanRuns(Bank(), Point{5, 12}, 20, false, 0);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1].start, 5);
  EXPECT_EQ(runs[1].length, 10);
  EXPECT_EQ(runs[1].colour, kInk);
  const graphics::Histogram h = graphics::ComputeHistogram(Bank(), PixelRect{10, 10, 19, 14}, 0);
  EXPECT_EQ(h.counts[kInk.r], 50);
  EXPECT_EQ(h.total, 50);
  const graphics::Comparison c = graphics::Compare(Bank(), PixelRect{0, 0, 29, 29}, Bank(), Point{30, 0}, 0);
  EXPECT_EQ(c.pixels, 900);
  EXPECT_EQ(c.different, 51);  // the square at 40 lies over ink that differs anyway
  EXPECT_EQ(c.box, (PixelRect{10, 10, 20, 15}));
}

// Each plane's counts against one pixel at a time, for widths that fill
// the four interleaved tables unevenly and for areas cut by the bank's edge.
TEST_F(ImageOpsTest, HistogramCountsEveryPixelOfThePlane) {
  std::uint32_t seed = 777;
  auto next_byte = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(seed >> 24);
  };
  const int right = graphics::VRAM_WIDTH - 1;
  for (int y = 0; y < 4; ++y) {
    for (int x = right - 20; x <= right; ++x) Fill(PixelRect{x, y, x, y}, Color{next_byte(), next_byte(), next_byte()});
  }
  for (int width = 1; width <= 9; ++width) {
    const PixelRect area{right - width + 1, 1, right + 5, 3};  // past the right edge
    for (int plane = 0; plane <= graphics::PLANE_BRIGHTNESS; ++plane) {
      std::array<std::int64_t, 256> want{};
      for (int y = 1; y <= 3; ++y) {
        for (int x = area.left; x <= right; ++x) {
          const Color c = At(x, y);
          const int v = plane == 0 ? c.r : plane == 1 ? c.g : plane == 2 ? c.b : graphics::Luma(c);
          ++want[static_cast<std::size_t>(v)];
        }
      }
      const graphics::Histogram h = graphics::ComputeHistogram(Bank(), area, plane);
      EXPECT_EQ(h.counts, want) << "plane " << plane << " width " << width;
      EXPECT_EQ(h.total, 3 * width);
    }
  }
}

}  // namespace
}  // namespace vx::test
