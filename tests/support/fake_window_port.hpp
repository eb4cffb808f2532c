#pragma once
// A main window that records what the host asks of it, for message-level
// tests: one log of calls in order, shared with the fake display.
#include <string>
#include <vector>

#include "engine/display.hpp"
#include "host/window_port.hpp"

namespace vx::test {

class FakeWindowPort : public host::WindowPort, public Display {
 public:
  std::vector<std::string> log;
  std::string chosen_script;  // what the open dialog answers
  int client_width = 1200;
  int client_height = 720;
  bool control_down = false;
  bool shift_down = false;

  void SetHandCursor(bool hand) override { log.push_back(hand ? "cursor hand" : "cursor arrow"); }
  void FocusMainWindow() override { log.push_back("focus"); }
  void SetTopmost(bool on) override { log.push_back(on ? "topmost" : "not topmost"); }
  void BringToFront() override { log.push_back("front"); }
  void InvalidateAll() override { log.push_back("invalidate all"); }
  std::string ChooseScript() override {
    log.push_back("open dialog");
    return chosen_script;
  }
  void OpenInEditor(std::string_view path) override { log.push_back("edit " + std::string(path)); }
  void ShowHelp(std::string_view dir) override { log.push_back("help " + std::string(dir)); }
  void ShowSystemMenu() override { log.push_back("menu"); }
  void SetClientSize(int w, int h) override {
    client_width = w;
    client_height = h;
    log.push_back("client size " + std::to_string(w) + "x" + std::to_string(h));
  }
  void MoveTo(int x, int y) override { log.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
  void Show(host::ShowMode mode) override { log.push_back("show " + std::to_string(mode)); }
  host::WindowRect ClientRect() override { return {0, 0, client_width, client_height}; }
  host::WindowRect FrameRect() override { return {10, 20, 10 + client_width + 2, 20 + client_height + 30}; }
  void ShowCursor(bool show) override { log.push_back(show ? "show cursor" : "hide cursor"); }
  bool PointerPosition(int* x, int* y) override {
    *x = 110;
    *y = 150;
    return true;
  }
  void ScreenToClient(int* x, int* y) override {
    *x -= 11;
    *y -= 50;
  }
  bool ControlDown() override { return control_down; }
  bool ShiftDown() override { return shift_down; }
  std::uint32_t MouseButtons() override { return 2; }
  void SetDirectToScreen(bool on) override { log.push_back(on ? "desktop on" : "desktop off"); }
  std::uint64_t NativeHandle() override { return 0x1234; }

  // Display
  void RequestRedraw(int l, int t, int r, int b) override {
    log.push_back("redraw " + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) +
                  "," + std::to_string(b));
  }
  void PaintNow(int, int, int, int) override { log.push_back("paint now"); }
  void ClientSize(int* w, int* h) override {
    *w = client_width;
    *h = client_height;
  }
};

}  // namespace vx::test
