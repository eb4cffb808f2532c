#pragma once
// Other programs' top-level windows: what the window APIs that look for,
// post to and steer them need from the window system. The X server provides
// the real list (platform/x11_windows.hpp); tests give the runtime a list of
// their own; host/top_windows.hpp holds the searches over it. Texts are
// Shift-JIS.
#include <cstdint>
#include <string>
#include <vector>

namespace vx::host {

// The class part of the X window class of every main window of this program.
inline constexpr const char* MAIN_WINDOW_CLASS = "Vexmora100WClass";

struct TopWindowInfo {
  std::uint64_t handle = 0;  // the X window id
  std::string title;
  std::string class_name;    // the class part of WM_CLASS (not the instance part)
  std::int32_t pid = 0;      // the owning process when the window says (_NET_WM_PID), else 0
  bool secondary = false;    // a dialog or tool window: transient for another, or typed so
};

// What CtrlWindow may do to another window; the numbers of the first four
// are those of ShowWindow.
enum class WindowOp : std::int32_t {
  kActivate = 1,
  kMaximize = 2,
  kMinimize = 3,
  kRestore = 4,
  kClose = 5,   // a polite close request (WM_DELETE_WINDOW), never a kill
  kMove = 6,    // to screen position (a, b)
  kResize = 7,  // to a x b pixels
};

class TopWindows {
 public:
  virtual ~TopWindows() = default;
  // Every mapped top-level window, topmost first where the server tells the
  // stacking order; false when there is no window system to ask.
  virtual bool List(std::vector<TopWindowInfo>* out) = 0;
  // Raises the window and gives it the input focus; false when it is not a
  // current top-level window or the server refused.
  virtual bool Activate(std::uint64_t handle) = 0;
  // Hands (message, wParam, lParam) to a window that is not one of ours.
  virtual bool Post(std::uint64_t handle, std::int32_t message, std::int32_t wparam,
                    std::int32_t lparam) = 0;
  virtual bool Control(std::uint64_t handle, WindowOp op, std::int32_t a, std::int32_t b) = 0;
};

}  // namespace vx::host
