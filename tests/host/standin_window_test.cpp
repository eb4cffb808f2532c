// The stand-in main window of a headless run: it answers what needs no
// window system itself and brings the real window up, once, for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin_window.hpp"

namespace vx::test {
namespace {

using host::RealWindow;
using host::StandInWindow;
using host::WindowRect;

// A real window that records what it is asked.
class RecordingWindow : public host::WindowPort, public Display {
 public:
  std::vector<std::string> calls;

  void SetHandCursor(bool hand) override { calls.push_back(hand ? "hand" : "arrow"); }
  void FocusMainWindow() override { calls.push_back("focus"); }
  void SetTopmost(bool on) override { calls.push_back(on ? "topmost" : "not topmost"); }
  void BringToFront() override { calls.push_back("front"); }
  void InvalidateAll() override { calls.push_back("invalidate"); }
  std::string ChooseScript() override { return "chosen.vx"; }
  void OpenInEditor(std::string_view) override { calls.push_back("editor"); }
  void ShowHelp(std::string_view) override { calls.push_back("help"); }
  void ShowSystemMenu() override { calls.push_back("menu"); }
  void SetClientSize(int w, int h) override {
    width = w;
    height = h;
    calls.push_back("size");
  }
  void MoveTo(int, int) override { calls.push_back("move"); }
  void Show(host::ShowMode) override { calls.push_back("show"); }
  WindowRect ClientRect() override { return {0, 0, width, height}; }
  WindowRect FrameRect() override { return {10, 20, 10 + width, 20 + height}; }
  void ShowCursor(bool show) override { calls.push_back(show ? "cursor" : "no cursor"); }
  bool PointerPosition(int* x, int* y) override {
    *x = 7;
    *y = 9;
    return true;
  }
  void ScreenToClient(int*, int*) override {}
  bool ControlDown() override { return true; }
  bool ShiftDown() override { return false; }
  std::uint32_t MouseButtons() override { return 2; }
  void SetDirectToScreen(bool) override { calls.push_back("direct"); }
  std::uint64_t NativeHandle() override { return 0x4400001; }
  void RequestRedraw(int, int, int, int) override { calls.push_back("redraw"); }
  void PaintNow(int, int, int, int) override { calls.push_back("paint"); }
  void ClientSize(int* w, int* h) override {
    *w = width;
    *h = height;
  }

  int width = 1200;
  int height = 720;
};

struct StandInFixture : ::testing::Test {
  RecordingWindow real;
  int bring_ups = 0;
  StandInWindow window{1200, 720, [this] {
                         ++bring_ups;
                         return RealWindow{&real, &real};
                       }};
};

TEST_F(StandInFixture, AnswersWithoutAWindowSystem) {
  EXPECT_EQ(window.ClientRect().right, 1200);
  EXPECT_EQ(window.ClientRect().bottom, 720);
  int w = 0, h = 0;
  window.ClientSize(&w, &h);
  EXPECT_EQ(w, 1200);
  EXPECT_EQ(h, 720);
  // Nobody would see these without a window.
  window.RequestRedraw(0, 0, 10, 10);
  window.PaintNow(0, 0, 10, 10);
  window.CancelPaint();
  window.InvalidateAll();
  window.FocusMainWindow();
  window.BringToFront();
  window.Show(host::SHOW_MAXIMIZED);
  window.SetHandCursor(true);
  window.ShowCursor(false);
  window.SetTopmost(true);
  EXPECT_EQ(window.ChooseScript(), "");
  EXPECT_EQ(bring_ups, 0);
  EXPECT_FALSE(window.Real());
  EXPECT_TRUE(real.calls.empty());
}

TEST_F(StandInFixture, BringsTheRealWindowUpOnceAndHandsOn) {
  window.SetHandCursor(true);
  window.ShowCursor(false);
  window.SetTopmost(true);
  window.SetClientSize(640, 480);
  ASSERT_EQ(bring_ups, 1);
  EXPECT_TRUE(window.Real());
  // The wishes made before come first, then the call itself.
  EXPECT_EQ(real.calls, (std::vector<std::string>{"hand", "no cursor", "topmost", "size"}));
  // From now on everything goes to the real window.
  EXPECT_EQ(window.ClientRect().right, 640);
  int w = 0, h = 0;
  window.ClientSize(&w, &h);
  EXPECT_EQ(h, 480);
  window.RequestRedraw(0, 0, 1, 1);
  window.PaintNow(0, 0, 1, 1);
  window.SetHandCursor(false);
  EXPECT_EQ(window.ChooseScript(), "chosen.vx");
  EXPECT_EQ(window.NativeHandle(), 0x4400001u);
  EXPECT_EQ(bring_ups, 1);
  EXPECT_EQ(real.calls.back(), "arrow");
}

TEST_F(StandInFixture, WindowServicesNeedTheRealWindow) {
  int x = 0, y = 0;
  EXPECT_TRUE(window.PointerPosition(&x, &y));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(bring_ups, 1);
  EXPECT_TRUE(window.ControlDown());
  EXPECT_EQ(window.MouseButtons(), 2u);
  EXPECT_EQ(window.FrameRect().left, 10);
  window.MoveTo(3, 4);
  window.SetDirectToScreen(true);
  window.ShowHelp("doc/");
  EXPECT_EQ(bring_ups, 1);
  EXPECT_EQ(real.calls, (std::vector<std::string>{"move", "direct", "help"}));
}

}  // namespace
}  // namespace vx::test
