#pragma once
// The main window of a headless run until a real one is needed. A run that
// only computes, draws into banks and writes files never needs a window
// system; this answers what is known without one (the client size, the
// cursor and topmost wishes, redraw requests that nobody would see) and
// brings the real window up for everything else, then hands the call on.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/display.hpp"
#include "host/window_port.hpp"

namespace vx::host {

// The real main window: what the window layer registers once it exists.
struct RealWindow {
  WindowPort* port = nullptr;
  Display* display = nullptr;
};

class StandInWindow : public WindowPort, public Display {
 public:
  // `bring_up` creates the real window (once) and returns it; the stand-in
  // has the size the real window starts with.
  StandInWindow(int width, int height, std::function<RealWindow()> bring_up);

  // Whether the real window exists (it was asked for).
  bool Real() const { return real_.port != nullptr; }

  // WindowPort
  void SetHandCursor(bool hand) override;
  void FocusMainWindow() override;
  void SetTopmost(bool on) override;
  void BringToFront() override;
  void InvalidateAll() override;
  std::string ChooseScript() override;
  void OpenInEditor(std::string_view script_path) override;
  void ShowHelp(std::string_view doc_dir) override;
  void ShowSystemMenu() override;
  void SetClientSize(int width, int height) override;
  void MoveTo(int x, int y) override;
  void Show(ShowMode mode) override;
  WindowRect ClientRect() override;
  WindowRect FrameRect() override;
  void ShowCursor(bool show) override;
  bool PointerPosition(int* x, int* y) override;
  void ScreenToClient(int* x, int* y) override;
  bool ControlDown() override;
  bool ShiftDown() override;
  std::uint32_t MouseButtons() override;
  void SetDirectToScreen(bool on) override;
  std::uint64_t NativeHandle() override;

  // Display
  void RequestRedraw(int left, int top, int right, int bottom) override;
  void PaintNow(int left, int top, int right, int bottom) override;
  void CancelPaint() override;
  void ClientSize(int* width, int* height) override;

 private:
  // The real window, brought up on first need, with the wishes kept so far.
  WindowPort& Port();

  int width_;
  int height_;
  std::function<RealWindow()> bring_up_;
  RealWindow real_;
  bool hand_cursor_ = false;
  bool cursor_hidden_ = false;
  bool topmost_ = false;
};

}  // namespace vx::host
