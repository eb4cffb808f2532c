// The event family: events for this and other running instances, messages
// to other programs' windows, and synthesised keys (ids 185, 534, 537,
// 538). Other instances are reached through the per-user instance registry
// (host/instances.hpp); they all have the window class "Vexmora100WClass".
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/messages.hpp"
#include "engine/runtime.hpp"
#include "host/instances.hpp"
#include "host/top_windows.hpp"
#include "platform/x11_input.hpp"

namespace vx::api {
namespace {

constexpr std::string_view kMainWindowClass = host::MAIN_WINDOW_CLASS;

// PostEvent value 1, value 2, target: target 1 raises EVENT in this
// instance on a later message; any other target in every other instance.
void PostEvent(Call& call) {
  const std::int32_t value1 = call.Int(0);
  const std::int32_t value2 = call.Int(1);
  const std::int32_t target = call.Int(2);
  if (target == 1) {
    host::Message m;
    m.kind = host::MessageKind::kUserEvent;
    m.code = value1;
    m.value = value2;
    call.rt().main_window.inbox.Post(std::move(m));
    return;
  }
  host::PostToOtherInstances(host::MSG_USER_EVENT, value1, value2);
}

// PostEventExt class text, message, value 1, value 2: to every other
// instance when the class text is part of our class name (through the
// registry, so headless instances count too), and as an X ClientMessage to
// every other program's top-level window whose class contains the text.
void PostEventExt(Call& call) {
  std::string& class_text = call.Small(0);
  call.String(0, class_text);
  const std::int32_t message = call.Int(1);
  const std::int32_t value1 = call.Int(2);
  const std::int32_t value2 = call.Int(3);
  if (kMainWindowClass.find(class_text) != std::string_view::npos) {
    host::PostToOtherInstances(message, value1, value2);
  }
  std::vector<host::TopWindowInfo> windows;
  host::OtherTopWindows(call.rt(), &windows);
  for (const host::TopWindowInfo& w : windows) {
    if (host::IsMainWindowClass(w.class_name) || w.class_name.find(class_text) == std::string::npos) continue;
    host::TopWindowsOf(call.rt()).Post(w.handle, message, value1, value2);
  }
}

// PostMsg title text, class name, message, wParam, lParam: to every other
// top-level window whose title contains the text and whose class is the
// class name (ASCII case ignored). Our other instances get it through the
// instance registry, as their main window would; other programs' windows
// get an X ClientMessage of type _VEXMORA_WINDOW_MESSAGE carrying the three
// numbers. Without an X server only the instances can be reached, and as
// they have no title to compare, only by an empty title text.
void PostMsg(Call& call) {
  std::string& title_text = call.Large(0);
  call.String(0, title_text);
  std::string& class_name = call.Small(1);
  call.String(1, class_name);
  const std::int32_t message = call.Int(2);
  const std::int32_t wparam = call.Int(3);
  const std::int32_t lparam = call.Int(4);
  std::vector<host::TopWindowInfo> windows;
  if (!host::OtherTopWindows(call.rt(), &windows)) {
    if (title_text.empty() && host::IsMainWindowClass(class_name)) {
      host::PostToOtherInstances(message, wparam, lparam);
    }
    return;
  }
  std::vector<std::int32_t> instances_reached;  // an instance may show several windows
  for (const host::TopWindowInfo& w : windows) {
    if (!host::TitleContains(w.title, title_text) || !host::SameClass(w.class_name, class_name)) continue;
    if (host::IsMainWindowClass(w.class_name) && w.pid > 0) {
      if (std::find(instances_reached.begin(), instances_reached.end(), w.pid) != instances_reached.end()) continue;
      instances_reached.push_back(w.pid);
      host::PostToInstance(w.pid, message, wparam, lparam);
    } else {
      host::TopWindowsOf(call.rt()).Post(w.handle, message, wparam, lparam);
    }
  }
}

// KeyEvent virtual key, press: a key stroke through the X server.
void KeyEvent(Call& call) {
  const std::int32_t key = call.Int(0);
  const bool press = call.Int(1) == 1;
  if (!x11::SendKey(key, press)) call.SetError(1);
}

constexpr Registration kEventApis[] = {
    {Id("PostMsg"), PostMsg},
    {Id("PostEvent"), PostEvent},
    {Id("PostEventExt"), PostEventExt},
    {Id("KeyEvent"), KeyEvent},
};

}  // namespace

void RegisterEventApis(Registry& registry) { registry.AddAll(kEventApis); }

}  // namespace vx::api
