#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace tonvara::ui {

// A handle on a scheduled job. Cancelling stops a job that has not run yet, or a repeating job
// for good; it does nothing afterwards. Dropping the handle does not cancel.
class TaskHandle {
 public:
  TaskHandle() = default;

  void cancel();
  bool isActive() const;

  // For schedulers: the shared state a job checks before it runs.
  struct State {
    bool cancelled = false;
    bool finished = false;
    std::function<void()> onCancel;
  };
  static TaskHandle make(std::shared_ptr<State> state) { return TaskHandle(std::move(state)); }

 private:
  explicit TaskHandle(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

// The main thread's delayed jobs and repeating timers, so that timing can run on a virtual clock
// in tests. Jobs run on the main thread.
class Scheduler {
 public:
  using Duration = std::chrono::milliseconds;
  using Job = std::function<void()>;

  virtual ~Scheduler() = default;
  // Runs `job` once, `delay` from now (a zero delay means a later turn of the event loop).
  virtual TaskHandle after(Duration delay, Job job) = 0;
  // Runs `job` every `interval` until cancelled; it also fires while a menu is open.
  virtual TaskHandle every(Duration interval, Job job) = 0;
};

// The Qt event loop's timers. Jobs still pending when the scheduler goes away never run.
class QtScheduler final : public Scheduler {
 public:
  TaskHandle after(Duration delay, Job job) override;
  TaskHandle every(Duration interval, Job job) override;

 private:
  QObject context_;
};

}  // namespace tonvara::ui
