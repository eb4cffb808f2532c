// post_message WINDOW-ID MESSAGE WPARAM LPARAM: sends an X11 window the
// client message through which programs other than ours post window
// messages to our main window, for the end-to-end test.
#include <cstdio>
#include <cstdlib>

#include "x_tool.hpp"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: post_message WINDOW-ID MESSAGE WPARAM LPARAM\n");
    return 2;
  }
  const x_tool::Connection connection("post_message");
  const auto window = x_tool::ParseWindowId("post_message", argv[1]);
  if (!connection || !window) return 1;
  Display* display = connection.get();
  x_tool::SendClientMessage(display, *window, XInternAtom(display, "_VEXMORA_WINDOW_MESSAGE", False),
                            {std::strtol(argv[2], nullptr, 0), std::strtol(argv[3], nullptr, 0),
                             std::strtol(argv[4], nullptr, 0), 0, 0});
  return 0;
}
