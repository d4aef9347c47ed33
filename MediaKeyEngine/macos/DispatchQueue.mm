#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara {

namespace {

qos_class_t toQosClass(QualityOfService qos) {
  switch (qos) {
    case QualityOfService::userInteractive:
      return QOS_CLASS_USER_INTERACTIVE;
    case QualityOfService::userInitiated:
      return QOS_CLASS_USER_INITIATED;
    case QualityOfService::utility:
      return QOS_CLASS_UTILITY;
    case QualityOfService::background:
      return QOS_CLASS_BACKGROUND;
  }
  return QOS_CLASS_DEFAULT;
}

dispatch_time_t dueAfter(WorkQueue::Duration delay) {
  const auto nanoseconds =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(delay, WorkQueue::Duration{}));
  return dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(nanoseconds.count()));
}

// Threads of libdispatch have no autorelease pool of their own: each job gets one, so the
// scripting bridge's replies are freed after every command.
void runInPool(const WorkQueue::Job& job) {
  @autoreleasepool {
    job();
  }
}

class GlobalQueue final : public WorkQueue {
 public:
  explicit GlobalQueue(QualityOfService qos)
      : queue_(dispatch_get_global_queue(static_cast<intptr_t>(toQosClass(qos)), 0)) {}
  void async(Job job) override {
    dispatch_async(queue_, ^{
      runInPool(job);
    });
  }
  void asyncAfter(Duration delay, Job job) override {
    dispatch_after(dueAfter(delay), queue_, ^{
      runInPool(job);
    });
  }

 private:
  dispatch_queue_t queue_;
};

}  // namespace

// A serial libdispatch queue; the flag drops jobs queued before the owner went away.
class DispatchQueue::Pool {
 public:
  Pool(const std::string& label, QualityOfService qos)
      : queue_(dispatch_queue_create(
            label.c_str(),
            dispatch_queue_attr_make_with_qos_class(DISPATCH_QUEUE_SERIAL, toQosClass(qos), 0))) {
    dispatch_queue_set_specific(queue_, &kOwnerKey, this, nullptr);
  }

  bool isCurrent() const { return dispatch_get_specific(&kOwnerKey) == this; }
  void close() { closed_->store(true); }

  dispatch_block_t wrap(Job job) const {
    auto closed = closed_;
    return ^{
      if (!closed->load()) {
        runInPool(job);
      }
    };
  }

  dispatch_queue_t queue() const { return queue_; }

 private:
  static constexpr char kOwnerKey = 0;
  dispatch_queue_t queue_;
  std::shared_ptr<std::atomic<bool>> closed_ = std::make_shared<std::atomic<bool>>(false);
};

DispatchQueue::DispatchQueue(std::string label, QualityOfService qos)
    : pool_(std::make_shared<Pool>(label, qos)) {}

DispatchQueue::~DispatchQueue() {
  pool_->close();
  // Lets the running job finish, unless that job is the one dropping the queue.
  if (!pool_->isCurrent()) {
    dispatch_sync(pool_->queue(), ^{
                  });
  }
}

std::shared_ptr<WorkQueue> DispatchQueue::global(QualityOfService qos) {
  static std::array<std::once_flag, 4> once;
  static std::array<std::shared_ptr<WorkQueue>, 4> queues;
  const auto index = static_cast<std::size_t>(qos);
  std::call_once(once.at(index), [&] { queues.at(index) = std::make_shared<GlobalQueue>(qos); });
  return queues.at(index);
}

void DispatchQueue::async(Job job) { dispatch_async(pool_->queue(), pool_->wrap(std::move(job))); }

void DispatchQueue::asyncAfter(Duration delay, Job job) {
  dispatch_after(dueAfter(delay), pool_->queue(), pool_->wrap(std::move(job)));
}

void DispatchQueue::sync(Job job) {
  dispatch_sync(pool_->queue(), ^{
    runInPool(job);
  });
}

}  // namespace tonvara
