// QR decoding: Reed-Solomon, block tables, segments, placement and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "graphics/vram.hpp"
#include "recognition/qr.hpp"
#include "recognition/reed_solomon.hpp"
#include "recognition/symbols.hpp"

namespace vx::recognition {
namespace {

std::vector<std::uint8_t> Codeword(std::size_t data_length, int ec, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> block(data_length + static_cast<std::size_t>(ec));
  for (std::size_t i = 0; i < data_length; ++i) block[i] = static_cast<std::uint8_t>(random());
  RsEncode(std::span(block.data(), data_length), std::span(block.data() + data_length, static_cast<std::size_t>(ec)));
  return block;
}

TEST(ReedSolomon, CorrectsUpToHalfTheEcCodewords) {
  for (int ec : {7, 10, 17, 22, 30}) {
    for (int errors = 0; errors <= ec / 2; ++errors) {
      const std::vector<std::uint8_t> good = Codeword(40, ec, static_cast<unsigned>(ec * 100 + errors));
      std::vector<std::uint8_t> bad = good;
      for (int e = 0; e < errors; ++e) bad[static_cast<std::size_t>(e * 4 + 1)] ^= static_cast<std::uint8_t>(0x5A + e);
      const RsOutcome r = RsCorrect(bad, ec);
      EXPECT_TRUE(r.ok) << ec << " " << errors;
      EXPECT_EQ(r.corrected, errors);
      EXPECT_EQ(bad, good);
    }
  }
}

TEST(ReedSolomon, TooManyErrorsLeaveTheBlockAsRead) {
  const std::vector<std::uint8_t> good = Codeword(19, 7, 3);
  std::vector<std::uint8_t> bad = good;
  for (int e = 0; e < 6; ++e) bad[static_cast<std::size_t>(e * 3)] ^= 0xFF;
  const std::vector<std::uint8_t> read = bad;
  EXPECT_FALSE(RsCorrect(bad, 7).ok);
  EXPECT_EQ(bad, read);
}

TEST(QrTables, CodewordTotalsMatchTheSymbolSizes) {
  EXPECT_EQ(BlocksOf(1, QR_LEVEL_L).DataCodewords(), 19);
  EXPECT_EQ(BlocksOf(1, QR_LEVEL_H).DataCodewords(), 9);
  EXPECT_EQ(BlocksOf(40, QR_LEVEL_L).raw_codewords, 3706);
  EXPECT_EQ(BlocksOf(40, QR_LEVEL_H).DataCodewords(), 1276);
  EXPECT_EQ(AlignmentCentres(7), (std::vector<int>{6, 22, 38}));
  EXPECT_EQ(AlignmentCentres(32), (std::vector<int>{6, 34, 60, 86, 112, 138}));
  EXPECT_EQ(AlignmentCentres(40), (std::vector<int>{6, 30, 58, 86, 114, 142, 170}));
}

std::string Decode(const QrMatrix& m) {
  std::string log;
  const QrOutcome r = DecodeQrMatrix(m, log);
  return r.ok ? r.text : "<failed> " + log;
}

// Text long enough to need the given version at the given level (and kind of data).
std::string Filler(std::size_t length, char kind) {
  std::string s;
  for (std::size_t i = 0; i < length; ++i) {
    s += kind == 'n' ? static_cast<char>('0' + i % 10) : kind == 'a' ? "AB CD$%*+-./:"[i % 13] : static_cast<char>('a' + i % 26);
  }
  return s;
}

TEST(QrMatrixDecode, EveryVersionAndLevelFromTheEncoder) {
  std::string error;
  for (int level = 0; level < 4; ++level) {
    for (int version = 1; version <= 40; ++version) {
      // Byte data filling most of the symbol pushes the encoder to this version.
      const QrBlocks b = BlocksOf(version, level);
      const std::size_t length = static_cast<std::size_t>(b.DataCodewords() - 3 - (version >= 10 ? 1 : 0));
      const std::string text = Filler(length, 'b');
      const QrMatrix m = EncodeQr(text, level, error);
      ASSERT_EQ(m.size, version * 4 + 17) << "level " << level << " version " << version;
      EXPECT_EQ(Decode(m), text.substr(0, QR_TEXT_MAX)) << "level " << level << " version " << version;
    }
  }
}

TEST(QrMatrixDecode, NumericAndAlphanumericCountsInLargeVersions) {
  std::string error;
  for (std::size_t length : {4u, 700u, 3000u, 7000u}) {
    const std::string digits = Filler(length, 'n');
    EXPECT_EQ(Decode(EncodeQr(digits, QR_LEVEL_L, error)), digits.substr(0, QR_TEXT_MAX)) << length;
  }
  for (std::size_t length : {2u, 500u, 2000u, 4000u}) {
    const std::string text = Filler(length, 'a');
    EXPECT_EQ(Decode(EncodeQr(text, QR_LEVEL_L, error)), text.substr(0, QR_TEXT_MAX)) << length;
  }
}

TEST(QrMatrixDecode, KanjiComesBackAsShiftJis) {
  std::string error;
  const std::string text = "\x93\xfa\x96\x7b\x8c\xea\xe0\x40";  // includes a code above 0x9FFC
  EXPECT_EQ(Decode(EncodeQr(text, QR_LEVEL_M, error)), text);
}

TEST(QrMatrixDecode, ThreeCorruptedCodewordsInVersion1) {
  std::string error;
  QrMatrix m = EncodeQr("HELLO 1L", QR_LEVEL_L, error);
  ASSERT_EQ(m.size, 21);
  // Columns 19-20 from the bottom hold codewords 0-2 (4 rows each): flip one module in each.
  for (int row : {20, 16, 12}) m.dark[static_cast<std::size_t>(row * 21 + 20)] ^= 1;
  EXPECT_EQ(Decode(m), "HELLO 1L");
}

TEST(QrMatrixDecode, SecondFormatCopyWhenTheFirstFails) {
  std::string error;
  QrMatrix m = EncodeQr("format", QR_LEVEL_Q, error);
  for (int c = 0; c <= 5; ++c) m.dark[static_cast<std::size_t>(8 * m.size + c)] ^= 1;  // six bits of copy 1
  EXPECT_EQ(Decode(m), "format");
}

std::vector<std::uint8_t> Bits(const std::string& bits) {
  std::vector<std::uint8_t> out((bits.size() + 7) / 8 + 2, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return out;
}

TEST(QrSegments, CountsPairsAndSkippedModes) {
  std::string text;
  // Alphanumeric "AB": 10 x 45 + 11 = 461.
  ASSERT_TRUE(DecodeQrSegments(Bits("0010" "000000010" "00111001101" "0000"), 1, text));
  EXPECT_EQ(text, "AB");
  // Numeric 4 digits: one 10-bit group, one 4-bit group.
  text.clear();
  ASSERT_TRUE(DecodeQrSegments(Bits("0001" "0000000100" "0001111011" "0111" "0000"), 1, text));
  EXPECT_EQ(text, "1237");
  // Structured append header, then ECI 26, then bytes: neither ends the data.
  text.clear();
  ASSERT_TRUE(DecodeQrSegments(Bits("0011" "0000000111111111" "0111" "00011010" "0100" "00000001" "01000001" "0000"), 1, text));
  EXPECT_EQ(text, "A");
  // Version 10 and above: byte counts of 16 bits.
  text.clear();
  ASSERT_TRUE(DecodeQrSegments(Bits("0100" "0000000000000001" "01000010" "0000"), 10, text));
  EXPECT_EQ(text, "B");
}

// Draws a matrix into a bank: module pixels, quiet zone, turned by `degrees`.
void DrawMatrix(std::uint8_t* bank, const QrMatrix& m, int module, double degrees, int cx, int cy) {
  std::fill(bank, bank + graphics::VRAM_BANK_BYTES, std::uint8_t{255});
  const double a = degrees * 3.14159265358979 / 180.0;
  const double half = m.size * module / 2.0;
  const int reach = static_cast<int>(half * 1.5) + 4;
  for (int y = cy - reach; y <= cy + reach; ++y) {
    for (int x = cx - reach; x <= cx + reach; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      const double u = std::cos(a) * dx + std::sin(a) * dy + half;
      const double v = -std::sin(a) * dx + std::cos(a) * dy + half;
      const int c = static_cast<int>(std::floor(u / module)), r = static_cast<int>(std::floor(v / module));
      if (c < 0 || r < 0 || c >= m.size || r >= m.size || !m.At(r, c)) continue;
      std::uint8_t* p = graphics::PixelAt(bank, x, y);
      p[0] = p[1] = p[2] = 0;
    }
  }
}

TEST(QrImage, TurnedSymbolsReadAsPrinted) {
  std::string error;
  const QrMatrix m = EncodeQr("Vexmora 2026 QR", QR_LEVEL_M, error);
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  Plane work;
  for (double degrees : {0.0, 90.0, 180.0, 270.0, 10.0, -15.0}) {
    for (int module : {3, 5}) {
      DrawMatrix(bank.data(), m, module, degrees, 400, 300);
      std::string log;
      const QrOutcome r = ReadQr(Picture{bank.data(), 800, 600}, 0, work, log);
      EXPECT_TRUE(r.ok) << degrees << " " << module << "\n" << log;
      EXPECT_EQ(r.text, "Vexmora 2026 QR");
    }
  }
}

TEST(QrImage, TwoSymbolsFail) {
  std::string error;
  const QrMatrix m = EncodeQr("one", QR_LEVEL_M, error);
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  DrawMatrix(bank.data(), m, 4, 0, 200, 200);
  // A second copy to the right, drawn by hand over the white page.
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      if (!m.At(r, c)) continue;
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
          std::uint8_t* p = graphics::PixelAt(bank.data(), 500 + c * 4 + x, 150 + r * 4 + y);
          p[0] = p[1] = p[2] = 0;
        }
      }
    }
  }
  Plane work;
  std::string log;
  EXPECT_FALSE(ReadQr(Picture{bank.data(), 800, 600}, 0, work, log).ok);
  EXPECT_NE(log.find("error : [markCnt != 3] \r\n"), std::string::npos);
}

// A finder pattern (dark 7 x 7 ring, light ring, dark 3 x 3 core) with its
// light border, written over the modules at (row, column).
void PlantFinder(QrMatrix& m, int row, int column) {
  for (int r = -1; r <= 7; ++r) {
    for (int c = -1; c <= 7; ++c) {
      const int ring = std::max(std::abs(r - 3), std::abs(c - 3));
      m.dark[static_cast<std::size_t>((row + r) * m.size + column + c)] = ring == 4 || ring == 2 ? 0 : 1;
    }
  }
}

TEST(QrImage, AFinderLookAlikeInTheDataIsPassedOver) {
  // Level H corrects the planted pattern; the picture then holds four
  // marks of one size, and the three at the corners must be taken.
  std::string error;
  const std::string text = "four finder marks, one of them in the data";
  QrMatrix m = EncodeQr(text, QR_LEVEL_H, error);
  ASSERT_GE(m.size, 33) << error;
  const int at = m.size / 2 - 3;
  PlantFinder(m, at + 2, at - 1);
  ASSERT_EQ(Decode(m), text);  // the data survive it
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  Plane work;
  for (double degrees : {0.0, 90.0, 200.0, -8.0}) {
    DrawMatrix(bank.data(), m, 6, degrees, 400, 400);
    std::string log;
    std::vector<FinderMark> marks;
    const QrOutcome r = ReadQr(Picture{bank.data(), 800, 800}, 0, work, log, &marks);
    EXPECT_EQ(marks.size(), 4u) << degrees;
    EXPECT_TRUE(r.ok) << degrees << "\n" << log;
    EXPECT_EQ(r.text, text) << degrees;
    EXPECT_EQ(log.find("markCnt"), std::string::npos) << degrees;
    EXPECT_NE(log.find("marks taken: "), std::string::npos) << degrees;
  }
}

FinderMark Mark(double x, double y, double size, int hits = 10) { return FinderMark{x, y, size, hits}; }

TEST(QrMarks, TheTriangleOfASymbolsCornersComesFirst) {
  // Exactly three: taken as found, even when they are no right triangle.
  const std::vector<FinderMark> crooked = {Mark(0, 0, 35), Mark(100, 0, 35), Mark(300, 40, 35)};
  ASSERT_EQ(MarkTriples(crooked).size(), 1u);
  EXPECT_EQ(MarkTriples(crooked)[0].marks, (std::array<std::size_t, 3>{0, 1, 2}));
  EXPECT_TRUE(MarkTriples({Mark(0, 0, 35), Mark(100, 0, 35)}).empty());
  // A symbol's corners at 200 pixels (modules of 5) and a look-alike
  // anywhere in its data, in every position of the list.
  const FinderMark corners[3] = {Mark(100, 100, 35), Mark(300, 100, 35), Mark(100, 300, 35)};
  for (const FinderMark& stray : {Mark(230, 230, 35), Mark(180, 120, 35), Mark(290, 280, 33, 3)}) {
    for (std::size_t at = 0; at <= 3; ++at) {
      std::vector<FinderMark> marks(corners, corners + 3);
      marks.insert(marks.begin() + static_cast<std::ptrdiff_t>(at), stray);
      const std::vector<MarkTriple> t = MarkTriples(marks);
      ASSERT_FALSE(t.empty()) << at;
      std::array<std::size_t, 3> best = t[0].marks;
      std::sort(best.begin(), best.end());
      std::array<std::size_t, 3> want{};
      for (std::size_t i = 0, n = 0; i < 4; ++i) {
        if (i != at) want[n++] = i;
      }
      EXPECT_EQ(best, want) << at << " " << stray.x;
      EXPECT_LE(t.size(), TRIPLES_TRIED);
      for (std::size_t i = 1; i < t.size(); ++i) EXPECT_LE(t[i - 1].score, t[i].score);
    }
  }
  // Two symbols: no way to tell which one is meant.
  std::vector<FinderMark> two(corners, corners + 3);
  for (const FinderMark& c : corners) two.push_back(Mark(c.x + 400, c.y + 50, 28));
  EXPECT_TRUE(MarkTriples(two).empty());
  // The fourth corner of the square makes every triple a layout: the
  // reader gets the next ones to try when the best does not decode.
  std::vector<FinderMark> square(corners, corners + 3);
  square.push_back(Mark(300, 300, 35));
  const std::vector<MarkTriple> layouts = MarkTriples(square);
  ASSERT_EQ(layouts.size(), TRIPLES_TRIED);
  EXPECT_NE(layouts[0].marks, layouts[1].marks);
  // Among many marks the ones seen most often are combined.
  std::vector<FinderMark> crowd(corners, corners + 3);
  crowd.push_back(Mark(230, 230, 35, 20));  // a look-alike seen more often than the corners
  for (std::size_t i = 0; i < TRIPLE_MARKS_MAX; ++i) crowd.push_back(Mark(2000 + 30.0 * static_cast<double>(i), 2000, 35, 1));
  const std::vector<MarkTriple> seen = MarkTriples(crowd);
  ASSERT_FALSE(seen.empty());
  std::array<std::size_t, 3> first = seen[0].marks;
  std::sort(first.begin(), first.end());
  EXPECT_EQ(first, (std::array<std::size_t, 3>{0, 1, 2}));
  // Four marks none of whose triples is a symbol's corners.
  EXPECT_TRUE(MarkTriples({Mark(0, 0, 35), Mark(100, 0, 35), Mark(300, 40, 35), Mark(500, 500, 35)}).empty());
}

TEST(QrMarks, TriangleScoreLimits) {
  const FinderMark o = Mark(100, 100, 35);
  EXPECT_DOUBLE_EQ(TriangleScore({o, Mark(300, 100, 35), Mark(100, 300, 35)}), 0.0);
  // Order does not matter; a turned symbol scores the same.
  EXPECT_NEAR(TriangleScore({Mark(100, 300, 35), o, Mark(300, 100, 35)}), 0.0, 1e-12);
  EXPECT_NEAR(TriangleScore({o, Mark(241.42, 241.42, 35), Mark(-41.42, 241.42, 35)}), 0.0, 1e-4);
  // Each fault alone raises the score, and beyond its limit rejects.
  const double sizes = TriangleScore({o, Mark(300, 100, 35), Mark(100, 300, 28)});
  EXPECT_NEAR(sizes, 0.2, 1e-9);
  EXPECT_LT(TriangleScore({o, Mark(300, 100, 35), Mark(100, 300, 24)}), 0);
  const double legs = TriangleScore({o, Mark(320, 100, 35), Mark(100, 300, 35)});
  EXPECT_NEAR(legs, std::log(1.1), 1e-9);
  EXPECT_LT(TriangleScore({o, Mark(340, 100, 35), Mark(100, 300, 35)}), 0);
  const double angle = TriangleScore({o, Mark(300, 100, 35), Mark(140, 296, 35)});
  EXPECT_GT(angle, 0.19);
  EXPECT_LT(TriangleScore({o, Mark(300, 100, 35), Mark(160, 291, 35)}), 0);
  // Too close for a version-1 symbol, or farther apart than version 40.
  EXPECT_LT(TriangleScore({o, Mark(155, 100, 35), Mark(100, 155, 35)}), 0);
  EXPECT_GT(TriangleScore({o, Mark(190, 100, 35), Mark(100, 190, 35)}), -0.5);
  EXPECT_LT(TriangleScore({o, Mark(1400, 100, 35), Mark(100, 1400, 35)}), 0);
}

TEST(QrImage, BlankPictureFailsQuietly) {
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  Plane work;
  std::string log;
  EXPECT_FALSE(ReadQr(Picture{bank.data(), 2600, 2000}, 0, work, log).ok);
  EXPECT_EQ(log.substr(0, 23), "start of QR_Decord() \r\n");
}

TEST(QrImage, SymbolAtThePageEdgeWithMarksElsewhere) {
  // The reader works on the part of the page with contrast: a symbol in the
  // bottom-right corner and a speck in the top-left make that part the
  // whole page, a symbol alone leaves most of it out; both must read, and
  // the work image must hold the symbol where the page has it.
  std::string error;
  const QrMatrix m = EncodeQr("corner", QR_LEVEL_M, error);
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  const int module = 4;
  const int half = m.size * module / 2;
  const int cx = 2600 - half - 4 * module, cy = 2000 - half - 4 * module;
  for (bool speck : {false, true}) {
    DrawMatrix(bank.data(), m, module, 0, cx, cy);
    if (speck) {
      for (int y = 3; y < 9; ++y) {
        for (int x = 5; x < 11; ++x) std::fill_n(graphics::PixelAt(bank.data(), x, y), 3, std::uint8_t{0});
      }
    }
    Plane work;
    std::string log;
    const QrOutcome r = ReadQr(Picture{bank.data(), 2600, 2000}, 0, work, log);
    EXPECT_TRUE(r.ok) << speck << "\n" << log;
    EXPECT_EQ(r.text, "corner");
    const int left = cx - half, top = cy - half;
    EXPECT_EQ(work.Grey(left + 3 * module + 1, top + 3 * module + 1), 0);  // centre of the top-left mark
    EXPECT_EQ(work.Grey(left + module + 1, top + module + 1), 255);        // its light ring
    EXPECT_EQ(work.Grey(left - 2, top - 2), 255);                          // quiet zone
    EXPECT_EQ(work.Grey(7, 5), speck ? 0 : 255);
  }
}

TEST(GreyRows, RunsOfOneColourGiveTheSameGreyAsEachPixel) {
  std::mt19937 random(7);
  for (int count : {0, 1, 15, 16, 17, 33, 64, 101, 511, 512, 530, 1100, 2600}) {
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(count) * 3);
    const unsigned rarity = count > 500 ? 400 : 7;  // long rows get long blank stretches
    for (int i = 0; i < count; ++i) {
      // Runs of one colour broken by single odd pixels at random places.
      const bool odd = random() % rarity == 0;
      const std::uint8_t colour[3] = {static_cast<std::uint8_t>(odd ? random() : 200),
                                      static_cast<std::uint8_t>(odd ? random() : 90),
                                      static_cast<std::uint8_t>(odd ? random() : 17)};
      std::copy(colour, colour + 3, bgr.begin() + i * 3);
    }
    std::vector<int> got(static_cast<std::size_t>(count), -1);
    ForEachGrey(bgr.data(), count, [&](int i, std::uint8_t g) { got[static_cast<std::size_t>(i)] = g; });
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* p = bgr.data() + i * 3;
      EXPECT_EQ(got[static_cast<std::size_t>(i)], (p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8) << count << " " << i;
    }
  }
}

}  // namespace
}  // namespace vx::recognition
