#include "BasicRunLoop.h"

#include <algorithm>

namespace tonvara::detail {

void BasicRunLoop::addSource(const std::shared_ptr<RunLoopSource>& source) {
  std::lock_guard lock(mutex_);
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) {
    sources_.push_back(source);
  }
}

void BasicRunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source) {
  std::lock_guard lock(mutex_);
  sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void BasicRunLoop::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopped_ || !work_.empty(); });
    if (stopped_) {
      break;
    }
    auto work = std::move(work_.front());
    work_.pop_front();
    lock.unlock();
    work();
    work = nullptr;
    lock.lock();
  }
  // Work that never ran is released outside the lock: it may own things that post again.
  auto leftover = std::move(work_);
  lock.unlock();
}

void BasicRunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
}

bool BasicRunLoop::perform(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) {
      return false;
    }
    work_.push_back(std::move(work));
  }
  wake_.notify_one();
  return true;
}

}  // namespace tonvara::detail
