#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>

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

// A serial libdispatch queue. Jobs wait here rather than inside their blocks, so closing
// releases them (and what they captured) at once; a block whose job is gone does nothing.
class DispatchQueue::Pool : public std::enable_shared_from_this<Pool> {
 public:
  Pool(const std::string& label, QualityOfService qos)
      : queue_(dispatch_queue_create(
            label.c_str(),
            dispatch_queue_attr_make_with_qos_class(DISPATCH_QUEUE_SERIAL, toQosClass(qos), 0))) {
    dispatch_queue_set_specific(queue_, &kOwnerKey, this, nullptr);
  }

  dispatch_queue_t queue() const { return queue_; }
  bool isCurrent() const { return dispatch_get_specific(&kOwnerKey) == this; }

  dispatch_block_t enqueue(Job job) {
    std::uint64_t id = 0;
    {
      std::lock_guard lock(mutex_);
      id = nextId_++;
      pending_.emplace(id, std::move(job));
    }
    std::weak_ptr<Pool> weak = weak_from_this();
    return ^{
      if (auto pool = weak.lock()) {
        pool->run(id);
      }
    };
  }

  void close() {
    std::unordered_map<std::uint64_t, Job> dropped;
    {
      std::lock_guard lock(mutex_);
      dropped.swap(pending_);
    }
  }

 private:
  void run(std::uint64_t id) {
    Job job;
    {
      std::lock_guard lock(mutex_);
      const auto found = pending_.find(id);
      if (found == pending_.end()) {
        return;
      }
      job = std::move(found->second);
      pending_.erase(found);
    }
    @autoreleasepool {
      job();
      job = nullptr;  // captures go inside the pool too, and outside the lock
    }
  }

  static constexpr char kOwnerKey = 0;
  dispatch_queue_t queue_;
  std::mutex mutex_;
  std::unordered_map<std::uint64_t, Job> pending_;
  std::uint64_t nextId_ = 0;
};

DispatchQueue::DispatchQueue(std::string label, QualityOfService qos)
    : pool_(std::make_shared<Pool>(label, qos)) {}

// Drops the jobs not yet started, then lets the running one finish, unless that job is the one
// dropping the queue.
DispatchQueue::~DispatchQueue() {
  pool_->close();
  if (!pool_->isCurrent()) {
    dispatch_sync(pool_->queue(), ^{
                      // Reached once the running job has returned.
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

void DispatchQueue::async(Job job) {
  dispatch_async(pool_->queue(), pool_->enqueue(std::move(job)));
}

void DispatchQueue::asyncAfter(Duration delay, Job job) {
  dispatch_after(dueAfter(delay), pool_->queue(), pool_->enqueue(std::move(job)));
}

void DispatchQueue::sync(Job job) {
  dispatch_sync(pool_->queue(), ^{
    runInPool(job);
  });
}

}  // namespace tonvara
