#include "XTestKeyboard.h"

#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace tonvara::testing {

struct XTestKeyboard::Connection {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;

  ~Connection() { xcb_disconnect(connection); }
};

namespace {

template <typename T>
struct Freed {
  T* value;
  ~Freed() { std::free(value); }  // NOLINT: xcb allocates with malloc
  T* operator->() const { return value; }
  explicit operator bool() const { return value != nullptr; }
};

bool succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  Freed<xcb_generic_error_t> error{xcb_request_check(connection, cookie)};
  return !error && xcb_connection_has_error(connection) == 0;
}

}  // namespace

XTestKeyboard::XTestKeyboard(const std::string& displayName)
    : connection_(std::make_unique<Connection>()) {
  int screen = 0;
  connection_->connection = xcb_connect(displayName.c_str(), &screen);
  if (xcb_connection_has_error(connection_->connection) != 0) {
    throw std::runtime_error("cannot connect to " + displayName);
  }
  connection_->root = xcb_setup_roots_iterator(xcb_get_setup(connection_->connection)).data->root;
}

XTestKeyboard::~XTestKeyboard() = default;

xcb_keycode_t XTestKeyboard::keycode(xcb_keysym_t keysym) {
  auto* c = connection_->connection;
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  Freed<xcb_get_keyboard_mapping_reply_t> reply{xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr)};
  if (!reply) {
    throw std::runtime_error("cannot read the keyboard mapping");
  }
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.value);
  const int columns = reply->keysyms_per_keycode;
  for (int row = 0; row < count; ++row) {
    if (keysyms[row * columns] == keysym) {
      return static_cast<xcb_keycode_t>(setup->min_keycode + row);
    }
  }
  throw std::runtime_error("no keycode for keysym " + std::to_string(keysym));
}

void XTestKeyboard::press(xcb_keysym_t keysym) { pressKeycode(keycode(keysym)); }

void XTestKeyboard::release(xcb_keysym_t keysym) { releaseKeycode(keycode(keysym)); }

void XTestKeyboard::tap(xcb_keysym_t keysym) {
  const auto code = keycode(keysym);
  pressKeycode(code);
  releaseKeycode(code);
}

void XTestKeyboard::pressKeycode(xcb_keycode_t keycode) {
  xcb_test_fake_input(connection_->connection, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE,
                      0, 0, XCB_NONE);
  sync();
}

void XTestKeyboard::releaseKeycode(xcb_keycode_t keycode) {
  xcb_test_fake_input(connection_->connection, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE,
                      0, 0, XCB_NONE);
  sync();
}

void XTestKeyboard::remap(xcb_keycode_t keycode, xcb_keysym_t keysym) {
  const xcb_keysym_t row[2] = {keysym, 0};
  if (!succeeded(connection_->connection, xcb_change_keyboard_mapping_checked(
                                              connection_->connection, 1, keycode, 2, row))) {
    throw std::runtime_error("cannot change the keyboard mapping");
  }
}

void XTestKeyboard::sync() {
  auto* c = connection_->connection;
  Freed<xcb_get_input_focus_reply_t> reply{
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)};
}

void XTestKeyboard::enableAutoRepeat() {
  const std::uint32_t on = XCB_AUTO_REPEAT_MODE_ON;
  xcb_change_keyboard_control(connection_->connection, XCB_KB_AUTO_REPEAT_MODE, &on);
  sync();
}

bool XTestKeyboard::grab(xcb_keysym_t keysym) {
  return succeeded(connection_->connection,
                   xcb_grab_key_checked(connection_->connection, 1, connection_->root, 0,
                                        keycode(keysym), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
}

void XTestKeyboard::ungrab(xcb_keysym_t keysym) {
  xcb_ungrab_key(connection_->connection, keycode(keysym), connection_->root, 0);
  sync();
}

bool XTestKeyboard::grabWithXInput2(xcb_keysym_t keysym) {
  auto* c = connection_->connection;
  Freed<xcb_input_xi_query_version_reply_t> version{
      xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr)};
  if (!version) {
    return false;
  }
  const std::uint32_t mask =
      XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
  const std::uint32_t modifiers = 0;
  Freed<xcb_input_xi_passive_grab_device_reply_t> reply{xcb_input_xi_passive_grab_device_reply(
      c,
      xcb_input_xi_passive_grab_device(c, XCB_CURRENT_TIME, connection_->root, XCB_NONE,
                                       keycode(keysym), XCB_INPUT_DEVICE_ALL_MASTER, 1, 1,
                                       XCB_INPUT_GRAB_TYPE_KEYCODE, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                       XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_OWNER_NO_OWNER,
                                       &mask, &modifiers),
      nullptr)};
  return reply && reply->num_modifiers == 0;
}

void XTestKeyboard::ungrabWithXInput2(xcb_keysym_t keysym) {
  const std::uint32_t modifiers = 0;
  xcb_input_xi_passive_ungrab_device(connection_->connection, connection_->root, keycode(keysym),
                                     XCB_INPUT_DEVICE_ALL_MASTER, 1, XCB_INPUT_GRAB_TYPE_KEYCODE,
                                     &modifiers);
  sync();
}

bool XTestKeyboard::isFreeToGrab(xcb_keysym_t keysym) {
  if (!grab(keysym)) {
    return false;
  }
  ungrab(keysym);
  return true;
}

KeyGrabber::KeyGrabber(const std::string& displayName, xcb_keysym_t keysym, Kind kind)
    : connection_(std::make_unique<XTestKeyboard>(displayName)), keysym_(keysym), kind_(kind) {
  holds_ = kind == Kind::core ? connection_->grab(keysym) : connection_->grabWithXInput2(keysym);
}

KeyGrabber::~KeyGrabber() = default;

void KeyGrabber::release() {
  // Ungrabbed and synced first: the server may notice the closed connection only later.
  if (connection_ && holds_) {
    if (kind_ == Kind::core) {
      connection_->ungrab(keysym_);
    } else {
      connection_->ungrabWithXInput2(keysym_);
    }
  }
  connection_.reset();
  holds_ = false;
}

}  // namespace tonvara::testing
