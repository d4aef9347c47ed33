#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

namespace keysym {
inline constexpr xcb_keysym_t kPlay = 0x1008FF14, kNext = 0x1008FF17, kPrevious = 0x1008FF16,
                              kForward = 0x1008FF97, kRewind = 0x1008FF3E, kStop = 0x1008FF15,
                              kNumLock = 0xFF7F, kCapsLock = 0xFFE5, kShift = 0xFFE1, kA = 0x61,
                              kZ = 0x7A;
}  // namespace keysym

namespace xcbutil {

struct Free {
  void operator()(void* p) const { std::free(p); }  // NOLINT: xcb allocates with malloc
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

inline constexpr std::uint32_t kNoModifiers = 0;

// Returns once the server has handled every request sent before.
inline void sync(xcb_connection_t* connection) {
  Reply<xcb_get_input_focus_reply_t>(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

}  // namespace xcbutil

// A key event as the window received it.
struct ReceivedKey {
  bool press = false;
  xcb_keycode_t keycode = 0;
};

// A client of the display that types with the XTest extension, which the server handles like
// hardware input: it passes through passive grabs (SendEvent would bypass them). It may hold
// grabs, as a desktop's shortcut daemon does, and may show a window that covers the screen, holds
// the focus and records the keys it receives: the application the user is typing in.
class XTestKeyboard {
 public:
  XTestKeyboard(const std::string& displayName, bool withWindow)
      : connection_(xcb_connect(displayName.c_str(), nullptr)),
        screen_(xcb_setup_roots_iterator(xcb_get_setup(connection_)).data) {
    if (xcb_connection_has_error(connection_) != 0) {
      throw std::runtime_error("cannot connect to " + displayName);
    }
    if (!withWindow) {
      return;
    }
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t events =
        XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0,
                      screen_->width_in_pixels, screen_->height_in_pixels, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_EVENT_MASK,
                      &events);
    xcb_map_window(connection_, window);
    // No window manager: focus follows the pointer unless set. Both point at the window.
    xcb_warp_pointer(connection_, XCB_NONE, window, 0, 0, 0, 0, 10, 10);
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    while (const xcbutil::Reply<xcb_generic_event_t> event{xcb_wait_for_event(connection_)}) {
      if ((event->response_type & 0x7F) == XCB_FOCUS_IN) {
        return;
      }
    }
    throw std::runtime_error("the window did not get the focus");
  }
  ~XTestKeyboard() { xcb_disconnect(connection_); }
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  // The first keycode that produces `keysym`, as the current mapping says.
  xcb_keycode_t keycode(xcb_keysym_t keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    const xcbutil::Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    xcb_key_symbols_free(symbols);
    return codes ? *codes : throw std::runtime_error("no keycode for " + std::to_string(keysym));
  }
  void press(xcb_keysym_t keysym) { send(XCB_KEY_PRESS, keycode(keysym)); }
  void release(xcb_keysym_t keysym) { send(XCB_KEY_RELEASE, keycode(keysym)); }
  void tap(xcb_keysym_t keysym) {
    press(keysym);
    release(keysym);
  }
  // Sends a press or release and returns once the server has handled it.
  void send(std::uint8_t type, xcb_keycode_t keycode) {
    xcb_test_fake_input(connection_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
    xcbutil::sync(connection_);
  }
  // Makes `keycode` produce `keysym` alone.
  void remap(xcb_keycode_t keycode, xcb_keysym_t keysym) {
    const xcb_keysym_t row[2] = {keysym, 0};
    xcb_change_keyboard_mapping(connection_, 1, keycode, 2, row);
    xcbutil::sync(connection_);
  }
  // A passive grab of `keysym` (no modifiers) on the root window, core or through XInput2 (as
  // GNOME's window manager holds the media keys); false when another client holds it.
  bool grab(xcb_keysym_t keysym, bool xinput2 = false) {
    const auto code = keycode(keysym);
    if (!xinput2) {
      return !xcbutil::Reply<xcb_generic_error_t>(xcb_request_check(
          connection_, xcb_grab_key_checked(connection_, 1, screen_->root, 0, code,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    }
    xcbutil::Reply<xcb_input_xi_query_version_reply_t>(xcb_input_xi_query_version_reply(
        connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
    const std::uint32_t mask = XCB_INPUT_XI_EVENT_MASK_KEY_PRESS;
    const xcbutil::Reply<xcb_input_xi_passive_grab_device_reply_t> reply(
        xcb_input_xi_passive_grab_device_reply(
            connection_,
            xcb_input_xi_passive_grab_device(
                connection_, XCB_CURRENT_TIME, screen_->root, XCB_NONE, code,
                XCB_INPUT_DEVICE_ALL_MASTER, 1, 1, XCB_INPUT_GRAB_TYPE_KEYCODE,
                XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
                XCB_INPUT_GRAB_OWNER_NO_OWNER, &mask, &xcbutil::kNoModifiers),
            nullptr));
    return reply && reply->num_modifiers == 0;
  }
  void ungrab(xcb_keysym_t keysym, bool xinput2 = false) {
    const auto code = keycode(keysym);
    xinput2 ? xcb_input_xi_passive_ungrab_device(
                  connection_, screen_->root, code, XCB_INPUT_DEVICE_ALL_MASTER, 1,
                  XCB_INPUT_GRAB_TYPE_KEYCODE, &xcbutil::kNoModifiers)
            : xcb_ungrab_key(connection_, code, screen_->root, 0);
    xcbutil::sync(connection_);
  }
  bool isFreeToGrab(xcb_keysym_t keysym) { return grab(keysym) && (ungrab(keysym), true); }

  // The window's keys so far; clearKeys() forgets them.
  const std::vector<ReceivedKey>& keys() {
    while (const xcbutil::Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
      const auto type = event->response_type & 0x7F;
      if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        keys_.push_back(
            {type == XCB_KEY_PRESS, reinterpret_cast<xcb_key_press_event_t*>(event.get())->detail});
      }
    }
    return keys_;
  }
  void clearKeys() { keys_.clear(); }
  bool waitForRelease(xcb_keycode_t keycode, std::chrono::milliseconds timeout) {
    const auto released = [&](const ReceivedKey& key) {
      return !key.press && key.keycode == keycode;
    };
    return waitFor([&] { return std::ranges::any_of(keys(), released); }, timeout);
  }

 private:
  xcb_connection_t* connection_;
  const xcb_screen_t* screen_;
  std::vector<ReceivedKey> keys_;
};

}  // namespace tonvara::testing
