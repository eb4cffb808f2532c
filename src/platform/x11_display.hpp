#pragma once
// Xlib, loaded when a display is first opened so that runs that never talk
// to the X server do not map it, and a short-lived connection to the server
// named by DISPLAY, closed when it goes out of scope. Include only where the
// Xlib headers are available.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace vx::x11 {

inline constexpr const char* XLIB_LIBRARY = "libX11.so.6";

struct XlibApi {
  decltype(&::XOpenDisplay) XOpenDisplay = nullptr;
  decltype(&::XCloseDisplay) XCloseDisplay = nullptr;
  decltype(&::XFlush) XFlush = nullptr;
  decltype(&::XSync) XSync = nullptr;
  decltype(&::XFree) XFree = nullptr;
  decltype(&::XSetErrorHandler) XSetErrorHandler = nullptr;
  decltype(&::XInternAtom) XInternAtom = nullptr;
  decltype(&::XKeysymToKeycode) XKeysymToKeycode = nullptr;
  decltype(&::XGetWindowProperty) XGetWindowProperty = nullptr;
  decltype(&::XChangeProperty) XChangeProperty = nullptr;
  decltype(&::XListProperties) XListProperties = nullptr;
  decltype(&::XGetClassHint) XGetClassHint = nullptr;
  decltype(&::XGetTransientForHint) XGetTransientForHint = nullptr;
  decltype(&::XGetWMProtocols) XGetWMProtocols = nullptr;
  decltype(&::XQueryTree) XQueryTree = nullptr;
  decltype(&::XGetWindowAttributes) XGetWindowAttributes = nullptr;
  decltype(&::XSendEvent) XSendEvent = nullptr;
  decltype(&::XMapWindow) XMapWindow = nullptr;
  decltype(&::XMapRaised) XMapRaised = nullptr;
  decltype(&::XUnmapWindow) XUnmapWindow = nullptr;
  decltype(&::XRaiseWindow) XRaiseWindow = nullptr;
  decltype(&::XIconifyWindow) XIconifyWindow = nullptr;
  decltype(&::XMoveWindow) XMoveWindow = nullptr;
  decltype(&::XResizeWindow) XResizeWindow = nullptr;
  decltype(&::XMoveResizeWindow) XMoveResizeWindow = nullptr;
  decltype(&::XSetInputFocus) XSetInputFocus = nullptr;
};

// libX11's functions, loaded on the first call; null when the library or
// one of them is missing, which callers treat as having no display.
const XlibApi* LoadXlib();

// The functions for calls on an open display (OpenDisplay has loaded them).
inline const XlibApi& Xlib() { return *LoadXlib(); }

struct DisplayCloser {
  void operator()(Display* d) const { Xlib().XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Null without a DISPLAY, without Xlib, or when the server cannot be
// reached. Xlib is only loaded once a DISPLAY is set.
DisplayPtr OpenDisplay();

}  // namespace vx::x11
