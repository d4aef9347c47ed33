#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::testing {

// An event as the fake system delivers it. `fields` is empty for an event the platform's event
// object cannot read.
struct FakeEvent {
  std::uint32_t type = kSystemDefinedEventType;
  std::optional<SystemDefinedEventFields> fields;
};

// data1 of a system-defined media-key event: code << 16 | state << 8 | flags.
constexpr std::int64_t mediaKeyData1(std::int64_t keyCode, bool down, bool repeat = false) {
  return (keyCode << 16) | ((down ? 0x0A : 0x0B) << 8) | (repeat ? 1 : 0);
}

FakeEvent mediaKeyEvent(std::int64_t keyCode, bool down, bool repeat = false);

// What became of a posted event.
enum class PostOutcome {
  noTap,      // no enabled tap saw it; it went on as if no tap existed
  passed,     // the tap returned the very event it was given
  swallowed,  // the tap dropped it
  replaced,   // the tap returned some other event (never right)
};

// A scriptable stand-in for the system's event-tap services. Events posted here are delivered
// on the thread running the tap's run loop; the poster waits for the answer.
class FakeEventTapPlatform final : public EventTapPlatform {
 public:
  FakeEventTapPlatform();
  ~FakeEventTapPlatform() override;

  // Trust can change at any time. An untrusted process is refused new taps.
  void setTrusted(bool trusted);
  // Refuse new taps even while trusted.
  void setRefuseTaps(bool refuse);
  // Runs on the tap thread right before its run loop starts, once per run loop.
  void setBeforeRun(std::function<void()> hook);

  PostOutcome post(const FakeEvent& event);
  PostOutcome postMediaKey(std::int64_t keyCode, bool down, bool repeat = false);
  // The system switches the newest tap off and tells it so with `notification`
  // (kEventTapDisabledByTimeout or kEventTapDisabledByUserInput).
  PostOutcome disableTap(std::uint32_t notification);

  int tapsCreated() const;
  int trustChecks() const;
  // Whether the newest tap exists and is switched on.
  bool isTapEnabled() const;
  // Whether the newest tap's source is attached to a live run loop.
  bool isTapAttached() const;
  // The options of the last creation request.
  struct CreateRequest {
    EventTapLocation location;
    EventTapPlacement placement;
    EventTapOptions options;
    EventMask mask;
  };
  std::optional<CreateRequest> lastCreateRequest() const;
  // How many of the run loops handed out are still inside run().
  int runningLoops() const;

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

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace tonvara::testing
