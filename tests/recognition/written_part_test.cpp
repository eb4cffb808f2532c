// Planes and pictures that know which part of them was written: every way
// of writing keeps that part a true bound (all pixels outside it have the
// ground grey), and the readers that look only inside it find the same as
// when the whole plane or picture counts as written, at its far edges too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "graphics/vram.hpp"
#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"
#include "recognition/symbols.hpp"

namespace vx::recognition {
namespace {

constexpr Region kWholePlane{0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1};

std::size_t At(int x, int y) { return static_cast<std::size_t>(y) * PLANE_WIDTH + static_cast<std::size_t>(x); }

// Every pixel of the plane against the expected greys (all three bytes in
// the written rows, which reading leaves as they were prepared), and every
// pixel outside the written part against the ground.
void ExpectPlane(const Plane& plane, const std::vector<std::uint8_t>& expected, const std::string& step) {
  ASSERT_TRUE(plane.Used()) << step;
  const std::optional<Region> w = plane.Written();
  int wrong = 0, outside = 0;
  for (int y = 0; y < PLANE_HEIGHT; ++y) {
    const bool written_row = w && y >= w->y1 && y <= w->y2;
    const std::uint8_t* row = written_row ? plane.Row(y) : nullptr;
    for (int x = 0; x < PLANE_WIDTH; ++x) {
      const std::uint8_t g = expected[At(x, y)];
      wrong += plane.Grey(x, y) != g;
      if (row != nullptr) {
        const std::uint8_t* p = row + static_cast<std::size_t>(x) * PLANE_PIXEL_BYTES;
        wrong += p[0] != g || p[1] != g || p[2] != g;
      }
      const bool inside = written_row && x >= w->x1 && x <= w->x2;
      outside += !inside && g != plane.Ground();
    }
  }
  EXPECT_EQ(wrong, 0) << step;
  EXPECT_EQ(outside, 0) << step;
}

// A bank (bottom-up rows of blue, green, red) of one colour with a noisy
// rectangle, as a picture whose drawn part is that rectangle.
struct Page {
  std::vector<std::uint8_t> bank = std::vector<std::uint8_t>(graphics::VRAM_BANK_BYTES);
  Picture picture;
};

Page NoisyPage(std::mt19937& random, std::uint8_t ground, const Region& drawn) {
  Page page;
  std::fill(page.bank.begin(), page.bank.end(), ground);
  for (int y = drawn.y1; y <= drawn.y2; ++y) {
    for (int x = drawn.x1; x <= drawn.x2; ++x) {
      std::uint8_t* p = graphics::PixelAt(page.bank.data(), x, y);
      p[0] = static_cast<std::uint8_t>(random()), p[1] = static_cast<std::uint8_t>(random());
      p[2] = static_cast<std::uint8_t>(random());
    }
  }
  page.picture = Picture{page.bank.data(), PLANE_WIDTH, PLANE_HEIGHT, drawn, ground};
  return page;
}

TEST(PlaneWrittenPart, EveryWriterKeepsTheBound) {
  std::mt19937 random(11);
  Plane plane;
  EXPECT_FALSE(plane.Written());
  EXPECT_EQ(plane.Ground(), 255);
  std::vector<std::uint8_t> expected(static_cast<std::size_t>(PLANE_WIDTH) * PLANE_HEIGHT, 255);

  // Single pixels at the four corners and outside the plane.
  plane.SetPixel(0, 0, 10);
  plane.SetPixel(PLANE_WIDTH - 1, PLANE_HEIGHT - 1, 20);
  plane.SetPixel(-1, 5, 0);
  plane.SetPixel(5, PLANE_HEIGHT, 0);
  expected[At(0, 0)] = 10, expected[At(PLANE_WIDTH - 1, PLANE_HEIGHT - 1)] = 20;
  ASSERT_TRUE(plane.Written());
  EXPECT_EQ(*plane.Written(), kWholePlane);
  ExpectPlane(plane, expected, "corner pixels");

  // The same ground again: only the written part is rewritten.
  plane.Fill(255);
  std::fill(expected.begin(), expected.end(), 255);
  EXPECT_FALSE(plane.Written());
  ExpectPlane(plane, expected, "refill");

  // Spans along the right and bottom edges.
  std::uint8_t* span = plane.WriteRow(PLANE_WIDTH - 7, PLANE_HEIGHT - 1, 7);
  std::fill_n(span, 7 * PLANE_PIXEL_BYTES, std::uint8_t{3});
  for (int x = PLANE_WIDTH - 7; x < PLANE_WIDTH; ++x) expected[At(x, PLANE_HEIGHT - 1)] = 3;
  EXPECT_EQ(*plane.Written(), (Region{PLANE_WIDTH - 7, PLANE_HEIGHT - 1, PLANE_WIDTH - 1, PLANE_HEIGHT - 1}));
  ExpectPlane(plane, expected, "edge span");

  // Random mixes of pixels, spans, fills to the same and to another grey,
  // whole and partial copies of pictures.
  for (int step = 0; step < 24; ++step) {
    const int kind = static_cast<int>(random() % 6);
    if (kind == 0) {
      for (int i = 0; i < 50; ++i) {
        const int x = static_cast<int>(random() % (PLANE_WIDTH + 20)) - 10;
        const int y = static_cast<int>(random() % (PLANE_HEIGHT + 20)) - 10;
        const auto g = static_cast<std::uint8_t>(random());
        plane.SetPixel(x, y, g);
        if (x >= 0 && y >= 0 && x < PLANE_WIDTH && y < PLANE_HEIGHT) expected[At(x, y)] = g;
      }
    } else if (kind == 1) {
      const int count = 1 + static_cast<int>(random() % 300);
      const int x = static_cast<int>(random() % static_cast<unsigned>(PLANE_WIDTH - count + 1));
      const int y = static_cast<int>(random() % PLANE_HEIGHT);
      const auto g = static_cast<std::uint8_t>(random());
      std::fill_n(plane.WriteRow(x, y, count), count * PLANE_PIXEL_BYTES, g);
      std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(At(x, y)), count, g);
    } else if (kind == 2) {
      // Mostly the ground again, sometimes another grey.
      const std::uint8_t g = random() % 3 == 0 ? static_cast<std::uint8_t>(random()) : plane.Ground();
      plane.Fill(g);
      std::fill(expected.begin(), expected.end(), g);
    } else {
      const std::uint8_t ground = random() % 2 == 0 ? 255 : static_cast<std::uint8_t>(random());
      const int x1 = static_cast<int>(random() % PLANE_WIDTH), y1 = static_cast<int>(random() % PLANE_HEIGHT);
      const Region drawn{x1, y1, std::min(x1 + static_cast<int>(random() % 400), PLANE_WIDTH - 1),
                         std::min(y1 + static_cast<int>(random() % 300), PLANE_HEIGHT - 1)};
      const Page page = NoisyPage(random, ground, drawn);
      // Whole copies (kinds 3 and 4) and a copy of a rectangle around the
      // drawn part (kind 5).
      const Region copy = kind == 5 ? Region{std::max(drawn.x1 - 30, 0), std::max(drawn.y1 - 20, 0),
                                             std::min(drawn.x2 + 40, PLANE_WIDTH - 1), drawn.y2}
                                    : kWholePlane;
      CopyPictureGrey(plane, page.picture, copy);
      for (int y = copy.y1; y <= copy.y2; ++y) {
        for (int x = copy.x1; x <= copy.x2; ++x) expected[At(x, y)] = GreyOfBgr(graphics::PixelAt(page.bank.data(), x, y));
      }
    }
    ExpectPlane(plane, expected, "step " + std::to_string(step) + " kind " + std::to_string(kind));
  }

  // A copy holds the same picture, rows not yet written out included.
  plane.Fill(static_cast<std::uint8_t>(plane.Ground() + 1));
  std::fill(expected.begin(), expected.end(), plane.Ground());
  plane.SetPixel(PLANE_WIDTH - 1, 0, 1);
  expected[At(PLANE_WIDTH - 1, 0)] = 1;
  const Plane copy = plane;
  ExpectPlane(copy, expected, "copy");
  ExpectPlane(plane, expected, "copied");

  plane.Release();
  EXPECT_FALSE(plane.Used());
  EXPECT_FALSE(plane.Written());
  EXPECT_EQ(plane.Ground(), 255);
  EXPECT_EQ(plane.Grey(0, 0), 255);
}

TEST(PlaneWrittenPart, CopyOfAOneColourPictureOnlyFills) {
  Plane plane;
  plane.SetPixel(100, 100, 0);
  Picture blank{nullptr, PLANE_WIDTH, PLANE_HEIGHT, std::nullopt, 40};  // the bank is never read
  CopyPictureGrey(plane, blank, kWholePlane);
  EXPECT_EQ(plane.Ground(), 40);
  EXPECT_FALSE(plane.Written());
  EXPECT_EQ(plane.Grey(100, 100), 40);
  EXPECT_EQ(plane.Grey(PLANE_WIDTH - 1, PLANE_HEIGHT - 1), 40);
}

// An EAN-13 drawn into the plane with its top-left corner at (x, y), bars
// `height` pixels high.
void DrawEan(Plane& plane, int x, int y, int module, int height) {
  std::string digits, error;
  const std::string modules = EanModules("590123412345", digits, error);
  ASSERT_FALSE(modules.empty()) << error;
  const int left = x + EAN_QUIET_LEFT * module;
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (modules[i] != '1') continue;
    for (int row = y; row < y + height; ++row) {
      for (int k = 0; k < module; ++k) plane.SetPixel(left + static_cast<int>(i) * module + k, row, 0);
    }
  }
}

TEST(PlaneWrittenPart, CodesAtTheFarEdgesAreLocatedAsOnAWholePlane) {
  constexpr int module = 2;
  constexpr int width = (EAN_QUIET_LEFT + 95 + EAN_QUIET_RIGHT) * module;
  constexpr int height = 120;
  const std::vector<std::pair<int, int>> corners = {
      {0, 0}, {PLANE_WIDTH - width, PLANE_HEIGHT - height}, {0, PLANE_HEIGHT - height}, {PLANE_WIDTH - width, 0}};
  for (const auto& [x, y] : corners) {
    Plane plane;
    plane.Fill(255);
    DrawEan(plane, x, y, module, height);
    const std::optional<Region> found = LocateCode(plane, 48);
    // The same pixels with the whole plane counted as written: the full scan.
    Plane whole;
    whole.Fill(255);
    DrawEan(whole, x, y, module, height);
    whole.Widen(0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1);
    ASSERT_EQ(*whole.Written(), kWholePlane);
    const std::optional<Region> reference = LocateCode(whole, 48);
    ASSERT_TRUE(found.has_value()) << x << "," << y;
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(*found, *reference) << x << "," << y;
    EXPECT_TRUE(found->x1 <= x + EAN_QUIET_LEFT * module && found->x2 >= x + width - EAN_QUIET_RIGHT * module - 1)
        << x << "," << y;
    const BarcodeResult r = ReadBarcode(plane, *found);
    EXPECT_EQ(r.kind, BARCODE_EAN13) << x << "," << y << " " << r.text;
    EXPECT_EQ(r.text, "5901234123457");
  }
}

TEST(PlaneWrittenPart, MarksOnTheFirstOrLastLineOfACellAreFound) {
  // A dark line across one 24 x 24 cell gives it the contrast and the
  // changes of code; lines on a cell's first or last column or row, and on
  // the plane's last column and row, are the written part's very edge.
  struct Line {
    int x, y;
    bool vertical;
  };
  const std::vector<Line> lines = {{0, 0, true},      {23, 24, true},    {24, 48, true},     {2592, 480, true},
                                   {2599, 1944, true}, {48, 23, false},  {96, 24, false},    {2568, 1999, false},
                                   {0, 1992, false},   {1199, 1008, true}};
  for (const Line& line : lines) {
    Plane plane, whole;
    for (Plane* p : {&plane, &whole}) {
      p->Fill(255);
      for (int k = 0; k < SEARCH_BLOCK; ++k) {
        p->SetPixel(line.vertical ? line.x : line.x + k, line.vertical ? line.y + k : line.y, 0);
      }
    }
    whole.Widen(0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1);
    const std::optional<Region> found = LocateCode(plane, 48);
    ASSERT_TRUE(found.has_value()) << line.x << "," << line.y;
    EXPECT_EQ(found, LocateCode(whole, 48)) << line.x << "," << line.y;
    EXPECT_TRUE(found->x1 <= line.x && found->x2 >= line.x && found->y1 <= line.y && found->y2 >= line.y)
        << line.x << "," << line.y << ": " << found->x1 << "," << found->y1 << "," << found->x2 << "," << found->y2;
  }
}

TEST(PlaneWrittenPart, AFilledPlaneHasNoCode) {
  Plane plane;
  EXPECT_FALSE(LocateCode(plane, 48));
  DrawEan(plane, 300, 300, 2, 100);
  ASSERT_TRUE(LocateCode(plane, 48));
  plane.Fill(255);  // the symbol is wiped, not just forgotten
  EXPECT_FALSE(LocateCode(plane, 48));
  plane.Widen(0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1);
  EXPECT_FALSE(LocateCode(plane, 48));
}

// A QR symbol with modules of `module` pixels and its quiet zone, its
// top-left corner at (x, y) of a white bank; the drawn part is returned.
Region DrawQr(std::vector<std::uint8_t>& bank, const std::string& text, int module, int x, int y) {
  std::string error;
  const QrMatrix m = EncodeQr(text, QR_LEVEL_M, error);
  const int side = (m.size + 2 * QR_QUIET) * module;
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      if (!m.At(r, c)) continue;
      for (int k = 0; k < module * module; ++k) {
        const int px = x + (QR_QUIET + c) * module + k % module, py = y + (QR_QUIET + r) * module + k / module;
        std::fill_n(graphics::PixelAt(bank.data(), px, py), 3, std::uint8_t{0});
      }
    }
  }
  return Region{x, y, x + side - 1, y + side - 1};
}

TEST(PictureDrawnPart, QrAtTheFarEdgesReadsAsOnTheWholePicture) {
  std::string error;
  const int side = (EncodeQr("edge", QR_LEVEL_M, error).size + 2 * QR_QUIET) * 3;
  const std::vector<std::pair<int, int>> corners = {
      {PLANE_WIDTH - side, PLANE_HEIGHT - side}, {0, 0}, {PLANE_WIDTH - side, 0}, {0, PLANE_HEIGHT - side}};
  Plane work;  // shared, as the store's work image is
  for (const auto& [x, y] : corners) {
    std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
    const Region drawn = DrawQr(bank, "edge", 3, x, y);
    std::string log, whole_log;
    Picture picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT, drawn, 255};
    const QrOutcome r = ReadQr(picture, 0, work, log);
    EXPECT_TRUE(r.ok) << x << "," << y << "\n" << log;
    EXPECT_EQ(r.text, "edge");
    // Only the marks' positions and the work image matter to a script: the
    // whole picture must give the same log and the same work image.
    Plane whole_work;
    const QrOutcome w = ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, whole_work, whole_log);
    EXPECT_EQ(w.text, r.text);
    EXPECT_EQ(log, whole_log);
    int differ = 0;
    for (int py = 0; py < PLANE_HEIGHT; ++py) {
      differ += std::memcmp(work.Row(py), whole_work.Row(py), static_cast<std::size_t>(PLANE_WIDTH) * PLANE_PIXEL_BYTES) != 0;
    }
    EXPECT_EQ(differ, 0) << "work image rows differing, symbol at " << x << "," << y;
  }
}

TEST(PictureDrawnPart, ContrastOnTheDrawnPartsEdgesReachesTheWorkImage) {
  // Short dark lines whose outer side is the drawn part's edge: on the last
  // column of an 8 x 8 cell at the left and top, on the first at the right
  // and bottom, far enough apart that each must be found on its own.
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  const Region drawn{1007, 503, 1600, 1200};
  auto dark = [&](int x, int y) { std::fill_n(graphics::PixelAt(bank.data(), x, y), 3, std::uint8_t{0}); };
  for (int k = 0; k < 12; ++k) {
    dark(drawn.x1, 700 + k);
    dark(drawn.x2, 800 + k);
    dark(1300 + k, drawn.y1);
    dark(1200 + k, drawn.y2);
  }
  Plane work, whole_work;
  std::string log, whole_log;
  EXPECT_FALSE(ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT, drawn, 255}, 0, work, log).ok);
  ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT}, 0, whole_work, whole_log);
  EXPECT_EQ(log, whole_log);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{drawn.x1, 705}, {drawn.x2, 805}, {1305, drawn.y1},
                                                             {1205, drawn.y2}}) {
    EXPECT_EQ(work.Grey(x, y), 0) << x << "," << y;
    EXPECT_EQ(whole_work.Grey(x, y), 0) << x << "," << y;
  }
}

TEST(PictureDrawnPart, AOneColourPictureHasNoSymbol) {
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  DrawQr(bank, "hidden", 3, 100, 100);  // memory the picture says is blank
  Plane work;
  std::string log;
  EXPECT_FALSE(ReadQr(Picture{bank.data(), PLANE_WIDTH, PLANE_HEIGHT, std::nullopt, 255}, 0, work, log).ok);
  EXPECT_NE(log.find("error : [markCnt != 3] \r\n"), std::string::npos);
}

// The element widths of one scan line computed the plain way: a division
// per sample and the clamped grey of each of the four pixels around it.
std::vector<int> PlainWidths(const Plane& plane, const Region& r, int x, int y, int dx, int dy) {
  const int major = std::max(std::abs(dx), std::abs(dy));
  const double sx = static_cast<double>(dx) / major, sy = static_cast<double>(dy) / major;
  auto inside = [&](double px, double py) { return px >= r.x1 && px <= r.x2 && py >= r.y1 && py <= r.y2; };
  int lo = 255, hi = 0;
  for (int t = 0; inside(x + t * sx, y + t * sy); ++t) {
    const int g = plane.Grey(static_cast<int>(std::floor(x + t * sx)), static_cast<int>(std::floor(y + t * sy)));
    lo = std::min(lo, g), hi = std::max(hi, g);
  }
  const int threshold = (lo + hi) / 2;
  const int substeps = std::max(r.x2 > r.x1 ? SUBSTEP_SPAN / (r.x2 - r.x1) : 0, 1);
  std::vector<bool> dark;
  for (int j = 0; j < SAMPLES_MAX; ++j) {
    const double px = x + j * sx / substeps, py = y + j * sy / substeps;
    if (!inside(px, py)) break;
    const int ix = static_cast<int>(std::floor(px)), iy = static_cast<int>(std::floor(py));
    const double ax = px - std::floor(px), ay = py - std::floor(py);
    const double top = plane.Grey(ix, iy) * (1.0 - ax) + plane.Grey(ix + 1, iy) * ax;
    const double bottom = plane.Grey(ix, iy + 1) * (1.0 - ax) + plane.Grey(ix + 1, iy + 1) * ax;
    dark.push_back(top * (1.0 - ay) + bottom * ay < threshold);
  }
  std::vector<int> widths;
  for (std::size_t j = 0; j < dark.size();) {
    std::size_t k = j;
    while (k < dark.size() && dark[k] == dark[j]) ++k;
    widths.push_back(static_cast<int>(k - j));
    j = k;
  }
  return widths;
}

TEST(ScanLines, SamplesAsThePlainWayInEveryDirection) {
  // A blurred, noisy, turned pattern reaching the plane's left, right and
  // bottom edges, scanned in the reader's directions and in steeper ones.
  std::mt19937 random(5);
  Plane plane;
  // The same pattern again in the middle of the plane: the row below it
  // is read by samples on its last row and was never written.
  for (const int bottom : {PLANE_HEIGHT - 1, 1299}) {
    for (int y = bottom - 299; y <= bottom; ++y) {
      for (int x = 0; x < PLANE_WIDTH; x = x == 130 ? PLANE_WIDTH - 500 : x + 1) {
        const double v = 128 + 100 * std::sin((x * 0.9 + y * 0.2) / 3.0) + static_cast<int>(random() % 30);
        plane.SetPixel(x, y, static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)));
      }
    }
  }
  const std::vector<Region> regions = {{PLANE_WIDTH - 500, PLANE_HEIGHT - 300, PLANE_WIDTH - 1, PLANE_HEIGHT - 1},
                                       {PLANE_WIDTH - 337, PLANE_HEIGHT - 211, PLANE_WIDTH - 1, PLANE_HEIGHT - 1},
                                       {PLANE_WIDTH - 90, PLANE_HEIGHT - 80, PLANE_WIDTH - 1, PLANE_HEIGHT - 1},
                                       {PLANE_WIDTH - 500, 1000, PLANE_WIDTH - 1, 1299},
                                       {PLANE_WIDTH - 200, 1260, PLANE_WIDTH - 1, 1299},
                                       {-7, 1000, 120, 1299}};  // a region reaching off the plane
  const std::vector<std::pair<int, int>> directions = {{1, 0},  {2, -1}, {2, 1}, {2, 2},  {-2, 2}, {0, 1},
                                                       {-1, 2}, {1, 2},  {3, 1}, {5, -3}, {-16, 7}, {1, 16}};
  for (const Region& r : regions) {
    for (const auto& [dx, dy] : directions) {
      for (int i = 0; i < 6; ++i) {
        // Starts anywhere, on the region's last rows, and near its left
        // edge (lines heading left cross it).
        const int x = i == 2 ? r.x1 + 9 : r.x1 + static_cast<int>(random() % static_cast<unsigned>(r.x2 - r.x1 + 1));
        const int y = i < 2 ? r.y2 - i : r.y1 + static_cast<int>(random() % static_cast<unsigned>(r.y2 - r.y1 + 1));
        const Elements e = ScanElements(plane, r, x, y, dx, dy);
        const std::vector<int> plain = PlainWidths(plane, r, x, y, dx, dy);
        // ScanElements starts at the first light run after the leading dark
        // one and may restart at a quiet zone: its widths end the plain ones.
        ASSERT_LE(e.widths.size(), plain.size()) << dx << "," << dy;
        EXPECT_TRUE(std::equal(e.widths.rbegin(), e.widths.rend(), plain.rbegin()))
            << "direction " << dx << "," << dy << " from " << x << "," << y;
      }
    }
  }
  // Columns alternating either side of the threshold at the plane's left
  // edge: every sample needs the interpolation, and lines heading left
  // leave the plane inside a region that reaches past it.
  Plane stripes;
  for (int y = 490; y < 560; ++y) {
    for (int x = 0; x < 60; ++x) stripes.SetPixel(x, y, static_cast<std::uint8_t>(x % 2 == 0 ? 90 + y % 7 : 170 - x));
  }
  const Region off_edge{-7, 500, 40, 540};
  for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{-2, 2}, {-1, 2}, {-2, 1}, {1, 0}}) {
    for (int x : {0, 1, 2, 5}) {
      const Elements e = ScanElements(stripes, off_edge, x, 500, dx, dy);
      const std::vector<int> plain = PlainWidths(stripes, off_edge, x, 500, dx, dy);
      ASSERT_LE(e.widths.size(), plain.size());
      EXPECT_TRUE(std::equal(e.widths.rbegin(), e.widths.rend(), plain.rbegin())) << dx << "," << dy << " from " << x;
    }
  }
}

}  // namespace
}  // namespace vx::recognition
