#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "FileDescriptor.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "MediaKeyMap.h"
#include "PressTracker.h"
#include "XcbConnection.h"

namespace tonvara::linux_x11 {

// The system-defined event a grabbed media key becomes for the callback.
struct X11SystemDefinedEvent {
  std::int16_t subtype = 0;
  std::int64_t data1 = 0;
};

class X11RunLoop;

// A tap port: its own X connection holding passive grabs of the media keys. Each grabbed press
// freezes the display's keyboard until answered, so every press is answered within
// kAnswerBudget: a decision that takes longer lets the key pass (its late answer is dropped).
class X11EventTap final : public EventTapPort {
 public:
  static constexpr std::chrono::milliseconds kAnswerBudget{200};

  // Grabs the media keys; nullptr when the display is unreachable or a grab is refused.
  static std::shared_ptr<X11EventTap> create(const std::optional<std::string>& displayName,
                                             EventTapCallBack callback, void* userInfo);
  // Construction goes through create(); the key keeps it that way.
  class CreateKey {
    friend class X11EventTap;
    CreateKey() = default;
  };
  X11EventTap(CreateKey key, XcbDisplay display, EventTapCallBack callback, void* userInfo);
  ~X11EventTap() override = default;

  X11EventTap(const X11EventTap&) = delete;
  X11EventTap& operator=(const X11EventTap&) = delete;

  // Any thread. Off, the tap holds no grab and passes whatever it still receives.
  void setEnabled(bool enable);
  // Whether the tap is on and holds every grab on a live connection.
  bool holdsKeys() const;

  // What the run loop waits on: the X connection (-1 once lost) and a wake-up signal raised
  // when another thread may have left events in the connection's queue.
  int connectionFd() const;
  int wakeFd() const { return wake_.fd(); }
  // The loop's reader thread only: answers every key event that has arrived; the callback runs
  // on the loop's own thread.
  void dispatch(X11RunLoop& loop);

 private:
  void listenForMappingChanges();
  void listenForReleases();
  bool installGrabs();  // grabLock_ held
  void removeGrabs();   // grabLock_ held
  std::shared_ptr<const MediaKeyMap> keyMap() const;

  void handleEvent(const xcb_generic_event_t& event, X11RunLoop& loop, bool& mappingChanged);
  void handleKeyPress(const xcb_key_press_event_t& event, X11RunLoop& loop);
  void handleKeyRelease(const xcb_key_release_event_t& event, X11RunLoop& loop);
  void regrabAfterMappingChange(X11RunLoop& loop);
  void handleConnectionLoss(X11RunLoop& loop);
  // On the loop's thread; true when the callback swallowed the event.
  std::function<bool()> delivery(std::int64_t data1) const;
  void deliverDisabled(X11RunLoop& loop) const;

  XcbDisplay display_;
  xcb_connection_t* const connection_;
  const EventTapCallBack callback_;
  void* const userInfo_;
  linux_common::WakeSignal wake_;
  std::optional<std::uint8_t> xkbFirstEvent_;
  std::optional<std::uint8_t> xinputOpcode_;

  mutable std::mutex grabLock_;  // serialises grabbing and ungrabbing
  std::vector<KeyCombo> grabbed_;
  mutable std::mutex mapLock_;
  std::shared_ptr<const MediaKeyMap> keyMap_;
  std::atomic<bool> enabled_{true};
  std::atomic<bool> lost_{false};

  PressTracker presses_;  // reader thread only
};

}  // namespace tonvara::linux_x11
