#pragma once

#include <memory>

#include "DesktopTap.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "TapSources.h"

namespace tonvara::linux_desktop {

// A tap's port as something a run loop watches.
using DesktopRunLoopSource = linux_common::TapSource<DesktopTap>;

// The tap thread's loop: poll() on the inboxes of its sources, the callbacks on the thread of
// run(). Stops are sticky: a stop before run() ends that run() at once.
class DesktopRunLoop final : public linux_common::TapRunLoop<DesktopTap> {
 public:
  void run() override;
  void stop() override;
};

}  // namespace tonvara::linux_desktop
