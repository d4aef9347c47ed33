#pragma once

#include <algorithm>
#include <map>
#include <mutex>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::testing {

// Time that moves only when told; jobs of its VirtualQueues run on the test's thread, in order.
class VirtualClock {
 public:
  using Duration = WorkQueue::Duration;

  Duration now() const {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void schedule(Duration delay, WorkQueue::Job job) {
    std::lock_guard lock(mutex_);
    jobs_.emplace(std::pair(now_ + std::max(delay, Duration::zero()), arrivals_++), std::move(job));
  }
  // Runs every job due within `span` from now, then sets the clock to now + span.
  void advanceBy(Duration span) {
    const Duration limit = now() + span;
    runDueBy(limit);
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, limit);
  }
  void runUntilIdle() { runDueBy(Duration::max()); }  // moves time to each job

 private:
  void runDueBy(Duration limit);

  mutable std::mutex mutex_;
  Duration now_{};
  std::size_t arrivals_ = 0;
  std::map<std::pair<Duration, std::size_t>, WorkQueue::Job> jobs_;
};

class VirtualQueue final : public SerialWorkQueue {
 public:
  explicit VirtualQueue(VirtualClock& clock) : clock_(clock) {}
  void async(Job job) override { clock_.schedule(Duration::zero(), std::move(job)); }
  void asyncAfter(Duration delay, Job job) override { clock_.schedule(delay, std::move(job)); }
  void sync(Job job) override { job(); }  // nothing else runs meanwhile: run it in place

 private:
  VirtualClock& clock_;
};

}  // namespace tonvara::testing
