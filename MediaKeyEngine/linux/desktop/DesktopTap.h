#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "FileDescriptor.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "MediaKeyEngine/MediaKey.h"

namespace tonvara::linux_desktop {

// The system-defined event a delivered key becomes for the callback.
struct DesktopSystemDefinedEvent {
  std::int16_t subtype = 0;
  std::int64_t data1 = 0;
};

// A tap port: an inbox of delivered keys that its run loop empties into the callback.
class DesktopTap final : public EventTapPort {
 public:
  DesktopTap(EventTapCallBack callback, void* userInfo)
      : callback_(callback), userInfo_(userInfo) {}

  // Any thread: queues the key and wakes the loop; false while the tap is switched off.
  bool post(MediaKey key);
  void setEnabled(bool enable) { enabled_ = enable; }
  // What the run loop waits on.
  int inboxFd() const { return inbox_.fd(); }
  // The loop's thread: hands every queued key to the callback.
  void deliverQueued();

 private:
  const EventTapCallBack callback_;
  void* const userInfo_;
  std::atomic<bool> enabled_{true};
  std::mutex mutex_;
  std::vector<MediaKey> queued_;
  linux_common::WakeSignal inbox_;
};

// Every tap made, so that a delivered key finds the installed one. Any thread.
void registerTap(const std::shared_ptr<DesktopTap>& tap);

}  // namespace tonvara::linux_desktop
