#pragma once
// Whether an X server can be reached, asked the cheapest way: one connection
// set-up through libxcb (opened on first use, never linked), then closed.
// Qt's own connection comes after and is not shared.
#include <string>

namespace vx::platform {

inline constexpr const char* XCB_LIBRARY = "libxcb.so.1";

// True when the server named `display` (the form of DISPLAY, ":0") accepts a
// connection. False when it does not, and when libxcb cannot be opened, in
// which case `*error` says why.
bool XServerAccepts(const char* display, std::string* error);

}  // namespace vx::platform
