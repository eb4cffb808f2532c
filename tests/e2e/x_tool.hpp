// What the end-to-end X tools share: the connection to the display DISPLAY
// names, closed on every way out; the window id of the command line, as
// xdotool prints it; and the 32-bit client messages they send.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace x_tool {

class Connection {
 public:
  // Says on standard error that `tool` found no display when it found none.
  explicit Connection(const char* tool) : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) std::fprintf(stderr, "%s: no display\n", tool);
  }
  ~Connection() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  explicit operator bool() const { return display_ != nullptr; }
  Display* get() const { return display_; }

 private:
  Display* display_;
};

// A window id in decimal or 0x hexadecimal; says so on standard error and
// gives nothing when `text` is not one.
inline std::optional<Window> ParseWindowId(const char* tool, const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (end == text || *end != '\0' || errno != 0 || id == 0) {
    std::fprintf(stderr, "%s: not a window id: %s\n", tool, text);
    return std::nullopt;
  }
  return static_cast<Window>(id);
}

// Sends `target` a client message of `type` carrying five longs, at once.
inline void SendClientMessage(Display* display, Window target, Atom type,
                              const std::array<long, 5>& data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  for (std::size_t i = 0; i < data.size(); ++i) event.xclient.data.l[i] = data[i];
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

}  // namespace x_tool
