#pragma once
// Facts about the running process that start-up needs.
#include <string>

namespace vx::process {

// The full path of the running executable as the system gives it (UTF-8);
// empty when it cannot be found.
std::string ExecutablePath();

// Whether a display server can be reached (X11 or Wayland).
bool DisplayAvailable();

}  // namespace vx::process
