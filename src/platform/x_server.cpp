#include "platform/x_server.hpp"

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

bool XServerAccepts(const char* display, std::string* error) {
  const BoundApi<XcbApi>& xcb = BindOnce<XcbApi, BindXcb>();
  if (!xcb.ok) {
    if (error != nullptr) *error = xcb.error;
    return false;
  }
  // xcb_connect never gives null: a failed connection is an object in an
  // error state, which must be disconnected all the same.
  XcbConnection* connection = xcb.api.xcb_connect(display, nullptr);
  if (connection == nullptr) return false;
  const bool accepted = xcb.api.xcb_connection_has_error(connection) == 0;
  xcb.api.xcb_disconnect(connection);
  return accepted;
}

}  // namespace vx::platform
