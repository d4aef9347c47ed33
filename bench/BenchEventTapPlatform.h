#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::bench {

// An event as this platform delivers it: `systemDefinedFields` reads it back unchanged.
struct BenchEvent {
  SystemDefinedEventFields fields;
};

// Event-tap services that deliver nothing by themselves: they keep the callback and its user
// data so that a benchmark can call the installed tap's callback on its own thread, exactly as
// the system would on the tap thread.
class BenchEventTapPlatform final : public EventTapPlatform {
 public:
  struct InstalledCallBack {
    EventTapCallBack callBack = nullptr;
    void* userInfo = nullptr;
  };

  // The callback of the newest tap, or nothing before the first one is created.
  std::optional<InstalledCallBack> installedCallBack() const;

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

 private:
  mutable std::mutex mutex_;
  std::optional<InstalledCallBack> installed_;
};

}  // namespace tonvara::bench
