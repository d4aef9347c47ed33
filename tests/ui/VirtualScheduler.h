#pragma once

#include <memory>

#include "Scheduler.h"
#include "VirtualClock.h"

namespace tonvara::ui::testing {

// Scheduler jobs on a virtual clock: they run only when the test advances it.
struct VirtualScheduler final : Scheduler {
  TaskHandle after(Duration delay, Job job) override {
    auto state = std::make_shared<TaskHandle::State>();
    clock.schedule(delay, [state, job = std::move(job)] {
      if (!state->cancelled) state->finished = true, job();
    });
    return TaskHandle::make(state);
  }
  TaskHandle every(Duration interval, Job job) override {
    auto state = std::make_shared<TaskHandle::State>();
    tick(state, interval, std::make_shared<Job>(std::move(job)));
    return TaskHandle::make(state);
  }
  void tick(std::shared_ptr<TaskHandle::State> state, Duration interval, std::shared_ptr<Job> job) {
    clock.schedule(interval, [this, state, interval, job] {
      if (!state->cancelled) (*job)(), tick(state, interval, job);
    });
  }
  void advance(Duration span) { clock.advanceBy(span); }
  tonvara::testing::VirtualClock clock;
};

}  // namespace tonvara::ui::testing
