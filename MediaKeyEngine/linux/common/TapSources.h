#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "FileDescriptor.h"
#include "MediaKeyEngine/EventTapPlatform.h"

// What the Linux capture backends' run loops share beyond their waiting.
namespace tonvara::linux_common {

// A tap's port as something a run loop watches.
template <typename Tap>
class TapSource final : public RunLoopSource {
 public:
  explicit TapSource(std::shared_ptr<Tap> tap) : tap_(std::move(tap)) {}
  const std::shared_ptr<Tap>& tap() const { return tap_; }

 private:
  std::shared_ptr<Tap> tap_;
};

// The sources one loop watches; the loop locks around every call.
template <typename Tap>
class TapSources {
 public:
  using Source = TapSource<Tap>;

  // False, and nothing kept, for a source of another kind or without a tap. Kept once.
  bool add(const std::shared_ptr<RunLoopSource>& source) {
    auto tapSource = std::dynamic_pointer_cast<Source>(source);
    if (!tapSource || !tapSource->tap()) {
      return false;
    }
    if (std::find(list_.begin(), list_.end(), tapSource) == list_.end()) {
      list_.push_back(std::move(tapSource));
    }
    return true;
  }
  void remove(const std::shared_ptr<RunLoopSource>& source) {
    std::erase_if(list_, [&](const auto& known) { return known == source; });
  }
  const std::vector<std::shared_ptr<Source>>& list() const { return list_; }

 private:
  std::vector<std::shared_ptr<Source>> list_;
};

// A loop that polls its sources' descriptors beside `wake_`, which wakes it whenever the sources
// change or it is stopped. `mutex_` guards the sources, `stopped_` and whatever the loop adds.
template <typename Tap>
class TapRunLoop : public RunLoop {
 public:
  void addSource(const std::shared_ptr<RunLoopSource>& source) final {
    {
      std::lock_guard lock(mutex_);
      if (!sources_.add(source)) {
        return;
      }
    }
    wake_.signal();
  }
  void removeSource(const std::shared_ptr<RunLoopSource>& source) final {
    {
      std::lock_guard lock(mutex_);
      sources_.remove(source);
    }
    wake_.signal();
  }

 protected:
  // Copies the sources into `sources`, unless the loop was stopped: false then.
  bool sourcesUnlessStopped(std::vector<std::shared_ptr<TapSource<Tap>>>& sources) {
    std::lock_guard lock(mutex_);
    if (stopped_) {
      return false;
    }
    sources = sources_.list();
    return true;
  }

  std::mutex mutex_;
  TapSources<Tap> sources_;
  bool stopped_ = false;
  WakeSignal wake_;
};

// The calling thread's loop, made on first use and kept while anything holds it.
template <typename Loop>
std::shared_ptr<Loop> currentThreadLoop() {
  thread_local std::weak_ptr<Loop> threadLoop;
  auto loop = threadLoop.lock();
  if (!loop) {
    loop = std::make_shared<Loop>();
    threadLoop = loop;
  }
  return loop;
}

}  // namespace tonvara::linux_common
