#include "XcbConnection.h"

#include <cstring>

namespace tonvara::linux_x11 {

std::optional<XcbDisplay> connectToDisplay(const std::optional<std::string>& displayName) {
  int screenNumber = 0;
  XcbConnectionPtr connection(
      xcb_connect(displayName ? displayName->c_str() : nullptr, &screenNumber));
  if (!connection || xcb_connection_has_error(connection.get()) != 0) {
    return std::nullopt;
  }
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
    xcb_screen_next(&screens);
  }
  if (screens.rem <= 0) {
    return std::nullopt;
  }
  const xcb_window_t root = screens.data->root;
  return XcbDisplay{std::move(connection), root};
}

bool requestSucceeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
  return !error && xcb_connection_has_error(connection) == 0;
}

bool isXwayland(xcb_connection_t* connection) {
  constexpr const char* kName = "XWAYLAND";
  const auto cookie =
      xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(kName)), kName);
  XcbPtr<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(connection, cookie, nullptr));
  return reply && reply->present != 0;
}

}  // namespace tonvara::linux_x11
