#pragma once

#include <memory>
#include <optional>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::linux_desktop {

// Media keys the desktop delivers (see DeliveredKeys.h) in place of an event tap: each delivered
// key reaches the tap's callback on its thread as a system-defined media-key event (type 14,
// subtype 8, key down). The callback's answer changes nothing, as the desktop already consumed
// the key. A tap is refused, and the process counts as untrusted, while no channel is open.
class DesktopEventTapPlatform final : public EventTapPlatform {
 public:
  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                               EventTapPlacement placement, EventTapOptions options,
                                               EventMask mask, EventTapCallBack callback,
                                               void* userInfo) override;
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) override;
  // A loop that waits on its taps' inboxes; one per thread.
  std::shared_ptr<RunLoop> currentRunLoop() override;
  void enableTap(EventTapPort& port, bool enable) override;
  bool isProcessTrusted() override;
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override;
};

}  // namespace tonvara::linux_desktop
