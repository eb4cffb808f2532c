// Whether a window can be shown: the X server is asked once before Qt is,
// because Qt gives up on a display it cannot reach by ending the process.
// One connection set-up through libxcb answers it (a full Xlib open would
// cost several round trips more before Qt makes its own connection). The
// connection stays open until Qt has its own, so that a server whose only
// client it was does not reset in between.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "host/launch.hpp"
#include "platform/x_server.hpp"

namespace vx::host {
namespace {

platform::XServerConnection& HeldConnection() {
  static platform::XServerConnection connection;
  return connection;
}

}  // namespace

void ReleaseDisplayCheck() { HeldConnection().Close(); }

bool DisplayOpens(std::string* reason) {
  const char* x11 = std::getenv("DISPLAY");
  if (x11 != nullptr && *x11 != '\0') {
    std::string library_error;
    HeldConnection() = platform::ConnectToXServer(x11, &library_error);
    if (HeldConnection().Open()) return true;
    *reason = std::string("cannot open display ") + x11;
    if (!library_error.empty()) *reason += " (" + library_error + ")";
    return false;
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
