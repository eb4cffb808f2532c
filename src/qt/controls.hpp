#pragma once
// The declared controls as Qt widgets, children of the main window, and the
// window timers. Widgets report what a person does with them to the host's
// notification rules (host/controls.hpp); the window system's control
// operations read and write them here.
#include <QFont>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/controls.hpp"
#include "host/headless_window.hpp"
#include "qt/timers.hpp"

class QButtonGroup;

namespace vx {
struct Runtime;
}

namespace vx::qt {

// One of the six shared fonts: a Japanese-capable fixed-pitch Gothic face,
// weight 500, at `pixels` high.
QFont SharedFont(int pixels);

// Object name every control widget carries: "vx_control_<id>".
QString ControlObjectName(std::int32_t item_id);

class QtControls : public host::ControlHost, public host::ControlWidgets {
 public:
  explicit QtControls(Runtime& rt);
  ~QtControls() override;

  void SetMainWindow(QWidget* window) { main_window_ = window; }
  QWidget* MainWindow() const { return main_window_; }
  // Runs after every label (the quick-watch window refreshes itself).
  void SetAfterLabel(std::function<void()> after) { after_label_ = std::move(after); }
  // The widget behind a handle, or null.
  QWidget* Widget(std::int32_t handle) const;
  QtTimers& Timers() { return timers_; }

  // host::ControlHost
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

  // host::ControlWidgets
  std::string Text(const ResourceEntry& control) const override;
  void SetText(const ResourceEntry& control, std::string_view text) override;
  void ScrollToEnd(const ResourceEntry& control) override;
  int ListSelection(const ResourceEntry& list) const override;
  void SetListSelection(const ResourceEntry& list, int index) override;
  std::string ListItem(const ResourceEntry& list, int index) const override;
  void ListAdd(const ResourceEntry& list, std::string_view item) override;
  void ListInsert(const ResourceEntry& list, int index, std::string_view item) override;
  void ListDelete(const ResourceEntry& list, int index) override;
  bool Checked(const ResourceEntry& button) const override;
  void SetChecked(const ResourceEntry& button, bool checked) override;
  int Position(const ResourceEntry& bar) const override;
  void SetPosition(const ResourceEntry& bar, int position) override;
  // Keyboard focus to the control's widget; false when it has none.
  bool Focus(const ResourceEntry& control) override;

 private:
  struct Slot {
    QPointer<QWidget> widget;
    std::uint16_t kind = 0;
    std::int32_t range_max = 0;   // track and scroll bars
    std::int32_t page = 0;        // scroll bars
    std::int32_t byte_limit = 0;  // text and edit boxes; 0 = none
    std::string last_text;        // text before a person's edit, for the limit
  };

  Slot* Find(const ResourceEntry& control);
  const Slot* Find(const ResourceEntry& control) const;
  QWidget* MakeWidget(const ResourceEntry& control, std::int32_t item_id, Slot& slot);
  QWidget* MakeButton(const ResourceEntry& control, std::int32_t item_id);
  QWidget* MakeLineEdit(const ResourceEntry& control, bool password, bool read_only, bool frame,
                        std::int32_t handle);
  QWidget* MakeEditBox(const ResourceEntry& control, std::int32_t handle);
  QWidget* MakeListBox(std::int32_t item_id);
  QWidget* MakeRadioButton(const ResourceEntry& control, std::int32_t item_id);
  QWidget* MakeComboBox(std::int32_t item_id);
  QWidget* MakeSlider(const ResourceEntry& control, std::int32_t handle);
  QWidget* MakeScrollBar(const ResourceEntry& control, std::int32_t handle, Slot& slot);
  void ConnectScrolling(QWidget* bar, std::int32_t handle, bool moves_itself);
  void EnforceByteLimit(std::int32_t handle);
  void ApplyScrollRange(Slot& slot);

  Runtime& rt_;
  QWidget* main_window_ = nullptr;
  std::vector<Slot> slots_;  // handle h is slots_[h - 1]
  QButtonGroup* radio_group_ = nullptr;
  std::vector<QPointer<QButtonGroup>> radio_groups_;
  bool changing_ = false;  // our own changes raise no notification
  QtTimers timers_;
  std::function<void()> after_label_;
};

}  // namespace vx::qt
