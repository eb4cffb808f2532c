// JPEG decoding, scaling and encoding against ImageMagick's files and
// decodes, and libjpeg's errors coming back as results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "graphics/jpeg.hpp"
#include "graphics/picture_files.hpp"
#include "image_test_support.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::PixelRect;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class JpegTest : public ::testing::Test {
 protected:
  JpegTest() : bank_(graphics::VRAM_BANK_BYTES) { graphics::FillBank(Bank(), kPaper); }
  std::uint8_t* Bank() { return bank_.data(); }
  graphics::Surface Whole() { return graphics::Surface{Bank(), graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT}; }
  Color At(int x, int y) { return graphics::ReadPixel(Bank(), x, y); }

  // A 400 x 300 photograph-like file and ImageMagick's decode of it.
  std::string MakeRose(const std::string& name, const std::string& options = "") {
    const std::string file = dir.File(name);
    EXPECT_TRUE(Convert("rose: -resize 400x300! -quality 92 " + options + " '" + file + "'"));
    return file;
  }
  graphics::JpegDecoded Load(const std::string& file, int x, int y, double scale) {
    return graphics::LoadJpeg(Bytes(ReadFileBytes(file)), Whole(), x, y, scale);
  }

  static constexpr Color kPaper{1, 2, 3};
  PictureDir dir;

 private:
  std::vector<std::uint8_t> bank_;
};

TEST_F(JpegTest, FullSizeMatchesImageMagicksDecode) {
  for (const char* options : {"", "-interlace JPEG", "-sampling-factor 1x1"}) {
    const std::string file = MakeRose("rose.jpg", options);
    const RawPicture ref = DecodeWithConvert(file, 400, 300);
    const graphics::JpegDecoded r = Load(file, 7, 9, 1.0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.out_width, 400);
    EXPECT_EQ(r.out_height, 300);
    EXPECT_EQ(r.info.color_space, 3);  // YCbCr
    EXPECT_EQ(r.info.components, 3);
    EXPECT_LE(LargestDifference(Bank(), 7, 9, ref), 2) << options;
    EXPECT_EQ(At(6, 9), kPaper);
    EXPECT_EQ(At(407, 9), kPaper);
  }
}

TEST_F(JpegTest, ScaleTwoAveragesTwoByTwoBlocks) {
  const std::string file = MakeRose("rose.jpg");
  const RawPicture full = DecodeWithConvert(file, 400, 300);
  ASSERT_EQ(full.width, 400);
  const graphics::JpegDecoded r = Load(file, 0, 0, 2.0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out_width, 200);
  EXPECT_EQ(r.out_height, 150);
  int largest = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      const Color a = full.At(2 * x, 2 * y), b = full.At(2 * x + 1, 2 * y);
      const Color c = full.At(2 * x, 2 * y + 1), d = full.At(2 * x + 1, 2 * y + 1);
      const Color got = At(x, y);
      largest = std::max(largest, std::abs(got.r - (a.r + b.r + c.r + d.r + 2) / 4));
      largest = std::max(largest, std::abs(got.g - (a.g + b.g + c.g + d.g + 2) / 4));
      largest = std::max(largest, std::abs(got.b - (a.b + b.b + c.b + d.b + 2) / 4));
    }
  }
  EXPECT_LE(largest, 2);
  EXPECT_EQ(At(200, 0), kPaper);
  EXPECT_EQ(At(0, 150), kPaper);
}

// Whole scales, those libjpeg could reduce by while decoding included, give
// exactly the rounded block averages of the full-size decode, on a 4:2:0
// picture with sharp detail (where reduced decoding misses by dozens).
TEST_F(JpegTest, WholeScalesAreExactBlockAveragesOfTheFullDecode) {
  const std::string file = dir.File("detail.jpg");
  ASSERT_TRUE(Convert("rose: -resize 800x600! \\( -size 800x600 pattern:hs_diagcross \\) -compose multiply "
                      "-composite -sampling-factor 2x2 -quality 90 '" + file + "'"));
  std::vector<std::uint8_t> full(graphics::VRAM_BANK_BYTES);
  ASSERT_TRUE(graphics::LoadJpeg(Bytes(ReadFileBytes(file)), graphics::Surface{full.data()}, 0, 0, 1.0).ok);
  for (int n : {2, 3, 4, 8, 12, 16}) {
    graphics::FillBank(Bank(), kPaper);
    const graphics::JpegDecoded r = Load(file, 0, 0, n);
    ASSERT_TRUE(r.ok) << n;
    ASSERT_EQ(r.out_width, 800 / n);
    ASSERT_EQ(r.out_height, 600 / n);
    int largest = 0;
    for (int y = 0; y < r.out_height; ++y) {
      for (int x = 0; x < r.out_width; ++x) {
        int sum[3] = {0, 0, 0};
        for (int j = 0; j < n; ++j) {
          for (int i = 0; i < n; ++i) {
            const Color c = graphics::ReadPixel(full.data(), x * n + i, y * n + j);
            sum[0] += c.r;
            sum[1] += c.g;
            sum[2] += c.b;
          }
        }
        const int area = n * n;
        const Color got = At(x, y);
        largest = std::max({largest, std::abs(got.r - (sum[0] + area / 2) / area),
                            std::abs(got.g - (sum[1] + area / 2) / area), std::abs(got.b - (sum[2] + area / 2) / area)});
      }
    }
    EXPECT_EQ(largest, 0) << "scale " << n;
    EXPECT_EQ(At(r.out_width, 0), kPaper);
    EXPECT_EQ(At(0, r.out_height), kPaper);
  }
}

TEST_F(JpegTest, FractionalScalesKeepFlatColoursAndEnlargementRepeatsPixels) {
  const std::string flat = dir.File("flat.jpg");
  ASSERT_TRUE(Convert("-size 64x48 xc:'rgb(200,100,50)' -quality 100 '" + flat + "'"));
  graphics::JpegDecoded r = Load(flat, 0, 0, 1.5);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out_width, 42);  // 64 / 1.5 rounded down
  EXPECT_EQ(r.out_height, 32);
  const Color c = At(0, 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 42; ++x) ASSERT_EQ(At(x, y), c);
  }
  EXPECT_NEAR(c.r, 200, 2);
  EXPECT_NEAR(c.b, 50, 2);

  const std::string file = MakeRose("rose.jpg");
  std::vector<std::uint8_t> once(graphics::VRAM_BANK_BYTES);
  ASSERT_TRUE(graphics::LoadJpeg(Bytes(ReadFileBytes(file)), graphics::Surface{once.data()}, 0, 0, 1.0).ok);
  r = Load(file, 0, 0, 0.5);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.out_width, 800);
  for (int y = 0; y < 600; y += 37) {
    for (int x = 0; x < 800; x += 13) ASSERT_EQ(At(x, y), graphics::ReadPixel(once.data(), x / 2, y / 2));
  }
}

TEST_F(JpegTest, NegativePositionsCutThePictureAtTheSurface) {
  const std::string file = MakeRose("rose.jpg");
  const RawPicture ref = DecodeWithConvert(file, 400, 300);
  ASSERT_TRUE(Load(file, -10, -20, 1.0).ok);
  EXPECT_LE(std::abs(At(0, 0).r - ref.At(10, 20).r), 2);
  EXPECT_LE(std::abs(At(389, 279).g - ref.At(399, 299).g), 2);
  EXPECT_EQ(At(390, 0), kPaper);
  ASSERT_TRUE(Load(file, 2500, 1950, 1.0).ok);  // cut at the right and bottom
  EXPECT_LE(std::abs(At(2599, 1999).b - ref.At(99, 49).b), 2);
}

// At scale 1 the rows of a picture that spans whole rows are decoded
// straight into the bank: the bank afterwards is byte for byte the one the
// rows given to a sink make, beside the picture too, for odd widths and
// for pictures cut at the top, at the bottom and at a side.
TEST_F(JpegTest, RowsDecodedInPlaceAreTheSinksRows) {
  for (const char* size : {"37x23", "400x300"}) {
    const std::string file = dir.File(std::string("plasma") + size + ".jpg");
    ASSERT_TRUE(Convert(std::string("-size ") + size + " plasma:fractal -seed 4 -quality 85 '" + file + "'"));
    const std::string data = ReadFileBytes(file);
    for (const std::pair<int, int>& at : {std::pair{5, 7}, std::pair{0, -11}, std::pair{2590, 1990},
                                         std::pair{-3, 40}, std::pair{100, 1995}}) {
      const int x = at.first, y = at.second;
      graphics::FillBank(Bank(), kPaper);
      ASSERT_TRUE(Load(file, x, y, 1.0).ok);
      std::vector<std::uint8_t> want(graphics::VRAM_BANK_BYTES);
      graphics::FillBank(want.data(), kPaper);
      graphics::JpegDecodeOptions options;
      options.window = graphics::ResampleWindow{std::max(0, -x), graphics::VRAM_WIDTH - x, std::max(0, -y),
                                                graphics::VRAM_HEIGHT - y};
      ASSERT_TRUE(graphics::DecodeJpeg(Bytes(data), options, [&](int row, std::span<const std::uint8_t> pixels) {
                    std::memcpy(graphics::PixelAt(want.data(), x + options.window.col_begin, y + row), pixels.data(),
                                pixels.size());
                  }).ok);
      EXPECT_TRUE(std::equal(want.begin(), want.end(), Bank())) << size << " at " << x << "," << y;
    }
  }
}

TEST_F(JpegTest, PositionsAtTheEndsOfTheIntRangeDrawNothing) {
  const std::string file = MakeRose("rose.jpg");
  const std::vector<std::uint8_t> before(Bank(), Bank() + graphics::VRAM_BANK_BYTES);
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  for (const auto& [x, y] : {std::pair{kMin, 0}, std::pair{0, kMin}, std::pair{kMin, kMin}, std::pair{kMax, 0},
                             std::pair{0, kMax}, std::pair{kMin + 1, kMax}, std::pair{-400, 0}, std::pair{0, -300}}) {
    const graphics::JpegDecoded r = Load(file, x, y, 1.0);
    EXPECT_TRUE(r.ok) << x << " " << y;
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Bank())) << x << " " << y;
  }
  // One column and one row left in view.
  ASSERT_TRUE(Load(file, -399, -299, 1.0).ok);
  EXPECT_NE(At(0, 0), kPaper);
  EXPECT_EQ(At(1, 0), kPaper);
  EXPECT_EQ(At(0, 1), kPaper);
}

TEST_F(JpegTest, GreyAndCmykPicturesComeOutAsColours) {
  const std::string grey = dir.File("grey.jpg");
  ASSERT_TRUE(Convert("rose: -colorspace Gray -quality 95 '" + grey + "'"));
  graphics::JpegDecoded r = Load(grey, 0, 0, 1.0);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.info.color_space, 1);
  EXPECT_EQ(r.info.components, 1);
  for (int x = 0; x < 70; x += 7) EXPECT_TRUE(At(x, 20).r == At(x, 20).g && At(x, 20).g == At(x, 20).b);

  const std::string cmyk = dir.File("cmyk.jpg");
  ASSERT_TRUE(Convert("rose: -colorspace CMYK -quality 95 '" + cmyk + "'"));
  const RawPicture ref = DecodeWithConvert(cmyk, 70, 46);
  r = Load(cmyk, 0, 0, 1.0);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.info.components, 4);
  EXPECT_LE(LargestDifference(Bank(), 0, 0, ref), 8);
}

TEST_F(JpegTest, BadDataComesBackAsAnErrorWithoutDrawing) {
  const std::string file = ReadFileBytes(MakeRose("rose.jpg"));
  std::string random(5000, '\0');
  for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (const std::string& bad : {std::string(), std::string("\xFF\xD8\xFF"), random, file.substr(0, 100)}) {
    const graphics::JpegDecoded r = graphics::LoadJpeg(Bytes(bad), Whole(), 0, 0, 1.0);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    graphics::JpegInfo info;
    std::string error;
    EXPECT_FALSE(graphics::ReadJpegInfo(Bytes(bad), &info, &error));
  }
  EXPECT_EQ(At(0, 0), kPaper);
  // Data that ends early still gives the rows before the cut.
  const graphics::JpegDecoded half = graphics::LoadJpeg(Bytes(file.substr(0, file.size() / 2)), Whole(), 0, 0, 1.0);
  EXPECT_TRUE(half.ok);
  EXPECT_NE(At(0, 0), kPaper);
}

TEST_F(JpegTest, HugeDeclaredSizesAreRefusedBeforeDecoding) {
  std::string file = ReadFileBytes(MakeRose("rose.jpg"));
  const std::size_t sof = file.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  file[sof + 5] = '\xEA';  // height 60000
  file[sof + 6] = '\x60';
  file[sof + 7] = '\xEA';  // width 60000
  file[sof + 8] = '\x60';
  graphics::JpegInfo info;
  std::string error;
  ASSERT_TRUE(graphics::ReadJpegInfo(Bytes(file), &info, &error));
  EXPECT_EQ(info.width, 60000);
  const graphics::JpegDecoded r = graphics::LoadJpeg(Bytes(file), Whole(), 0, 0, 1.0);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "picture too large");
}

TEST_F(JpegTest, SavedPicturesReadBackInImageMagickWithinTolerance) {
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 90; ++x) {
      std::uint8_t* p = graphics::PixelAt(Bank(), 100 + x, 200 + y);
      p[0] = static_cast<std::uint8_t>(x * 2);
      p[1] = static_cast<std::uint8_t>(y * 4);
      p[2] = static_cast<std::uint8_t>(255 - x - y);
    }
  }
  std::string jpeg;
  std::string error;
  ASSERT_TRUE(graphics::EncodeJpeg(Bank(), PixelRect{100, 200, 189, 259}, &jpeg, &error));
  EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
  const std::string file = dir.File("saved.jpg");
  WriteFileBytes(file, jpeg);
  const RawPicture ref = DecodeWithConvert(file, 90, 60);
  EXPECT_LE(LargestDifference(Bank(), 100, 200, ref), 12);
  graphics::JpegInfo info;
  ASSERT_TRUE(graphics::ReadJpegInfo(Bytes(jpeg), &info, &error));
  EXPECT_EQ(info.width, 90);
  EXPECT_EQ(info.height, 60);
  EXPECT_FALSE(graphics::EncodeJpeg(Bank(), PixelRect{}, &jpeg, &error));
}

}  // namespace
}  // namespace vx::test
