// ping_window WINDOW-ID TIMEOUT-MS: sends a window the window manager's
// _NET_WM_PING and waits for the answer its client sends back to the root
// window. Prints "pong MS" and exits 0 when it came in time, else prints
// "no pong" and exits 1.
#include <X11/Xlib.h>
#include <sys/select.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "x_tool.hpp"

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits up to `ms` for an event on the connection; false on time-out.
bool WaitForEvent(Display* display, long long ms) {
  if (XPending(display) > 0) return true;
  const int fd = ConnectionNumber(display);
  fd_set read_set;
  FD_ZERO(&read_set);
  FD_SET(fd, &read_set);
  timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
  return select(fd + 1, &read_set, nullptr, nullptr, &tv) > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ping_window WINDOW-ID TIMEOUT-MS\n");
    return 2;
  }
  const x_tool::Connection connection("ping_window");
  const auto parsed = x_tool::ParseWindowId("ping_window", argv[1]);
  if (!connection || !parsed) return 2;
  Display* display = connection.get();
  const Window window = *parsed;
  const long long timeout = std::strtoll(argv[2], nullptr, 10);
  const Window root = DefaultRootWindow(display);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  // Clients send the answer to the root window for the structure-notify
  // and substructure-redirect masks; any client that selected one sees it.
  XSelectInput(display, root, StructureNotifyMask);

  const long stamp = static_cast<long>(NowMs() & 0x7FFFFFFF);
  x_tool::SendClientMessage(display, window, protocols,
                            {static_cast<long>(ping), stamp, static_cast<long>(window), 0, 0});

  const long long start = NowMs();
  for (;;) {
    const long long left = timeout - (NowMs() - start);
    if (left <= 0 || !WaitForEvent(display, left)) break;
    while (XPending(display) > 0) {
      XEvent reply;
      XNextEvent(display, &reply);
      if (reply.type == ClientMessage && reply.xclient.message_type == protocols &&
          static_cast<Atom>(reply.xclient.data.l[0]) == ping && reply.xclient.data.l[1] == stamp) {
        std::printf("pong %lld\n", NowMs() - start);
        return 0;
      }
    }
  }
  std::printf("no pong\n");
  return 1;
}
