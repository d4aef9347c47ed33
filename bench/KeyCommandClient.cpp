#include "KeyCommandClient.h"

#include <poll.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace tonvara::bench {

namespace {

struct FreeEvent {
  void operator()(void* event) const { std::free(event); }  // NOLINT: xcb allocates with malloc
};

void sync(xcb_connection_t* connection) {
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

}  // namespace

KeyCommandClient::KeyCommandClient(xcb_keycode_t keycode, std::function<void()> command)
    : keycode_(keycode), command_(std::move(command)) {
  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot reach the X display");
  }
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  thread_ = std::thread([this] { run(); });
}

KeyCommandClient::~KeyCommandClient() {
  stopping_ = true;
  thread_.join();
  xcb_disconnect(connection_);
}

bool KeyCommandClient::grab() {
  std::unique_ptr<xcb_generic_error_t, FreeEvent> error{xcb_request_check(
      connection_, xcb_grab_key_checked(connection_, 1, root_, 0, keycode_, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC))};
  return error == nullptr;
}

void KeyCommandClient::ungrab() {
  xcb_ungrab_key(connection_, keycode_, root_, 0);
  sync(connection_);
}

void KeyCommandClient::run() {
  pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
  while (!stopping_) {
    while (std::unique_ptr<xcb_generic_event_t, FreeEvent> event{xcb_poll_for_event(connection_)}) {
      if ((event->response_type & 0x7F) == XCB_KEY_PRESS) {
        command_();
        ++handled_;
      }
    }
    if (xcb_connection_has_error(connection_) != 0) {
      return;
    }
    poll(&descriptor, 1, 50);  // bounded, so a stop is noticed
  }
}

}  // namespace tonvara::bench
