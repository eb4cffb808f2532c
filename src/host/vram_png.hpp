#pragma once
// The front end's --vram-png FILE: when the process ends, the current bank,
// cut to the main window's client size, is written as a PNG.
#include <string>

namespace vx {

struct Runtime;

namespace host {

// The main window's client size when no window reports its own.
inline constexpr int DEFAULT_CLIENT_WIDTH = 1200;
inline constexpr int DEFAULT_CLIENT_HEIGHT = 720;

// Writes the top-left client-size part of the current bank (the display's
// client size, or the default without one). False when it cannot be written;
// `write_error` receives the errno when writing the file is what failed.
bool WriteVramPng(Runtime& rt, const std::string& file, int* write_error = nullptr);

}  // namespace host
}  // namespace vx
