#pragma once
// Searches over other programs' top-level windows for the window APIs: the
// runtime's list (the X server's, or a test's), this program's own windows
// left out, and title and class matching. Texts are Shift-JIS.
#include <string_view>
#include <vector>

#include "platform/top_windows.hpp"

namespace vx {
struct Runtime;
}

namespace vx::host {

// The runtime's window list, or the X server's.
TopWindows& TopWindowsOf(Runtime& rt);

// Every top-level window that belongs to another process (this program's
// own main window, dialogs and watch window never count); false when no
// window system answers.
bool OtherTopWindows(Runtime& rt, std::vector<TopWindowInfo>* out);

// Title matching as the window APIs do it: byte containment (an empty text
// is in every title); class names compare without regard to ASCII case.
bool TitleContains(std::string_view title, std::string_view text);
bool SameClass(std::string_view a, std::string_view b);
bool IsMainWindowClass(std::string_view class_name);

}  // namespace vx::host
