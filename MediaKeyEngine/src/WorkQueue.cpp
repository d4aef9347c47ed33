#include "MediaKeyEngine/WorkQueue.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "ThreadName.h"

namespace tonvara {

// Jobs ordered by due time (then by arrival), run by one or more named threads. Jobs due at
// once wait in arrival order apart from the delayed ones, so queueing one costs no heap sift.
class DispatchQueue::Pool {
 public:
  Pool(std::string label, QualityOfService qos) : label_(std::move(label)), qos_(qos) {}

  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  // The threads share ownership, so a job that drops the queue's last owner cannot pull the
  // pool out from under its own thread.
  static std::shared_ptr<Pool> start(std::string label, QualityOfService qos, int threadCount) {
    auto pool = std::make_shared<Pool>(std::move(label), qos);
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
    std::deque<Entry> droppedNow;
    std::vector<Entry> droppedLater;
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
      threads.swap(threads_);
      droppedNow.swap(now_);
      droppedLater.swap(later_);
    }
    wake_.notify_all();
    droppedNow.clear();
    droppedLater.clear();
    for (auto& thread : threads) {
      if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
      } else {
        thread.join();
      }
    }
  }

  void schedule(Duration delay, Job job) {
    std::lock_guard lock(mutex_);
    if (closed_) {
      return;
    }
    Entry entry{std::chrono::steady_clock::now(), nextSequence_++, std::move(job)};
    if (delay > Duration::zero()) {
      entry.due += delay;
      later_.push_back(std::move(entry));
      std::push_heap(later_.begin(), later_.end(), Later{});
    } else {
      now_.push_back(std::move(entry));
    }
    // A busy thread looks again before it sleeps: only a sleeping one needs the signal. Sent
    // under the lock, since the job may drop the queue's last owner as soon as it runs.
    if (sleepers_ > 0) {
      wake_.notify_one();
    }
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

  // The earliest entry of either list; call with the lock held and a job queued.
  bool nextIsDelayed() const {
    if (now_.empty()) {
      return true;
    }
    return !later_.empty() && Later{}(now_.front(), later_.front());
  }

  void work() {
    detail::setCurrentThreadName(label_);
    detail::setCurrentThreadQualityOfService(qos_);
    std::unique_lock lock(mutex_);
    while (!closed_) {
      if (now_.empty() && later_.empty()) {
        ++sleepers_;
        wake_.wait(lock);
        --sleepers_;
        continue;
      }
      const bool delayed = nextIsDelayed();
      const auto due = delayed ? later_.front().due : now_.front().due;
      if (due > std::chrono::steady_clock::now()) {
        ++sleepers_;
        wake_.wait_until(lock, due);
        --sleepers_;
        continue;
      }
      Job job;
      if (delayed) {
        std::pop_heap(later_.begin(), later_.end(), Later{});
        job = std::move(later_.back().job);
        later_.pop_back();
      } else {
        job = std::move(now_.front().job);
        now_.pop_front();
      }
      // This thread may have been the one watching the next due time: hand that watch on, or
      // a delayed job could wait behind this one while another thread sleeps.
      const bool handOn = sleepers_ > 0 && !(now_.empty() && later_.empty());
      lock.unlock();
      if (handOn) {
        wake_.notify_one();
      }
      job();
      job = nullptr;  // destroy captures outside the lock
      lock.lock();
    }
  }

  const std::string label_;
  const QualityOfService qos_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Entry> now_;
  std::vector<Entry> later_;  // a heap by due time
  std::uint64_t nextSequence_ = 0;
  int sleepers_ = 0;
  bool closed_ = false;
  std::vector<std::thread> threads_;
};

namespace {

class ConcurrentQueue final : public WorkQueue {
 public:
  ConcurrentQueue(std::string label, QualityOfService qos, int threadCount)
      : pool_(DispatchQueue::Pool::start(std::move(label), qos, threadCount)) {}
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

DispatchQueue::DispatchQueue(std::string label, QualityOfService qos)
    : pool_(Pool::start(std::move(label), qos, 1)) {}

DispatchQueue::~DispatchQueue() { pool_->close(); }

std::shared_ptr<WorkQueue> DispatchQueue::global(QualityOfService qos) {
  constexpr int kThreads = 2;
  static std::array<std::once_flag, 4> once;
  static std::array<std::shared_ptr<WorkQueue>, 4> queues;
  const auto index = static_cast<std::size_t>(qos);
  std::call_once(once.at(index), [&] {
    queues.at(index) =
        std::make_shared<ConcurrentQueue>(std::string(globalLabel(qos)), qos, kThreads);
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
