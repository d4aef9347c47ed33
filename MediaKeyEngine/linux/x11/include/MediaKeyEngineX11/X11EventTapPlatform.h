#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::linux_x11 {

class X11EventTap;

// Media-key capture on an X11 display. Passive grabs of the media keys on the root window stand
// in for the event tap: each grabbed key event reaches the callback as a system-defined
// media-key event (type 14, subtype 8), and the callback's answer takes the key or replays it
// to the focused window as if no grab existed.
class X11EventTapPlatform final : public EventTapPlatform {
 public:
  // No display name: the one $DISPLAY names.
  explicit X11EventTapPlatform(std::optional<std::string> displayName = std::nullopt);
  ~X11EventTapPlatform() override;

  // Whether key grabs can serve on the display: it answers and is a real X server, not a
  // Wayland session's compatibility server (which never sees other clients' keys).
  static bool canServe(const std::optional<std::string>& displayName = std::nullopt);

  X11EventTapPlatform(const X11EventTapPlatform&) = delete;
  X11EventTapPlatform& operator=(const X11EventTapPlatform&) = delete;

  // Grabs the media keys; nullptr when the display is unreachable or another client holds one
  // of them (no grab is left behind then). Only system-defined events are delivered.
  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                               EventTapPlacement placement, EventTapOptions options,
                                               EventMask mask, EventTapCallBack callback,
                                               void* userInfo) override;
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) override;
  // A loop that waits on the X connections of its sources; one per thread.
  std::shared_ptr<RunLoop> currentRunLoop() override;
  // Switched off, a tap holds no grab and every key flows as if it did not exist.
  void enableTap(EventTapPort& port, bool enable) override;
  // Whether this process can capture the media keys now: the display is reachable, it is not
  // a Wayland session's compatibility server, and either a tap of ours holds the keys or a
  // short probe grab on a separate connection succeeds.
  bool isProcessTrusted() override;
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override;

 private:
  bool anyTapHoldsKeys();

  const std::optional<std::string> displayName_;
  std::mutex tapsLock_;
  std::vector<std::weak_ptr<X11EventTap>> taps_;
};

}  // namespace tonvara::linux_x11
