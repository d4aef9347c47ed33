#include "XTestKey.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace tonvara::bench {

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }  // NOLINT: xcb allocates with malloc
};

}  // namespace

XTestKey::XTestKey(xcb_keysym_t keysym) {
  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot reach the X display");
  }
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  root_ = xcb_setup_roots_iterator(setup).data->root;
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeReply> mapping{
      xcb_get_keyboard_mapping_reply(
          connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, count), nullptr)};
  if (mapping) {
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKeycode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count && keycode_ == 0; ++i) {
      if (keysyms[i * perKeycode] == keysym) {
        keycode_ = static_cast<xcb_keycode_t>(setup->min_keycode + i);
      }
    }
  }
  if (keycode_ == 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("no key produces the keysym");
  }
}

XTestKey::~XTestKey() { xcb_disconnect(connection_); }

void XTestKey::send(std::uint8_t type) {
  xcb_test_fake_input(connection_, type, keycode_, XCB_CURRENT_TIME, root_, 0, 0, 0);
}

std::chrono::steady_clock::time_point XTestKey::press() {
  send(XCB_KEY_PRESS);
  const auto sent = std::chrono::steady_clock::now();
  xcb_flush(connection_);
  return sent;
}

void XTestKey::release() {
  send(XCB_KEY_RELEASE);
  xcb_flush(connection_);
}

}  // namespace tonvara::bench
