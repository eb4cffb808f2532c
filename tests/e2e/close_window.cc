// close_window WINDOW-ID: asks an X11 window to close the way a window
// manager does (a WM_DELETE_WINDOW client message), for the end-to-end test,
// whose bare X server has no window manager.
#include <cstdio>

#include "x_tool.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: close_window WINDOW-ID\n");
    return 2;
  }
  const x_tool::Connection connection("close_window");
  const auto window = x_tool::ParseWindowId("close_window", argv[1]);
  if (!connection || !window) return 1;
  Display* display = connection.get();
  const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  x_tool::SendClientMessage(display, *window, XInternAtom(display, "WM_PROTOCOLS", False),
                            {static_cast<long>(delete_window), CurrentTime, 0, 0, 0});
  return 0;
}
