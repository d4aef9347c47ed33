#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tonvara {

// A scheduling hint for a queue's threads. On Linux, utility threads run at nice 10 and
// background threads at nice 19; the two user-facing classes keep the process's own priority,
// since raising it needs privileges an ordinary user lacks. On macOS each maps to the thread's
// QoS class.
enum class QualityOfService { userInteractive, userInitiated, utility, background };

// Somewhere to run jobs, now or after a delay. Delayed jobs run no earlier than their delay.
class WorkQueue {
 public:
  using Job = std::function<void()>;
  using Duration = std::chrono::steady_clock::duration;

  virtual ~WorkQueue() = default;
  virtual void async(Job job) = 0;
  virtual void asyncAfter(Duration delay, Job job) = 0;
};

// Runs its jobs one at a time, in the order they became due.
class SerialWorkQueue : public WorkQueue {
 public:
  // Runs `job` on the queue and blocks until it has finished. Must not be called from a job
  // of the same queue.
  virtual void sync(Job job) = 0;
};

// A queue backed by its own threads.
class DispatchQueue final : public SerialWorkQueue {
 public:
  // A serial queue with one thread named `label`.
  DispatchQueue(std::string label, QualityOfService qos);
  // Jobs not yet started are dropped; the running one finishes first.
  ~DispatchQueue() override;

  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // The process's shared concurrent queue for a quality of service.
  static std::shared_ptr<WorkQueue> global(QualityOfService qos);

  void async(Job job) override;
  void asyncAfter(Duration delay, Job job) override;
  void sync(Job job) override;

  class Pool;

 private:
  std::shared_ptr<Pool> pool_;
};

}  // namespace tonvara
