#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <string>

namespace tonvara::bench {

// Presses one key through the XTest extension, which the X server handles like hardware input,
// so the press passes through passive grabs exactly as a real key would.
class XTestKey {
 public:
  // The key that produces `keysym` on the default display. Throws when there is none.
  explicit XTestKey(xcb_keysym_t keysym);
  ~XTestKey();

  XTestKey(const XTestKey&) = delete;
  XTestKey& operator=(const XTestKey&) = delete;

  xcb_keycode_t keycode() const { return keycode_; }
  // Sends the press and returns the moment it left for the server.
  std::chrono::steady_clock::time_point press();
  void release();

 private:
  void send(std::uint8_t type);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_keycode_t keycode_ = 0;
};

}  // namespace tonvara::bench
