#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace tonvara::linux_x11 {

struct XcbDisconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnectionPtr = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }  // NOLINT: xcb allocates with malloc
};
// A reply, event or error as xcb hands it out.
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// An open connection and the root window of its default screen.
struct XcbDisplay {
  XcbConnectionPtr connection;
  xcb_window_t root = 0;
};

// Connects to `displayName` ($DISPLAY when absent); nothing when the display is unreachable.
std::optional<XcbDisplay> connectToDisplay(const std::optional<std::string>& displayName);

// Whether the request behind `cookie` succeeded; an errored connection counts as failure.
bool requestSucceeded(xcb_connection_t* connection, xcb_void_cookie_t cookie);

// Whether the server is a Wayland compositor's X11 compatibility server, which never sees the
// keys other Wayland clients have focus for.
bool isXwayland(xcb_connection_t* connection);

}  // namespace tonvara::linux_x11
