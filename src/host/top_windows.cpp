#include "host/top_windows.hpp"

#include <unistd.h>

#include <algorithm>

#include "engine/runtime.hpp"
#include "platform/x11_windows.hpp"

namespace vx::host {

TopWindows& TopWindowsOf(Runtime& rt) {
  return rt.main_window.top_windows != nullptr ? *rt.main_window.top_windows : x11::ServerTopWindows();
}

bool OtherTopWindows(Runtime& rt, std::vector<TopWindowInfo>* out) {
  if (!TopWindowsOf(rt).List(out)) return false;
  const std::uint64_t own = rt.main_window.port != nullptr ? rt.main_window.port->NativeHandle() : 0;
  const auto own_pid = static_cast<std::int32_t>(getpid());
  std::erase_if(*out, [&](const TopWindowInfo& w) {
    return (own != 0 && w.handle == own) || (w.pid != 0 && w.pid == own_pid);
  });
  return true;
}

bool TitleContains(std::string_view title, std::string_view text) {
  return title.find(text) != std::string_view::npos;
}

bool SameClass(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool IsMainWindowClass(std::string_view class_name) { return SameClass(class_name, MAIN_WINDOW_CLASS); }

}  // namespace vx::host
