#include "comm/port_resources.hpp"

#include <string>

#include "comm/serial_ports.hpp"
#include "engine/runtime.hpp"
#include "text/messages.hpp"

namespace vx::comm {

std::int32_t OpenPortResource(Runtime& rt, ResourceEntry& port, std::string_view device_name,
                              std::int32_t baud, std::uint32_t options) {
  const int index = rt.comm.Ports().Open(device_name, baud, options);
  if (index == PORT_NONE_FREE) {
    rt.window->ShowMessage(msg::Text(msg::Id::kCaptionMessageJa),
                           msg::Format(msg::Id::kComTooManyPorts, static_cast<long>(PORT_MAX)));
  }
  port.port_handle = index >= 0 ? index : -1;
  return port.port_handle;
}

void OpenDeclaredPorts(Runtime& rt) {
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (e.kind != R_KD_COM || e.port_handle >= 0) continue;
    const std::string device(e.Text());
    if (!device.empty()) OpenPortResource(rt, e, device, e.long_value, e.flags);
  }
}

void ClosePortResource(Runtime& rt, ResourceEntry& port) {
  if (port.port_handle >= 0) rt.comm.Ports().Stop(port.port_handle);
  port.port_handle = -1;
}

void CloseDeclaredPorts(Runtime& rt) {
  if (!rt.comm.AnyPortOpen()) return;
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (e.kind == R_KD_COM) ClosePortResource(rt, e);
  }
}

}  // namespace vx::comm
