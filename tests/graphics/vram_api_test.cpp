// The VRAM and click-area families through the dispatcher.
#include <gtest/gtest.h>

#include "api/api_table.hpp"
#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "graphics/drawing.hpp"
#include "graphics/vram.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

using graphics::Color;
using graphics::DirtyRect;
using graphics::FromComponents;
using graphics::ReadPixel;

class VramApiTest : public ApiTest {
 protected:
  void SetUp() override {
    a = DeclareLong("A");
    b = DeclareLong("B");
    c = DeclareLong("C");
    d = DeclareLong("D");
    s = DeclareString("S", 2048);
    Ready();
  }
  Color Pixel(int x, int y) { return ReadPixel(rt.vram.Current(), x, y); }
  std::int32_t Sys(std::int32_t index) { return values::ReadAsInteger(rt, index); }
  std::int32_t Error() { return Sys(sysvar::G_ERROR); }
  std::string SysText(std::int32_t index) { return Text(index); }
  void ResetDirty() {
    rt.vram.EmptyDirty();
    rt.vram.redraw_needed = false;
  }
  std::int32_t a, b, c, d, s;
};

TEST_F(VramApiTest, EveryIdOfTheFamiliesIsHandled) {
  std::vector<int> ids;
  for (int id = 208; id <= 271; ++id) ids.push_back(id);
  for (int id : {291, 292, 293, 294, 306, 307, 308, 309, 310, 311, 312, 313, 314, 315, 316, 317, 397}) ids.push_back(id);
  for (int id : ids) {
    // With no arguments every handler reports what is missing and stays
    // inside the banks.
    EXPECT_EQ(api::Dispatch(rt, id, ""), 1) << api::NameOf(id);
    rt.error.Clear();
    EXPECT_EQ(api::Dispatch(rt, id, "-2000000000,2000000000,-2000000000,2000000000,7,-7,7,-7,9,9,9,9,9,9"), 1)
        << api::NameOf(id);
    rt.error.Clear();
  }
}

TEST_F(VramApiTest, SetColorTakesPackedOrClampedComponents) {
  EXPECT_EQ(Call("SetColor", "0x102030"), 1);
  EXPECT_EQ(rt.vram.DrawColor(), FromComponents(0x10, 0x20, 0x30));
  EXPECT_EQ(Call("SetColor", "300, -5, 20"), 1);
  EXPECT_EQ(rt.vram.DrawColor(), FromComponents(255, 0, 20));
  EXPECT_EQ(Call("SetColor", "0x405060, 1"), 1);  // blue missing: packed
  EXPECT_EQ(rt.vram.DrawColor(), FromComponents(0x40, 0x50, 0x60));
  EXPECT_EQ(Call("SetColor", "-1"), 1);
  EXPECT_EQ(rt.vram.DrawColor(), FromComponents(255, 255, 255));
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(VramApiTest, ColourSlotsAreSetAndReadWithStatus) {
  EXPECT_EQ(Call("SetColorMlt", "2, 1, 2, 300"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("GetColorMlt", "2, A, B, C"), 1);
  EXPECT_EQ(Long(a), 1);
  EXPECT_EQ(Long(b), 2);
  EXPECT_EQ(Long(c), 255);
  EXPECT_EQ(Call("SetColorMlt", "4, 1, 2, 3"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("GetColorMlt", "-1, A, B, C"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(VramApiTest, VRamClearDefaultsToWhiteAndMarksEverything) {
  EXPECT_EQ(Call("VRamClear", ""), 1);
  EXPECT_EQ(Pixel(0, 0), graphics::kWhite);
  EXPECT_EQ(Pixel(2599, 1999), graphics::kWhite);
  EXPECT_EQ(rt.vram.dirty, (DirtyRect{0, 0, 2599, 1999}));
  EXPECT_TRUE(rt.vram.redraw_needed);
  EXPECT_EQ(Call("VRamClear", "0x010203"), 1);
  EXPECT_EQ(Pixel(1300, 1000), FromComponents(1, 2, 3));
  EXPECT_EQ(Call("VRamClear", "10, 20, 999"), 1);
  EXPECT_EQ(Pixel(1300, 1000), FromComponents(10, 20, 255));
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(VramApiTest, SetVramSwitchesOnlyToBanksThatExist) {
  ResetDirty();
  EXPECT_EQ(Call("SetVram", "9"), 1);
  EXPECT_EQ(rt.vram.CurrentIndex(), 5);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(rt.vram.dirty, (DirtyRect{0, 0, 2599, 1999}));  // repainted all the same
  EXPECT_TRUE(rt.vram.redraw_needed);
  EXPECT_EQ(Call("ExtVram", "9"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("SetVram", "9"), 1);
  EXPECT_EQ(rt.vram.CurrentIndex(), 9);
  EXPECT_EQ(Call("ExtVram", "3"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("ExtVram", "100000"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(rt.vram.BankCount(), 6);
  EXPECT_EQ(rt.vram.CurrentIndex(), 5);
}

TEST_F(VramApiTest, BackUpRestoreAndMix) {
  Call("VRamClear", "0x646464");  // 100, 100, 100
  EXPECT_EQ(Call("VRamBack", "0"), 1);
  EXPECT_EQ(Error(), 0);
  Call("VRamClear", "0xC8C8C8");  // 200
  EXPECT_EQ(Call("VRamBack", "1"), 1);
  EXPECT_EQ(Call("VRamBack", "6"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("VRamMix", "-1, 0, 1, 50, 10, 10, 5, 5"), 1);
  EXPECT_EQ(Pixel(10, 10), FromComponents(150, 150, 150));
  EXPECT_EQ(Pixel(15, 10), FromComponents(200, 200, 200));
  EXPECT_EQ(Call("VRamMix", "-1, 0, 1, -50, 20, 10, 1, 1"), 1);
  EXPECT_EQ(Pixel(20, 10), FromComponents(0, 0, 0));  // 100 - 200 / 2
  EXPECT_EQ(Call("VRamMix", "-1, 0, 1, 150, 21, 10, 1, 1"), 1);
  EXPECT_EQ(Pixel(21, 10), FromComponents(200, 200, 200));
  EXPECT_EQ(Call("VRamMix", "-1, 0, 1, 100, 22, 10, 1, 1"), 1);
  EXPECT_EQ(Pixel(22, 10), FromComponents(45, 45, 45));
  EXPECT_EQ(Call("VRamMix", "-1, 0, 1, 50, 2599, 10, 2, 1"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("VRamRestore", "0"), 1);
  EXPECT_EQ(Pixel(10, 10), FromComponents(100, 100, 100));
  EXPECT_EQ(Call("VRamRestore", "7"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(VramApiTest, SetLineVolLimitsTheWidthAndKeepsTheMode) {
  EXPECT_EQ(Call("SetLineVol", "0, 2"), 1);
  EXPECT_EQ(rt.vram.line_width, 1);
  EXPECT_EQ(rt.vram.line_mode, 2);
  EXPECT_EQ(Call("SetLineVol", "500, -77"), 1);
  EXPECT_EQ(rt.vram.line_width, 100);
  EXPECT_EQ(rt.vram.line_mode, -77);
  EXPECT_EQ(Call("SetLineVol", "7"), 1);
  EXPECT_EQ(rt.vram.line_width, 7);
  EXPECT_EQ(rt.vram.line_mode, -77);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(VramApiTest, DrawLineMarksItsBoxWidenedByTheLineWidth) {
  Call("VRamClear", "");
  ResetDirty();
  Call("SetColor", "0");
  Call("SetLineVol", "3");
  EXPECT_EQ(Call("DrawLine", "100, 200, 150, 180"), 1);
  EXPECT_EQ(rt.vram.dirty, (DirtyRect{97, 177, 154, 204}));
  EXPECT_EQ(Pixel(100, 200), graphics::kBlack);
  EXPECT_EQ(Pixel(150, 180), graphics::kBlack);
  ResetDirty();
  EXPECT_EQ(Call("DrawLine", "-2000000000, 5, 2000000000, 5"), 1);
  EXPECT_EQ(Pixel(0, 5), graphics::kBlack);
  EXPECT_EQ(Pixel(2599, 5), graphics::kBlack);
  EXPECT_EQ(rt.vram.dirty, (DirtyRect{0, 2, 2599, 9}));
}

TEST_F(VramApiTest, DrawNumTextScalesAndReportsStops) {
  Call("VRamClear", "");
  Call("SetColor", "0");
  EXPECT_EQ(Call("DrawNumText", "10, 10, \"12\", 0"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Pixel(10 + 3, 10 + 6), graphics::kWhite);  // scale 0: zero wide, nothing drawn
  EXPECT_EQ(Call("DrawNumText", "10, 10, \"12\", -3"), 1);
  EXPECT_EQ(Pixel(10 + 3, 10 + 6), graphics::kBlack);  // "1" at scale 1
  EXPECT_EQ(Call("DrawNumText", "10, 100, \"1\", 9"), 1);
  EXPECT_EQ(Pixel(10 + 3 * 4, 100 + 6 * 4), graphics::kBlack);  // scale 4
  EXPECT_EQ(Pixel(10 + 3 * 4 + 3, 100 + 6 * 4 + 3), graphics::kBlack);
  EXPECT_EQ(Call("DrawNumText", "2590, 300, \"12\", 1"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("DrawNumText", "10, 1990, \"1\", 1"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(VramApiTest, ClipRectangleLimitsAllDrawingUntilCleared) {
  Call("VRamClear", "");
  Call("SetColor", "0");
  EXPECT_EQ(Call("SetUdArea", "100, 100, 50, 50"), 1);
  Call("Rectangle", "0, 0, 2600, 2000");
  EXPECT_EQ(Pixel(100, 100), graphics::kBlack);
  EXPECT_EQ(Pixel(149, 149), graphics::kBlack);
  EXPECT_EQ(Pixel(150, 149), graphics::kWhite);
  EXPECT_EQ(Pixel(99, 120), graphics::kWhite);
  Call("ClrUdArea", "");
  Call("Rectangle", "0, 0, 10, 10");
  EXPECT_EQ(Pixel(0, 0), graphics::kBlack);
}

TEST_F(VramApiTest, PixelsFloodFillAndAverage) {
  Call("VRamClear", "");
  EXPECT_EQ(Call("SetPx", "5, 6, 0x112233"), 1);
  EXPECT_EQ(Call("GetPx", "5, 6, A"), 1);
  EXPECT_EQ(Long(a), 0x112233);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 0x11);
  EXPECT_EQ(Sys(sysvar::G_WORK3), 0x33);
  EXPECT_EQ(Call("GetPx", "2600, 6, A"), 1);
  EXPECT_EQ(Error(), 1);
  Call("SetColor", "0xFF0000");
  Call("DrawFrame", "10, 10, 20, 20");
  Call("SetColor", "0x00FF00");
  EXPECT_EQ(Call("FFill", "15, 15"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Pixel(28, 28), FromComponents(0, 255, 0));
  EXPECT_EQ(Pixel(30, 30), graphics::kWhite);
  EXPECT_EQ(Call("FFill", "-3, 15"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("GetAvrg", "11, 11, 18, 18"), 1);
  EXPECT_EQ(Sys(sysvar::G_WORK4), 0x00FF00);
}

TEST_F(VramApiTest, TextApisMeasureAlignAndSetFaces) {
  Call("VRamClear", "");
  Call("SetColor", "0");
  EXPECT_EQ(Call("GetTextSz", "20, 0, \"Hello\", A, B"), 1);
  EXPECT_GT(Long(a), 30);
  EXPECT_GE(Long(b), 20);
  const std::int32_t width = Long(a);
  // Right and bottom aligned in a 300 x 100 box.
  EXPECT_EQ(Call("DrawTextAlign", "100, 100, 300, 100, 0, 20, \"Hello\", 10"), 1);
  int right = 0;
  int left = 9999;
  for (int y = 100; y < 200; ++y) {
    for (int x = 100; x < 400; ++x) {
      if (!(Pixel(x, y) == graphics::kWhite)) {
        right = std::max(right, x);
        left = std::min(left, x);
      }
    }
  }
  EXPECT_LE(right, 399);
  EXPECT_GE(right, 390);
  EXPECT_GE(left, 400 - width - 3);
  // SetFont needs both arguments.
  EXPECT_EQ(Call("SetFont", "\"Arial\""), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(rt.vram.japanese_font.face, std::string(msg::Text(msg::Id::kFontMincho)));
  EXPECT_EQ(Call("SetFont", "\"Arial\", 700"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(rt.vram.japanese_font.face, "Arial");
  EXPECT_EQ(rt.vram.japanese_font.weight, 700);
  EXPECT_EQ(Call("SetFontAscii", "\"Courier New\", 400"), 1);
  EXPECT_EQ(rt.vram.ascii_font.face, "Courier New");
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(VramApiTest, EnumFontListsFacesIntoGTxt) {
  EXPECT_EQ(Call("EnumFont", "0"), 1);
  const std::string ja = SysText(sysvar::G_TXT);
  EXPECT_EQ(ja.find(std::string(msg::Text(msg::Id::kFontMincho)) + "\r\n"), 0u);
  EXPECT_NE(ja.find(text::Utf8ToCp932("IPA明朝")), std::string::npos);
  EXPECT_EQ(ja.find("Liberation Sans\r\n"), std::string::npos);
  EXPECT_EQ(Call("EnumFont", "1"), 1);
  const std::string all = SysText(sysvar::G_TXT);
  EXPECT_NE(all.find("Arial\r\n"), std::string::npos);
  EXPECT_NE(all.find("Liberation Sans\r\n"), std::string::npos);
  EXPECT_LT(all.size(), 16000u);
  EXPECT_GT(Sys(sysvar::G_WORK1), 5);
}

TEST_F(VramApiTest, DoDrawAndCancelPaintHandTheRectangleOver) {
  struct Recorder : Display {
    void RequestRedraw(int l, int t, int r, int bt) override { requests.push_back({l, t, r, bt}); }
    void PaintNow(int l, int t, int r, int bt) override { paints.push_back({l, t, r, bt}); }
    void CancelPaint() override { ++cancels; }
    void ClientSize(int* w, int* h) override { *w = 640, *h = 480; }
    std::vector<DirtyRect> requests, paints;
    int cancels = 0;
  } display;
  rt.display = &display;
  ResetDirty();
  Call("Rectangle", "10, 20, 30, 40");
  EXPECT_EQ(Call("DoDraw", ""), 1);
  ASSERT_EQ(display.paints.size(), 1u);
  EXPECT_EQ(display.paints[0], (DirtyRect{10, 20, 40, 60}));
  EXPECT_FALSE(rt.vram.redraw_needed);
  EXPECT_FALSE(rt.vram.dirty.NonEmpty());
  Call("Rectangle", "10, 20, 30, 40");
  EXPECT_TRUE(graphics::RequestRedraw(rt.vram, &display));
  EXPECT_FALSE(graphics::RequestRedraw(rt.vram, &display));  // the flag was taken
  Call("Rectangle", "10, 20, 30, 40");
  Call("CancelPaint", "");
  EXPECT_EQ(display.cancels, 1);
  EXPECT_FALSE(graphics::RequestRedraw(rt.vram, &display));
  EXPECT_EQ(display.requests.size(), 1u);
  rt.display = nullptr;
  EXPECT_EQ(Call("DoDraw", ""), 1);  // headless: nothing to show, state still reset
}

TEST_F(VramApiTest, GradientStopsAndPalette) {
  EXPECT_EQ(Call("SetGradMV", "0, 0, 0xFF0000"), 1);
  EXPECT_EQ(Call("SetGradMV", "1, 2000, 0x0000FF"), 1);
  EXPECT_EQ(Call("GetGradMV", "1, A, B"), 1);
  EXPECT_EQ(Long(a), 1000);
  EXPECT_EQ(Long(b), 0x0000FF);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  EXPECT_EQ(Call("SetGradMV", "16, 0, 0"), 1);
  EXPECT_EQ(Error(), 1);
  Call("VGrad", "0, 0, 1, 11");
  EXPECT_EQ(Pixel(0, 0), FromComponents(255, 0, 0));
  EXPECT_EQ(Pixel(0, 10), FromComponents(0, 0, 255));
  EXPECT_EQ(Call("SetGradMV", "-1"), 1);
  EXPECT_EQ(Call("GetGradMV", "0, A, B"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("ColPal2CVB", "12, A"), 1);
  EXPECT_EQ(Long(a), 0x0000FF);
  EXPECT_EQ(Call("ColPal2RGB", "231, A, B, C"), 1);
  EXPECT_EQ(Long(a) * 65536 + Long(b) * 256 + Long(c), 0xFFFFFF);
  EXPECT_EQ(Call("ColPal2RGB", "256, A, B, C"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(VramApiTest, LineBufferDrawsAsItGoesAndAsAPolygon) {
  Call("VRamClear", "");
  Call("SetColor", "0");
  Call("DrawLineBff", "10, 10");
  Call("DrawLineBff", "50, 10");
  Call("DrawLineBff", "50, 50");
  EXPECT_EQ(Pixel(30, 10), graphics::kBlack);
  EXPECT_EQ(Pixel(50, 30), graphics::kBlack);
  EXPECT_EQ(Pixel(40, 30), graphics::kWhite);
  EXPECT_EQ(Call("PrmLineBff", "3"), 1);
  EXPECT_EQ(Pixel(40, 30), graphics::kBlack);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 3);
  EXPECT_EQ(Call("PrmLineBff", "0"), 1);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 0);
  EXPECT_EQ(Call("PrmLineBff", "9"), 1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(VramApiTest, ClickAreasSetSearchAndDelete) {
  EXPECT_EQ(Call("SetClcPnt", "3, 10, 10, 50, 50, \"$cap:Three\", 1, 4, 33"), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Call("SetClcPnt", "500, 0, 0, 1, 1, \"x\", 1, 0"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("RefClcPnt", "20, 20, A"), 1);
  EXPECT_EQ(Long(a), 3);
  EXPECT_EQ(Sys(sysvar::G_CLC_IDX), 3);
  EXPECT_EQ(Sys(sysvar::G_CLC_EX), 33);
  EXPECT_EQ(SysText(sysvar::G_CLC_STR), "$cap:Three");
  values::SetLong(rt, sysvar::G_CLCPT_GBMP, 2);
  EXPECT_EQ(Call("RefClcPnt", "20, 20, A"), 1);
  EXPECT_EQ(Long(a), -1);
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Call("RefClcPntEx", "20, 20, 0, A"), 1);  // its own mask
  EXPECT_EQ(Long(a), 3);
  EXPECT_EQ(SysText(sysvar::G_TXT), "3");
  values::SetLong(rt, sysvar::G_CLCPT_GBMP, 4);
  EXPECT_EQ(Call("NearClcPnt", "60, 20, A"), 1);
  EXPECT_EQ(Long(a), 3);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 10);
  EXPECT_EQ(Call("GetClcPnt", "3, A, B, C, D, S"), 1);
  EXPECT_EQ(Long(a) + Long(b) + Long(c) + Long(d), 120);
  EXPECT_EQ(Text(s), "$cap:Three");
  EXPECT_EQ(Call("RefIconName", "3, S"), 1);
  EXPECT_EQ(Text(s), "Three");
  EXPECT_EQ(Call("DelClcPnt", "3"), 1);
  EXPECT_EQ(Call("RefClcPnt", "20, 20, A"), 1);
  EXPECT_EQ(Long(a), -1);
  EXPECT_EQ(Call("RefIconName", "3, S"), 1);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(VramApiTest, IconsArrangeOnTheGridAndDraw) {
  Call("VRamClear", "");
  Call("SetClcPnt", "0, 0, 0, 0, 0, \"$fill:0,0,0\", 1, 0");
  Call("SetClcPnt", "1, 0, 0, 0, 0, \"$fill:0,0,0\", 1, 0");
  Call("SetClcPnt", "2, 0, 0, 0, 0, \"$fill:0,0,0\", 0, 0");
  EXPECT_EQ(Call("SetIconArrgPrm", "100, 200, 30, 20, 2, 5, 6"), 1);
  EXPECT_EQ(Call("IconArrange", "0, 3"), 1);
  EXPECT_EQ(Call("GetClcPnt", "2, A, B, C, D"), 1);
  EXPECT_EQ(Long(a), 100);
  EXPECT_EQ(Long(b), 226);
  EXPECT_EQ(Long(c), 129);
  EXPECT_EQ(Long(d), 245);
  EXPECT_EQ(Pixel(135, 200), graphics::kBlack);  // area 1 drawn
  EXPECT_EQ(Pixel(110, 230), graphics::kWhite);  // area 2 unused: not drawn
  EXPECT_EQ(Call("DrawIcon", "2, 1"), 1);
  EXPECT_EQ(Pixel(110, 230), graphics::kBlack);
  EXPECT_EQ(Call("DrawIcon", "-1"), 1);
  EXPECT_EQ(Error(), 1);
}

}  // namespace
}  // namespace vx::test
