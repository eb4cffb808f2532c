#pragma once
// The declared controls and timers of a script: creating them in table order,
// choosing their fonts, and turning their notifications into label runs.
// The widgets themselves live behind ControlHost (the Qt layer, or a test
// double); everything here is free of any window toolkit.
#include <cstdint>
#include <string_view>

namespace vx {

struct Runtime;
struct ResourceEntry;

namespace host {

inline constexpr std::int32_t FIRST_TIMER_ID = 2;  // identifier 1 is the tick
inline constexpr std::int32_t FIRST_CONTROL_ID = 1;
inline constexpr int FONT_PIXELS_SMALL = 12;
inline constexpr int FONT_PIXELS_LIST = 14;  // lists, combo, check and radio buttons
inline constexpr int FONT_PIXELS_DEFAULT = 16;
inline constexpr std::uint32_t STYLE_VERTICAL = 1u;         // track and scroll bars
inline constexpr std::uint32_t STYLE_REPORT_DRAGGING = 2u;  // track and scroll bars
inline constexpr std::uint32_t STYLE_CUSTOM_COLOURS = 0x100u;
inline constexpr std::size_t COMBO_ITEM_COPY_MAX = 0x20000;

// Notification codes of control commands.
inline constexpr int NOTIFY_CLICKED = 0;
inline constexpr int NOTIFY_SELECTION_CHANGED = 1;
inline constexpr int NOTIFY_DOUBLE_CLICKED = 2;

// Codes of scroll notifications from sliders and scroll bars.
enum ScrollCode : int {
  SCROLL_LINE_UP = 0,
  SCROLL_LINE_DOWN = 1,
  SCROLL_PAGE_UP = 2,
  SCROLL_PAGE_DOWN = 3,
  SCROLL_THUMB_POSITION = 4,
  SCROLL_THUMB_TRACK = 5,
};

// Pixel height of one of the six shared fonts for a font code (1 = 12,
// 2 = 14, 4 = 24, 5 = 32, 6 = 64, anything else 16).
int FontPixelsForCode(std::int32_t code);
// The shared font that fits a pixel size.
int FontPixelsForSize(std::int32_t size);
// The font a button's caption gets; 0 for kinds created without a font.
int InitialFontPixels(const ResourceEntry& control);

// The widgets and window timers behind the declared resources. Handles are
// positive; 0 means no window. Texts are Shift-JIS bytes, offsets in bytes.
class ControlHost {
 public:
  virtual ~ControlHost() = default;

  // Creates the child window of a control resource (kinds 0 to 11) with its
  // identifier, position, style and initial font; returns its handle or 0.
  virtual std::int32_t CreateControl(const ResourceEntry& control, std::int32_t item_id) = 0;
  // Starts a window timer; false when it cannot run.
  virtual bool StartTimer(std::int32_t timer_id, std::int32_t interval_ms) = 0;
  // Destroys every control window and stops every timer.
  virtual void DestroyAll() = 0;

  virtual void SetFont(const ResourceEntry& control, int pixels) = 0;
  virtual void Move(const ResourceEntry& control, std::int32_t x, std::int32_t y) = 0;
  virtual void Resize(const ResourceEntry& control, std::int32_t width, std::int32_t height) = 0;
  virtual void Show(const ResourceEntry& control, bool visible) = 0;
  // Text and background colour, 0xRRGGBB each.
  virtual void SetColours(const ResourceEntry& control, std::uint32_t text, std::uint32_t back) = 0;
  virtual void RemoveClientEdge(const ResourceEntry& control) = 0;
  // The most bytes a person may type into a text or edit box.
  virtual void LimitText(const ResourceEntry& control, std::int32_t bytes) = 0;
  virtual void SetPageSize(const ResourceEntry& bar, std::int32_t page) = 0;

  // List and combo boxes.
  virtual int ListCount(const ResourceEntry& list) = 0;
  virtual void ListClear(const ResourceEntry& list) = 0;

  // Edit boxes: selects bytes [start, end) and scrolls it into view; reads
  // the selection.
  virtual void SetEditSelection(const ResourceEntry& edit, std::int32_t start, std::int32_t end) = 0;
  virtual void EditSelection(const ResourceEntry& edit, std::int32_t* start, std::int32_t* end) = 0;

  // The main window takes the focus back.
  virtual void FocusMainWindow() = 0;
  // After every label run: the quick-watch window shows the new values.
  virtual void AfterLabel() = 0;
};

// Creates every declared control and timer in table order (identifiers from
// 1 for controls, from 2 for timers) and applies initial font codes. A timer
// that cannot start is reported ("cannot start timer [2585]") and the rest
// goes on. Returns 1.
int CreateControls(Runtime& rt);
// Destroys the windows and timers and forgets their handles.
void DestroyControls(Runtime& rt);
// After a program's Initial label: what the controls do after every label.
void AfterInitialLabel(Runtime& rt);
// Font code for kinds 0 to 8: 0 for an index out of range, else 1.
int SetResourceFont(Runtime& rt, std::int32_t index, std::int32_t font_code);

// Notifications from the window layer.
void OnControlCommand(Runtime& rt, std::int32_t item_id, int notification);
void OnControlScroll(Runtime& rt, std::int32_t handle, int code, std::int32_t position);

// The resource whose control has `item_id` / window `handle`, or -1.
std::int32_t FindControlById(const Runtime& rt, std::int32_t item_id);
std::int32_t FindControlByHandle(const Runtime& rt, std::int32_t handle);

}  // namespace host
}  // namespace vx
