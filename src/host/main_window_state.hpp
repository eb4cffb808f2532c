#pragma once
// The main window's own state: cursor and hover, topmost countdown, frame
// drag bookkeeping, reload request and the queues of the window thread.
#include <cstdint>
#include <string>

#include "engine/messages.hpp"
#include "host/window_port.hpp"

namespace vx::host {

class DropImages;
class TopWindows;

inline constexpr std::uint32_t TOPMOST_KEEP = 10;          // TopWindow(1): never counted down
inline constexpr std::uint32_t TOPMOST_SHOW_TICKS = 3;     // ShowWindow: topmost for three ticks
inline constexpr std::uint32_t TOPMOST_COUNTED_MAX = 8;    // the tick counts down below this

struct MainWindowState {
  WindowPort* port = nullptr;      // null until the window exists (and in some tests)
  DropImages* images = nullptr;    // null: the built-in loaders
  TopWindows* top_windows = nullptr;  // other programs' windows; null: the X server's
  DeferredQueue deferred;
  Inbox inbox;

  bool hand_requested = false;     // SetMCur
  bool over_click_area = false;
  std::int32_t hover_index = -1;   // click area under the pointer
  std::int32_t mouse_x = 0;        // last pointer position, whatever the script saw
  std::int32_t mouse_y = 0;

  std::uint32_t topmost_countdown = 0;
  bool foreground_after_topmost = false;
  bool direct_to_screen = false;   // $DeskTop

  bool in_size_move = false;
  std::int32_t client_width = 0;   // as stored when a frame drag begins
  std::int32_t client_height = 0;

  std::string dropped_path;        // the last file dropped on the window (RefDrgFn)

  bool reload_requested = false;
  std::string reload_path;
  bool fatal_exit = false;         // "Fatal Error (9874)": the process ends, code 0
};

}  // namespace vx::host
