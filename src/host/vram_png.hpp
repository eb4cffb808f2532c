#pragma once
// The front end's --vram-png FILE: when the process ends, the current bank,
// cut to the main window's client size, is written as a PNG.
#include <string>
#include <vector>

namespace vx {

struct Runtime;

namespace host {

inline constexpr const char* VRAM_PNG_OPTION = "--vram-png";
// The main window's client size when no window reports its own.
inline constexpr int DEFAULT_CLIENT_WIDTH = 1200;
inline constexpr int DEFAULT_CLIENT_HEIGHT = 720;

struct VramPngOption {
  std::string file;   // empty: not asked for (a system path, UTF-8)
  std::string error;  // set when the option has no file name
};

// Takes "--vram-png FILE" out of the arguments, looking only among the
// options (before the first word that is not an option, or "--"); the
// other arguments keep their order. args[0] is the program.
VramPngOption TakeVramPngOption(std::vector<char*>& args);

// Writes the top-left client-size part of the current bank (the display's
// client size, or the default without one). False when it cannot be written.
bool WriteVramPng(Runtime& rt, const std::string& file);

}  // namespace host
}  // namespace vx
