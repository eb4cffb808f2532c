// The printing family through the dispatcher, with a recording printer in
// place of Qt: what reaches the page, and what is refused.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../api/api_test_support.hpp"
#include "../graphics/image_test_support.hpp"
#include "engine/system_variables.hpp"
#include "graphics/vram.hpp"
#include "printing/printing.hpp"
#include "support/temp_folder.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

using graphics::Color;

struct Drawn {
  std::string kind;
  double x = 0, y = 0, scale = 0;
  graphics::Image picture;
  std::string text;
  int size = 0;
};

struct Record {
  std::vector<Drawn> drawn;
  int pages = 1;
  bool finished = false;
  bool aborted = false;
  bool refuse_finish = false;
};

class RecordingJob final : public printing::PrintJob {
 public:
  explicit RecordingJob(Record& r) : r_(r) {}
  bool NewPage() override {
    ++r_.pages;
    return true;
  }
  void Picture(double x, double y, double scale, const graphics::Image& picture) override {
    r_.drawn.push_back({"picture", x, y, scale, picture, {}, 0});
  }
  void Text(double x, double y, std::string_view utf8, int height, Color) override {
    r_.drawn.push_back({"text", x, y, 0, {}, std::string(utf8), height});
  }
  void Line(double x1, double y1, double, double, int pen, Color) override {
    r_.drawn.push_back({"line", x1, y1, 0, {}, {}, pen});
  }
  void Box(double x, double y, double, double, int pen, Color) override {
    r_.drawn.push_back({"box", x, y, 0, {}, {}, pen});
  }
  bool Finish(std::string* error) override {
    r_.finished = true;
    if (r_.refuse_finish) *error = "paper jam";
    return !r_.refuse_finish;
  }
  void Abort() override { r_.aborted = true; }

 private:
  Record& r_;
};

class RecordingPrinters final : public printing::Printers {
 public:
  std::unique_ptr<printing::PrintJob> Open(const printing::PrintRequest& request, std::string* error) override {
    requests.push_back(request);
    if (refuse) {
      *error = "no printer named x";
      return nullptr;
    }
    return std::make_unique<RecordingJob>(record);
  }
  bool refuse = false;
  Record record;
  std::vector<printing::PrintRequest> requests;
};

class PrintingApiTest : public ApiTest {
 protected:
  void SetUp() override {
    lines = DeclareString("LINES", 64, text::Utf8ToCp932("印刷\r\nline two\n\nfour"));
    Ready();
    rt.printers = &printers;
  }
  std::int32_t Sys(std::int32_t index) { return values::ReadAsInteger(rt, index); }
  std::int32_t Error() { return Sys(sysvar::G_ERROR); }
  std::string ErrTxt() { return Text(sysvar::G_ERR_TXT); }
  void Paint(int x, int y, int w, int h) {
    std::uint8_t* bank = rt.vram.Current();
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        std::uint8_t* p = graphics::PixelAt(bank, x + i, y + j);
        const Color c = Pattern(i, j);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    }
  }

  RecordingPrinters printers;
  std::int32_t lines = 0;
};

TEST_F(PrintingApiTest, AJobOpensOnTheSetUpPageAndEndsWithItsPageCount) {
  Call("SetPrtScreen", "150, 1, \"a5\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 1240);  // 210 mm at 150 dpi, landscape
  EXPECT_EQ(Sys(sysvar::G_WORK2), 874);
  Call("PrtStart", "\"report\", 0");
  ASSERT_EQ(Error(), 0);
  ASSERT_EQ(printers.requests.size(), 1u);
  EXPECT_EQ(printers.requests[0].title, "report");
  EXPECT_EQ(printers.requests[0].setup.dpi, 150);
  EXPECT_TRUE(printers.requests[0].setup.landscape);
  EXPECT_FALSE(printers.requests[0].dialog);
  EXPECT_EQ(Sys(sysvar::G_WORK3), 150);
  Call("PrtNextPage", "");
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  Call("PrtNextPage", "");
  Call("PrtEndPage", "");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 3);
  EXPECT_EQ(printers.record.pages, 3);
  EXPECT_TRUE(printers.record.finished);
  // The job is over: a page break now has no job.
  Call("PrtNextPage", "");
  EXPECT_EQ(Error(), 1);
  EXPECT_NE(ErrTxt().find("PrtStart"), std::string::npos);
}

TEST_F(PrintingApiTest, PageSetupIsRefusedOutsideItsRangesAndDuringAJob) {
  Call("SetPrtScreen", "71");
  EXPECT_EQ(Error(), 1);
  Call("SetPrtScreen", "1201");
  EXPECT_EQ(Error(), 1);
  Call("SetPrtScreen", "300, 0, \"A9\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_NE(ErrTxt().find("paper"), std::string::npos);
  Call("SetPrtScreen", "");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2480);  // A4 portrait at 300 dpi
  EXPECT_EQ(Sys(sysvar::G_WORK2), 3508);
  Call("PrtStart", "");
  Call("SetPrtScreen", "100");
  EXPECT_EQ(Error(), 1);
  Call("PrtStart", "");  // one job at a time
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(printers.requests.size(), 1u);
}

TEST_F(PrintingApiTest, ARefusingPrinterLeavesNoJobAndSaysWhy) {
  printers.refuse = true;
  Call("PrtStart", "");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(ErrTxt(), "no printer named x");
  Call("PrtGFg", "1, 0, 0, \"x\"");
  EXPECT_EQ(Error(), 1);
  rt.printers = nullptr;
  Call("PrtStart", "");
  EXPECT_EQ(Error(), 1);
}

TEST_F(PrintingApiTest, AFailedEndReportsTheReasonAndClosesTheJob) {
  printers.record.refuse_finish = true;
  Call("PrtStart", "");
  Call("PrtEndPage", "");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(ErrTxt(), "paper jam");
  Call("PrtStart", "");
  EXPECT_EQ(Error(), 0);
  Call("PrtEndPage", "1");  // cancelled: thrown away, not finished
  EXPECT_EQ(Error(), 0);
  EXPECT_TRUE(printers.record.aborted);
}

TEST_F(PrintingApiTest, AJobLeftOpenWhenTheRunEndsIsCompletedNotLost) {
  Call("PrtStart", "");
  Call("PrtGFg", "2, 0, 0, 100, 100");
  rt.printing.reset();
  EXPECT_TRUE(printers.record.finished);
  EXPECT_FALSE(printers.record.aborted);
}

TEST_F(PrintingApiTest, ARectangleOfABankIsPrintedWithItsPixelsAtTheScale) {
  Paint(10, 20, 30, 15);
  Call("PrtStart", "");
  Call("PrtGFg", "0, 100, 200, 2.5, -1, 10, 20, 30, 15");
  ASSERT_EQ(Error(), 0) << ErrTxt();
  ASSERT_EQ(printers.record.drawn.size(), 1u);
  const Drawn& d = printers.record.drawn[0];
  EXPECT_EQ(d.kind, "picture");
  EXPECT_EQ(d.x, 100);
  EXPECT_EQ(d.y, 200);
  EXPECT_EQ(d.scale, 2.5);
  ASSERT_EQ(d.picture.width, 30);
  ASSERT_EQ(d.picture.height, 15);
  for (int j = 0; j < 15; ++j) {
    for (int i = 0; i < 30; ++i) ASSERT_EQ(d.picture.At(i, j), Pattern(i, j)) << i << "," << j;
  }
  // Width and height left out (or past the edge) reach the bank's edge.
  Call("PrtGFg", "0, 0, 0, 1, -1, 2590, 1990");
  ASSERT_EQ(printers.record.drawn.size(), 2u);
  EXPECT_EQ(printers.record.drawn[1].picture.width, 10);
  EXPECT_EQ(printers.record.drawn[1].picture.height, 10);
  Call("PrtGFg", "0, 0, 0, 1, -1, 2590, 1990, 500, 500");
  EXPECT_EQ(printers.record.drawn.back().picture.width, 10);
}

TEST_F(PrintingApiTest, BadFiguresAreRefusedAndPrintNothing) {
  Call("PrtStart", "");
  for (const char* args : {"0, -1, 0", "0, 0, -5", "0, 0, 0, 0", "0, 0, 0, 101", "0, 0, 0, 1, 99",
                           "0, 0, 0, 1, -1, 2600", "0, 0, 0, 1, -1, -1", "1, 0, 0, \"x\", 0",
                           "1, 0, 0, \"x\", 2001", "2, 0, 0, 10, 10, 0", "3, 0, 0, 10, 10, -1", "4, 0, 0"}) {
    Call("PrtGFg", args);
    EXPECT_EQ(Error(), 1) << args;
    EXPECT_FALSE(ErrTxt().empty()) << args;
  }
  EXPECT_TRUE(printers.record.drawn.empty());
}

TEST_F(PrintingApiTest, TextIsPrintedLineByLineInUtf8) {
  Call("PrtStart", "");
  Call("PrtGFg", "1, 50, 100, LINES, 40");
  ASSERT_EQ(Error(), 0);
  ASSERT_EQ(printers.record.drawn.size(), 3u);  // the empty line takes its place only
  EXPECT_EQ(printers.record.drawn[0].text, "印刷");
  EXPECT_EQ(printers.record.drawn[1].text, "line two");
  EXPECT_EQ(printers.record.drawn[2].text, "four");
  EXPECT_DOUBLE_EQ(printers.record.drawn[1].y, 148);
  EXPECT_DOUBLE_EQ(printers.record.drawn[2].y, 244);
  EXPECT_EQ(printers.record.drawn[0].size, 40);
  Call("PrtGFg", "3, 10, 10, 100, 50, 0, 0xFF0000");  // a filled box
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(printers.record.drawn.back().kind, "box");
}

TEST_F(PrintingApiTest, AFrameAsWideAsHalfItsBoxFillsIt) {
  Call("PrtStart", "");
  // Box, pen asked for, pen printed: half the smaller side or more fills.
  const struct {
    const char* args;
    int pen;
  } boxes[] = {{"3, 100, 100, 30, 30, 20", 0},  {"3, 100, 100, 30, 30, 15", 0}, {"3, 100, 100, 30, 30, 14", 14},
               {"3, 100, 100, 60, 20, 10", 0},  {"3, 100, 100, 20, 60, 9", 9},   {"3, 100, 100, 20, 60, 10", 0},
               {"3, 100, 100, 400, 300, 3", 3}, {"3, 100, 100, 0, 0, 1", 0}};
  for (const auto& box : boxes) {
    Call("PrtGFg", box.args);
    EXPECT_EQ(Error(), 0) << box.args;
    ASSERT_FALSE(printers.record.drawn.empty());
    EXPECT_EQ(printers.record.drawn.back().kind, "box");
    EXPECT_EQ(printers.record.drawn.back().size, box.pen) << box.args;
  }
  // A line keeps its pen whatever its length.
  Call("PrtGFg", "2, 100, 100, 110, 100, 40");
  EXPECT_EQ(printers.record.drawn.back().size, 40);
}

TEST_F(PrintingApiTest, ACallThatSucceedsLeavesNoOldReason) {
  Call("PrtNextPage", "");
  ASSERT_EQ(Error(), 1);
  ASSERT_FALSE(ErrTxt().empty());
  Call("PrtStart", "");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ErrTxt(), "");
  // LoadBMPImage printing: its failures say why, its successes clear it.
  TempFolder dir;
  dir.Write("p.bmp", MakeBmp(12, 8, 24, false, Pattern));
  dir.Write("p8.bmp", MakeBmp(12, 8, 8, false, Pattern));
  Call("LoadBMPImage", "-1, 0, 10, 5, \"" + dir.Path("p.bmp") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(ErrTxt(), "Position must be over or equal zero. [5402]");
  Call("LoadBMPImage", "0, 0, 10, 5, \"" + dir.Path("p.bmp") + "\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ErrTxt(), "");
  Call("LoadBMPImage", "0, 0, 10, 5, \"" + dir.Path("none.bmp") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(ErrTxt(), "No such file or directory");
  Call("LoadBMPImage", "0, 0, 10, 5, \"" + dir.Path("p8.bmp") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(ErrTxt(), "Not 24 bit data(8) [5439]");
  Call("PrtGFg", "2, 0, 0, 10, 10");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(ErrTxt(), "");
}

TEST_F(PrintingApiTest, LoadBmpImagePrintsWhileAJobIsOpenAndLeavesTheBankAlone) {
  TempFolder dir;
  dir.Write("p.bmp", MakeBmp(12, 8, 24, false, Pattern));
  const std::string file = "\"" + dir.Path("p.bmp") + "\"";
  const Color before = graphics::ReadPixel(rt.vram.Current(), 40, 60);
  ASSERT_NE(before, Pattern(0, 0));
  Call("PrtStart", "");
  Call("LoadBMPImage", "40, 60, 10, 5, " + file);
  EXPECT_EQ(Error(), 0);
  ASSERT_EQ(printers.record.drawn.size(), 1u);
  const Drawn& d = printers.record.drawn[0];
  EXPECT_EQ(d.x, 40);
  EXPECT_EQ(d.y, 60);
  ASSERT_EQ(d.picture.width, 10);  // cut to the maximum size, from the top-left
  ASSERT_EQ(d.picture.height, 5);
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 10; ++i) ASSERT_EQ(d.picture.At(i, j), Pattern(i, j));
  }
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 40, 60), before);
  // A negative position is refused with the loader's message.
  Call("LoadBMPImage", "-1, 0, 10, 5, " + file);
  EXPECT_EQ(Error(), 1);
  ASSERT_FALSE(window.messages.empty());
  EXPECT_NE(window.messages.back().find("Position must be over or equal zero. [5402]"), std::string::npos);
  EXPECT_EQ(printers.record.drawn.size(), 1u);
  // After the job the loader loads into the bank again.
  Call("PrtEndPage", "");
  Call("LoadBMPImage", "40, 60, 10, 5, " + file);
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 40, 60), Pattern(0, 0));
}

TEST(PrintingSetup, DestinationsPapersAndPageSizes) {
  using printing::Destination;
  EXPECT_EQ(printing::ParseDestination("").kind, Destination::Kind::kDefaultPrinter);
  EXPECT_EQ(printing::ParseDestination("cups:").kind, Destination::Kind::kDefaultPrinter);
  const Destination pdf = printing::ParseDestination("pdf:/tmp/a:b.pdf");
  EXPECT_EQ(pdf.kind, Destination::Kind::kPdfFile);
  EXPECT_EQ(pdf.name, "/tmp/a:b.pdf");
  const Destination named = printing::ParseDestination("cups:Office_Laser");
  EXPECT_EQ(named.kind, Destination::Kind::kNamedPrinter);
  EXPECT_EQ(named.name, "Office_Laser");
  EXPECT_EQ(printing::ParseDestination("pdf:").kind, Destination::Kind::kInvalid);
  EXPECT_EQ(printing::ParseDestination("lpt1").kind, Destination::Kind::kInvalid);
  EXPECT_EQ(printing::PaperByName("LETTER"), printing::Paper::kLetter);
  EXPECT_FALSE(printing::PaperByName("A44").has_value());
  printing::PageSetup s;
  s.dpi = 72;
  s.paper = printing::Paper::kLetter;
  EXPECT_EQ(s.WidthDots(), 612);
  EXPECT_EQ(s.HeightDots(), 792);
}

}  // namespace
}  // namespace vx::test
