#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tonvara::bench {

// The simplest way to bind a command to a key on X11: a passive grab of the key on the root
// window and a thread that runs the command for every press. The baselines run on it.
class KeyCommandClient {
 public:
  KeyCommandClient(xcb_keycode_t keycode, std::function<void()> command);
  ~KeyCommandClient();

  KeyCommandClient(const KeyCommandClient&) = delete;
  KeyCommandClient& operator=(const KeyCommandClient&) = delete;

  // Takes the key; false when another client holds it.
  bool grab();
  void ungrab();
  // Presses whose command has finished.
  int handled() const { return handled_; }

 private:
  void run();

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_keycode_t keycode_;
  std::function<void()> command_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> handled_{0};
  std::thread thread_;
};

}  // namespace tonvara::bench
