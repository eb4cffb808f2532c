// The event family: events for this and other running instances, and
// synthesised keys (ids 534, 537, 538). Other instances are reached through
// the per-user instance registry (host/instances.hpp); they all have the
// window class "Vexmora100WClass".
#include <cstdint>
#include <string>
#include <string_view>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/families.hpp"
#include "engine/runtime.hpp"
#include "host/instances.hpp"
#include "host/messages.hpp"
#include "platform/x11_input.hpp"

namespace vx::api {
namespace {

constexpr std::string_view kMainWindowClass = "Vexmora100WClass";

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
// instance when the class text is part of our class name.
void PostEventExt(Call& call) {
  std::string& class_text = call.Small(0);
  call.String(0, class_text);
  const std::int32_t message = call.Int(1);
  const std::int32_t value1 = call.Int(2);
  const std::int32_t value2 = call.Int(3);
  if (kMainWindowClass.find(class_text) == std::string_view::npos) return;
  host::PostToOtherInstances(message, value1, value2);
}

// KeyEvent virtual key, press: a key stroke through the X server.
void KeyEvent(Call& call) {
  const std::int32_t key = call.Int(0);
  const bool press = call.Int(1) == 1;
  if (!x11::SendKey(key, press)) call.SetError(1);
}

constexpr Registration kEventApis[] = {
    {Id("PostEvent"), PostEvent},
    {Id("PostEventExt"), PostEventExt},
    {Id("KeyEvent"), KeyEvent},
};

}  // namespace

void RegisterEventApis(Registry& registry) { registry.AddAll(kEventApis); }

}  // namespace vx::api
