#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::testing {

// An event as the fake system delivers it; `fields` is empty for one that cannot be read.
struct FakeEvent {
  std::uint32_t type = kSystemDefinedEventType;
  std::optional<SystemDefinedEventFields> fields;
};

// A media-key event: data1 is code << 16 | state << 8 | flags (bit 0: auto-repeat).
FakeEvent mediaKeyEvent(std::int64_t keyCode, bool down, bool repeat = false);

// What became of a posted event: no enabled tap saw it, the tap returned the very event,
// dropped it, or returned some other event (never right).
enum class PostOutcome { noTap, passed, swallowed, replaced };

// A stand-in for the system's event-tap services. Posted events are delivered on the thread
// running the newest tap's run loop; the poster waits for the answer.
class FakeEventTapPlatform final : public EventTapPlatform {
 public:
  // An untrusted process, or a refusing system, gets no new tap.
  void setTrusted(bool trusted) { trusted_ = trusted; }
  void setRefuseTaps(bool refuse) { refuse_ = refuse; }

  PostOutcome post(const FakeEvent& event);
  PostOutcome postMediaKey(std::int64_t keyCode, bool down, bool repeat = false) {
    return post(mediaKeyEvent(keyCode, down, repeat));
  }
  // The system switches the newest tap off and tells it with `notification`.
  PostOutcome disableTap(std::uint32_t notification);

  int tapsCreated() const { return tapsCreated_; }
  int trustChecks() const { return trustChecks_; }
  bool isTapEnabled() const;  // the newest tap exists and is on

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
  PostOutcome deliver(const FakeEvent& event, bool disable);

  mutable std::mutex mutex_;
  std::weak_ptr<EventTapPort> newestPort_;
  std::weak_ptr<RunLoop> newestLoop_;
  std::atomic<bool> trusted_{true}, refuse_{false};
  std::atomic<int> tapsCreated_{0}, trustChecks_{0};
};

}  // namespace tonvara::testing
