#pragma once
// The main window as a Qt widget: paints the current bank 1:1 straight from
// its memory, turns Qt's input into the host's messages, and does for the
// host what only the window can (cursor, topmost, size, dialogs).
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/display.hpp"
#include "engine/messages.hpp"
#include "host/window_port.hpp"
#include "qt/help_viewer.hpp"

namespace vx {
struct Runtime;
}

namespace vx::qt {

class MainWindow : public QWidget, public host::WindowPort, public Display {
 public:
  // `deliver` hands a message to the procedure and returns its result.
  MainWindow(Runtime& rt, bool headless, std::function<int(const host::Message&)> deliver);

  // host::WindowPort
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
  void Show(host::ShowMode mode) override;
  host::WindowRect ClientRect() override;
  host::WindowRect FrameRect() override;
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
  void ClientSize(int* width, int* height) override;
  void KeepAlive() override;
  // Whether a long label's keep-alive is taking the window's events now.
  bool KeepingAlive() const { return keeping_alive_; }

  // The window's menu (on Ctrl + right button, the Menu key and F10).
  void ShowSystemMenu(const QPoint& global);
  // The reference viewer, once it has been opened.
  HelpViewer* HelpWindow() const { return help_.data(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  bool nativeEvent(const QByteArray& event_type, void* message, qintptr* result) override;

 private:
  int Deliver(const host::Message& m);
  void MouseMessage(host::MessageKind kind, const QPoint& at);
  bool OverControl(const QPoint& at) const;
  void SendChars(const QString& text);
  bool FromChild() const;
  void ApplyCursor();
  void EndFrameDrag();
  void LookUpMessageAtom();
  void PlaceFrameWhenKnown();

  Runtime& rt_;
  bool headless_;
  std::function<int(const host::Message&)> deliver_;
  bool hand_cursor_ = false;
  bool cursor_hidden_ = false;
  bool resizing_by_program_ = false;
  bool frame_drag_ = false;
  QTimer frame_drag_end_;
  QElapsedTimer since_state_change_;
  bool first_paint_done_ = false;
  bool keeping_alive_ = false;
  std::uint32_t message_atom_ = 0;  // X client messages other programs post with
  bool message_atom_looked_up_ = false;
  // Where the script put the frame before the window manager had framed the
  // window; applied once the frame is known.
  std::optional<QPoint> pending_frame_position_;
  QTimer frame_wait_;
  QElapsedTimer shown_for_;
  QPointer<HelpViewer> help_;
};

}  // namespace vx::qt
