#include "VirtualClock.h"

#include <algorithm>

namespace tonvara::testing {

VirtualClock::Duration VirtualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::schedule(Duration delay, WorkQueue::Job job) {
  std::lock_guard lock(mutex_);
  jobs_.emplace(std::pair(now_ + std::max(delay, Duration::zero()), arrivals_++), std::move(job));
}

bool VirtualClock::runOneDueBy(Duration limit) {
  WorkQueue::Job job;
  {
    std::lock_guard lock(mutex_);
    if (jobs_.empty() || jobs_.begin()->first.first > limit) {
      return false;
    }
    now_ = std::max(now_, jobs_.begin()->first.first);
    job = std::move(jobs_.begin()->second);
    jobs_.erase(jobs_.begin());
  }
  job();
  return true;
}

void VirtualClock::advanceBy(Duration span) {
  const Duration limit = now() + span;
  while (runOneDueBy(limit)) {
  }
  std::lock_guard lock(mutex_);
  now_ = std::max(now_, limit);
}

std::size_t VirtualClock::runUntilIdle(std::size_t maxJobs) {
  std::size_t ran = 0;
  while (ran < maxJobs && runOneDueBy(Duration::max())) {
    ++ran;
  }
  return ran;
}

}  // namespace tonvara::testing
