// The picture family through the dispatcher: files, messages, statuses,
// the clipboard and the screen.
#include <gtest/gtest.h>

#include "../graphics/image_test_support.hpp"
#include "api/api_table.hpp"
#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "graphics/bmp.hpp"
#include "graphics/vram.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::ReadPixel;

class ImagesApiTest : public ApiTest {
 protected:
  void SetUp() override {
    w = DeclareLong("W");
    h = DeclareLong("H");
    Ready();
    graphics::FillBank(rt.vram.Current(), kPaper);
  }
  Color Pixel(int x, int y) { return ReadPixel(rt.vram.Current(), x, y); }
  std::int32_t Sys(std::int32_t index) { return values::ReadAsInteger(rt, index); }
  std::int32_t Error() { return Sys(sysvar::G_ERROR); }
  std::string File(const std::string& name) { return dir.File(name); }
  static std::string Q(const std::string& s) { return "\"" + s + "\""; }
  std::string Caption() { return std::string(msg::Text(msg::Id::kCaptionMessageJa)); }
  void Put(int x, int y, Color c) {
    std::uint8_t* p = graphics::PixelAt(rt.vram.Current(), x, y);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  void Paint(int x0, int y0, int width, int height) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) Put(x0 + x, y0 + y, Pattern(x, y));
    }
  }

  static constexpr Color kPaper{5, 6, 7};
  PictureDir dir;
  std::int32_t w = 0, h = 0;
};

TEST_F(ImagesApiTest, EveryIdOfTheFamiliesIsHandledWhateverTheArguments) {
  std::vector<int> ids;
  for (int id = 295; id <= 305; ++id) ids.push_back(id);
  for (int id = 318; id <= 327; ++id) ids.push_back(id);
  for (int id = 352; id <= 380; ++id) ids.push_back(id);
  for (int id : ids) {
    EXPECT_EQ(api::Dispatch(rt, id, ""), 1) << api::NameOf(id);
    rt.error.Clear();
    EXPECT_EQ(api::Dispatch(rt, id, "-2000000000,2000000000,-2000000000,2000000000,7,-7,7,-7,9,9,9,9,9,9"), 1)
        << api::NameOf(id);
    rt.error.Clear();
    EXPECT_EQ(api::Dispatch(rt, id, "-1,2599,1999,2600,2000,-1,-5,-5,100000,100000,-1"), 1) << api::NameOf(id);
    rt.error.Clear();
  }
}

TEST_F(ImagesApiTest, EightBitFilesAreRefusedWithTheMessageAndChangeNothing) {
  const std::string file = File("eight.bmp");
  ASSERT_TRUE(Convert("rose: -type Palette BMP3:'" + file + "'"));
  rt.vram.redraw_needed = false;
  EXPECT_EQ(Call("LoadBMPImage", "0, 0, 100, 100, " + Q(file)), 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[" + Caption() + "] Not 24 bit data(8) [5439]");
  EXPECT_EQ(Pixel(0, 0), kPaper);
  EXPECT_EQ(Pixel(35, 20), kPaper);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(Call("RefBMPSize", "W, H"), 1);  // the headers were read
  EXPECT_EQ(Long(w), 70);
  EXPECT_EQ(Long(h), 46);
}

TEST_F(ImagesApiTest, BmpPlacementAndStatuses) {
  const std::string file = File("tall.bmp");
  WriteFileBytes(file, MakeBmp(20, 30, 24, false, Pattern));
  EXPECT_EQ(Call("LoadBMPImage", "-10, 0, 100, 100, " + Q(file)), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Pixel(0, 0), Pattern(10, 0));
  EXPECT_EQ(Pixel(10, 0), kPaper);
  EXPECT_TRUE(rt.vram.redraw_needed);
  graphics::FillBank(rt.vram.Current(), kPaper);
  EXPECT_EQ(Call("LoadBMPImage", "50, 60, 100, 10, " + Q(file)), 1);
  EXPECT_EQ(Pixel(50, 60), Pattern(0, 0));
  EXPECT_EQ(Pixel(69, 69), Pattern(19, 9));
  EXPECT_EQ(Pixel(50, 70), kPaper);
  EXPECT_EQ(Call("LoadBMPImage", "0, 0, 100, 100, " + Q(File("missing.bmp"))), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_TRUE(window.messages.empty());
  // A file that ends inside its rows: the message, the rows it has, and
  // a failure status.
  std::string shortened = MakeBmp(4, 4, 24, false, Pattern);
  shortened.resize(54 + 12 * 2);
  WriteFileBytes(File("short.bmp"), shortened);
  graphics::FillBank(rt.vram.Current(), kPaper);
  EXPECT_EQ(Call("LoadBMPImage", "0, 0, 100, 100, " + Q(File("short.bmp"))), 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[" + Caption() + "] ERROR[OpenBitmap-1] [5481]");
  EXPECT_EQ(Pixel(0, 3), Pattern(0, 3));
  EXPECT_EQ(Pixel(0, 1), kPaper);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImagesApiTest, OutBmpImageWritesTheRectangleAndReadsBack) {
  Paint(10, 20, 5, 2);
  const std::string file = File("five.bmp");
  EXPECT_EQ(Call("OutBMPImage", "10, 20, 5, 2, " + Q(file)), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ReadFileBytes(file).size(), 86u);
  graphics::FillBank(rt.vram.Current(), kPaper);
  EXPECT_EQ(Call("LoadBMPImage", "0, 0, 2600, 2000, " + Q(file)), 1);
  EXPECT_EQ(Pixel(4, 1), Pattern(4, 1));
  EXPECT_EQ(Call("GetBMPSize", Q(file) + ", W, H"), 1);
  EXPECT_EQ(Long(w), 5);
  EXPECT_EQ(Long(h), 2);
  // From another static bank; extension banks and rectangles outside the
  // surface are refused.
  graphics::FillBank(rt.vram.Bank(2), Color{1, 1, 1});
  EXPECT_EQ(Call("OutBMPImage", "0, 0, 3, 3, " + Q(File("bank2.bmp")) + ", 2"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(static_cast<std::uint8_t>(ReadFileBytes(File("bank2.bmp"))[54]), 1);
  ASSERT_EQ(Call("ExtVram", "7"), 1);
  EXPECT_EQ(Call("OutBMPImage", "0, 0, 3, 3, " + Q(File("bank6.bmp")) + ", 6"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("OutBMPImage", "2598, 0, 3, 3, " + Q(File("edge.bmp"))), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("OutBMPImage", "0, 0, 0, 3, " + Q(File("empty.bmp"))), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(std::filesystem::exists(File("edge.bmp")));
  EXPECT_EQ(Call("GetBMPSize", Q(File("nothing.bmp")) + ", W, H"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImagesApiTest, MaskFillAndSixteenBitDump) {
  const std::string file = File("keyed.bmp");
  WriteFileBytes(file, MakeBmp(3, 1, 24, false, [](int x, int) {
                   return x == 1 ? Color{0xFF, 0xFF, 0xFF} : Color{10, 20, 30};
                 }));
  EXPECT_EQ(Call("LoadBMPMask", "0, 0, 10, 10, " + Q(file)), 1);
  EXPECT_EQ(Pixel(0, 0), (Color{10, 20, 30}));
  EXPECT_EQ(Pixel(1, 0), kPaper);  // white is left out
  EXPECT_EQ(Call("LoadBMPFill", "100, 100, 7, 2, " + Q(file)), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Pixel(103, 101), (Color{10, 20, 30}));  // second tile, second row
  EXPECT_EQ(Pixel(104, 100), graphics::kWhite);
  EXPECT_EQ(Pixel(107, 100), kPaper);
  Put(0, 0, Color{0xFF, 0x00, 0xF8});  // blue 255, green 0, red 248
  Put(1, 0, Color{0x00, 0xFC, 0x00});
  EXPECT_EQ(Call("Out16BitImage", "0, 0, 2, 1, " + Q(File("raw16")) + ", 1"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ReadFileBytes(File("raw16")), std::string("\x00\x02\x00\x01\x07\xE0\xF8\x1F", 8));
  EXPECT_EQ(Call("Out16BitImage", "0, 0, 2, 1, " + Q(File("raw16b")) + ", 2"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImagesApiTest, LoadJpgScalesLogsAndReportsErrors) {
  const std::string file = File("photo.jpg");
  ASSERT_TRUE(Convert("rose: -resize 400x300! -quality 92 '" + file + "'"));
  rt.vram.redraw_needed = false;
  EXPECT_EQ(Call("LoadJpg", "10, 10, " + Q(file) + ", 2"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_TRUE(rt.vram.redraw_needed);
  EXPECT_EQ(Call("RefBMPSize", "W, H"), 1);
  EXPECT_EQ(Long(w), 200);
  EXPECT_EQ(Long(h), 150);
  EXPECT_NE(Pixel(209, 159), kPaper);
  EXPECT_EQ(Pixel(210, 159), kPaper);
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG),
            "start load jpeg\r\nimage_width=400\r\njpeg_color_space=3\r\nnum_components=3\r\n");
  EXPECT_EQ(Call("JpgSize", Q(file) + ", W, H"), 1);
  EXPECT_EQ(Long(w), 400);
  EXPECT_EQ(Long(h), 300);
  graphics::FillBank(rt.vram.Current(), kPaper);
  EXPECT_EQ(Call("LoadJpg", "0, 0, " + Q(file) + ", 0.05"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Pixel(0, 0), kPaper);
  WriteFileBytes(File("bad.jpg"), "this is no picture");
  EXPECT_EQ(Call("LoadJpg", "0, 0, " + Q(File("bad.jpg")) + ", 1"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_NE(Text(sysvar::G_DEBUG_LOG).find("jpeg error: "), std::string::npos);
  EXPECT_EQ(Call("JpgSize", Q(File("bad.jpg")) + ", W, H"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(ImagesApiTest, SaveJpgChecksTheRectangleAndRoundTrips) {
  Paint(0, 0, 30, 20);
  const std::string file = File("saved.jpg");
  EXPECT_EQ(Call("SaveJpg", Q(file) + ", 0, 0, 30, 20"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("JpgSize", Q(file) + ", W, H"), 1);
  EXPECT_EQ(Long(w), 30);
  EXPECT_EQ(Long(h), 20);
  for (const char* bad : {", 2590, 0, 20, 20", ", 0, 0, 0, 5", ", -1, 0, 5, 5", ", 0, 1990, 5, 20"}) {
    EXPECT_EQ(Call("SaveJpg", Q(File("bad.jpg")) + bad), 1);
    EXPECT_EQ(Error(), 1) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(File("bad.jpg")));
}

TEST_F(ImagesApiTest, LoadImageChoosesByExtension) {
  WriteFileBytes(File("pic.BMP"), MakeBmp(8, 6, 24, false, Pattern));
  EXPECT_EQ(Call("LoadImage", "1, 2, " + Q(File("pic.BMP"))), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_IMG_WD), 8);
  EXPECT_EQ(Sys(sysvar::G_IMG_HT), 6);
  EXPECT_EQ(Pixel(1, 2), Pattern(0, 0));
  const std::string jpeg = File("photo.Jpeg");
  ASSERT_TRUE(Convert("rose: -resize 400x300! '" + jpeg + "'"));
  EXPECT_EQ(Call("LoadImage", "0, 0, " + Q(jpeg) + ", 100, 100"), 1);  // fits 100 x 100: scale 4
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_IMG_WD), 100);
  EXPECT_EQ(Sys(sysvar::G_IMG_HT), 75);
  EXPECT_EQ(Call("LoadImage", "0, 0, " + Q(jpeg) + ", 0.01"), 1);  // below 0.1: 1.0
  EXPECT_EQ(Sys(sysvar::G_IMG_WD), 400);
  EXPECT_EQ(Call("LoadImage", "0, 0, " + Q(File("x.png"))), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImagesApiTest, ClipboardPicturesComeBackUnskewed) {
  Paint(20, 30, 3, 5);  // 3 pixels wide: 9 bytes padded to 12
  EXPECT_EQ(Call("VRamToClipBd", "-1, 20, 30, 3, 5"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(window.picture_clipboard.size(), 40u + 12u * 5u);
  graphics::FillBank(rt.vram.Bank(0), kPaper);
  rt.vram.EmptyDirty();
  rt.vram.redraw_needed = false;
  EXPECT_EQ(Call("ClipBdToVRam", "0"), 1);
  EXPECT_EQ(Error(), 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(ReadPixel(rt.vram.Bank(0), x, y), Pattern(x, y)) << x << "," << y;
  }
  EXPECT_EQ(ReadPixel(rt.vram.Bank(0), 3, 0), kPaper);
  EXPECT_FALSE(rt.vram.redraw_needed);  // bank 0 is not on the screen
  EXPECT_EQ(Sys(sysvar::G_IMG_WD), 3);
  EXPECT_EQ(Sys(sysvar::G_IMG_HT), 5);
  EXPECT_EQ(Text(sysvar::G_TXT), "biBitCount=24, \r\nbiSize=40, biSizeImage=60, \r\n");
  EXPECT_EQ(Call("ClipBdToVRam", "-1"), 1);
  EXPECT_TRUE(rt.vram.redraw_needed);
  EXPECT_EQ(Call("ClipBdToVRam", "9"), 1);
  EXPECT_EQ(Error(), -1);
  EXPECT_EQ(Call("VRamToClipBd", "9, 0, 0, 3, 3"), 1);
  EXPECT_EQ(Error(), -1);
  window.picture_clipboard.clear();
  EXPECT_EQ(Call("ClipBdToVRam", "0"), 1);
  EXPECT_EQ(Error(), -1);
  window.refuse_pictures = true;
  EXPECT_EQ(Call("VRamToClipBd", "0, 0, 0, 3, 3"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(ImagesApiTest, ScreenShotsNeedAScreen) {
  EXPECT_EQ(Call("GetScreenShot", "0"), 1);  // no screen: nothing to take
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG), "Error 2");
  window.screen_width = 300;
  window.screen_height = 200;
  window.screen_pixel = [](int x, int y) { return static_cast<std::uint32_t>(x << 16 | y << 8 | 7); };
  EXPECT_EQ(Call("GetScreenShot", "1, -5, 0, 10, 10"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG), "Error 2Error 3");
  graphics::FillBank(rt.vram.Bank(1), kPaper);
  EXPECT_EQ(Call("GetScreenShot", "1, 250, 100, 100, 0"), 1);  // cut to 50 x 100
  EXPECT_EQ(Error(), 0);
  ASSERT_FALSE(window.grabs.empty());
  EXPECT_EQ(window.grabs.back(), (std::vector<int>{250, 100, 50, 100}));
  EXPECT_EQ(Sys(sysvar::G_IMG_WD), 50);
  EXPECT_EQ(Sys(sysvar::G_IMG_HT), 100);
  EXPECT_EQ(ReadPixel(rt.vram.Bank(1), 0, 0), graphics::FromPacked(250 << 16 | 100 << 8 | 7));
  EXPECT_EQ(ReadPixel(rt.vram.Bank(1), 49, 99), graphics::FromPacked(299 << 16 | 199 << 8 | 7));
  // The whole bank takes the capture surface: black where no capture was...
  EXPECT_EQ(ReadPixel(rt.vram.Bank(1), 50, 0), graphics::kBlack);
  EXPECT_EQ(ReadPixel(rt.vram.Bank(1), 0, 100), graphics::kBlack);
  // ...and the earlier capture where a smaller one does not reach.
  graphics::FillBank(rt.vram.Bank(2), kPaper);
  EXPECT_EQ(Call("GetScreenShot", "2, 0, 0, 10, 10"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ReadPixel(rt.vram.Bank(2), 9, 9), graphics::FromPacked(9 << 16 | 9 << 8 | 7));
  EXPECT_EQ(ReadPixel(rt.vram.Bank(2), 20, 20), graphics::FromPacked(270 << 16 | 120 << 8 | 7));
  EXPECT_EQ(ReadPixel(rt.vram.Bank(2), 60, 0), graphics::kBlack);
  EXPECT_EQ(Call("GetScreenShot", "9"), 1);
  EXPECT_EQ(Error(), 1);
}

}  // namespace
}  // namespace vx::test
