#pragma once
// A short-lived connection to the X server named by DISPLAY, closed when it
// goes out of scope. Include only where Xlib is available.
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>

namespace vx::x11 {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Null without a DISPLAY or when the server cannot be reached.
inline DisplayPtr OpenDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  return DisplayPtr(XOpenDisplay(nullptr));
}

}  // namespace vx::x11
