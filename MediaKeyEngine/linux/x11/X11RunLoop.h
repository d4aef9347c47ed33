#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "FileDescriptor.h"
#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara::linux_x11 {

class X11EventTap;

// A tap's port as something a run loop watches.
class X11RunLoopSource final : public RunLoopSource {
 public:
  explicit X11RunLoopSource(std::shared_ptr<X11EventTap> tap) : tap_(std::move(tap)) {}
  const std::shared_ptr<X11EventTap>& tap() const { return tap_; }

 private:
  std::shared_ptr<X11EventTap> tap_;
};

// Waits in poll() on the X connections of its sources and on its own wake-up signal, and has
// each tap answer what arrived. Stops are sticky: a stop before run() ends that run() at once.
class X11RunLoop final : public RunLoop {
 public:
  void addSource(const std::shared_ptr<RunLoopSource>& source) override;
  void removeSource(const std::shared_ptr<RunLoopSource>& source) override;
  void run() override;
  void stop() override;

 private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<X11RunLoopSource>> sources_;
  bool stopped_ = false;
  WakeSignal wake_;
};

}  // namespace tonvara::linux_x11
