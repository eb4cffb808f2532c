#ifdef VEXMORA_HAVE_X11
#include "platform/x11_display.hpp"

#include <cstdlib>

#include "platform/shared_library.hpp"

namespace vx::x11 {
namespace {

bool Load(XlibApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(XLIB_LIBRARY);
  if (!library.Loaded()) {
    error = library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(XOpenDisplay);
  VX_BIND(XCloseDisplay);
  VX_BIND(XFlush);
  VX_BIND(XSync);
  VX_BIND(XFree);
  VX_BIND(XSetErrorHandler);
  VX_BIND(XInternAtom);
  VX_BIND(XKeysymToKeycode);
  VX_BIND(XGetWindowProperty);
  VX_BIND(XChangeProperty);
  VX_BIND(XListProperties);
  VX_BIND(XGetClassHint);
  VX_BIND(XGetTransientForHint);
  VX_BIND(XGetWMProtocols);
  VX_BIND(XQueryTree);
  VX_BIND(XGetWindowAttributes);
  VX_BIND(XSendEvent);
  VX_BIND(XMapWindow);
  VX_BIND(XMapRaised);
  VX_BIND(XUnmapWindow);
  VX_BIND(XRaiseWindow);
  VX_BIND(XIconifyWindow);
  VX_BIND(XMoveWindow);
  VX_BIND(XResizeWindow);
  VX_BIND(XMoveResizeWindow);
  VX_BIND(XSetInputFocus);
#undef VX_BIND
  if (!ok) error = library.Error();
  return ok;
}

}  // namespace

const XlibApi* LoadXlib() {
  const platform::BoundApi<XlibApi>& bound = platform::BindOnce<XlibApi, Load>();
  return bound.ok ? &bound.api : nullptr;
}

DisplayPtr OpenDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  const XlibApi* xlib = LoadXlib();
  return xlib != nullptr ? DisplayPtr(xlib->XOpenDisplay(nullptr)) : nullptr;
}

}  // namespace vx::x11
#endif
