#pragma once

#include <atomic>
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

// What became of a posted event; `replaced`: the tap returned another event (never right).
enum class PostOutcome { noTap, passed, swallowed, replaced };

// Posted events run the newest tap's callback on its run loop's thread; the poster waits.
class FakeEventTapPlatform final : public EventTapPlatform {
 public:
  void setTrusted(bool trusted) { trusted_ = trusted; }
  void setRefuseTaps(bool refuse) { refuse_ = refuse; }  // an untrusted process is refused too
  PostOutcome post(const FakeEvent& event) { return deliver(event, false); }
  // A media-key event: data1 is code << 16 | state << 8 | flags (bit 0: auto-repeat).
  PostOutcome postMediaKey(std::int64_t code, bool down, bool repeat = false) {
    return post({14, SystemDefinedEventFields{8, code << 16 | (down ? 0xA00 : 0xB00) | repeat}});
  }
  // The system switches the newest tap off and tells it with `notification`.
  PostOutcome disableTap(std::uint32_t notification) { return deliver({notification, {}}, true); }
  int tapsCreated() const { return tapsCreated_; }
  int trustChecks() const { return trustChecks_; }

  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation /*location*/,
                                               EventTapPlacement /*placement*/,
                                               EventTapOptions /*options*/, EventMask /*mask*/,
                                               EventTapCallBack callback, void* userInfo) override {
    if (!trusted_ || refuse_) {
      return nullptr;
    }
    ++tapsCreated_;
    auto port = std::make_shared<Port>(callback, userInfo);
    std::lock_guard lock(mutex_);
    newestPort_ = port;
    return port;
  }
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& /*port*/) override {
    return std::make_shared<RunLoopSource>();
  }
  std::shared_ptr<RunLoop> currentRunLoop() override;
  void enableTap(EventTapPort& port, bool enable) override {
    dynamic_cast<Port&>(port).enabled = enable;
  }
  bool isProcessTrusted() override {
    ++trustChecks_;
    return trusted_;
  }
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override {
    return static_cast<const FakeEvent*>(event)->fields;
  }

 private:
  struct Port final : EventTapPort {
    Port(EventTapCallBack callback, void* userInfo) : callback(callback), userInfo(userInfo) {}
    const EventTapCallBack callback;
    void* const userInfo;
    std::atomic<bool> enabled{false};
  };
  PostOutcome deliver(const FakeEvent& event, bool disable);

  mutable std::mutex mutex_;
  std::weak_ptr<Port> newestPort_;
  std::weak_ptr<RunLoop> newestLoop_;
  std::atomic<bool> trusted_{true}, refuse_{false};
  std::atomic<int> tapsCreated_{0}, trustChecks_{0};
};

}  // namespace tonvara::testing
