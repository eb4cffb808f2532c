// Whether a window can be shown: the display is opened once before Qt is
// asked to, because Qt gives up on one it cannot reach by ending the process.
// (Apart from the rest of the launch: Xlib's Display is not the engine's.)
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "host/launch.hpp"
#if defined(VEXMORA_HAVE_X11)
#include "platform/x11_display.hpp"
#endif

namespace vx::host {

bool DisplayOpens(std::string* reason) {
  const char* x11 = std::getenv("DISPLAY");
  if (x11 != nullptr && *x11 != '\0') {
#if defined(VEXMORA_HAVE_X11)
    if (x11::OpenDisplay()) return true;
    *reason = std::string("cannot open display ") + x11;
    return false;
#else
    return true;
#endif
  }
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland == nullptr || *wayland == '\0') {
    *reason = "no display";
    return false;
  }
  std::string socket = wayland;
  if (socket.front() != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    socket = std::string(runtime != nullptr ? runtime : "") + "/" + socket;
  }
  std::error_code ec;
  if (std::filesystem::exists(socket, ec)) return true;
  *reason = std::string("cannot open Wayland display ") + wayland;
  return false;
}

}  // namespace vx::host
