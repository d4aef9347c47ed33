#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "MediaKeyEngine/EventTapPlatform.h"
#include "TapSources.h"

namespace tonvara::linux_x11 {

class X11EventTap;

// A tap's port as something a run loop watches.
using X11RunLoopSource = linux_common::TapSource<X11EventTap>;

// The tap thread's loop. A reader thread of its own waits in poll() on the X connections of the
// sources and answers each frozen key press; the callbacks run here, on the thread of run(), as
// jobs the reader hands over. The reader never waits for a callback longer than its deadline, so
// a stalled callback cannot keep the display's keyboard frozen. Stops are sticky: a stop before
// run() ends that run() at once; run() returns once the reader has ended.
class X11RunLoop final : public linux_common::TapRunLoop<X11EventTap> {
 public:
  using Clock = std::chrono::steady_clock;

  void run() override;
  void stop() override;

  // Reader thread: runs `job` on the loop's thread after every job handed over before it.
  void post(std::function<void()> job);
  // Reader thread: runs `question` on the loop's thread and waits for its answer until
  // `deadline`. Nothing when the answer came too late (it is then dropped), when an earlier
  // question is still unanswered past its deadline, or when the loop stops.
  std::optional<bool> ask(std::function<bool()> question, Clock::time_point deadline);

 private:
  void readEvents();

  std::condition_variable jobsReady_;
  std::condition_variable answered_;
  std::deque<std::function<void()>> jobs_;
  int overdue_ = 0;  // questions given up on whose job has not yet finished
};

}  // namespace tonvara::linux_x11
