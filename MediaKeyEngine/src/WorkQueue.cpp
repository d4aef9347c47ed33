#include "MediaKeyEngine/WorkQueue.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "ThreadName.h"

namespace tonvara {

// Jobs ordered by due time (then by arrival), run by one or more named threads.
class DispatchQueue::Pool {
 public:
  explicit Pool(std::string label) : label_(std::move(label)) {}

  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  // The threads share ownership, so a job that drops the queue's last owner cannot pull the
  // pool out from under its own thread.
  static std::shared_ptr<Pool> start(std::string label, int threadCount) {
    auto pool = std::make_shared<Pool>(std::move(label));
    std::lock_guard lock(pool->mutex_);
    for (int i = 0; i < threadCount; ++i) {
      pool->threads_.emplace_back([pool] { pool->work(); });
    }
    return pool;
  }

  // Drops jobs not yet started, lets running ones finish and waits for the threads, except
  // the calling one when a job of this pool is closing it.
  void close() {
    std::vector<std::thread> threads;
    std::vector<Entry> dropped;
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
      threads.swap(threads_);
      while (!jobs_.empty()) {
        dropped.push_back(std::move(const_cast<Entry&>(jobs_.top())));  // NOLINT
        jobs_.pop();
      }
    }
    wake_.notify_all();
    dropped.clear();
    for (auto& thread : threads) {
      if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
      } else {
        thread.join();
      }
    }
  }

  void schedule(Duration delay, Job job) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) {
        return;
      }
      jobs_.push(Entry{std::chrono::steady_clock::now() + std::max(delay, Duration::zero()),
                       nextSequence_++, std::move(job)});
    }
    wake_.notify_one();
  }

 private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    std::uint64_t sequence;
    Job job;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
  };

  void work() {
    detail::setCurrentThreadName(label_);
    std::unique_lock lock(mutex_);
    while (!closed_) {
      if (jobs_.empty()) {
        wake_.wait(lock);
        continue;
      }
      const auto due = jobs_.top().due;
      if (due > std::chrono::steady_clock::now()) {
        wake_.wait_until(lock, due);
        continue;
      }
      // priority_queue::top is const; the entry is popped right after, so moving is safe.
      Job job = std::move(const_cast<Entry&>(jobs_.top()).job);  // NOLINT
      jobs_.pop();
      const bool moreQueued = !jobs_.empty();
      lock.unlock();
      // This thread may have been the one watching the next due time: hand that watch on, or
      // a delayed job could wait behind this one while another thread sleeps.
      if (moreQueued) {
        wake_.notify_one();
      }
      job();
      job = nullptr;  // destroy captures outside the lock
      lock.lock();
    }
  }

  const std::string label_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::priority_queue<Entry, std::vector<Entry>, Later> jobs_;
  std::uint64_t nextSequence_ = 0;
  bool closed_ = false;
  std::vector<std::thread> threads_;
};

namespace {

class ConcurrentQueue final : public WorkQueue {
 public:
  ConcurrentQueue(std::string label, int threadCount)
      : pool_(DispatchQueue::Pool::start(std::move(label), threadCount)) {}
  ~ConcurrentQueue() override { pool_->close(); }

  ConcurrentQueue(const ConcurrentQueue&) = delete;
  ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

  void async(Job job) override { pool_->schedule(Duration::zero(), std::move(job)); }
  void asyncAfter(Duration delay, Job job) override { pool_->schedule(delay, std::move(job)); }

 private:
  std::shared_ptr<DispatchQueue::Pool> pool_;
};

std::string_view globalLabel(QualityOfService qos) {
  switch (qos) {
    case QualityOfService::userInteractive:
      return "com.tonvara.global.user-interactive";
    case QualityOfService::userInitiated:
      return "com.tonvara.global.user-initiated";
    case QualityOfService::utility:
      return "com.tonvara.global.utility";
    case QualityOfService::background:
      return "com.tonvara.global.background";
  }
  return "com.tonvara.global";
}

}  // namespace

DispatchQueue::DispatchQueue(std::string label, QualityOfService /*qos*/)
    : pool_(Pool::start(std::move(label), 1)) {}

DispatchQueue::~DispatchQueue() { pool_->close(); }

std::shared_ptr<WorkQueue> DispatchQueue::global(QualityOfService qos) {
  constexpr int kThreads = 2;
  static std::array<std::once_flag, 4> once;
  static std::array<std::shared_ptr<WorkQueue>, 4> queues;
  const auto index = static_cast<std::size_t>(qos);
  std::call_once(once.at(index), [&] {
    queues.at(index) = std::make_shared<ConcurrentQueue>(std::string(globalLabel(qos)), kThreads);
  });
  return queues.at(index);
}

void DispatchQueue::async(Job job) { pool_->schedule(Duration::zero(), std::move(job)); }

void DispatchQueue::asyncAfter(Duration delay, Job job) { pool_->schedule(delay, std::move(job)); }

void DispatchQueue::sync(Job job) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  pool_->schedule(Duration::zero(), [&] {
    job();
    std::lock_guard lock(mutex);
    done = true;
    finished.notify_one();
  });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return done; });
}

}  // namespace tonvara
