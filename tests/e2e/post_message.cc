// post_message WINDOW-ID MESSAGE WPARAM LPARAM: sends an X11 window the
// client message through which programs other than ours post window
// messages to our main window, for the end-to-end test.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: post_message WINDOW-ID MESSAGE WPARAM LPARAM\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "post_message: no display\n");
    return 1;
  }
  const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_VEXMORA_WINDOW_MESSAGE", False);
  event.xclient.format = 32;
  for (int i = 0; i < 3; ++i) event.xclient.data.l[i] = std::strtol(argv[2 + i], nullptr, 0);
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return 0;
}
