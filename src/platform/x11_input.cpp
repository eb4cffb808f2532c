#include "platform/x11_input.hpp"

#ifdef VEXMORA_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/shared_library.hpp"
#include "platform/x11_display.hpp"
#endif

namespace vx::x11 {

#ifdef VEXMORA_HAVE_XTEST
namespace {

// libXtst is loaded with the first synthesised event.
constexpr const char* kXTestLibrary = "libXtst.so.6";

struct XTestApi {
  decltype(&::XTestQueryExtension) XTestQueryExtension = nullptr;
  decltype(&::XTestFakeKeyEvent) XTestFakeKeyEvent = nullptr;
  decltype(&::XTestFakeButtonEvent) XTestFakeButtonEvent = nullptr;
  decltype(&::XTestFakeMotionEvent) XTestFakeMotionEvent = nullptr;
  decltype(&::XTestFakeRelativeMotionEvent) XTestFakeRelativeMotionEvent = nullptr;
};

bool LoadXTest(XTestApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(kXTestLibrary);
  if (!library.Loaded()) {
    error = library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(XTestQueryExtension);
  VX_BIND(XTestFakeKeyEvent);
  VX_BIND(XTestFakeButtonEvent);
  VX_BIND(XTestFakeMotionEvent);
  VX_BIND(XTestFakeRelativeMotionEvent);
#undef VX_BIND
  if (!ok) error = library.Error();
  return ok;
}

// Null when libXtst or one of its functions is missing.
const XTestApi* XTestLibrary() {
  const platform::BoundApi<XTestApi>& bound = platform::BindOnce<XTestApi, LoadXTest>();
  return bound.ok ? &bound.api : nullptr;
}

// Only called on a connection Open has returned, so once XTest has loaded.
const XTestApi& XTest() { return *XTestLibrary(); }

// A connection for one request; null without a display or XTest.
DisplayPtr Open() {
  DisplayPtr d = OpenDisplay();
  if (!d || XTestLibrary() == nullptr) return nullptr;
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTest().XTestQueryExtension(d.get(), &event_base, &error_base, &major, &minor)) d.reset();
  return d;
}

KeySym KeySymOf(std::int32_t vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return static_cast<KeySym>(vk | 0x20);
  if (vk >= 112 && vk <= 135) return XK_F1 + static_cast<KeySym>(vk - 112);
  if (vk >= 96 && vk <= 105) return XK_KP_0 + static_cast<KeySym>(vk - 96);
  switch (vk) {
    case 8: return XK_BackSpace;
    case 9: return XK_Tab;
    case 13: return XK_Return;
    case 16: return XK_Shift_L;
    case 17: return XK_Control_L;
    case 18: return XK_Alt_L;
    case 19: return XK_Pause;
    case 20: return XK_Caps_Lock;
    case 27: return XK_Escape;
    case 32: return XK_space;
    case 33: return XK_Prior;
    case 34: return XK_Next;
    case 35: return XK_End;
    case 36: return XK_Home;
    case 37: return XK_Left;
    case 38: return XK_Up;
    case 39: return XK_Right;
    case 40: return XK_Down;
    case 45: return XK_Insert;
    case 46: return XK_Delete;
    case 186: return XK_semicolon;
    case 187: return XK_equal;
    case 188: return XK_comma;
    case 189: return XK_minus;
    case 190: return XK_period;
    case 191: return XK_slash;
    case 192: return XK_grave;
    case 219: return XK_bracketleft;
    case 220: return XK_backslash;
    case 221: return XK_bracketright;
    case 222: return XK_apostrophe;
    default: return NoSymbol;
  }
}

}  // namespace

bool SendKey(std::int32_t virtual_key, bool press) {
  DisplayPtr d = Open();
  const KeySym sym = KeySymOf(virtual_key);
  if (!d || sym == NoSymbol) return false;
  const KeyCode code = Xlib().XKeysymToKeycode(d.get(), sym);
  if (code == 0) return false;
  XTest().XTestFakeKeyEvent(d.get(), code, press ? True : False, CurrentTime);
  Xlib().XFlush(d.get());
  return true;
}

bool SendButton(bool right, bool press) {
  DisplayPtr d = Open();
  if (!d) return false;
  XTest().XTestFakeButtonEvent(d.get(), right ? 3 : 1, press ? True : False, CurrentTime);
  Xlib().XFlush(d.get());
  return true;
}

bool MovePointerBy(int dx, int dy) {
  DisplayPtr d = Open();
  if (!d) return false;
  XTest().XTestFakeRelativeMotionEvent(d.get(), dx, dy, CurrentTime);
  Xlib().XFlush(d.get());
  return true;
}

bool MovePointerTo(int x, int y) {
  DisplayPtr d = Open();
  if (!d) return false;
  XTest().XTestFakeMotionEvent(d.get(), -1, x, y, CurrentTime);
  Xlib().XFlush(d.get());
  return true;
}

#else

bool SendKey(std::int32_t, bool) { return false; }
bool SendButton(bool, bool) { return false; }
bool MovePointerBy(int, int) { return false; }
bool MovePointerTo(int, int) { return false; }

#endif

}  // namespace vx::x11
