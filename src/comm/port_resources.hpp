#pragma once
// Serial-port resources (kind R_KD_COM): opening them for a script, at load
// or on request, and closing them when the script goes.
#include <cstdint>
#include <string_view>

namespace vx {
struct Runtime;
struct ResourceEntry;
}  // namespace vx

namespace vx::comm {

// Opens a port for the resource and keeps its index there. The port limit
// is shown in a message box. Returns the index, or -1 (the resource stays
// closed).
std::int32_t OpenPortResource(Runtime& rt, ResourceEntry& port, std::string_view device_name,
                              std::int32_t baud, std::uint32_t options);

// Declared ports with a device name open when the script is loaded: the
// number declared is the line speed, the settings text names the device.
void OpenDeclaredPorts(Runtime& rt);

// Stops the resource's reader and closes its line.
void ClosePortResource(Runtime& rt, ResourceEntry& port);
void CloseDeclaredPorts(Runtime& rt);

}  // namespace vx::comm
