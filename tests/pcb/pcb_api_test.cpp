// The PCB family through the dispatcher: capacity messages, statuses,
// results in variables and the drawing surface.
#include <gtest/gtest.h>

#include <string>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

class PcbApiTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N", 0);
    d = DeclareDouble("D", 0);
    t = DeclareString("T", 65536);
    Ready();
  }
  std::string Q(std::string_view name) { return "\"" + folder.Path(name) + "\""; }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }

  TempFolder folder;
  std::int32_t n = -1, d = -1, t = -1;
};

std::string Pad(int i, std::string_view layer = "tPtn") {
  return "GB_P:3, GB_W:" + std::to_string(0.1 + i * 0.001) + ", GB_X:" + std::to_string(i % 200) +
         ", GB_LAY:" + std::string(layer) + ",\r\n";
}

TEST_F(PcbApiTest, LoadOverCapacityShowsTheMessageAndKeepsTheRecords) {
  std::string text;
  for (int i = 0; i < 50'001; ++i) text += "GB_P:1, GB_X:1, GB_LAY:tDoc\n";
  folder.Write("big.gb", text);
  Call("CtLoadPtn", "0, " + Q("big.gb") + ", N");
  EXPECT_EQ(Long(n), 49'999);
  EXPECT_EQ(Status(), 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[Error Message] Over capacity of segment area (CoreTrick.cpp : 240)");
  Call("CtRefSeg", "49998, T");
  EXPECT_EQ(Text(t).substr(0, 6), "GB_P:1");
  EXPECT_EQ(Status(), 0);
  Call("CtRefSeg", "49999, T");
  EXPECT_EQ(Text(t), "");
  EXPECT_EQ(Status(), 1);
}

TEST_F(PcbApiTest, LoadRejectsStartsOutsideTheList) {
  folder.Write("one.gb", Pad(1));
  Call("CtLoadPtn", "-1, " + Q("one.gb") + ", N");
  EXPECT_EQ(Status(), 1);
  Call("CtLoadPtn", "50000, " + Q("one.gb") + ", N");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(n), 0);
  EXPECT_TRUE(window.messages.empty());
  Call("CtLoadPtn", "3, " + Q("one.gb") + ", N");
  EXPECT_EQ(Long(n), 1);
  EXPECT_EQ(rt.pcb.count, 4);
}

TEST_F(PcbApiTest, GerberApertureOverflowRepeatsItsMessage) {
  std::string text;
  for (int i = 0; i < 93; ++i) text += Pad(i);
  folder.Write("many.gb", text);
  Call("CtLoadPtn", "0, " + Q("many.gb") + ", N");
  Call("CtOutGbr", "0, 1000, \"tPtn\", " + Q("out.gbr") + ", 1");
  EXPECT_EQ(Status(), 0);
  ASSERT_EQ(window.messages.size(), 3u);
  EXPECT_EQ(window.messages[2], "[Error Message] Over capacity of Ap list area (CoreTrick.cpp : 1715)");
  const std::string gerber = folder.Read("out.gbr");
  EXPECT_NE(gerber.find("%ADD99C,0.189*%\r\n"), std::string::npos);
  EXPECT_EQ(gerber.find("D100"), std::string::npos);
  EXPECT_EQ(gerber.substr(gerber.size() - 6), "M02*\r\n");
}

TEST_F(PcbApiTest, DrillToolOverflowAndHeaderOption) {
  std::string text;
  for (int i = 0; i < 91; ++i) text += Pad(i, "holes").replace(0, 6, "GB_P:11");
  folder.Write("holes.gb", text);
  Call("CtLoadPtn", "0, " + Q("holes.gb") + ", N");
  Call("CtOutDLst", "0, 1000, " + Q("tools.txt") + ", " + Q("drill.txt") + ", 0");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[Error Message] Over capacity of drill list area (CoreTrick.cpp : 1889)");
  EXPECT_EQ(folder.Read("drill.txt").substr(0, 11), "%\r\nM72\r\nT01");
  Call("CtOutDLst", "0, 1, " + Q("tools.txt") + ", " + Q("drill.txt") + ", 1, 1");
  EXPECT_EQ(folder.Read("drill.txt"),
            "M48\r\nMETRIC,LZ\r\nT01C0.100\r\n%\r\nG90\r\nG05\r\nT01\r\nX0.000Y0.000\r\nM30\r\n");
  EXPECT_EQ(folder.Read("tools.txt"), "T01 0.10mm\t\tTH\r\n");
}

TEST_F(PcbApiTest, LayerColourIsClampedAndDrawn) {
  folder.Write("pad.gb", "GB_P:3, GB_W:2, GB_X:0, GB_Y:0, GB_LAY:tPtn\r\n");
  Call("CtLoadPtn", "0, " + Q("pad.gb") + ", N");
  Call("CtSetLyrCol", "\"tPtn\", 300, 128, -5");
  Call("CtSetLyrCol", "\"nolayer\", 1, 2, 3");
  Call("CtSetPrm", "10, 0, 0, 50, 60, 0");
  rt.vram.EmptyDirty();
  Call("CtDrawPtn", "0, 0, 0");
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 50, 60), (graphics::Color{0, 128, 255}));
  EXPECT_TRUE(rt.vram.dirty.NonEmpty());
  EXPECT_LE(rt.vram.dirty.left, 40);
  Call("CtActLyr", "\"ALL\", 0");
  Call("CtDrawPtn", "0, 0, 1");  // clears, draws nothing
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 50, 60), graphics::kBlack);
}

TEST_F(PcbApiTest, DesignRulesAndDebugListing) {
  folder.Write("two.gb",
               "GB_P:3, GB_W:2, GB_X:0, GB_Y:0, GB_NET:A, GB_LAY:tPtn\r\n"
               "GB_P:3, GB_W:2, GB_X:2.5, GB_Y:0, GB_LAY:tPtn\r\n");
  Call("CtLoadPtn", "0, " + Q("two.gb") + ", N");
  Call("CtDRCMin", "\"tPtn\", D, T");
  EXPECT_DOUBLE_EQ(Double(d), 0.5);
  EXPECT_EQ(Text(t), "A:0,A,B:1,$nonet$, dist=0.500000 \r\n at (1.250, 0.000)\r\n");
  Call("CtDRC", "\"tPtn\", 0.4, N, T");
  EXPECT_EQ(Long(n), 0);
  EXPECT_EQ(Text(t), "");
  Call("CtDRC", "\"tPtn\", 0.6, N, T");
  EXPECT_EQ(Long(n), 1);
  Call("CtDRC", "\"nolayer\", 0.6, N, T");
  EXPECT_EQ(Status(), 1);
  // The initial view: board (0, 0) is pixel (310, 680).
  Call("CtDebug", "310, 680, 3, T");
  EXPECT_EQ(Text(t),
            "List up near Line segment. \r\n[mouse pos] (0.00, 0.00) \r\n"
            "[0] (0.00, 0.00) (0.00, 0.00) [3]\r\n\r\n\r\nbeta block\r\n");
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG).find("List up near"), 0u);
}

TEST_F(PcbApiTest, DesignRulesWithHoleEdgeAndKeepoutClearances) {
  folder.Write("rules.gb",
               "GB_P:1, GB_W:0.2, GB_X:0, GB_Y:0, GB_XD:20, GB_YD:0, GB_LAY:dim\r\n"
               "GB_P:1, GB_W:0.2, GB_X:20, GB_Y:0, GB_XD:0, GB_YD:10, GB_LAY:dim\r\n"
               "GB_P:1, GB_W:0.2, GB_X:20, GB_Y:10, GB_XD:-20, GB_YD:0, GB_LAY:dim\r\n"
               "GB_P:1, GB_W:0.2, GB_X:0, GB_Y:10, GB_XD:0, GB_YD:-10, GB_LAY:dim\r\n"
               "GB_P:3, GB_W:1, GB_X:5, GB_Y:5, GB_NET:A, GB_LAY:tPtn\r\n"      // 4
               "GB_P:3, GB_W:1, GB_X:6.2, GB_Y:5, GB_NET:B, GB_LAY:tPtn\r\n"    // 5: 0.2 from 4
               "GB_P:12, GB_W:1, GB_X:8, GB_Y:5, GB_LAY:holes\r\n"              // 6: 0.8 from 5
               "GB_P:3, GB_W:1, GB_X:0.5, GB_Y:8, GB_LAY:tPtn\r\n"              // 7: on the edge
               "GB_P:2, GB_X:12, GB_Y:8, GB_XD:1, GB_YD:1, GB_LAY:tKOut\r\n"    // 8
               "GB_P:3, GB_W:1, GB_X:12, GB_Y:6.5, GB_NET:C, GB_LAY:tPtn\r\n"); // 9: 0.5 from 8
  Call("CtLoadPtn", "0, " + Q("rules.gb") + ", N");
  // Copper alone, as existing scripts call it.
  Call("CtDRC", "\"tPtn\", 0.3, N, T");
  EXPECT_EQ(Long(n), 1);
  EXPECT_EQ(Long(sysvar::G_WORK2), 0);
  Call("CtDRC", "\"tPtn\", 0.3, N, T, 1.0, 0.1, 0.6");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(n), 4);
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  EXPECT_EQ(Long(sysvar::G_WORK2), 1);
  EXPECT_EQ(Long(sysvar::G_WORK3), 1);
  EXPECT_EQ(Long(sysvar::G_WORK4), 1);
  EXPECT_EQ(Text(t),
            "A:4,A,B:5,B, dist=0.200000 \r\n at (5.600, 5.000)\r\n"
            "A:5,B,B:6,$nonet$, dist=0.800000 \r\n at (7.100, 5.000) hole\r\n"
            "A:7,$nonet$,B:3,$nonet$, dist=0.000000 \r\n at (0.000, 8.000) edge\r\n"
            "A:9,C,B:8,$nonet$, dist=0.500000 \r\n at (12.000, 7.250) keep-out\r\n");
  // A rule may be skipped with a negative clearance.
  Call("CtDRC", "\"tPtn\", 0.3, N, T, -1, 0.1");
  EXPECT_EQ(Long(n), 2);
  EXPECT_EQ(Long(sysvar::G_WORK3), 1);
  Call("CtDRCMin", "\"tPtn\", D, T, 1");
  EXPECT_NEAR(Double(d), 0.8, 1e-9);
  EXPECT_EQ(Text(t), "A:5,B,B:6,$nonet$, dist=0.800000 \r\n at (7.100, 5.000) hole\r\n");
  Call("CtDRCMin", "\"tPtn\", D, T, 3");
  EXPECT_NEAR(Double(d), 0.5, 1e-9);
  Call("CtDRCMin", "\"tPtn\", D, T, 2");
  EXPECT_EQ(Double(d), 0.0);
  EXPECT_EQ(Status(), 0);
  Call("CtDRCMin", "\"bPtn\", D, T, 3");
  EXPECT_EQ(Double(d), -1.0);
  EXPECT_EQ(Text(t), "");
  EXPECT_EQ(Status(), 0);
  Call("CtDRCMin", "\"tPtn\", D, T, 4");
  EXPECT_EQ(Double(d), -1.0);
  EXPECT_EQ(Status(), 1);
}

TEST_F(PcbApiTest, SilkAndViaThroughTheDispatcher) {
  Call("CtMkSilk", "T, \"1\", 0, 0, 1, 1, 0.1, \"bName\", -4");
  EXPECT_EQ(Text(t).substr(0, 31), "GB_P:1, GB_PIN:0, GB_W:0.10000,");
  EXPECT_NE(Text(t).find("GB_LAY:bName"), std::string::npos);
  folder.Write("board.gb",
               "GB_P:1, GB_W:0.2, GB_X:0, GB_Y:0, GB_XD:10, GB_LAY:dim\r\n"
               "GB_P:1, GB_W:0.2, GB_X:10, GB_Y:0, GB_YD:10, GB_LAY:dim\r\n");
  Call("CtLoadPtn", "0, " + Q("board.gb") + ", N");
  Call("CtSetBetaPrm", "0.5, 0.2");
  Call("CtMkBeta", "0, 0, 0, \"tPtn\", \"GND\"");
  EXPECT_EQ(Status(), 0);
  EXPECT_GT(Long(sysvar::G_WORK1), 10);
  Call("CtMkBeta", "0, 0, 0, \"tDoc\", \"GND\"");
  EXPECT_EQ(Status(), 1);
  EXPECT_TRUE(window.messages.empty());
  const int before = rt.pcb.count;
  Call("CtPutVia", "345, 645, 400, \"\", \"VIA1\"");  // board (5, 5)
  EXPECT_EQ(rt.pcb.count, before + 3);
  EXPECT_EQ(Text(sysvar::G_TXT), "GND");  // landed on the fill
  EXPECT_NE(Text(sysvar::G_DEBUG_LOG).find("CoreTrickTapVia() \r\n"), std::string::npos);
  EXPECT_EQ(rt.pcb.records[before + 2].width, 0.4);
}

}  // namespace
}  // namespace vx::test
