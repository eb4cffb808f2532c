#pragma once
// The X server's top-level windows for the window APIs. Each call opens
// its own connection, so nothing here depends on the toolkit drawing our
// own window; without a display every operation fails.
#include "host/top_windows.hpp"

namespace vx::x11 {

host::TopWindows& ServerTopWindows();

}  // namespace vx::x11
