#pragma once
// Synthesised input through the X server's XTest extension. Every function
// returns false where that is impossible (no X display, no extension, or a
// build without libXtst), so callers can take their error path.
#include <cstdint>

namespace vx::x11 {

// A key stroke for a Windows virtual-key code; `press` true for down.
bool SendKey(std::int32_t virtual_key, bool press);
// A left or right button press or release at the pointer.
bool SendButton(bool right, bool press);
// Moves the pointer by (dx, dy), or to (x, y) on the screen.
bool MovePointerBy(int dx, int dy);
bool MovePointerTo(int x, int y);

}  // namespace vx::x11
