// The window family: the main window's title, size, position, stacking and
// cursor, the pointer and key state, control focus, and other programs'
// top-level windows (ids 48, 184, 187-190, 206, 207, 278-285, 529, 530).
// Without a window (some tests) the operations that need one take the error
// path: G_ERROR = 1.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "engine/window_system.hpp"
#include "host/instances.hpp"
#include "host/main_window_state.hpp"
#include "host/top_windows.hpp"
#include "platform/x11_input.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using host::MainWindowState;
using host::TopWindowInfo;
using host::WindowPort;

// ChkWin stores at most this much of a class name.
constexpr std::size_t CLASS_NAME_OUT_MAX = 4096;
// GetVexmoraWinList keeps whole lines within G_TXT's buffer (16000 bytes
// with its terminator).
constexpr std::size_t WINDOW_LIST_TEXT_MAX = 15999;

MainWindowState& Window(Call& call) { return call.rt().main_window; }
WindowPort* Port(Call& call) { return call.rt().main_window.port; }

// SetWindowText text
void SetWindowText(Call& call) {
  std::string& text = call.Large(0);
  call.String(0, text);
  call.rt().window->SetTitle(text);
}

// SetWindowSize width, height: the client area gets that size.
void SetWindowSize(Call& call) {
  const std::int32_t width = call.Int(0);
  const std::int32_t height = call.Int(1);
  if (WindowPort* port = Port(call)) port->SetClientSize(width, height);
}

// SetWindowPos x, y
void SetWindowPos(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  if (WindowPort* port = Port(call)) port->MoveTo(x, y);
}

// TopWindow on: topmost until TopWindow 0.
void TopWindow(Call& call) {
  const bool on = call.Int(0) != 0;
  Window(call).topmost_countdown = on ? host::TOPMOST_KEEP : 0;
  if (WindowPort* port = Port(call)) port->SetTopmost(on);
}

// ShowWindow mode: 2 maximise, 3 minimise, 4 restore; any other mode shows
// the window topmost for three ticks (then, for mode 1, in front).
void ShowWindow(Call& call) {
  const std::int32_t mode = call.Int(0);
  MainWindowState& w = Window(call);
  w.foreground_after_topmost = mode == 1;
  WindowPort* port = Port(call);
  if (mode == host::SHOW_MAXIMIZED || mode == host::SHOW_MINIMIZED || mode == host::SHOW_RESTORED) {
    if (port) port->Show(static_cast<host::ShowMode>(mode));
  } else {
    w.topmost_countdown = host::TOPMOST_SHOW_TICKS;
    if (port) {
      port->SetTopmost(true);
      port->Show(host::SHOW_NORMAL);
    }
  }
  char log[64];
  const auto handle = static_cast<unsigned long long>(port ? port->NativeHandle() : 0);
  std::snprintf(log, sizeof log, "hMainWnd=%#llx", handle);
  values::SetText(call.rt(), sysvar::G_DEBUG_LOG, log, true);
}

// GetClientSz out width, out height
void GetClientSz(Call& call) {
  const std::int32_t out_w = call.Resource(0);
  const std::int32_t out_h = call.Resource(1);
  if (out_w < 0 || out_h < 0) return;
  WindowPort* port = Port(call);
  if (port == nullptr) {
    call.SetError(1);
    return;
  }
  const host::WindowRect r = port->ClientRect();
  call.WriteInt(out_w, r.right - r.left);
  call.WriteInt(out_h, r.bottom - r.top);
}

// GetWindowSz out left, out top, out right, out bottom (screen coordinates)
void GetWindowSz(Call& call) {
  std::int32_t out[4];
  for (int i = 0; i < 4; ++i) {
    out[i] = call.Resource(i);
    if (out[i] < 0) return;
  }
  WindowPort* port = Port(call);
  if (port == nullptr) {
    call.SetError(1);
    return;
  }
  const host::WindowRect r = port->FrameRect();
  call.WriteInt(out[0], r.left);
  call.WriteInt(out[1], r.top);
  call.WriteInt(out[2], r.right);
  call.WriteInt(out[3], r.bottom);
}

// $Mouse show
void ShowMouse(Call& call) {
  const bool show = call.Int(0) != 0;
  if (WindowPort* port = Port(call)) port->ShowCursor(show);
}

// $DeskTop on: the whole bank on the screen from its top-left corner.
void DeskTop(Call& call) {
  const bool on = call.Int(0) != 0;
  Window(call).direct_to_screen = on;
  if (WindowPort* port = Port(call)) port->SetDirectToScreen(on);
}

// SetMCur hand
void SetMCur(Call& call) {
  const bool hand = call.Int(0) != 0;
  Window(call).hand_requested = hand;
  if (WindowPort* port = Port(call)) port->SetHandCursor(hand);
}

// MouseCtrl mode, a, b: 1 a button (a non-zero: right; b = 1 press),
// 2 a relative move, 3 a move to a screen position.
void MouseCtrl(Call& call) {
  const std::int32_t mode = call.Int(0);
  const std::int32_t a = call.Int(1);
  const std::int32_t b = call.Int(2);
  bool done = false;
  switch (mode) {
    case 1: done = x11::SendButton(a != 0, b == 1); break;
    case 2: done = x11::MovePointerBy(a, b); break;
    case 3: done = x11::MovePointerTo(a, b); break;
    default: break;
  }
  if (!done) call.SetError(1);
}

// GetMCurScrPos out x, out y [, client]
void GetMCurScrPos(Call& call) {
  const std::int32_t out_x = call.Resource(0);
  const std::int32_t out_y = call.Resource(1);
  const bool client = call.OptInt(2, 0) != 0;
  if (out_x < 0 || out_y < 0) return;
  WindowPort* port = Port(call);
  int x = 0, y = 0;
  if (port == nullptr || !port->PointerPosition(&x, &y)) {
    call.SetError(1);
    return;
  }
  if (client) port->ScreenToClient(&x, &y);
  call.WriteInt(out_x, x);
  call.WriteInt(out_y, y);
}

// GetKeyState which, out state: 1 Ctrl, 2 Shift, 3 mouse buttons (bit 0
// left, bit 1 right).
void GetKeyState(Call& call) {
  call.SetError(0);
  const std::int32_t which = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  WindowPort* port = Port(call);
  std::int32_t state = 0;
  if (port == nullptr || which < 1 || which > 3) {
    call.WriteInt(out, 0);
    call.SetError(1);
    return;
  }
  if (which == 1) state = port->ControlDown() ? 1 : 0;
  if (which == 2) state = port->ShiftDown() ? 1 : 0;
  if (which == 3) state = static_cast<std::int32_t>(port->MouseButtons() & 3u);
  call.WriteInt(out, state);
}

// ChkWin title text, activate, out class name: the first other top-level
// window whose title contains the text; its class name goes to the output
// and its handle to G_WORK1 (for ShowOtherWindow and CtrlWindow).
void ChkWin(Call& call) {
  std::string& text = call.Large(0);
  call.String(0, text);
  const bool activate = call.Int(1) != 0;
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  std::vector<TopWindowInfo> windows;
  host::OtherTopWindows(call.rt(), &windows);
  const auto found = std::find_if(windows.begin(), windows.end(), [&](const TopWindowInfo& w) {
    return host::TitleContains(w.title, text);
  });
  if (found == windows.end()) {
    call.SetError(1);
    return;
  }
  const std::string_view name = found->class_name;
  call.WriteText(out, name.substr(0, std::min(name.size(), CLASS_NAME_OUT_MAX)));
  call.SetWork(1, static_cast<std::int32_t>(found->handle));
  if (activate) host::TopWindowsOf(call.rt()).Activate(found->handle);
}

// Handles arrive as script integers: X window ids fit in 29 bits.
std::uint64_t HandleOf(std::int32_t value) {
  return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

// ShowOtherWindow handle: raises another program's window and gives it the
// input focus.
void ShowOtherWindow(Call& call) {
  const std::uint64_t handle = HandleOf(call.Int(0));
  if (handle == 0 || !host::TopWindowsOf(call.rt()).Activate(handle)) call.SetError(1);
}

// CtrlWindow handle, operation [, a, b]: 1 activate, 2 maximise,
// 3 minimise, 4 restore, 5 ask to close, 6 move to (a, b), 7 resize to
// a x b. Our own main window is not another window: error path, as for an
// unknown operation or a window that is gone.
void CtrlWindow(Call& call) {
  const std::uint64_t handle = HandleOf(call.Int(0));
  const std::int32_t operation = call.Int(1);
  const std::int32_t a = call.OptInt(2, 0);
  const std::int32_t b = call.OptInt(3, 0);
  WindowPort* port = Port(call);
  const bool own = port != nullptr && port->NativeHandle() == handle;
  const bool known = operation >= static_cast<std::int32_t>(host::WindowOp::kActivate) &&
                     operation <= static_cast<std::int32_t>(host::WindowOp::kResize);
  if (handle == 0 || own || !known ||
      !host::TopWindowsOf(call.rt()).Control(handle, static_cast<host::WindowOp>(operation), a, b)) {
    call.SetError(1);
  }
}

// A window-list line: handle, process id and title, tab-separated.
std::string ListLine(std::uint64_t handle, std::int32_t pid, std::string_view title) {
  std::string line = std::to_string(handle) + '\t' + std::to_string(pid) + '\t';
  line.append(title);
  line += "\r\n";
  return line;
}

// GetVexmoraWinList: the other running instances' main windows (not their
// dialogs or watch windows), one line each in G_TXT
// ("handle<TAB>process id<TAB>title", CR LF after each), their number in
// G_WORK1 and the number found in G_WORK2 (more than G_WORK1 when G_TXT
// could not hold them all). Without an X server the instance registry
// answers: handle 0 and no title.
void GetVexmoraWinList(Call& call) {
  std::vector<TopWindowInfo> windows;
  std::vector<std::string> lines;
  if (host::OtherTopWindows(call.rt(), &windows)) {
    for (const TopWindowInfo& w : windows) {
      if (!w.secondary && w.class_name.find(host::MAIN_WINDOW_CLASS) != std::string::npos) {
        lines.push_back(ListLine(w.handle, w.pid, w.title));
      }
    }
  } else {
    for (const std::int32_t pid : host::RunningInstances()) lines.push_back(ListLine(0, pid, {}));
  }
  std::string& text = call.Large(0);
  std::int32_t listed = 0;
  for (const std::string& line : lines) {
    if (text.size() + line.size() > WINDOW_LIST_TEXT_MAX) break;
    text += line;
    ++listed;
  }
  call.SetTxt(text);
  call.SetWork(1, listed);
  call.SetWork(2, static_cast<std::int32_t>(lines.size()));
  call.SetError(0);
}

// SetFocus resource: the keyboard focus to that control's widget.
void SetFocus(Call& call) {
  const std::int32_t index = call.Resource(0);
  if (index < 0) {
    call.SetError(1);
    return;
  }
  const ResourceEntry& control = call.rt().program.Resource(index);
  call.SetError(IsControlKind(control.kind) && call.rt().window->FocusControl(control) ? 0 : 1);
}

constexpr Registration kWindowApis[] = {
    {Id("SetWindowText"), SetWindowText}, {Id("SetWindowSize"), SetWindowSize},
    {Id("SetWindowPos"), SetWindowPos},   {Id("TopWindow"), TopWindow},
    {Id("ShowWindow"), ShowWindow},       {Id("GetClientSz"), GetClientSz},
    {Id("GetWindowSz"), GetWindowSz},     {Id("$Mouse"), ShowMouse},
    {Id("$DeskTop"), DeskTop},            {Id("SetMCur"), SetMCur},
    {Id("MouseCtrl"), MouseCtrl},         {Id("GetMCurScrPos"), GetMCurScrPos},
    {Id("GetKeyState"), GetKeyState},     {Id("ChkWin"), ChkWin},
    {Id("ShowOtherWindow"), ShowOtherWindow}, {Id("CtrlWindow"), CtrlWindow},
    {Id("GetVexmoraWinList"), GetVexmoraWinList}, {Id("SetFocus"), SetFocus},
};

}  // namespace

void RegisterWindowApis(Registry& registry) { registry.AddAll(kWindowApis); }

}  // namespace vx::api
