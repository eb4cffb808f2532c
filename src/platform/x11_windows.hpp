#pragma once
// The X server's top-level windows for the window APIs. Each call opens
// its own connection, so nothing here depends on the toolkit drawing our
// own window; without a display every operation fails.
#include <cstdint>

#include "host/top_windows.hpp"

namespace vx::x11 {

host::TopWindows& ServerTopWindows();

// The type of the ClientMessage that carries a posted window message
// (data: message, wParam, lParam as 32-bit items); 0 without an X server.
std::uint32_t WindowMessageAtom();

}  // namespace vx::x11
