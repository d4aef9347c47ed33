#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "DesktopTap.h"
#include "FileDescriptor.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "TapSources.h"

namespace tonvara::linux_desktop {

// A tap's port as something a run loop watches.
using DesktopRunLoopSource = linux_common::TapSource<DesktopTap>;

// The tap thread's loop: poll() on the inboxes of its sources, the callbacks on the thread of
// run(). Stops are sticky: a stop before run() ends that run() at once.
class DesktopRunLoop final : public RunLoop {
 public:
  void addSource(const std::shared_ptr<RunLoopSource>& source) override;
  void removeSource(const std::shared_ptr<RunLoopSource>& source) override;
  void run() override;
  void stop() override;

 private:
  std::mutex mutex_;
  linux_common::TapSources<DesktopTap> sources_;
  bool stopped_ = false;
  linux_common::WakeSignal wake_;
};

}  // namespace tonvara::linux_desktop
