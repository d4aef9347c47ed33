#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::testing {

// Time that moves only when a test says so. Jobs scheduled on any VirtualQueue of this clock
// run on the test's thread, in due order (then arrival order), as the clock advances.
class VirtualClock {
 public:
  using Duration = WorkQueue::Duration;

  Duration now() const;
  void schedule(Duration delay, WorkQueue::Job job);
  std::size_t pendingJobs() const;
  // Runs every job due within `span` from now, then sets the clock to now + span.
  void advanceBy(Duration span);
  // Runs jobs, moving time to each, until none is left or `maxJobs` have run; returns how many.
  std::size_t runUntilIdle(std::size_t maxJobs = 1'000'000);

 private:
  struct Entry {
    Duration due;
    std::uint64_t sequence;
    WorkQueue::Job job;
  };
  bool runOneDueBy(Duration limit);

  mutable std::mutex mutex_;
  Duration now_{};
  std::uint64_t nextSequence_ = 0;
  std::vector<Entry> jobs_;
};

// A serial queue on a virtual clock.
class VirtualQueue final : public SerialWorkQueue {
 public:
  explicit VirtualQueue(VirtualClock& clock) : clock_(clock) {}
  void async(Job job) override { clock_.schedule(Duration::zero(), std::move(job)); }
  void asyncAfter(Duration delay, Job job) override { clock_.schedule(delay, std::move(job)); }
  // Nothing else runs on a virtual queue while the test's thread is here: run it in place.
  void sync(Job job) override { job(); }

 private:
  VirtualClock& clock_;
};

}  // namespace tonvara::testing
