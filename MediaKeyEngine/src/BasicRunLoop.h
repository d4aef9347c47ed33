#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::detail {

// A run loop made of a mutex and a condition variable: work posted from any thread runs on
// the thread inside run(), in order. Stops are sticky.
class BasicRunLoop final : public RunLoop {
 public:
  void addSource(const std::shared_ptr<RunLoopSource>& source) override;
  void removeSource(const std::shared_ptr<RunLoopSource>& source) override;
  void run() override;
  void stop() override;

  // Queues work for the loop's thread; false once the loop has stopped.
  bool perform(std::function<void()> work);

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> work_;
  std::vector<std::shared_ptr<RunLoopSource>> sources_;
  bool stopped_ = false;
};

}  // namespace tonvara::detail
