#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvara::testing {

namespace keysym {
inline constexpr xcb_keysym_t kPlay = 0x1008FF14, kNext = 0x1008FF17, kPrevious = 0x1008FF16,
                              kForward = 0x1008FF97, kRewind = 0x1008FF3E, kStop = 0x1008FF15,
                              kNumLock = 0xFF7F, kCapsLock = 0xFFE5, kShift = 0xFFE1, kA = 0x61,
                              kZ = 0x7A;
}  // namespace keysym

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
  XTestKeyboard(const std::string& displayName, bool withWindow);
  ~XTestKeyboard() { xcb_disconnect(connection_); }
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  // The first keycode that produces `keysym`, as the current mapping says.
  xcb_keycode_t keycode(xcb_keysym_t keysym);
  void press(xcb_keysym_t keysym) { send(XCB_KEY_PRESS, keycode(keysym)); }
  void release(xcb_keysym_t keysym) { send(XCB_KEY_RELEASE, keycode(keysym)); }
  void tap(xcb_keysym_t keysym) {
    press(keysym);
    release(keysym);
  }
  // Sends a press or release and returns once the server has handled it.
  void send(std::uint8_t type, xcb_keycode_t keycode);
  // Makes `keycode` produce `keysym` alone.
  void remap(xcb_keycode_t keycode, xcb_keysym_t keysym);
  // A passive grab of `keysym` (no modifiers) on the root window, core or through XInput2 (as
  // GNOME's window manager holds the media keys); false when another client holds it.
  bool grab(xcb_keysym_t keysym, bool xinput2 = false);
  void ungrab(xcb_keysym_t keysym, bool xinput2 = false);
  bool isFreeToGrab(xcb_keysym_t keysym) { return grab(keysym) && (ungrab(keysym), true); }

  // The window's keys so far; clearKeys() forgets them.
  const std::vector<ReceivedKey>& keys();
  void clearKeys() { keys_.clear(); }
  bool waitForRelease(xcb_keycode_t keycode, std::chrono::milliseconds timeout);

 private:
  xcb_connection_t* connection_;
  const xcb_screen_t* screen_;
  std::vector<ReceivedKey> keys_;
};

}  // namespace tonvara::testing
