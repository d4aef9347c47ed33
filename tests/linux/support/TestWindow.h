#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tonvara::testing {

// A key event as a client window received it.
struct ReceivedKey {
  bool press = false;
  xcb_keycode_t keycode = 0;
  std::uint16_t state = 0;
};

// A window that covers the screen, holds the input focus and records every key event it
// receives, read on a thread of its own. Stands in for the application the user is typing in.
class TestWindow {
 public:
  explicit TestWindow(const std::string& displayName);
  ~TestWindow();

  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  std::vector<ReceivedKey> keys() const;
  void clear();
  // Waits until a release of `keycode` has arrived; false after `timeout`.
  bool waitForRelease(xcb_keycode_t keycode, std::chrono::milliseconds timeout);

 private:
  void readEvents();

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  mutable std::mutex mutex_;
  std::vector<ReceivedKey> keys_;
  std::thread reader_;
};

}  // namespace tonvara::testing
