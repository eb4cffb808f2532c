// Barcode reading on planes drawn from module patterns.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/store.hpp"
#include "recognition/symbols.hpp"

namespace vx::recognition {
namespace {

const Region kRegion{0, 1119, 640, 1599};

// Draws modules (1 dark) of `module` pixels from x, rows 1200-1500,
// mirrored when asked; the rest of the plane is white.
Plane Draw(const std::string& modules, int module, int x, bool mirrored = false) {
  Plane p;
  p.Fill(255);
  const int n = static_cast<int>(modules.size());
  for (int i = 0; i < n; ++i) {
    const char m = modules[static_cast<std::size_t>(mirrored ? n - 1 - i : i)];
    if (m != '1') continue;
    for (int y = 1200; y < 1500; ++y) {
      for (int k = 0; k < module; ++k) p.SetPixel(x + i * module + k, y, 0);
    }
  }
  return p;
}

std::string Ean(const std::string& digits) {
  std::string full, error;
  return EanModules(digits, full, error);
}

TEST(BarcodeRead, Ean13AtSeveralModuleSizesBothWays) {
  for (int module : {1, 2, 3, 4}) {
    for (bool mirrored : {false, true}) {
      const Plane p = Draw(Ean("590123412345"), module, 40, mirrored);
      const BarcodeResult r = ReadBarcode(p, kRegion);
      EXPECT_EQ(r.kind, BARCODE_EAN13) << module << " " << mirrored << " " << r.text;
      EXPECT_EQ(r.text, "5901234123457") << module << " " << mirrored;
    }
  }
}

TEST(BarcodeRead, EveryFirstDigitParity) {
  for (char first = '0'; first <= '9'; ++first) {
    const std::string digits = std::string(1, first) + "12345678901";
    const BarcodeResult r = ReadBarcode(Draw(Ean(digits), 2, 40), kRegion);
    EXPECT_EQ(r.kind, BARCODE_EAN13);
    EXPECT_EQ(r.text.substr(0, 12), digits);
  }
}

TEST(BarcodeRead, ItfForwardAndReversed) {
  std::string error;
  for (int module : {1, 2, 3}) {
    for (bool mirrored : {false, true}) {
      const Plane p = Draw(ItfModules("00123456789012", error), module, 60, mirrored);
      const BarcodeResult r = ReadBarcode(p, kRegion);
      EXPECT_EQ(r.kind, BARCODE_ITF) << module << " " << mirrored << " " << r.text;
      EXPECT_EQ(r.text, "00123456789012");
    }
  }
}

TEST(BarcodeRead, WrongCheckDigitIsNotASuccess) {
  std::string modules = Ean("590123412345");
  // Digit 12 (last) drawn as 8 instead of 7: right-half code of 8 = 1213.
  const std::string seven = "1000100", eight = "1001000";
  ASSERT_EQ(modules.substr(85, 7), seven);
  modules.replace(85, 7, eight);
  const BarcodeResult r = ReadBarcode(Draw(modules, 2, 40), kRegion);
  EXPECT_EQ(r.kind, BARCODE_NONE);
}

TEST(BarcodeRead, EmptyPlaneReportsTheLastAttempt) {
  Plane p;
  const BarcodeResult r = ReadBarcode(p, kRegion);
  EXPECT_EQ(r.kind, BARCODE_NONE);
  EXPECT_EQ(r.text, "not include 17 bars! (0)");
}

// Element lists made by hand.
TEST(LocateCode, FindsTheSymbolAnywhereOnThePlane) {
  // Bars at 1200-1500 rows, from x = 1800 at 3 pixels a module (285 wide):
  // the region holds them with two cells of quiet zone, and the reader reads
  // them there.
  const Plane p = Draw(Ean("490123456789"), 3, 1800);
  const std::optional<Region> r = LocateCode(p, 48);
  ASSERT_TRUE(r.has_value());
  EXPECT_LE(r->x1, 1800 - 24);
  EXPECT_GE(r->x1, 1800 - 3 * 24 - 24);
  EXPECT_GE(r->x2, 1800 + 285 + 24);
  EXPECT_LE(r->x2, 1800 + 285 + 4 * 24);
  EXPECT_LE(r->y1, 1200);
  EXPECT_GE(r->y2, 1499);
  EXPECT_EQ(ReadBarcode(p, *r).text, "4901234567894");
  // Blank, flat and unused planes have no code.
  Plane flat;
  EXPECT_FALSE(LocateCode(flat, 48).has_value());
  flat.Fill(90);
  EXPECT_FALSE(LocateCode(flat, 48).has_value());
  // Beside a long straight edge (a column of cells with one change a row)
  // the symbol's larger group wins.
  Plane both = p;
  for (int y = 0; y < PLANE_HEIGHT; ++y) {
    for (int x = 0; x < 700; ++x) both.SetPixel(x, y, 0);
  }
  const std::optional<Region> again = LocateCode(both, 48);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(*again, *r);
}

Elements Widths(std::vector<int> w, int quiet) { return Elements{std::move(w), quiet}; }

TEST(Ean13Decoder, MessagesByteForByte) {
  EXPECT_EQ(DecodeEan13(Widths(std::vector<int>(58, 4), 100)).text, "not include 59 bars! (58)");
  std::vector<int> w(59, 4);
  w[2] = 12;
  EXPECT_EQ(DecodeEan13(Widths(w, 100)).text, "error : side mark [2] (12/4)");
  w[2] = 4;
  w[29] = 9;
  EXPECT_EQ(DecodeEan13(Widths(w, 100)).text, "error : center mark [29] (9/4)");
  w[29] = 4;
  EXPECT_EQ(DecodeEan13(Widths(w, 100)).text, "character [0] error");
}

TEST(ItfDecoder, MessagesByteForByte) {
  EXPECT_EQ(DecodeItf(Widths(std::vector<int>(16, 4), 100)).text, "not include 17 bars! (16)");
  std::vector<int> w(17, 4);
  w[0] = 8;  // more than 1.5 times element 2
  EXPECT_EQ(DecodeItf(Widths(w, 100)).text, "illegal start character");
  w[0] = 4;
  EXPECT_EQ(DecodeItf(Widths(w, 20)).text, "The quiet zone is too short.");
  // Element ratio 1.6: neither narrow nor wide.
  std::vector<int> r = {10, 10, 10, 10, 16, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
  EXPECT_EQ(DecodeItf(Widths(r, 200)).text, "character data error [4] even (-1)");
}

TEST(ItfDecoder, RunningOutOfElementsFails) {
  std::string error;
  const std::string m = ItfModules("1234", error);
  // Cut the stop pattern off: widths of everything but the last 3 elements.
  std::vector<int> w;
  for (std::size_t i = 0; i < m.size();) {
    std::size_t j = i;
    while (j < m.size() && m[j] == m[i]) ++j;
    w.push_back(static_cast<int>(j - i) * 4);
    i = j;
  }
  const Decoded whole = DecodeItf(Widths(w, 200));
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(whole.text, "1234");
  w.resize(w.size() - 3);
  EXPECT_EQ(DecodeItf(Widths(w, 200)).text, "stop character error");
}

TEST(ScanElements, BarAtTheLeftBorderLeavesNoQuietZone) {
  std::string error;
  // The first bar is skipped as leading dark; the narrow space after it is
  // all the quiet zone there is.
  const Plane p = Draw(ItfModules("1234", error), 2, 0);
  const Elements e = ScanElements(p, kRegion, 0, 1300, 1, 0);
  EXPECT_LT(e.quiet, 16);
  EXPECT_EQ(DecodeItf(e).text, "The quiet zone is too short.");
}

TEST(ScanElements, WideLightRunRestartsTheList) {
  Plane p;
  p.Fill(255);
  for (int y = 1119; y <= 1599; ++y) {
    for (int x = 10; x < 14; ++x) p.SetPixel(x, y, 0);     // noise bar
    for (int x = 300; x < 302; ++x) p.SetPixel(x, y, 0);   // first bar after a wide gap
    for (int x = 304; x < 306; ++x) p.SetPixel(x, y, 0);
  }
  const Elements e = ScanElements(p, kRegion, 0, 1300, 1, 0);
  ASSERT_GE(e.widths.size(), 3u);
  // 2700 / 640 = 4 samples per pixel.
  EXPECT_NEAR(e.widths[0], 8, 1);
  EXPECT_NEAR(e.widths[1], 8, 1);
  EXPECT_GT(e.quiet, 7 * 8);
}

TEST(ScanElements, SampleAndElementLimits) {
  Plane p;
  p.Fill(255);
  for (int x = 0; x < PLANE_WIDTH; x += 2) {
    for (int y = 0; y < 10; ++y) p.SetPixel(x, y, 0);
  }
  const Elements e = ScanElements(p, Region{0, 0, 2599, 9}, 0, 5, 1, 0);
  EXPECT_LE(e.widths.size(), static_cast<std::size_t>(ELEMENTS_MAX));
  EXPECT_EQ(e.widths.size(), static_cast<std::size_t>(ELEMENTS_MAX));
}

}  // namespace
}  // namespace vx::recognition
