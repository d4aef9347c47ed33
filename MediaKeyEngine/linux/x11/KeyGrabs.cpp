#include "KeyGrabs.h"

#include <xcb/xinput.h>

#include "XcbConnection.h"

namespace tonvara::linux_x11 {

namespace {

constexpr xcb_input_device_id_t kAllMasterDevices = XCB_INPUT_DEVICE_ALL_MASTER;

}  // namespace

bool grabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyCombo>& combos,
              KeyboardMode mode) {
  const auto keyboardMode =
      mode == KeyboardMode::freezeUntilAnswered ? XCB_GRAB_MODE_SYNC : XCB_GRAB_MODE_ASYNC;
  std::vector<xcb_void_cookie_t> cookies;
  cookies.reserve(combos.size());
  for (const auto& combo : combos) {
    cookies.push_back(xcb_grab_key_checked(connection, 1, root, combo.modifiers, combo.keycode,
                                           XCB_GRAB_MODE_ASYNC, keyboardMode));
  }
  bool allGranted = !combos.empty();
  // Every cookie is checked, also after a failure, so no error is left to surface later.
  for (const auto cookie : cookies) {
    allGranted = requestSucceeded(connection, cookie) && allGranted;
  }
  if (!allGranted) {
    // Ungrabbing only ever touches our own grabs, so the refused ones are harmless here.
    ungrabKeys(connection, root, combos);
  }
  return allGranted;
}

void ungrabKeys(xcb_connection_t* connection, xcb_window_t root,
                const std::vector<KeyCombo>& combos) {
  for (const auto& combo : combos) {
    xcb_ungrab_key(connection, combo.keycode, root, combo.modifiers);
  }
  // A round trip: once this returns, the keys are free for any other client.
  XcbPtr<xcb_get_input_focus_reply_t> processed(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool useXInput2(xcb_connection_t* connection) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_input_id);
  if (extension == nullptr || extension->present == 0) {
    return false;
  }
  XcbPtr<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
      connection, xcb_input_xi_query_version(connection, 2, 2), nullptr));
  return version && (version->major_version > 2 ||
                     (version->major_version == 2 && version->minor_version >= 2));
}

bool xinputGrabsAvailable(xcb_connection_t* connection, xcb_window_t root,
                          const std::vector<KeyCombo>& combos) {
  if (!useXInput2(connection)) {
    return true;
  }
  const std::uint32_t mask =
      XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
  std::vector<xcb_input_xi_passive_grab_device_cookie_t> cookies;
  cookies.reserve(combos.size());
  for (const auto& combo : combos) {
    const std::uint32_t modifiers = combo.modifiers;
    cookies.push_back(xcb_input_xi_passive_grab_device(
        connection, XCB_CURRENT_TIME, root, XCB_NONE, combo.keycode, kAllMasterDevices, 1, 1,
        XCB_INPUT_GRAB_TYPE_KEYCODE, XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
        XCB_INPUT_GRAB_OWNER_NO_OWNER, &mask, &modifiers));
  }
  bool available = true;
  for (const auto cookie : cookies) {
    XcbPtr<xcb_input_xi_passive_grab_device_reply_t> reply(
        xcb_input_xi_passive_grab_device_reply(connection, cookie, nullptr));
    // The reply lists the modifier combinations that could not be grabbed.
    available = available && reply && reply->num_modifiers == 0;
  }
  for (const auto& combo : combos) {
    const std::uint32_t modifiers = combo.modifiers;
    xcb_input_xi_passive_ungrab_device(connection, root, combo.keycode, kAllMasterDevices, 1,
                                       XCB_INPUT_GRAB_TYPE_KEYCODE, &modifiers);
  }
  XcbPtr<xcb_get_input_focus_reply_t> processed(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  return available && xcb_connection_has_error(connection) == 0;
}

}  // namespace tonvara::linux_x11
