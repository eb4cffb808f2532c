#pragma once
// The window services a run has before (or without) a window layer: the
// clipboard kept in the process, message boxes and the debugging dialog as
// lines on standard error, no screen. A window layer, once it is up, takes
// over the controls (ControlWidgets) and, with a display, the rest.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/run_state.hpp"
#include "engine/window_system.hpp"
#include "host/controls.hpp"

namespace vx::host {

// The widgets behind control resources, as the window system reads and
// writes them (Shift-JIS texts; indices from 0, -1 = no selection).
class ControlWidgets {
 public:
  virtual ~ControlWidgets() = default;
  virtual std::string Text(const ResourceEntry& control) const = 0;
  virtual void SetText(const ResourceEntry& control, std::string_view text) = 0;
  virtual void ScrollToEnd(const ResourceEntry& control) = 0;
  virtual int ListSelection(const ResourceEntry& list) const = 0;
  virtual void SetListSelection(const ResourceEntry& list, int index) = 0;
  virtual std::string ListItem(const ResourceEntry& list, int index) const = 0;
  virtual void ListAdd(const ResourceEntry& list, std::string_view item) = 0;
  virtual void ListInsert(const ResourceEntry& list, int index, std::string_view item) = 0;
  virtual void ListDelete(const ResourceEntry& list, int index) = 0;
  virtual bool Checked(const ResourceEntry& button) const = 0;
  virtual void SetChecked(const ResourceEntry& button, bool checked) = 0;
  virtual int Position(const ResourceEntry& bar) const = 0;
  virtual void SetPosition(const ResourceEntry& bar, int position) = 0;
  // Keyboard focus to the control's widget; false when it has none.
  virtual bool Focus(const ResourceEntry& control) = 0;
};

// Control operations go to the widgets; without them reads are neutral.
class InProcessWindowSystem : public WindowSystem {
 public:
  void SetWidgets(ControlWidgets* widgets) { widgets_ = widgets; }
  const std::string& Title() const { return title_; }

  std::string ControlText(const ResourceEntry& control) override;
  void SetControlText(const ResourceEntry& control, std::string_view text) override;
  void ScrollToEnd(const ResourceEntry& control) override;
  int ListSelection(const ResourceEntry& list) override;
  void SetListSelection(const ResourceEntry& list, int index) override;
  std::string ListItem(const ResourceEntry& list, int index) override;
  void ListAdd(const ResourceEntry& list, std::string_view item) override;
  void ListInsert(const ResourceEntry& list, int index, std::string_view item) override;
  void ListDelete(const ResourceEntry& list, int index) override;
  bool Checked(const ResourceEntry& button) override;
  void SetChecked(const ResourceEntry& button, bool checked) override;
  bool FocusControl(const ResourceEntry& control) override;
  int Position(const ResourceEntry& bar) override;
  void SetPosition(const ResourceEntry& bar, int position) override;
  std::string ClipboardText() override { return clipboard_; }
  void SetClipboardText(std::string_view text) override { clipboard_.assign(text); }
  // A message box is one line on standard error, answered at once.
  void ShowMessage(std::string_view caption, std::string_view text) override;
  // One line on standard error, in UTF-8.
  void ShowNote(std::string_view line) override;
  void SetTitle(std::string_view title) override { title_.assign(title); }

 private:
  ControlWidgets* widgets_ = nullptr;
  std::string clipboard_;
  std::string title_;
};

// "[Debug] text" on standard error, and the run continues.
// A headless run's notice of a file that could not be written (installed
// with files::SetWriteFailureNotice): "vexmora: cannot write NAME: REASON"
// on standard error, the name as the user gave it, the reason the system's.
void TellFailedWrite(std::string_view shown_name, int errnum);

class HeadlessDebugDialog : public DebugDialog {
 public:
  int Open(Runtime& rt, std::int32_t procedure, std::string_view text) override;
};

// The control host of a run whose window layer is not up yet. Making the
// first control or timer brings the layer up (`bring_up` attaches it);
// until then there are no widgets, so every other operation is neutral.
class DeferredControls : public ControlHost {
 public:
  explicit DeferredControls(std::function<void()> bring_up) : bring_up_(std::move(bring_up)) {}
  void Attach(ControlHost* layer) { layer_ = layer; }
  bool Attached() const { return layer_ != nullptr; }

  std::int32_t CreateControl(const ResourceEntry& control, std::int32_t item_id) override;
  bool StartTimer(std::int32_t timer_id, std::int32_t interval_ms) override;
  void DestroyAll() override;
  void SetFont(const ResourceEntry& control, int pixels) override;
  void Move(const ResourceEntry& control, std::int32_t x, std::int32_t y) override;
  void Resize(const ResourceEntry& control, std::int32_t width, std::int32_t height) override;
  void Show(const ResourceEntry& control, bool visible) override;
  void SetColours(const ResourceEntry& control, std::uint32_t text, std::uint32_t back) override;
  void RemoveClientEdge(const ResourceEntry& control) override;
  void LimitText(const ResourceEntry& control, std::int32_t bytes) override;
  void SetPageSize(const ResourceEntry& bar, std::int32_t page) override;
  int ListCount(const ResourceEntry& list) override;
  void ListClear(const ResourceEntry& list) override;
  void SetEditSelection(const ResourceEntry& edit, std::int32_t start, std::int32_t end) override;
  void EditSelection(const ResourceEntry& edit, std::int32_t* start, std::int32_t* end) override;
  void FocusMainWindow() override;
  void AfterLabel() override;

 private:
  // The layer, brought up if need be; null if it could not come up.
  ControlHost* Layer();

  std::function<void()> bring_up_;
  ControlHost* layer_ = nullptr;
};

}  // namespace vx::host
