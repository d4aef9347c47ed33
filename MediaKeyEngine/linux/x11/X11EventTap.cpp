#include "X11EventTap.h"

#include <xcb/xinput.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "KeyGrabs.h"
#include "X11RunLoop.h"
#include "XcbXkb.h"

namespace tonvara::linux_x11 {

namespace {

constexpr std::int16_t kAuxControlButtonsSubtype = 8;
constexpr std::int64_t kKeyDownState = 0x0A;
constexpr std::int64_t kKeyUpState = 0x0B;
constexpr std::int64_t kRepeatFlag = 0x01;

constexpr std::int64_t mediaKeyData1(std::int64_t keyCode, std::int64_t state, bool repeat) {
  return (keyCode << 16) | (state << 8) | (repeat ? kRepeatFlag : 0);
}

}  // namespace

std::shared_ptr<X11EventTap> X11EventTap::create(const std::optional<std::string>& displayName,
                                                 EventTapCallBack callback, void* userInfo) {
  auto display = connectToDisplay(displayName);
  if (!display || isXwayland(display->connection.get())) {
    return nullptr;
  }
  auto tap = std::make_shared<X11EventTap>(CreateKey{}, std::move(*display), callback, userInfo);
  tap->listenForMappingChanges();
  tap->listenForReleases();
  std::lock_guard grab(tap->grabLock_);
  if (!tap->installGrabs()) {
    return nullptr;
  }
  return tap;
}

X11EventTap::X11EventTap(CreateKey /*key*/, XcbDisplay display, EventTapCallBack callback,
                         void* userInfo)
    : display_(std::move(display)),
      connection_(display_.connection.get()),
      callback_(callback),
      userInfo_(userInfo),
      keyMap_(std::make_shared<const MediaKeyMap>()) {}

void X11EventTap::listenForMappingChanges() {
  const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection_, &xcb_xkb_id);
  if (xkb == nullptr || xkb->present == 0) {
    return;
  }
  XcbPtr<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
      connection_, xcb_xkb_use_extension(connection_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
      nullptr));
  if (!use || use->supported == 0) {
    return;
  }
  // Auto-repeats then arrive as presses without releases in between: a press of a key that is
  // already down is a repeat.
  XcbPtr<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
      connection_,
      xcb_xkb_per_client_flags(connection_, XCB_XKB_ID_USE_CORE_KBD,
                               XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                               XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
      nullptr));
  // Clients using XKB are not always sent the core MappingNotify; ask for XKB's own.
  constexpr std::uint16_t kEvents =
      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0, kEvents, 0xFFFF, 0xFFFF,
                        nullptr);
  xkbFirstEvent_ = xkb->first_event;
}

void X11EventTap::listenForReleases() {
  // A replayed press goes to the focused window, and so does its release: only XInput2's raw
  // events, which every client may see, tell us that a passed key has come up.
  if (!useXInput2(connection_)) {
    return;
  }
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
  if (requestSucceeded(connection_, xcb_input_xi_select_events_checked(connection_, display_.root,
                                                                       1, &mask.head))) {
    xinputOpcode_ = xcb_get_extension_data(connection_, &xcb_input_id)->major_opcode;
  }
}

bool X11EventTap::installGrabs() {
  auto map = std::make_shared<const MediaKeyMap>(MediaKeyMap::read(connection_));
  auto combos = map->grabCombos();
  {
    std::lock_guard lock(mapLock_);
    keyMap_ = std::move(map);
  }
  if (!grabKeys(connection_, display_.root, combos, KeyboardMode::freezeUntilAnswered)) {
    return false;
  }
  grabbed_ = std::move(combos);
  return true;
}

void X11EventTap::removeGrabs() {
  if (grabbed_.empty()) {
    return;
  }
  ungrabKeys(connection_, display_.root, grabbed_);
  grabbed_.clear();
}

std::shared_ptr<const MediaKeyMap> X11EventTap::keyMap() const {
  std::lock_guard lock(mapLock_);
  return keyMap_;
}

void X11EventTap::setEnabled(bool enable) {
  {
    std::lock_guard grab(grabLock_);
    if (enable) {
      if (grabbed_.empty() && !lost_) {
        installGrabs();
      }
      enabled_ = true;
    } else {
      // Off first: a press already frozen behind a grab is then replayed, not decided.
      enabled_ = false;
      removeGrabs();
    }
  }
  // Waiting for the grabs' replies may have queued events that the run loop must answer.
  wake_.signal();
}

bool X11EventTap::holdsKeys() const {
  std::lock_guard grab(grabLock_);
  return enabled_ && !lost_ && !grabbed_.empty() && xcb_connection_has_error(connection_) == 0;
}

int X11EventTap::connectionFd() const { return lost_ ? -1 : xcb_get_file_descriptor(connection_); }

void X11EventTap::dispatch(X11RunLoop& loop) {
  wake_.drain();
  if (lost_) {
    return;
  }
  for (;;) {
    bool mappingChanged = false;
    while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
      handleEvent(*event, loop, mappingChanged);
    }
    if (!mappingChanged) {
      break;
    }
    regrabAfterMappingChange(loop);
  }
  if (xcb_connection_has_error(connection_) != 0) {
    handleConnectionLoss(loop);
  }
}

void X11EventTap::handleEvent(const xcb_generic_event_t& event, X11RunLoop& loop,
                              bool& mappingChanged) {
  const auto type = static_cast<std::uint8_t>(event.response_type & 0x7F);
  // Sent with SendEvent by some client: no grab froze anything for it.
  const bool synthetic = (event.response_type & 0x80) != 0;
  switch (type) {
    case XCB_KEY_PRESS:
      if (!synthetic) {
        handleKeyPress(reinterpret_cast<const xcb_key_press_event_t&>(event), loop);
      }
      return;
    case XCB_KEY_RELEASE:
      if (!synthetic) {
        handleKeyRelease(reinterpret_cast<const xcb_key_release_event_t&>(event), loop);
      }
      return;
    case XCB_MAPPING_NOTIFY:
      if (reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request !=
          XCB_MAPPING_POINTER) {
        mappingChanged = true;
      }
      return;
    case XCB_GE_GENERIC: {
      const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
      if (xinputOpcode_ && generic.extension == *xinputOpcode_ &&
          generic.event_type == XCB_INPUT_RAW_KEY_RELEASE) {
        const auto& raw = reinterpret_cast<const xcb_input_raw_key_release_event_t&>(event);
        presses_.released(static_cast<std::uint8_t>(raw.detail));
      }
      return;
    }
    default:
      if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        const auto xkbType = event.pad0;  // XKB's own event type sits in the second byte
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) {
          mappingChanged = true;
        }
      }
      return;
  }
}

void X11EventTap::handleKeyPress(const xcb_key_press_event_t& event, X11RunLoop& loop) {
  const auto held = presses_.heldAnswer(event.detail);
  const auto keyCode = keyMap()->mediaKeyCode(event.detail, event.state);
  auto answer = held.value_or(PressTracker::Answer::pass);
  if (keyCode && enabled_) {
    auto deliver = delivery(mediaKeyData1(*keyCode, kKeyDownState, held.has_value()));
    if (held) {
      // A repeat keeps its press's answer: the window must see all of a press or none of it.
      loop.post([deliver = std::move(deliver)] { deliver(); });
    } else {
      const auto swallowed = loop.ask(std::move(deliver), X11RunLoop::Clock::now() + kAnswerBudget);
      answer = swallowed.value_or(false) ? PressTracker::Answer::take : PressTracker::Answer::pass;
    }
  }
  xcb_allow_events(
      connection_,
      answer == PressTracker::Answer::take ? XCB_ALLOW_ASYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD,
      event.time);
  xcb_flush(connection_);
  // A passed press is remembered only when its release, which goes to the window, can be seen.
  if (!held && keyCode && (answer == PressTracker::Answer::take || xinputOpcode_)) {
    presses_.pressed(event.detail, answer);
  }
}

void X11EventTap::handleKeyRelease(const xcb_key_release_event_t& event, X11RunLoop& loop) {
  // Only releases of taken presses come here; whatever the callback says, they stay with us.
  presses_.released(event.detail);
  const auto keyCode = keyMap()->mediaKeyCode(event.detail, event.state);
  if (keyCode && enabled_) {
    loop.post([deliver = delivery(mediaKeyData1(*keyCode, kKeyUpState, false))] { deliver(); });
  }
}

void X11EventTap::regrabAfterMappingChange(X11RunLoop& loop) {
  bool refused = false;
  {
    std::lock_guard grab(grabLock_);
    if (grabbed_.empty()) {
      return;
    }
    auto map = std::make_shared<const MediaKeyMap>(MediaKeyMap::read(connection_));
    auto combos = map->grabCombos();
    {
      std::lock_guard lock(mapLock_);
      keyMap_ = std::move(map);
    }
    // XTest and hot-plugged keyboards announce "new" keymaps that are often the same: only a
    // real move touches the grabs, and never leaves a moment without them.
    if (combos != grabbed_) {
      // Grabbing a combo we already hold just renews it.
      if (grabKeys(connection_, display_.root, combos, KeyboardMode::freezeUntilAnswered)) {
        std::vector<KeyCombo> stale;
        std::copy_if(grabbed_.begin(), grabbed_.end(), std::back_inserter(stale),
                     [&](const KeyCombo& old) {
                       return std::find(combos.begin(), combos.end(), old) == combos.end();
                     });
        if (!stale.empty()) {
          ungrabKeys(connection_, display_.root, stale);
        }
        grabbed_ = std::move(combos);
      } else {
        removeGrabs();
        refused = true;
      }
    }
  }
  // Someone else holds a key at its new place: as if the system had switched the tap off.
  if (refused && enabled_.exchange(false)) {
    deliverDisabled(loop);
  }
}

void X11EventTap::handleConnectionLoss(X11RunLoop& loop) {
  if (lost_.exchange(true)) {
    return;
  }
  {
    std::lock_guard grab(grabLock_);
    grabbed_.clear();
  }
  presses_.clear();
  if (enabled_.exchange(false)) {
    deliverDisabled(loop);
  }
}

std::function<bool()> X11EventTap::delivery(std::int64_t data1) const {
  // Copies only: the job may run after this tap is gone, never after the loop's thread.
  return [callback = callback_, userInfo = userInfo_, data1] {
    X11SystemDefinedEvent event{kAuxControlButtonsSubtype, data1};
    return callback(kSystemDefinedEventType, &event, userInfo) == nullptr;
  };
}

void X11EventTap::deliverDisabled(X11RunLoop& loop) const {
  loop.post([callback = callback_, userInfo = userInfo_] {
    X11SystemDefinedEvent event{};
    callback(kEventTapDisabledByUserInput, &event, userInfo);
  });
}

}  // namespace tonvara::linux_x11
