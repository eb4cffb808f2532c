#pragma once
// Whether an X server can be reached, asked the cheapest way: one connection
// set-up through libxcb (opened on first use, never linked). Qt's own
// connection comes after and is not shared.
#include <string>

namespace vx::platform {

inline constexpr const char* XCB_LIBRARY = "libxcb.so.1";

// An accepted connection, closed when the object goes. Holding it until Qt
// has connected matters on a server with no other client (Xvfb, a bare
// xinit): when its last client leaves, such a server resets, and the next
// connection waits for the reset.
class XServerConnection {
 public:
  XServerConnection() = default;
  XServerConnection(XServerConnection&& other) noexcept;
  XServerConnection& operator=(XServerConnection&& other) noexcept;
  XServerConnection(const XServerConnection&) = delete;
  XServerConnection& operator=(const XServerConnection&) = delete;
  ~XServerConnection() { Close(); }

  bool Open() const { return connection_ != nullptr; }
  void Close();

 private:
  friend XServerConnection ConnectToXServer(const char* display, std::string* error);
  void* connection_ = nullptr;
};

// A connection to the server named `display` (the form of DISPLAY, ":0"),
// open when the server accepts it. Closed when it does not, and when libxcb
// cannot be opened, in which case `*error` says why.
XServerConnection ConnectToXServer(const char* display, std::string* error);

}  // namespace vx::platform
