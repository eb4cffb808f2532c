#include "host/standin_window.hpp"

#include <utility>

namespace vx::host {

StandInWindow::StandInWindow(int width, int height, std::function<RealWindow()> bring_up)
    : width_(width), height_(height), bring_up_(std::move(bring_up)) {}

WindowPort& StandInWindow::Port() {
  if (!Real()) {
    real_ = bring_up_();
    // The real window takes over the wishes made before it existed.
    if (hand_cursor_) real_.port->SetHandCursor(true);
    if (cursor_hidden_) real_.port->ShowCursor(false);
    if (topmost_) real_.port->SetTopmost(true);
  }
  return *real_.port;
}

// Kept until a window exists: without one nothing shows them.
void StandInWindow::SetHandCursor(bool hand) {
  if (Real()) return real_.port->SetHandCursor(hand);
  hand_cursor_ = hand;
}

void StandInWindow::ShowCursor(bool show) {
  if (Real()) return real_.port->ShowCursor(show);
  cursor_hidden_ = !show;
}

void StandInWindow::SetTopmost(bool on) {
  if (Real()) return real_.port->SetTopmost(on);
  topmost_ = on;
}

// Without a window there is nothing to focus, raise, show or repaint.
void StandInWindow::FocusMainWindow() {
  if (Real()) real_.port->FocusMainWindow();
}

void StandInWindow::BringToFront() {
  if (Real()) real_.port->BringToFront();
}

void StandInWindow::InvalidateAll() {
  if (Real()) real_.port->InvalidateAll();
}

void StandInWindow::Show(ShowMode mode) {
  if (Real()) real_.port->Show(mode);
}

void StandInWindow::RequestRedraw(int left, int top, int right, int bottom) {
  if (Real()) real_.display->RequestRedraw(left, top, right, bottom);
}

void StandInWindow::PaintNow(int left, int top, int right, int bottom) {
  if (Real()) real_.display->PaintNow(left, top, right, bottom);
}

void StandInWindow::CancelPaint() {
  if (Real()) real_.display->CancelPaint();
}

// A headless run chooses no script.
std::string StandInWindow::ChooseScript() { return Real() ? real_.port->ChooseScript() : std::string(); }

WindowRect StandInWindow::ClientRect() {
  if (Real()) return real_.port->ClientRect();
  return WindowRect{0, 0, width_, height_};
}

void StandInWindow::ClientSize(int* width, int* height) {
  if (Real()) return real_.display->ClientSize(width, height);
  *width = width_;
  *height = height_;
}

// Everything else is the real window's.
void StandInWindow::OpenInEditor(std::string_view script_path) { Port().OpenInEditor(script_path); }
void StandInWindow::ShowHelp(std::string_view doc_dir) { Port().ShowHelp(doc_dir); }
void StandInWindow::ShowSystemMenu() { Port().ShowSystemMenu(); }
void StandInWindow::SetClientSize(int width, int height) { Port().SetClientSize(width, height); }
void StandInWindow::MoveTo(int x, int y) { Port().MoveTo(x, y); }
WindowRect StandInWindow::FrameRect() { return Port().FrameRect(); }
bool StandInWindow::PointerPosition(int* x, int* y) { return Port().PointerPosition(x, y); }
void StandInWindow::ScreenToClient(int* x, int* y) { Port().ScreenToClient(x, y); }
bool StandInWindow::ControlDown() { return Port().ControlDown(); }
bool StandInWindow::ShiftDown() { return Port().ShiftDown(); }
std::uint32_t StandInWindow::MouseButtons() { return Port().MouseButtons(); }
void StandInWindow::SetDirectToScreen(bool on) { Port().SetDirectToScreen(on); }
std::uint64_t StandInWindow::NativeHandle() { return Port().NativeHandle(); }

}  // namespace vx::host
