// BMP files and packed DIBs: the reader against hand-made and ImageMagick
// files, the writer's exact bytes, and headers that lie.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "graphics/bmp.hpp"
#include "graphics/picture_files.hpp"
#include "image_test_support.hpp"

namespace vx::test {
namespace {

using graphics::BmpLoadStatus;
using graphics::Color;
using graphics::PixelRect;
using graphics::SpanSource;

class BmpTest : public ::testing::Test {
 protected:
  BmpTest() : bank_(graphics::VRAM_BANK_BYTES) { graphics::FillBank(Bank(), kPaper); }
  std::uint8_t* Bank() { return bank_.data(); }
  graphics::Surface Whole() { return graphics::Surface{Bank(), graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT}; }
  Color At(int x, int y) { return graphics::ReadPixel(Bank(), x, y); }
  graphics::BmpLoadResult Load(const std::string& file, int x, int y, int max_w = 10000, int max_h = 10000) {
    SpanSource source(file);
    return graphics::LoadBmp(source, Whole(), x, y, max_w, max_h);
  }
  void Paint(const PixelRect& r) {
    for (int y = r.top; y <= r.bottom; ++y) {
      for (int x = r.left; x <= r.right; ++x) {
        const Color c = Pattern(x, y);
        std::uint8_t* p = graphics::PixelAt(Bank(), x, y);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    }
  }
  static constexpr Color kPaper{1, 2, 3};
  PictureDir dir;

 private:
  std::vector<std::uint8_t> bank_;
};

std::uint32_t U32At(const std::string& s, std::size_t i) {
  return static_cast<std::uint8_t>(s[i]) | static_cast<std::uint8_t>(s[i + 1]) << 8 |
         static_cast<std::uint8_t>(s[i + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[i + 3])) << 24;
}

// Rows of 5 pixels are 15 bytes, padded to 16: 54 + 2 x 16 bytes.
TEST_F(BmpTest, FiveByTwoRectangleIsEightySixBytesWithTheGivenHeader) {
  Paint(PixelRect{10, 20, 14, 21});
  const std::string bmp = graphics::EncodeBmp(Bank(), PixelRect{10, 20, 14, 21});
  ASSERT_EQ(bmp.size(), 86u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32At(bmp, 2), 86u);      // file size
  EXPECT_EQ(U32At(bmp, 6), 0u);       // reserved words
  EXPECT_EQ(U32At(bmp, 10), 54u);     // pixel offset
  EXPECT_EQ(U32At(bmp, 14), 40u);     // information header
  EXPECT_EQ(U32At(bmp, 18), 5u);
  EXPECT_EQ(U32At(bmp, 22), 2u);      // positive: bottom-up
  EXPECT_EQ(U32At(bmp, 26), 1u | 24u << 16);  // planes, bits
  EXPECT_EQ(U32At(bmp, 30), 0u);      // BI_RGB
  EXPECT_EQ(U32At(bmp, 34), 32u);     // two rows of 16
  for (std::size_t i = 38; i < 54; i += 4) EXPECT_EQ(U32At(bmp, i), 0u);
  // The bottom row comes first; a row's padding is the next bank byte, the
  // blue of the pixel right of the rectangle.
  const Color bottom_left = Pattern(10, 21);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[54]), bottom_left.b);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[56]), bottom_left.r);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[69]), kPaper.b);
  const Color top_left = Pattern(10, 20);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[70]), top_left.b);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[85]), kPaper.b);
}

// Memory rows run bottom-up: past a row's right end come the first pixels
// of the row above, and past the top row's end the bank is over.
TEST_F(BmpTest, PaddingAtTheRightEdgeComesFromTheRowAboveOrIsZeroPastTheBank) {
  const int last = graphics::VRAM_WIDTH - 1;
  Paint(PixelRect{0, 0, last, 1});
  const std::string bmp = graphics::EncodeBmp(Bank(), PixelRect{last - 4, 0, last, 1});
  ASSERT_EQ(bmp.size(), 86u);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[54 + 12]), Pattern(last, 1).b);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[54 + 15]), Pattern(0, 0).b);  // row 1's padding
  EXPECT_EQ(bmp[70 + 15], '\0');                                         // row 0 ends the bank
  // A packed DIB for the clipboard pads with zeros.
  const std::string dib = graphics::EncodeDib(Bank(), PixelRect{10, 20, 14, 21});
  ASSERT_EQ(dib.size(), 40u + 32u);
  EXPECT_EQ(dib[40 + 15], '\0');
  EXPECT_EQ(dib[40 + 31], '\0');
}

TEST_F(BmpTest, WrittenFilesReadBackInImageMagickPixelForPixel) {
  const PixelRect area{3, 4, 3 + 37 - 1, 4 + 23 - 1};  // odd width: padded rows
  Paint(area);
  const std::string file = dir.File("out.bmp");
  WriteFileBytes(file, graphics::EncodeBmp(Bank(), area));
  const RawPicture ref = DecodeWithConvert(file, 37, 23);
  EXPECT_EQ(LargestDifference(Bank(), 3, 4, ref), 0);
}

TEST_F(BmpTest, ImageMagickFilesLoadPixelForPixelWhateverTheirHeaderSize) {
  // BMP3 has the 40-byte header; ImageMagick's default writes a larger one
  // and puts the pixels behind it.
  for (const char* format : {"BMP3", "BMP"}) {
    const std::string file = dir.File(std::string(format) + ".bmp");
    ASSERT_TRUE(Convert("rose: -type TrueColor " + std::string(format) + ":'" + file + "'"));
    const RawPicture ref = DecodeWithConvert(file, 70, 46);
    const graphics::BmpLoadResult r = Load(ReadFileBytes(file), 5, 6);
    EXPECT_EQ(r.status, BmpLoadStatus::kOk) << format;
    EXPECT_EQ(r.header.width, 70);
    EXPECT_EQ(r.header.Rows(), 46);
    EXPECT_EQ(LargestDifference(Bank(), 5, 6, ref), 0) << format;
  }
}

TEST_F(BmpTest, PlacementFollowsTheLoaderRules) {
  const std::string file = MakeBmp(20, 30, 24, false, Pattern);
  // x = -10: the picture shifted left by 10 columns.
  EXPECT_EQ(Load(file, -10, 0).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(0, 0), Pattern(10, 0));
  EXPECT_EQ(At(9, 29), Pattern(19, 29));
  EXPECT_EQ(At(10, 0), kPaper);
  // Maximum height 10 of 30 rows: the top ten rows only.
  graphics::FillBank(Bank(), kPaper);
  EXPECT_EQ(Load(file, 100, 100, 20, 10).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(100, 100), Pattern(0, 0));
  EXPECT_EQ(At(119, 109), Pattern(19, 9));
  EXPECT_EQ(At(100, 110), kPaper);
  // Maximum width 5; y above the surface: the rows below still land.
  graphics::FillBank(Bank(), kPaper);
  EXPECT_EQ(Load(file, 0, -25, 5, 100).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(0, 0), Pattern(0, 25));
  EXPECT_EQ(At(4, 4), Pattern(4, 29));
  EXPECT_EQ(At(5, 0), kPaper);
  // Cut at the right and bottom edges of the surface.
  graphics::FillBank(Bank(), kPaper);
  EXPECT_EQ(Load(file, 2590, 1990).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(2599, 1999), Pattern(9, 9));
}

TEST_F(BmpTest, TopDownFilesLoadRightSideUp) {
  const std::string file = MakeBmp(6, 4, 24, true, Pattern);
  EXPECT_EQ(Load(file, 0, 0).status, BmpLoadStatus::kOk);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(x, y), Pattern(x, y)) << x << "," << y;
  }
  EXPECT_EQ(At(0, 4), kPaper);
  // Top 2 rows of a top-down file.
  graphics::FillBank(Bank(), kPaper);
  EXPECT_EQ(Load(file, 0, 0, 6, 2).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(0, 1), Pattern(0, 1));
  EXPECT_EQ(At(0, 2), kPaper);
}

TEST_F(BmpTest, OtherBitCountsAndCompressionAreRefusedWithoutDrawing) {
  graphics::BmpLoadResult r = Load(MakeBmp(4, 4, 8, false, Pattern), 0, 0);
  EXPECT_EQ(r.status, BmpLoadStatus::kNot24Bit);
  EXPECT_EQ(r.header.bit_count, 8);
  EXPECT_EQ(At(0, 0), kPaper);
  std::string rle = MakeBmp(4, 4, 24, false, Pattern);
  rle[30] = 1;
  EXPECT_EQ(Load(rle, 0, 0).status, BmpLoadStatus::kUnsupported);
  EXPECT_EQ(At(0, 0), kPaper);
  EXPECT_EQ(Load("BM short", 0, 0).status, BmpLoadStatus::kUnreadable);
  EXPECT_EQ(Load(std::string(54, 'x'), 0, 0).status, BmpLoadStatus::kUnreadable);
}

TEST_F(BmpTest, ShortFilesPlaceTheRowsTheyHold) {
  std::string file = MakeBmp(5, 6, 24, false, Pattern);  // 16-byte rows
  file.resize(54 + 16 * 4 + 7);                             // bottom four rows and a bit
  const graphics::BmpLoadResult r = Load(file, 0, 0);
  EXPECT_EQ(r.status, BmpLoadStatus::kShortRead);
  EXPECT_EQ(At(0, 0), kPaper);  // the top rows are missing
  EXPECT_EQ(At(0, 1), kPaper);
  EXPECT_EQ(At(0, 2), Pattern(0, 2));
  EXPECT_EQ(At(4, 5), Pattern(4, 5));
}

TEST_F(BmpTest, LyingHeadersNeitherCrashNorReachOutsideTheData) {
  std::string file = MakeBmp(2, 2, 24, false, Pattern);
  const auto with = [&](std::int32_t w, std::int32_t h, std::uint32_t offset) {
    std::string f = file;
    for (int i = 0; i < 4; ++i) {
      f[18 + i] = static_cast<char>((static_cast<std::uint32_t>(w) >> (8 * i)) & 0xFF);
      f[22 + i] = static_cast<char>((static_cast<std::uint32_t>(h) >> (8 * i)) & 0xFF);
      f[10 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    }
    return f;
  };
  EXPECT_EQ(Load(with(INT32_MAX, 2, 54), 0, 0).status, BmpLoadStatus::kShortRead);
  EXPECT_EQ(Load(with(2, INT32_MAX, 54), 0, 0).status, BmpLoadStatus::kShortRead);  // rows far below
  EXPECT_EQ(Load(with(-5, 2, 54), 0, 0).status, BmpLoadStatus::kOk);  // no columns at all
  EXPECT_EQ(Load(with(2, 2, 0xFFFFFFF0u), 0, 0).status, BmpLoadStatus::kShortRead);
  EXPECT_EQ(Load(with(0, 0, 54), 0, 0).status, BmpLoadStatus::kOk);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(x, y), kPaper);
  }
  // 2^31 rows top-down: the two stored rows are the top ones.
  EXPECT_EQ(Load(with(2, INT32_MIN, 54), 0, 0).status, BmpLoadStatus::kShortRead);
  EXPECT_EQ(At(1, 0), Pattern(1, 1));
  EXPECT_EQ(At(1, 1), Pattern(1, 0));
  EXPECT_EQ(At(0, 2), kPaper);
  // An offset inside the headers reads from right after them.
  EXPECT_EQ(Load(with(2, 2, 3), 0, 0).status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(1, 1), Pattern(1, 1));
}

// A 2 x 2 top-down DIB of 32 bits a pixel with BI_BITFIELDS masks.
std::string Dib32() {
  std::string d;
  const auto put = [&d](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(40);
  put(2);
  put(static_cast<std::uint32_t>(-2));
  put(1u | 32u << 16);
  put(3);  // BI_BITFIELDS
  put(16);
  put(0);
  put(0);
  put(0);
  put(0);
  put(0x00FF0000);
  put(0x0000FF00);
  put(0x000000FF);
  for (std::uint32_t bgrx : {0xFF1E140Au, 0xFF3C3228u, 0xFF5A5046u, 0xFF000000u}) put(bgrx);
  return d;
}

TEST_F(BmpTest, PackedDibsOf24And32BitsLandAtTheTopLeft) {
  // 3 pixels wide: 9 bytes of pixels in 12-byte rows.
  std::string dib = MakeBmp(3, 2, 24, false, Pattern).substr(14);
  graphics::BmpLoadResult r = graphics::LoadDib({reinterpret_cast<const std::uint8_t*>(dib.data()), dib.size()}, Bank());
  EXPECT_EQ(r.status, BmpLoadStatus::kOk);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(x, y), Pattern(x, y));
  }
  // 32 bits with colour masks behind a 40-byte header, top-down.
  std::string dib32 = Dib32();
  graphics::FillBank(Bank(), kPaper);
  r = graphics::LoadDib({reinterpret_cast<const std::uint8_t*>(dib32.data()), dib32.size()}, Bank());
  EXPECT_EQ(r.status, BmpLoadStatus::kOk);
  EXPECT_EQ(At(0, 0), (Color{10, 20, 30}));
  EXPECT_EQ(At(1, 0), (Color{40, 50, 60}));
  EXPECT_EQ(At(0, 1), (Color{70, 80, 90}));
}

}  // namespace
}  // namespace vx::test
