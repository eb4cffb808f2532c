#include "platform/x11_windows.hpp"

#ifdef VEXMORA_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/x11_display.hpp"
#include "text/encoding.hpp"
#endif

namespace vx::x11 {
namespace {

#ifdef VEXMORA_HAVE_X11

// Longest property we read, in 32-bit units (titles, window lists).
constexpr long kPropertyUnitsMax = 1 << 16;
// Window message type of the ClientMessage that carries a posted message.
constexpr const char* kMessageAtom = "_VEXMORA_WINDOW_MESSAGE";
// _NET_WM_STATE actions.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
// _NET_ACTIVE_WINDOW source indication: a pager acting for the user, which
// window managers honour without focus-stealing prevention.
constexpr long kSourcePager = 2;
// ... and a program asking for its own window.
constexpr long kSourceApplication = 1;

// Xlib reports protocol errors through one process-wide callback without any
// user data, so the count has to live outside the trap; it is per thread and
// only read while a trap is installed.
thread_local int trapped_errors = 0;

int CountError(Display*, XErrorEvent*) {
  ++trapped_errors;
  return 0;
}

// Turns the protocol errors of the requests made while it lives into a
// count instead of Xlib's default, which ends the process.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* d) : d_(d), previous_(Xlib().XSetErrorHandler(CountError)) { trapped_errors = 0; }
  ~ErrorTrap() {
    Xlib().XSync(d_, False);
    Xlib().XSetErrorHandler(previous_);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
  bool Failed() {
    Xlib().XSync(d_, False);
    return trapped_errors != 0;
  }

 private:
  Display* d_;
  XErrorHandler previous_;
};

struct XFreer {
  void operator()(void* p) const { Xlib().XFree(p); }
};

Atom AtomOf(Display* d, const char* name) { return Xlib().XInternAtom(d, name, False); }

// The bytes of an 8-bit property, or the items of a 32-bit one widened to
// longs as Xlib hands them over.
bool ReadProperty(Display* d, Window w, Atom property, Atom type, int format, std::string* bytes,
                  std::vector<unsigned long>* items) {
  Atom actual_type = None;
  int actual_format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  const int status = Xlib().XGetWindowProperty(d, w, property, 0, kPropertyUnitsMax, False, type, &actual_type,
                                        &actual_format, &count, &after, &raw);
  std::unique_ptr<unsigned char, XFreer> data(raw);
  if (status != Success || data == nullptr || actual_type != type || actual_format != format) return false;
  if (format == 8 && bytes != nullptr) bytes->assign(reinterpret_cast<const char*>(raw), count);
  if (format == 32 && items != nullptr) {
    const auto* longs = reinterpret_cast<const unsigned long*>(raw);
    items->assign(longs, longs + count);
  }
  return true;
}

std::vector<Window> WindowListProperty(Display* d, const char* name) {
  std::vector<unsigned long> items;
  ReadProperty(d, DefaultRootWindow(d), AtomOf(d, name), XA_WINDOW, 32, nullptr, &items);
  return {items.begin(), items.end()};
}

bool HasProperty(Display* d, Window w, Atom property) {
  int count = 0;
  std::unique_ptr<Atom, XFreer> props(Xlib().XListProperties(d, w, &count));
  return props && std::find(props.get(), props.get() + count, property) != props.get() + count;
}

// A window manager is running when it has announced itself on the root.
bool ManagerRunning(Display* d) {
  std::vector<unsigned long> items;
  return ReadProperty(d, DefaultRootWindow(d), AtomOf(d, "_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32,
                      nullptr, &items) &&
         !items.empty();
}

// Latin-1 (the STRING type) to UTF-8.
std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  for (const char c : latin1) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::string Title(Display* d, Window w) {
  std::string utf8;
  if (ReadProperty(d, w, AtomOf(d, "_NET_WM_NAME"), AtomOf(d, "UTF8_STRING"), 8, &utf8, nullptr)) {
    return text::Utf8ToCp932(utf8);
  }
  std::string plain;
  if (ReadProperty(d, w, XA_WM_NAME, XA_STRING, 8, &plain, nullptr)) {
    return text::Utf8ToCp932(Latin1ToUtf8(plain));
  }
  if (ReadProperty(d, w, XA_WM_NAME, AtomOf(d, "UTF8_STRING"), 8, &utf8, nullptr)) {
    return text::Utf8ToCp932(utf8);
  }
  return {};
}

bool ClassHint(Display* d, Window w, std::string* class_name) {
  XClassHint hint{nullptr, nullptr};
  if (Xlib().XGetClassHint(d, w, &hint) == 0) return false;
  if (hint.res_class != nullptr) class_name->assign(hint.res_class);
  if (hint.res_name != nullptr) Xlib().XFree(hint.res_name);
  if (hint.res_class != nullptr) Xlib().XFree(hint.res_class);
  return true;
}

std::int32_t ProcessId(Display* d, Window w) {
  std::vector<unsigned long> items;
  if (!ReadProperty(d, w, AtomOf(d, "_NET_WM_PID"), XA_CARDINAL, 32, nullptr, &items) || items.empty()) {
    return 0;
  }
  return static_cast<std::int32_t>(items[0]);
}

// Dialogs name the window they belong to; tool windows say what they are.
bool IsSecondary(Display* d, Window w) {
  Window owner = None;
  if (Xlib().XGetTransientForHint(d, w, &owner) != 0 && owner != None) return true;
  std::vector<unsigned long> types;
  ReadProperty(d, w, AtomOf(d, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, nullptr, &types);
  const unsigned long dialog = AtomOf(d, "_NET_WM_WINDOW_TYPE_DIALOG");
  const unsigned long utility = AtomOf(d, "_NET_WM_WINDOW_TYPE_UTILITY");
  return std::any_of(types.begin(), types.end(), [&](unsigned long t) { return t == dialog || t == utility; });
}

// Below a window manager's frame sits the client window, the one with
// WM_STATE; without a manager the root's children are the clients.
Window ClientOf(Display* d, Window frame) {
  const Atom wm_state = AtomOf(d, "WM_STATE");
  if (HasProperty(d, frame, wm_state)) return frame;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (Xlib().XQueryTree(d, frame, &root, &parent, &children, &count) == 0) return frame;
  std::unique_ptr<Window, XFreer> owned(children);
  for (unsigned int i = 0; i < count; ++i) {
    if (HasProperty(d, children[i], wm_state)) return children[i];
  }
  return frame;
}

// Top-level client windows, topmost first.
std::vector<Window> Clients(Display* d) {
  std::vector<Window> windows = WindowListProperty(d, "_NET_CLIENT_LIST_STACKING");
  if (!windows.empty()) {
    std::reverse(windows.begin(), windows.end());
    return windows;
  }
  windows = WindowListProperty(d, "_NET_CLIENT_LIST");
  if (!windows.empty()) return windows;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (Xlib().XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) == 0) return {};
  std::unique_ptr<Window, XFreer> owned(children);
  for (unsigned int i = count; i-- > 0;) {
    XWindowAttributes a;
    if (Xlib().XGetWindowAttributes(d, children[i], &a) == 0) continue;
    if (a.map_state != IsViewable || a.override_redirect) continue;  // menus, tips, helpers
    windows.push_back(ClientOf(d, children[i]));
  }
  return windows;
}

// A window another program may be asked about: it exists, it is not the
// root, and it names itself as a client window does.
bool IsClientWindow(Display* d, std::uint64_t handle) {
  if (handle == 0 || handle > 0xFFFFFFFFu) return false;
  const auto w = static_cast<Window>(handle);
  if (w == DefaultRootWindow(d)) return false;
  ErrorTrap trap(d);
  XWindowAttributes a;
  if (Xlib().XGetWindowAttributes(d, w, &a) == 0 || trap.Failed()) return false;
  std::string class_name;
  return (ClassHint(d, w, &class_name) || HasProperty(d, w, XA_WM_NAME)) && !trap.Failed();
}

void SendClientMessage(Display* d, Window target, Window about, Atom type, const long (&data)[5],
                       long mask) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = about;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  for (int i = 0; i < 5; ++i) ev.xclient.data.l[i] = data[i];
  Xlib().XSendEvent(d, target, False, mask, &ev);
}

void SendToManager(Display* d, Window w, const char* type, const long (&data)[5]) {
  SendClientMessage(d, DefaultRootWindow(d), w, AtomOf(d, type), data,
                    SubstructureRedirectMask | SubstructureNotifyMask);
}

void SetMaximized(Display* d, Window w, bool on) {
  const long data[5] = {on ? kStateAdd : kStateRemove, static_cast<long>(AtomOf(d, "_NET_WM_STATE_MAXIMIZED_VERT")),
                        static_cast<long>(AtomOf(d, "_NET_WM_STATE_MAXIMIZED_HORZ")), kSourcePager, 0};
  SendToManager(d, w, "_NET_WM_STATE", data);
}

bool SupportsDelete(Display* d, Window w, Atom delete_atom) {
  Atom* protocols = nullptr;
  int count = 0;
  if (Xlib().XGetWMProtocols(d, w, &protocols, &count) == 0) return false;
  std::unique_ptr<Atom, XFreer> owned(protocols);
  return std::find(protocols, protocols + count, delete_atom) != protocols + count;
}

bool Raise(Display* d, Window w) {
  ErrorTrap trap(d);
  if (ManagerRunning(d)) {
    const long data[5] = {kSourcePager, CurrentTime, 0, 0, 0};
    SendToManager(d, w, "_NET_ACTIVE_WINDOW", data);
  }
  Xlib().XMapRaised(d, w);
  if (trap.Failed()) return false;
  // Focus can only go to a viewable window; a window manager may still
  // refuse it, which is not a failure of ours.
  XWindowAttributes a;
  if (Xlib().XGetWindowAttributes(d, w, &a) != 0 && a.map_state == IsViewable) {
    Xlib().XSetInputFocus(d, w, RevertToParent, CurrentTime);
  }
  return true;
}

bool Apply(Display* d, Window w, host::WindowOp op, std::int32_t a, std::int32_t b) {
  const bool managed = ManagerRunning(d);
  ErrorTrap trap(d);
  switch (op) {
    case host::WindowOp::kActivate: return Raise(d, w);
    case host::WindowOp::kMaximize:
      if (managed) {
        SetMaximized(d, w, true);
      } else {  // nobody to ask: cover the screen ourselves
        const int screen = DefaultScreen(d);
        Xlib().XMoveResizeWindow(d, w, 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
                          static_cast<unsigned>(DisplayHeight(d, screen)));
      }
      break;
    case host::WindowOp::kMinimize:
      Xlib().XIconifyWindow(d, w, DefaultScreen(d));
      if (!managed) Xlib().XUnmapWindow(d, w);  // iconic without a manager means unseen
      break;
    case host::WindowOp::kRestore:
      if (managed) SetMaximized(d, w, false);
      Xlib().XMapWindow(d, w);
      break;
    case host::WindowOp::kClose: {
      const Atom delete_atom = AtomOf(d, "WM_DELETE_WINDOW");
      if (!SupportsDelete(d, w, delete_atom)) return false;
      const long data[5] = {static_cast<long>(delete_atom), CurrentTime, 0, 0, 0};
      SendClientMessage(d, w, w, AtomOf(d, "WM_PROTOCOLS"), data, NoEventMask);
      break;
    }
    case host::WindowOp::kMove: Xlib().XMoveWindow(d, w, a, b); break;
    case host::WindowOp::kResize:
      if (a < 1 || b < 1 || a > 32767 || b > 32767) return false;
      Xlib().XResizeWindow(d, w, static_cast<unsigned>(a), static_cast<unsigned>(b));
      break;
    default: return false;
  }
  return !trap.Failed();
}

// The atoms of a window's _NET_WM_STATE with `state` added or taken out.
void WriteState(Display* d, Window w, Atom state, bool on) {
  const Atom property = AtomOf(d, "_NET_WM_STATE");
  std::vector<unsigned long> items;
  ReadProperty(d, w, property, XA_ATOM, 32, nullptr, &items);
  std::vector<Atom> atoms;
  for (const unsigned long item : items) {
    if (item != state) atoms.push_back(static_cast<Atom>(item));
  }
  if (on) atoms.push_back(state);
  Xlib().XChangeProperty(d, w, property, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
}

bool SetAbove(Display* d, Window w, bool on) {
  ErrorTrap trap(d);
  XWindowAttributes a;
  if (Xlib().XGetWindowAttributes(d, w, &a) == 0 || trap.Failed()) return false;
  const Atom above = AtomOf(d, "_NET_WM_STATE_ABOVE");
  const bool managed = ManagerRunning(d);
  // A manager owns the state of the windows it manages (those with WM_STATE,
  // shown or minimised); a withdrawn window's state is the client's to set.
  if (managed && HasProperty(d, w, AtomOf(d, "WM_STATE"))) {
    const long data[5] = {on ? kStateAdd : kStateRemove, static_cast<long>(above), 0, kSourceApplication, 0};
    SendToManager(d, w, "_NET_WM_STATE", data);
  } else {
    WriteState(d, w, above, on);
    if (!managed && on && a.map_state == IsViewable) Xlib().XRaiseWindow(d, w);
  }
  return !trap.Failed();
}

class ServerWindows : public host::TopWindows {
 public:
  bool List(std::vector<host::TopWindowInfo>* out) override {
    out->clear();
    DisplayPtr d = OpenDisplay();
    if (!d) return false;
    ErrorTrap trap(d.get());  // a window may go away while we read it
    for (const Window w : Clients(d.get())) {
      host::TopWindowInfo info;
      info.handle = w;
      info.title = Title(d.get(), w);
      ClassHint(d.get(), w, &info.class_name);
      info.pid = ProcessId(d.get(), w);
      info.secondary = IsSecondary(d.get(), w);
      out->push_back(std::move(info));
    }
    return true;
  }

  bool Activate(std::uint64_t handle) override {
    DisplayPtr d = OpenDisplay();
    if (!d || !IsClientWindow(d.get(), handle)) return false;
    return Raise(d.get(), static_cast<Window>(handle));
  }

  bool Post(std::uint64_t handle, std::int32_t message, std::int32_t wparam, std::int32_t lparam) override {
    DisplayPtr d = OpenDisplay();
    if (!d || !IsClientWindow(d.get(), handle)) return false;
    ErrorTrap trap(d.get());
    const long data[5] = {message, wparam, lparam, 0, 0};
    const auto w = static_cast<Window>(handle);
    SendClientMessage(d.get(), w, w, AtomOf(d.get(), kMessageAtom), data, NoEventMask);
    return !trap.Failed();
  }

  bool Control(std::uint64_t handle, host::WindowOp op, std::int32_t a, std::int32_t b) override {
    DisplayPtr d = OpenDisplay();
    if (!d || !IsClientWindow(d.get(), handle)) return false;
    return Apply(d.get(), static_cast<Window>(handle), op, a, b);
  }
};

#else

class ServerWindows : public host::TopWindows {
 public:
  bool List(std::vector<host::TopWindowInfo>* out) override {
    out->clear();
    return false;
  }
  bool Activate(std::uint64_t) override { return false; }
  bool Post(std::uint64_t, std::int32_t, std::int32_t, std::int32_t) override { return false; }
  bool Control(std::uint64_t, host::WindowOp, std::int32_t, std::int32_t) override { return false; }
};

#endif

}  // namespace

#ifdef VEXMORA_HAVE_X11
std::uint32_t WindowMessageAtom() {
  DisplayPtr d = OpenDisplay();
  return d ? static_cast<std::uint32_t>(AtomOf(d.get(), kMessageAtom)) : 0;
}

bool KeepAbove(std::uint64_t window, bool on) {
  if (window == 0 || window > 0xFFFFFFFFu) return false;
  DisplayPtr d = OpenDisplay();
  return d && SetAbove(d.get(), static_cast<Window>(window), on);
}
#else
std::uint32_t WindowMessageAtom() { return 0; }
bool KeepAbove(std::uint64_t, bool) { return false; }
#endif

host::TopWindows& ServerTopWindows() {
  static ServerWindows windows;  // stateless: every call opens its own connection
  return windows;
}

}  // namespace vx::x11
