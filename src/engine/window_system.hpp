#pragma once
// What the engine needs from the window system. The host's Qt layer
// implements it for real windows; headless runs and tests use an in-memory
// implementation. All texts are Shift-JIS bytes.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

struct ResourceEntry;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Text of a control (caption for buttons, contents for boxes).
  virtual std::string ControlText(const ResourceEntry& control) = 0;
  virtual void SetControlText(const ResourceEntry& control, std::string_view text) = 0;
  // Scrolls an edit control to its end after text was appended.
  virtual void ScrollToEnd(const ResourceEntry& control) = 0;

  // List and combo boxes. Indices from 0; -1 = no selection.
  virtual int ListSelection(const ResourceEntry& list) = 0;
  virtual void SetListSelection(const ResourceEntry& list, int index) = 0;
  virtual std::string ListItem(const ResourceEntry& list, int index) = 0;
  virtual void ListAdd(const ResourceEntry& list, std::string_view item) = 0;
  virtual void ListInsert(const ResourceEntry& list, int index, std::string_view item) = 0;
  virtual void ListDelete(const ResourceEntry& list, int index) = 0;

  // Check boxes and radio buttons.
  virtual bool Checked(const ResourceEntry& button) = 0;
  virtual void SetChecked(const ResourceEntry& button, bool checked) = 0;

  // Gives a control's widget the keyboard focus; false when it has none
  // (not created, or no window behind it).
  virtual bool FocusControl(const ResourceEntry& /*control*/) { return false; }

  // Progress, track and scroll bars.
  virtual int Position(const ResourceEntry& bar) = 0;
  virtual void SetPosition(const ResourceEntry& bar, int position) = 0;

  // The clipboard's text; empty when it holds none.
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(std::string_view text) = 0;

  // The clipboard's picture as a packed device-independent bitmap (the
  // clipboard's DIB form: information header, colour masks if any, rows);
  // empty when it holds none. This base keeps pictures in the process,
  // which serves headless runs; a window layer uses the system clipboard.
  virtual std::string ClipboardPicture() { return picture_clipboard_; }
  // Puts a packed 24-bit DIB on the clipboard; false when that failed.
  virtual bool SetClipboardPicture(std::string_view dib) {
    picture_clipboard_.assign(dib);
    return true;
  }

  // The screen's size in pixels; 0 x 0 when there is no screen (headless).
  virtual void ScreenSize(int* width, int* height) { *width = *height = 0; }
  // A 24-bit packed DIB of the screen area; false when it cannot be grabbed.
  virtual bool GrabScreen(int /*x*/, int /*y*/, int /*width*/, int /*height*/, std::string* /*dib*/) {
    return false;
  }

  // A message box with one OK button; returns when it is closed.
  virtual void ShowMessage(std::string_view caption, std::string_view text) = 0;
  // An error message whose explanation (one line "FILE:LINE: ...") a person
  // can unfold under the unchanged text; a terminal sees the explanation as
  // one more line on standard error. The base shows the two in turn.
  virtual void ShowExplainedMessage(std::string_view caption, std::string_view text,
                                    std::string_view explanation) {
    ShowMessage(caption, text);
    ShowNote(explanation);
  }
  // One line for a person at a terminal (standard error); no window shows it.
  virtual void ShowNote(std::string_view /*line*/) {}
  virtual void SetTitle(std::string_view title) = 0;

 private:
  std::string picture_clipboard_;
};

// Receive and send for serial-port resources (kind 22).
class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual std::string PendingInput(const ResourceEntry& port) = 0;
  virtual void Send(const ResourceEntry& port, std::string_view bytes) = 0;
};

}  // namespace vx
