#pragma once

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::mac {

// Quartz event services: CGEventTapCreate and friends, one to one.
class MacEventTapPlatform final : public EventTapPlatform {
 public:
  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                               EventTapPlacement placement, EventTapOptions options,
                                               EventMask mask, EventTapCallBack callback,
                                               void* userInfo) override;
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) override;
  std::shared_ptr<RunLoop> currentRunLoop() override;
  void enableTap(EventTapPort& port, bool enable) override;
  bool isProcessTrusted() override;
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override;
};

}  // namespace tonvara::mac
