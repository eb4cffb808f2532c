#pragma once
// What the main window procedure and the window APIs ask of the real window
// (the Qt layer implements it; tests use a recording fake). Positions and
// sizes are pixels; "client" is the area the bank is painted on. Texts are
// Shift-JIS.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx::host {

struct WindowRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

enum ShowMode : std::int32_t {
  SHOW_NORMAL = 1,
  SHOW_MAXIMIZED = 2,
  SHOW_MINIMIZED = 3,
  SHOW_RESTORED = 4,
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // --- what the procedure needs
  virtual void SetHandCursor(bool hand) = 0;
  virtual void FocusMainWindow() = 0;
  virtual void SetTopmost(bool on) = 0;
  virtual void BringToFront() = 0;
  // The whole client area is out of date.
  virtual void InvalidateAll() = 0;
  // The open dialog for scripts; empty when cancelled (always, headless).
  virtual std::string ChooseScript() = 0;
  // Starts the user's editor on the script.
  virtual void OpenInEditor(std::string_view script_path) = 0;
  // Opens the reference viewer on the pages in `doc_dir` (Shift-JIS path
  // ending in a slash).
  virtual void ShowHelp(std::string_view doc_dir) = 0;
  // The window's own menu (open, reload, edit, help).
  virtual void ShowSystemMenu() = 0;

  // --- what the window APIs need
  virtual void SetClientSize(int width, int height) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void Show(ShowMode mode) = 0;
  virtual WindowRect ClientRect() = 0;  // left = top = 0
  virtual WindowRect FrameRect() = 0;   // screen coordinates of the whole window
  virtual void ShowCursor(bool show) = 0;
  // Global pointer position; false when the platform cannot tell.
  virtual bool PointerPosition(int* x, int* y) = 0;
  virtual void ScreenToClient(int* x, int* y) = 0;
  virtual bool ControlDown() = 0;
  virtual bool ShiftDown() = 0;
  virtual std::uint32_t MouseButtons() = 0;  // bit 0 left, bit 1 right
  // Whole bank on the screen from its top-left corner (the $DeskTop mode).
  virtual void SetDirectToScreen(bool on) = 0;
  // A number that names this window to other programs (0 when none).
  virtual std::uint64_t NativeHandle() = 0;
};

}  // namespace vx::host
