#include "host/controls.hpp"

#include <algorithm>
#include <string>

#include "engine/delivery.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::host {
namespace {

constexpr std::string_view kTimerCaption = "Message";
constexpr std::string_view kTimerFailed = "cannot start timer [2585]";
constexpr std::int32_t kLastFontKind = R_KD_CMB_BOX;

bool IsTimerKind(std::uint16_t kind) { return kind == R_KD_TIMER || kind == R_KD_STEPTIMER; }

void StartDeclaredTimer(Runtime& rt, ResourceEntry& timer, std::int32_t& next_id) {
  timer.timer_id = 0;
  if (!rt.controls->StartTimer(next_id, timer.long_value)) {
    rt.window->ShowMessage(kTimerCaption, kTimerFailed);
    return;
  }
  timer.timer_id = next_id++;
}

// Labels attached to controls run only after creation finished.
bool HasLabel(const ResourceEntry& e) { return e.event_entry > 0; }

void RunListNotification(Runtime& rt, const ResourceEntry& list, int notification) {
  if (notification != NOTIFY_SELECTION_CHANGED && notification != NOTIFY_DOUBLE_CLICKED) return;
  if (!HasLabel(list)) return;
  values::SetLong(rt, sysvar::G_INFO, notification == NOTIFY_DOUBLE_CLICKED ? 1 : 0);
  OfferEntry(rt, list.event_entry);
  RequestRedraw(rt);
}

// The chosen item goes into the edit field before the label sees it.
void RunComboNotification(Runtime& rt, const ResourceEntry& combo, int notification) {
  if (notification != NOTIFY_SELECTION_CHANGED) return;
  const int selected = rt.window->ListSelection(combo);
  if (selected >= 0) {
    const std::string item = rt.window->ListItem(combo, selected);
    if (item.size() < COMBO_ITEM_COPY_MAX) rt.window->SetControlText(combo, item);
  }
  if (HasLabel(combo)) OfferEntry(rt, combo.event_entry);
}

}  // namespace

int FontPixelsForCode(std::int32_t code) {
  switch (code) {
    case 1: return 12;
    case 2: return 14;
    case 4: return 24;
    case 5: return 32;
    case 6: return 64;
    default: return FONT_PIXELS_DEFAULT;
  }
}

int FontPixelsForSize(std::int32_t size) {
  if (size < 22) return 12;
  if (size < 24) return 14;
  if (size < 32) return 16;
  if (size < 40) return 24;
  if (size < 72) return 32;
  return 64;
}

int InitialFontPixels(const ResourceEntry& control) {
  switch (control.kind) {
    case R_KD_BUTTON: {
      const std::size_t length = control.Text().size();
      if (length == 0) return FONT_PIXELS_SMALL;
      // Truncated as the width x 2.5 / length product is.
      const auto fitting = static_cast<std::int32_t>(control.width * 2.5 / static_cast<double>(length));
      return FontPixelsForSize(std::min(control.height, fitting));
    }
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX: return FontPixelsForSize(control.height);
    case R_KD_LISTBOX:
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN:
    case R_KD_CMB_BOX: return FONT_PIXELS_LIST;
    default: return 0;
  }
}

int CreateControls(Runtime& rt) {
  if (rt.controls == nullptr) return 1;
  std::int32_t next_control = FIRST_CONTROL_ID;
  std::int32_t next_timer = FIRST_TIMER_ID;
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (IsControlKind(e.kind)) {
      e.item_id = next_control++;
      e.window = rt.controls->CreateControl(e, e.item_id);
    } else if (IsTimerKind(e.kind)) {
      StartDeclaredTimer(rt, e, next_timer);
    }
    if (e.size > 0) SetResourceFont(rt, i, e.size);
  }
  return 1;
}

void AfterInitialLabel(Runtime& rt) {
  if (rt.controls) rt.controls->AfterLabel();
}

void DestroyControls(Runtime& rt) {
  if (rt.controls) rt.controls->DestroyAll();
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (IsControlKind(e.kind)) e.window = 0;
    if (IsTimerKind(e.kind)) e.timer_id = 0;
  }
}

int SetResourceFont(Runtime& rt, std::int32_t index, std::int32_t font_code) {
  if (!rt.program.ValidResource(index)) return 0;
  const ResourceEntry& e = rt.program.Resource(index);
  if (e.kind <= kLastFontKind && e.window != 0 && rt.controls) {
    rt.controls->SetFont(e, FontPixelsForCode(font_code));
  }
  return 1;
}

std::int32_t FindControlById(const Runtime& rt, std::int32_t item_id) {
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    const ResourceEntry& e = rt.program.Resource(i);
    if (IsControlKind(e.kind) && e.item_id == item_id) return i;
  }
  return -1;
}

std::int32_t FindControlByHandle(const Runtime& rt, std::int32_t handle) {
  if (handle == 0) return -1;
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    const ResourceEntry& e = rt.program.Resource(i);
    if (IsControlKind(e.kind) && e.window == handle) return i;
  }
  return -1;
}

void OnControlCommand(Runtime& rt, std::int32_t item_id, int notification) {
  if (!rt.session.events_enabled) return;
  const std::int32_t index = FindControlById(rt, item_id);
  if (index < 0) return;
  const ResourceEntry& e = rt.program.Resource(index);
  switch (e.kind) {
    case R_KD_BUTTON:
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN:
      if (notification == NOTIFY_CLICKED && HasLabel(e)) OfferEntry(rt, e.event_entry);
      break;
    case R_KD_LISTBOX: RunListNotification(rt, e, notification); break;
    case R_KD_CMB_BOX: RunComboNotification(rt, e, notification); break;
    default: break;
  }
}

void OnControlScroll(Runtime& rt, std::int32_t handle, int code, std::int32_t position) {
  if (!rt.session.events_enabled) return;
  const std::int32_t index = FindControlByHandle(rt, handle);
  if (index < 0) return;
  const ResourceEntry& e = rt.program.Resource(index);
  if (e.kind != R_KD_TRACK_BAR && e.kind != R_KD_SCR_BAR) return;
  static constexpr std::int32_t kLineAndPageInfo[] = {1, -1, 2, -2};
  bool offer = HasLabel(e);
  if (code >= SCROLL_LINE_UP && code <= SCROLL_PAGE_DOWN) {
    values::SetLong(rt, sysvar::G_INFO, kLineAndPageInfo[code]);
  } else if (code == SCROLL_THUMB_POSITION || code == SCROLL_THUMB_TRACK) {
    if (e.kind == R_KD_SCR_BAR) rt.window->SetPosition(e, position);
    values::SetLong(rt, sysvar::G_INFO, code == SCROLL_THUMB_POSITION ? 0 : 10);
    if (code == SCROLL_THUMB_TRACK) offer = offer && (e.option & STYLE_REPORT_DRAGGING) != 0;
  } else {
    return;
  }
  if (offer) OfferEntry(rt, e.event_entry);
  if (rt.controls) rt.controls->FocusMainWindow();
}

}  // namespace vx::host
