#include "FakeEventTapPlatform.h"

#include <future>

#include "BasicRunLoop.h"

namespace tonvara::testing {

PostOutcome FakeEventTapPlatform::deliver(const FakeEvent& event, bool disable) {
  std::unique_lock lock(mutex_);
  const auto port = newestPort_.lock();
  const auto loop = std::static_pointer_cast<detail::BasicRunLoop>(newestLoop_.lock());
  lock.unlock();
  if (!port || !loop || !(port->enabled || disable)) {
    return PostOutcome::noTap;
  }
  port->enabled = port->enabled && !disable;
  auto copy = std::make_shared<FakeEvent>(event);
  auto answer = std::make_shared<std::promise<EventRef>>();
  auto future = answer->get_future();
  // Only the queued work owns the promise: work dropped by a stopping loop breaks it.
  if (!loop->perform([port, copy, answer = std::move(answer)] {
        answer->set_value(port->callback(copy->type, copy.get(), port->userInfo));
      })) {
    return PostOutcome::noTap;
  }
  try {
    const EventRef returned = future.get();
    return returned == nullptr      ? PostOutcome::swallowed
           : returned == copy.get() ? PostOutcome::passed
                                    : PostOutcome::replaced;
  } catch (const std::future_error&) {
    return PostOutcome::noTap;  // the loop stopped before it reached the event
  }
}

// Asked by each tap thread for its own loop, after its port was created.
std::shared_ptr<RunLoop> FakeEventTapPlatform::currentRunLoop() {
  auto loop = std::make_shared<detail::BasicRunLoop>();
  std::lock_guard lock(mutex_);
  newestLoop_ = loop;
  return loop;
}

}  // namespace tonvara::testing
