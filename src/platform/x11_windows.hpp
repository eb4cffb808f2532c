#pragma once
// The X server's top-level windows for the window APIs. Each call opens
// its own connection, so nothing here depends on the toolkit drawing our
// own window; without a display every operation fails.
#include <cstdint>

#include "platform/top_windows.hpp"

namespace vx::x11 {

host::TopWindows& ServerTopWindows();

// The type of the ClientMessage that carries a posted window message
// (data: message, wParam, lParam as 32-bit items); 0 without an X server.
std::uint32_t WindowMessageAtom();

// Keeps one of our own top-level windows above the others, or stops doing
// so, on the window as it is (the toolkit would replace the window to
// change its flags). With a window manager that manages the window, the
// request goes through the manager (_NET_WM_STATE_ABOVE); a window nobody
// manages gets the state written into its property, where a manager finds it
// when it maps the window, and without a manager it is raised once. False
// without an X server or when the window does not exist.
bool KeepAbove(std::uint64_t window, bool on);

}  // namespace vx::x11
