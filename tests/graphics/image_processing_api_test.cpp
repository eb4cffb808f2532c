// The picture-processing and picture-analysis families through the
// dispatcher: argument order, results and statuses.
#include <gtest/gtest.h>

#include "../graphics/image_test_support.hpp"
#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "graphics/vram.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::ReadPixel;

class ImageProcessingApiTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N");
    Ready();
    for (int b = 0; b < graphics::VRAM_STATIC_BANKS; ++b) graphics::FillBank(rt.vram.Bank(b), kPaper);
  }
  Color Pixel(int x, int y) { return ReadPixel(rt.vram.Current(), x, y); }
  Color PixelIn(int bank, int x, int y) { return ReadPixel(rt.vram.Bank(bank), x, y); }
  std::int32_t Sys(std::int32_t index) { return values::ReadAsInteger(rt, index); }
  double SysDouble(std::int32_t index) { return values::ReadAsDouble(rt, index); }
  std::int32_t Error() { return Sys(sysvar::G_ERROR); }
  std::int32_t Work(int k) { return Sys(sysvar::G_WORK1 + k - 1); }
  void Put(int bank, int x, int y, Color c) {
    std::uint8_t* p = graphics::PixelAt(rt.vram.Bank(bank), x, y);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  void PaintIn(int bank, int x0, int y0, int width, int height) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) Put(bank, x0 + x, y0 + y, Pattern(x, y));
    }
  }
  void FillIn(int bank, int x0, int y0, int width, int height, Color c) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) Put(bank, x0 + x, y0 + y, c);
    }
  }

  static constexpr Color kPaper{5, 6, 7};
  static constexpr Color kInk{200, 100, 50};
  PictureDir dir;
  std::int32_t n = 0;
};

TEST_F(ImageProcessingApiTest, CopiesBetweenBanksAndStoredPictures) {
  PaintIn(1, 10, 10, 6, 4);
  EXPECT_EQ(Call("CopyRect", "1, 10, 10, 6, 4, 2, 100, 200"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(PixelIn(2, 100, 200), Pattern(0, 0));
  EXPECT_EQ(PixelIn(2, 105, 203), Pattern(5, 3));
  EXPECT_EQ(Pixel(100, 200), kPaper);  // the current bank is bank 5
  // Tiled over a larger target in the current bank.
  rt.vram.redraw_needed = false;
  EXPECT_EQ(Call("CopyRect", "1, 10, 10, 6, 4, -1, 0, 0, 13, 9"), 1);
  EXPECT_EQ(Pixel(6, 4), Pattern(0, 0));
  EXPECT_EQ(Pixel(12, 8), Pattern(0, 0));
  EXPECT_EQ(Pixel(13, 0), kPaper);
  EXPECT_TRUE(rt.vram.redraw_needed);
  EXPECT_EQ(Call("CopyRect", "8, 0, 0, 5, 5, 1, 0, 0"), 1);
  EXPECT_EQ(Error(), 1);
  // Part of the source outside the bank keeps its place.
  EXPECT_EQ(Call("CopyRect", "1, 8, 10, 4, 1, -1, 300, 300"), 1);
  EXPECT_EQ(Pixel(300, 300), kPaper);
  EXPECT_EQ(Pixel(302, 300), Pattern(0, 0));

  EXPECT_EQ(Call("SetPicture", "3, 1, 10, 10, 6, 4"), 1);
  EXPECT_EQ(Error(), 0);
  PaintIn(1, 10, 10, 1, 1);  // later changes do not reach the copy
  Put(1, 10, 10, kInk);
  EXPECT_EQ(Call("PutPicture", "3, 500, 500, 0x" + std::string("070605")), 1);
  EXPECT_EQ(Pixel(500, 500), Pattern(0, 0));
  EXPECT_EQ(Call("PutPicture", "4, 0, 0"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("SetPicture", "64, 1, 0, 0, 5, 5"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImageProcessingApiTest, PlanesMultiplicationAndMasks) {
  FillIn(1, 0, 0, 2, 1, Color{100, 150, 200});
  FillIn(5, 0, 0, 2, 1, Color{10, 20, 30});
  EXPECT_EQ(Call("RGBPCpy", "1, 0, 0, 1, 1, 4"), 1);  // blue only
  EXPECT_EQ(Pixel(0, 0), (Color{100, 20, 30}));
  FillIn(1, 10, 0, 1, 1, Color{255, 128, 0});
  FillIn(5, 20, 0, 1, 1, Color{200, 200, 200});
  EXPECT_EQ(Call("VRamMulti", "1, 10, 0, 1, 1, 20, 0"), 1);
  EXPECT_EQ(Pixel(20, 0), (Color{200, 100, 0}));
  FillIn(1, 30, 0, 2, 1, kInk);
  FillIn(2, 30, 0, 1, 1, graphics::kBlack);
  FillIn(2, 31, 0, 1, 1, graphics::kWhite);
  EXPECT_EQ(Call("MaskCopy", "1, 2, 30, 0, 2, 1"), 1);
  EXPECT_EQ(Pixel(30, 0), kInk);
  EXPECT_EQ(Pixel(31, 0), kPaper);
  EXPECT_EQ(Call("PlaneExpand", "0, 0, 1, 1, 2"), 1);  // blue as grey
  EXPECT_EQ(Pixel(0, 0), (Color{100, 100, 100}));
  EXPECT_EQ(Call("PlaneExpand", "0, 0, 1, 1, 3"), 1);
  EXPECT_EQ(Error(), 1);
  FillIn(5, 40, 0, 1, 1, Color{0, 0, 255});
  EXPECT_EQ(Call("PlaneShift", "40, 0, 3, 1, 1, 1, 0"), 1);  // red one to the right
  EXPECT_EQ(Pixel(41, 0), (Color{kPaper.b, kPaper.g, 255}));
  EXPECT_EQ(Pixel(40, 0).r, 255);  // the edge repeats
}

TEST_F(ImageProcessingApiTest, TurnsAndZooms) {
  PaintIn(1, 0, 0, 4, 2);
  EXPECT_EQ(Call("RotateImg", "1, 0, 0, 4, 2, 90, 100, 100"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Pixel(100, 99), Pattern(3, 0));
  EXPECT_EQ(Call("SetExGrPrm", "0, 1"), 1);
  EXPECT_EQ(Work(1), 0);
  EXPECT_EQ(Call("SetExGrPrm", "0, 5"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("SetExGrPrm", "7, 1"), 1);
  EXPECT_EQ(Error(), 1);
  FillIn(1, 10, 10, 3, 3, graphics::kWhite);
  Put(1, 11, 11, kInk);
  EXPECT_EQ(Call("RotateMskdImg", "1, 10, 10, 3, 3, 30, 200, 200"), 1);
  EXPECT_EQ(Pixel(200, 200), kInk);
  EXPECT_EQ(Pixel(199, 200), kPaper);
  EXPECT_EQ(Call("RotateMskdShdw", "1, 10, 10, 3, 3, 0, 200, 200, 3, 4, 0xFFFFFF, 0"), 1);
  EXPECT_EQ(Pixel(203, 204), graphics::kBlack);

  FillIn(1, 50, 50, 4, 4, Color{0, 0, 0});
  FillIn(1, 50, 50, 1, 1, Color{200, 200, 200});
  EXPECT_EQ(Call("ZoomDnImg", "1, 50, 50, 4, 4, 2, 300, 300"), 1);
  EXPECT_EQ(Pixel(300, 300), (Color{50, 50, 50}));
  EXPECT_EQ(Pixel(301, 301), graphics::kBlack);
  EXPECT_EQ(Pixel(302, 300), kPaper);
  EXPECT_EQ(Call("ZoomDnImg", "1, 50, 50, 4, 4, 0, 300, 300"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("InstantZoom", "1, 50, 50, 2, 2, 400, 400, 6, 6"), 1);
  EXPECT_EQ(Pixel(402, 402), (Color{200, 200, 200}));
  EXPECT_EQ(Pixel(403, 403), graphics::kBlack);
  EXPECT_EQ(Call("ZoomWdHt", "1, 50, 50, 2, 2, 500, 500, 1, 1"), 1);
  EXPECT_EQ(Pixel(500, 500), (Color{50, 50, 50}));
  EXPECT_EQ(Call("ZoomUpWdHt", "1, 50, 50, 2, 1, 600, 600, 4, 1"), 1);
  EXPECT_EQ(Pixel(601, 600), (Color{150, 150, 150}));
  EXPECT_EQ(Call("ZoomWdHt", "1, 50, 50, 2, 2, 500, 500, 0, 1"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("ZoomContinuous", "1, 50, 50, 4, 4, 0.5, 700, 700"), 1);
  EXPECT_EQ(Pixel(700, 700), (Color{50, 50, 50}));  // 2 x 2 centred at 700
  EXPECT_EQ(Pixel(702, 700), kPaper);
  EXPECT_EQ(Call("ZoomContinuous", "1, 50, 50, 4, 4, -1, 700, 700"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("Circular", "1, 0, 0, 4, 2, 800, 800, 20, 5"), 1);
  EXPECT_EQ(Pixel(800, 780), Pattern(0, 0));
  EXPECT_EQ(Call("Circular", "1, 0, 0, 4, 2, 800, 800, 5, 20"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImageProcessingApiTest, ColourProcessingAndThresholds) {
  FillIn(5, 0, 0, 4, 1, Color{30, 60, 90});
  EXPECT_EQ(Call("ColProcess", "0, 0, 1, 1, 1"), 1);
  EXPECT_EQ(Pixel(0, 0), (Color{225, 195, 165}));
  EXPECT_EQ(Call("ColProcess", "1, 0, 1, 1, 7, 0x808080"), 1);  // tint by half
  EXPECT_EQ(Pixel(1, 0), (Color{15, 30, 45}));
  EXPECT_EQ(Call("ColProcess", "0, 0, 1, 1, 77"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("ReduceCol", "2, 0, 1, 1, 2"), 1);
  EXPECT_EQ(Pixel(2, 0), (Color{0, 0, 0}));
  EXPECT_EQ(Call("ReduceCol", "2, 0, 1, 1, 1"), 1);
  EXPECT_EQ(Error(), 1);
  FillIn(5, 10, 0, 3, 1, graphics::kWhite);
  EXPECT_EQ(Call("ThreCol", "8, 0, 6, 1, 128, 0xFF0000, 0x0000FF"), 1);
  EXPECT_EQ(Work(1), 3);
  EXPECT_EQ(Pixel(10, 0), (Color{0, 0, 255}));
  EXPECT_EQ(Pixel(8, 0), (Color{255, 0, 0}));
  FillIn(5, 20, 20, 5, 5, kInk);
  EXPECT_EQ(Call("RefractImg", "20, 20, 5, 5, 22, 22, 3, 0"), 1);
  EXPECT_EQ(Pixel(22, 22), kInk);
  EXPECT_EQ(Call("RefractImg", "20, 20, 5, 5, 22, 22, 0, 50"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImageProcessingApiTest, AreasOfOneColour) {
  FillIn(5, 100, 100, 10, 5, kInk);
  FillIn(5, 110, 100, 1, 1, Color{201, 100, 50});
  EXPECT_EQ(Call("GetOneClrArea", "105, 102, 0, N"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Long(n), 50);
  EXPECT_EQ(Work(1), 100);
  EXPECT_EQ(Work(2), 100);
  EXPECT_EQ(Work(3), 10);
  EXPECT_EQ(Work(4), 5);
  EXPECT_EQ(Call("GetOneClrArea", "105, 102, 1, N"), 1);  // the near colour joins
  EXPECT_EQ(Long(n), 51);
  EXPECT_EQ(Call("GetOneClrArea", "-1, 0"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("GetClrRangeArea", "0, 0, 2600, 2000, 0x306400, 0x3264FF, N"), 1);
  EXPECT_EQ(Long(n), 51);
  EXPECT_EQ(Work(3), 11);
  EXPECT_EQ(Call("GetClrRangeArea", "0, 0, 50, 50, 0x306400, 0x3264FF, N"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Long(n), 0);
}

TEST_F(ImageProcessingApiTest, WholeBanksToFilesAndBack) {
  PaintIn(3, 2590, 1990, 10, 10);
  const std::string file = dir.File("bank.bmp");
  EXPECT_EQ(Call("BankBackFile", "3, \"" + file + "\""), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ReadFileBytes(file).size(), 54u + graphics::VRAM_BANK_BYTES);
  EXPECT_EQ(Call("BankLoadFile", "4, \"" + file + "\""), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(PixelIn(4, 2599, 1999), Pattern(9, 9));
  EXPECT_EQ(PixelIn(4, 0, 0), kPaper);
  EXPECT_EQ(Call("BankLoadFile", "9, \"" + file + "\""), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("BankBackFile", "9, \"" + file + "\""), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImageProcessingApiTest, AnalysisResults) {
  FillIn(5, 10, 10, 4, 3, kInk);
  FillIn(5, 30, 10, 2, 2, kInk);
  EXPECT_EQ(Call("RectCnv", "20, 20, -30, -30, 1"), 1);
  EXPECT_EQ(Work(1), 0);
  EXPECT_EQ(Work(3), 21);
  EXPECT_EQ(Call("RectCnv", "2598, 10, 10, 5"), 1);
  EXPECT_EQ(Work(3), 2599);
  EXPECT_EQ(Work(4), 14);
  EXPECT_EQ(Call("ScanArea", "0, 0, 100, 100, 0x070605"), 1);
  EXPECT_EQ(Work(1), 10);
  EXPECT_EQ(Work(3), 22);
  EXPECT_EQ(SysDouble(sysvar::G_DBLWK1), 16.0);
  EXPECT_EQ(Call("ScanLoaf", "0, 0, 100, 100, 0x070605"), 1);
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Text(sysvar::G_TXT), "10,10,4,3,12\r\n30,10,2,2,4\r\n");
  EXPECT_EQ(Call("ManageParts", "5, 10"), 1);
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Call("ManageParts", "2, 11, 500, 500"), 1);
  EXPECT_EQ(Pixel(501, 501), kInk);
  EXPECT_EQ(Pixel(502, 500), kPaper);
  EXPECT_EQ(Call("ManageParts", "3, 10, N"), 1);
  EXPECT_EQ(Work(3), 4);
  EXPECT_EQ(Long(n), 5);
  EXPECT_EQ(Call("ManageParts", "4"), 1);
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Call("ManageParts", "0"), 1);
  EXPECT_EQ(Call("ManageParts", "3, 10"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("ScanLine", "8, 11, 10"), 1);
  EXPECT_EQ(Work(1), 3);
  EXPECT_EQ(Text(sysvar::G_TXT), "0,2,070605\r\n2,4,3264C8\r\n6,4,070605\r\n");
  EXPECT_EQ(Call("ColHistogram", "10, 10, 4, 3, 0"), 1);
  EXPECT_EQ(Work(1), 50);
  EXPECT_EQ(Work(2), 12);
  EXPECT_EQ(Text(sysvar::G_TXT).substr(0, 6), "0,0,0,");
  EXPECT_EQ(Call("AnalyzeRect", "10, 10, 5, 3"), 1);
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Work(4), 0x3264C8);
  EXPECT_DOUBLE_EQ(SysDouble(sysvar::G_DBLWK1), (12 * 50 + 3 * 7) / 15.0);
  EXPECT_EQ(Call("CmpImage", "-1, 0, 0, 50, 50, 2, 0, 0"), 1);
  EXPECT_EQ(Work(1), 16);
  EXPECT_EQ(Work(3), 2500);
  EXPECT_EQ(Call("PixelToWave", "8, 11, 4, 0, 1"), 1);
  EXPECT_EQ(Text(sysvar::G_TXT), "6,6,100,100\r\n");
  EXPECT_EQ(Work(3), 100);
  EXPECT_EQ(Call("ImgProcess", "7, 10, 10, 4, 4, 4"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("ImgProcess", "99, 10, 10, 4, 4"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

}  // namespace
}  // namespace vx::test
