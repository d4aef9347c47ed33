#include "FakeEventTapPlatform.h"

#include <future>

#include "BasicRunLoop.h"

namespace tonvara::testing {

namespace {

struct FakePort final : EventTapPort {
  FakePort(EventTapCallBack callback, void* userInfo) : callback(callback), userInfo(userInfo) {}
  const EventTapCallBack callback;
  void* const userInfo;
  std::atomic<bool> enabled{false};
};

}  // namespace

FakeEvent mediaKeyEvent(std::int64_t keyCode, bool down, bool repeat) {
  const std::int64_t data1 = (keyCode << 16) | ((down ? 0x0A : 0x0B) << 8) | (repeat ? 1 : 0);
  return FakeEvent{kSystemDefinedEventType, SystemDefinedEventFields{8, data1}};
}

PostOutcome FakeEventTapPlatform::post(const FakeEvent& event) { return deliver(event, false); }

PostOutcome FakeEventTapPlatform::disableTap(std::uint32_t notification) {
  return deliver(FakeEvent{notification, std::nullopt}, true);
}

// Runs the newest port's callback on its loop's thread and waits for the answer.
PostOutcome FakeEventTapPlatform::deliver(const FakeEvent& event, bool disable) {
  std::shared_ptr<FakePort> port;
  std::shared_ptr<detail::BasicRunLoop> loop;
  {
    std::lock_guard lock(mutex_);
    port = std::static_pointer_cast<FakePort>(newestPort_.lock());
    loop = std::static_pointer_cast<detail::BasicRunLoop>(newestLoop_.lock());
  }
  if (!port || !loop || !(port->enabled || disable)) {
    return PostOutcome::noTap;
  }
  port->enabled = port->enabled && !disable;
  auto copy = std::make_shared<FakeEvent>(event);
  auto answer = std::make_shared<std::promise<EventRef>>();
  auto future = answer->get_future();
  // Only the queued work owns the promise, so work dropped by a stopping loop breaks it.
  if (!loop->perform([port, copy, answer = std::move(answer)] {
        answer->set_value(port->callback(copy->type, copy.get(), port->userInfo));
      })) {
    return PostOutcome::noTap;
  }
  try {
    const EventRef returned = future.get();
    if (returned == nullptr) {
      return PostOutcome::swallowed;
    }
    return returned == copy.get() ? PostOutcome::passed : PostOutcome::replaced;
  } catch (const std::future_error&) {
    return PostOutcome::noTap;  // the loop stopped before it reached the event
  }
}

bool FakeEventTapPlatform::isTapEnabled() const {
  std::lock_guard lock(mutex_);
  const auto port = std::static_pointer_cast<FakePort>(newestPort_.lock());
  return port && port->enabled;
}

std::shared_ptr<EventTapPort> FakeEventTapPlatform::createEventTap(
    EventTapLocation /*location*/, EventTapPlacement /*placement*/, EventTapOptions /*options*/,
    EventMask /*mask*/, EventTapCallBack callback, void* userInfo) {
  if (!trusted_ || refuse_) {
    return nullptr;
  }
  ++tapsCreated_;
  auto port = std::make_shared<FakePort>(callback, userInfo);
  std::lock_guard lock(mutex_);
  newestPort_ = port;
  return port;
}

std::shared_ptr<RunLoopSource> FakeEventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& /*port*/) {
  return std::make_shared<RunLoopSource>();
}

// Asked by each tap thread for its own loop, after its port was created.
std::shared_ptr<RunLoop> FakeEventTapPlatform::currentRunLoop() {
  auto loop = std::make_shared<detail::BasicRunLoop>();
  std::lock_guard lock(mutex_);
  newestLoop_ = loop;
  return loop;
}

void FakeEventTapPlatform::enableTap(EventTapPort& port, bool enable) {
  dynamic_cast<FakePort&>(port).enabled = enable;
}

bool FakeEventTapPlatform::isProcessTrusted() {
  ++trustChecks_;
  return trusted_;
}

std::optional<SystemDefinedEventFields> FakeEventTapPlatform::systemDefinedFields(EventRef event) {
  return static_cast<const FakeEvent*>(event)->fields;
}

}  // namespace tonvara::testing
