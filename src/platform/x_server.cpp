#include "platform/x_server.hpp"

#include <utility>

#include "platform/shared_library.hpp"

namespace vx::platform {
namespace {

// libxcb's functions as its header declares them; the connection is opaque.
struct XcbConnection;
struct XcbApi {
  XcbConnection* (*xcb_connect)(const char* display, int* screen) = nullptr;
  int (*xcb_connection_has_error)(XcbConnection* c) = nullptr;
  void (*xcb_disconnect)(XcbConnection* c) = nullptr;
};

bool BindXcb(XcbApi& api, std::string& error) {
  SharedLibrary& library = SharedLibrary::Resident(XCB_LIBRARY);
  if (!library.Loaded()) {
    error = library.Error();
    return false;
  }
  const bool ok = library.Bind("xcb_connect", &api.xcb_connect) &&
                  library.Bind("xcb_connection_has_error", &api.xcb_connection_has_error) &&
                  library.Bind("xcb_disconnect", &api.xcb_disconnect);
  if (!ok) error = library.Error();
  return ok;
}

}  // namespace

XServerConnection::XServerConnection(XServerConnection&& other) noexcept
    : connection_(std::exchange(other.connection_, nullptr)) {}

XServerConnection& XServerConnection::operator=(XServerConnection&& other) noexcept {
  if (this != &other) {
    Close();
    connection_ = std::exchange(other.connection_, nullptr);
  }
  return *this;
}

void XServerConnection::Close() {
  if (connection_ == nullptr) return;
  // Only a bound library ever opened one.
  BindOnce<XcbApi, BindXcb>().api.xcb_disconnect(static_cast<XcbConnection*>(connection_));
  connection_ = nullptr;
}

XServerConnection ConnectToXServer(const char* display, std::string* error) {
  XServerConnection result;
  const BoundApi<XcbApi>& xcb = BindOnce<XcbApi, BindXcb>();
  if (!xcb.ok) {
    if (error != nullptr) *error = xcb.error;
    return result;
  }
  // xcb_connect never gives null: a failed connection is an object in an
  // error state, which must be disconnected all the same.
  XcbConnection* connection = xcb.api.xcb_connect(display, nullptr);
  if (connection == nullptr) return result;
  if (xcb.api.xcb_connection_has_error(connection) != 0) {
    xcb.api.xcb_disconnect(connection);
    return result;
  }
  result.connection_ = connection;
  return result;
}

}  // namespace vx::platform
