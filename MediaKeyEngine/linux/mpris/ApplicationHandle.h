#pragma once

#include <atomic>

#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::mpris {

// The launch state of a player or of a started process; set by the directory's thread,
// readable from any thread.
class ApplicationHandle final : public RunningApplication {
 public:
  explicit ApplicationHandle(bool finishedLaunching = false)
      : finishedLaunching_(finishedLaunching) {}

  bool isFinishedLaunching() const override { return finishedLaunching_.load(); }
  bool isTerminated() const override { return terminated_.load(); }

  void markFinishedLaunching() { finishedLaunching_.store(true); }
  void markTerminated() { terminated_.store(true); }

 private:
  std::atomic<bool> finishedLaunching_;
  std::atomic<bool> terminated_{false};
};

}  // namespace tonvara::mpris
