#include "host/keys.hpp"

#include <array>

namespace vx::host {

std::string_view KeyDownEventName(std::int32_t virtual_key) {
  static constexpr std::array<std::string_view, 12> kFunctionKeys = {
      "KB_F1", "KB_F2", "KB_F3", "KB_F4",  "KB_F5",  "KB_F6",
      "KB_F7", "KB_F8", "KB_F9", "KB_F10", "KB_F11", "KB_F12"};
  switch (virtual_key) {
    case VK_SHIFT: return "KB_SHIFT_DN";
    case VK_CONTROL: return "KB_CONTROL_DN";
    case VK_PRIOR: return "KB_PGUP";
    case VK_NEXT: return "KB_PGDOWN";
    case VK_END: return "KB_END";
    case VK_HOME: return "KB_HOME";
    case VK_LEFT: return "KB_LEFT";
    case VK_UP: return "KB_UP";
    case VK_RIGHT: return "KB_RIGHT";
    case VK_DOWN: return "KB_DOWN";
    case VK_DELETE: return "KB_DEL";
    default: break;
  }
  if (virtual_key >= VK_F1 && virtual_key <= VK_F12)
    return kFunctionKeys[static_cast<std::size_t>(virtual_key - VK_F1)];
  return {};
}

}  // namespace vx::host
