#include "VirtualClock.h"

#include <algorithm>

namespace tonvara::testing {

VirtualClock::Duration VirtualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::schedule(Duration delay, WorkQueue::Job job) {
  std::lock_guard lock(mutex_);
  jobs_.push_back(Entry{now_ + std::max(delay, Duration::zero()), nextSequence_++, std::move(job)});
}

std::size_t VirtualClock::pendingJobs() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}

bool VirtualClock::runOneDueBy(Duration limit) {
  WorkQueue::Job job;
  {
    std::lock_guard lock(mutex_);
    auto next = std::min_element(jobs_.begin(), jobs_.end(), [](const Entry& a, const Entry& b) {
      return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    if (next == jobs_.end() || next->due > limit) {
      return false;
    }
    now_ = std::max(now_, next->due);
    job = std::move(next->job);
    jobs_.erase(next);
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
