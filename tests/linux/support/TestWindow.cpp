#include "TestWindow.h"

#include <cstdlib>
#include <stdexcept>

#include "ChildProcess.h"

namespace tonvara::testing {

namespace {

constexpr std::uint32_t kStopMessage = 0x544F5053;  // tells the reader thread to end

struct FreeEvent {
  void operator()(void* event) const { std::free(event); }  // NOLINT: xcb allocates with malloc
};
using EventPtr = std::unique_ptr<xcb_generic_event_t, FreeEvent>;

EventPtr waitForEventOfType(xcb_connection_t* connection, std::uint8_t type) {
  while (EventPtr event{xcb_wait_for_event(connection)}) {
    if ((event->response_type & 0x7F) == type) {
      return event;
    }
  }
  return nullptr;
}

}  // namespace

TestWindow::TestWindow(const std::string& displayName) {
  int screenNumber = 0;
  connection_ = xcb_connect(displayName.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot connect to " + displayName);
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  window_ = xcb_generate_id(connection_);
  const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                               XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0,
                    screen->width_in_pixels, screen->height_in_pixels, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
  xcb_map_window(connection_, window_);
  xcb_flush(connection_);
  if (!waitForEventOfType(connection_, XCB_MAP_NOTIFY)) {
    xcb_disconnect(connection_);
    throw std::runtime_error("the test window was not mapped");
  }
  // No window manager: focus follows the pointer unless set. Both point at the window.
  xcb_warp_pointer(connection_, XCB_NONE, window_, 0, 0, 0, 0, 10, 10);
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
  xcb_flush(connection_);
  if (!waitForEventOfType(connection_, XCB_FOCUS_IN)) {
    xcb_disconnect(connection_);
    throw std::runtime_error("the test window did not get the focus");
  }
  reader_ = std::thread([this] { readEvents(); });
}

TestWindow::~TestWindow() {
  xcb_client_message_event_t stop{};
  stop.response_type = XCB_CLIENT_MESSAGE;
  stop.format = 32;
  stop.window = window_;
  stop.type = XCB_ATOM_NONE;
  stop.data.data32[0] = kStopMessage;
  xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&stop));
  xcb_flush(connection_);
  // A dead server ends the reader as well: xcb_wait_for_event then returns nothing.
  reader_.join();
  xcb_disconnect(connection_);
}

void TestWindow::readEvents() {
  while (EventPtr event{xcb_wait_for_event(connection_)}) {
    const auto type = event->response_type & 0x7F;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
      std::lock_guard lock(mutex_);
      keys_.push_back({type == XCB_KEY_PRESS, key->detail, key->state});
    } else if (type == XCB_CLIENT_MESSAGE &&
               reinterpret_cast<const xcb_client_message_event_t*>(event.get())->data.data32[0] ==
                   kStopMessage) {
      return;
    }
  }
}

std::vector<ReceivedKey> TestWindow::keys() const {
  std::lock_guard lock(mutex_);
  return keys_;
}

void TestWindow::clear() {
  std::lock_guard lock(mutex_);
  keys_.clear();
}

bool TestWindow::waitForRelease(xcb_keycode_t keycode, std::chrono::milliseconds timeout) {
  return waitFor(
      [&] {
        std::lock_guard lock(mutex_);
        for (const auto& key : keys_) {
          if (!key.press && key.keycode == keycode) {
            return true;
          }
        }
        return false;
      },
      timeout);
}

}  // namespace tonvara::testing
