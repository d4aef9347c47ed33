#include "VirtualClock.h"

namespace tonvara::testing {

void VirtualClock::runDueBy(Duration limit) {
  std::unique_lock lock(mutex_);
  while (!jobs_.empty() && jobs_.begin()->first.first <= limit) {
    now_ = std::max(now_, jobs_.begin()->first.first);
    auto job = std::move(jobs_.begin()->second);
    jobs_.erase(jobs_.begin());
    lock.unlock();
    job();  // may schedule more
    lock.lock();
  }
}

}  // namespace tonvara::testing
