#include "X11RunLoop.h"

#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <thread>

#include "X11EventTap.h"

namespace tonvara::linux_x11 {

void X11RunLoop::run() {
  std::unique_lock lock(mutex_);
  if (stopped_) {
    return;
  }
  std::thread reader([this] { readEvents(); });
  for (;;) {
    jobsReady_.wait(lock, [this] { return stopped_ || !jobs_.empty(); });
    if (stopped_) {
      break;
    }
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    job = nullptr;
    lock.lock();
  }
  jobs_.clear();
  lock.unlock();
  // Whoever joins this thread may rely on no callback running any more: the reader ends first.
  reader.join();
}

void X11RunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  jobsReady_.notify_all();
  answered_.notify_all();
  wake_.signal();
}

void X11RunLoop::post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  jobsReady_.notify_one();
}

std::optional<bool> X11RunLoop::ask(std::function<bool()> question, Clock::time_point deadline) {
  struct Answer {
    std::optional<bool> value;
    bool abandoned = false;
  };
  auto answer = std::make_shared<Answer>();
  std::unique_lock lock(mutex_);
  if (stopped_ || overdue_ > 0) {
    return std::nullopt;
  }
  jobs_.emplace_back([this, answer, question = std::move(question)] {
    const bool value = question();
    {
      std::lock_guard done(mutex_);
      answer->value = value;
      overdue_ -= answer->abandoned ? 1 : 0;
    }
    answered_.notify_all();
  });
  jobsReady_.notify_one();
  if (answered_.wait_until(lock, deadline, [&] { return answer->value || stopped_; })) {
    return answer->value;
  }
  answer->abandoned = true;
  ++overdue_;
  return std::nullopt;
}

void X11RunLoop::readEvents() {
  pthread_setname_np(pthread_self(), "MediaKeyReader");
  std::vector<std::shared_ptr<X11RunLoopSource>> sources;
  std::vector<pollfd> descriptors;
  for (;;) {
    if (!sourcesUnlessStopped(sources)) {
      return;
    }
    // Events may already sit in a connection's queue, where poll() cannot see them.
    for (const auto& source : sources) {
      source->tap()->dispatch(*this);
    }
    descriptors.assign(1, pollfd{wake_.fd(), POLLIN, 0});
    for (const auto& source : sources) {
      descriptors.push_back(pollfd{source->tap()->connectionFd(), POLLIN, 0});
      descriptors.push_back(pollfd{source->tap()->wakeFd(), POLLIN, 0});
    }
    sources.clear();
    if (poll(descriptors.data(), descriptors.size(), -1) > 0 && descriptors[0].revents != 0) {
      wake_.drain();
    }
  }
}

}  // namespace tonvara::linux_x11
