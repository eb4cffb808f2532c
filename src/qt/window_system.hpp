#pragma once
// The window system over Qt widgets. With a display, message boxes and the
// debugging dialog are real dialogs; headless, each is one line on standard
// error and is answered at once. Controls arrive with the host's control
// layer (QtControls); without it control operations read neutral.
#include <functional>
#include <string>

#include "engine/run_state.hpp"
#include "host/headless_window.hpp"
#include "qt/controls.hpp"

class QImage;
class QWidget;

namespace vx::qt {

class QuickWatchWindow;

class QtWindowSystem : public host::InProcessWindowSystem {
 public:
  explicit QtWindowSystem(bool headless) : headless_(headless) {}

  void SetMainWindow(QWidget* window);
  // The widgets behind control resources; set before the main window.
  void SetControls(QtControls* controls) {
    controls_ = controls;
    SetWidgets(controls);
  }
  bool Headless() const { return headless_; }

  std::string ClipboardText() override;
  void SetClipboardText(std::string_view text) override;
  // With a display pictures go through the system clipboard and the grab
  // reads the primary screen; headless keeps the in-process clipboard and
  // has no screen.
  std::string ClipboardPicture() override;
  bool SetClipboardPicture(std::string_view dib) override;
  void ScreenSize(int* width, int* height) override;
  bool GrabScreen(int x, int y, int width, int height, std::string* dib) override;
  void ShowMessage(std::string_view caption, std::string_view text) override;
  // With a display: the explanation on standard error and as the message
  // box's details (its "Show Details..." part).
  void ShowExplainedMessage(std::string_view caption, std::string_view text,
                            std::string_view explanation) override;
  void SetTitle(std::string_view title) override;

 private:
  bool headless_;
  QWidget* main_window_ = nullptr;
  QtControls* controls_ = nullptr;
};

// The debugging dialog (qt_debugger.hpp) with a display, "[Debug] text" on
// standard error and Continue when headless.
class QtDebugDialog : public DebugDialog {
 public:
  explicit QtDebugDialog(bool headless) : headless_(headless) {}
  void SetMainWindow(QWidget* window) { main_window_ = window; }
  void SetQuickWatch(QuickWatchWindow* window) { quick_watch_ = window; }
  // Makes the quick-watch window when the dialog first opens.
  void SetQuickWatchMaker(std::function<QuickWatchWindow*()> make) { make_quick_watch_ = std::move(make); }
  int Open(Runtime& rt, std::int32_t procedure, std::string_view text) override;

 private:
  bool headless_;
  QWidget* main_window_ = nullptr;
  QuickWatchWindow* quick_watch_ = nullptr;
  std::function<QuickWatchWindow*()> make_quick_watch_;
};

// A picture as a packed 24-bit DIB (bottom-up rows, each padded to 4
// bytes); empty for a null picture or one too large to hand over.
std::string PictureToDib(const QImage& picture);
// A packed 24- or 32-bit DIB as a picture; a null picture when the bytes are
// not a DIB, are compressed, are too large or end before the last row.
QImage DibToPicture(std::string_view dib);

}  // namespace vx::qt
