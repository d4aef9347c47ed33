#include "DesktopTap.h"

#include <utility>

namespace tonvara::linux_desktop {

namespace {

constexpr std::int16_t kAuxControlButtonsSubtype = 8;
constexpr std::int64_t kKeyDownState = 0x0A;

constexpr std::int64_t keyCode(MediaKey key) {
  switch (key) {
    case MediaKey::playPause:
      return 16;
    case MediaKey::next:
      return 17;
    case MediaKey::previous:
      return 18;
  }
  return 0;
}

}  // namespace

bool DesktopTap::post(MediaKey key) {
  if (!enabled_) {
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    queued_.push_back(key);
  }
  inbox_.signal();
  return true;
}

void DesktopTap::deliverQueued() {
  inbox_.drain();
  std::vector<MediaKey> keys;
  {
    std::lock_guard lock(mutex_);
    keys = std::exchange(queued_, {});
  }
  for (const MediaKey key : keys) {
    // Switched off while the key waited: it must not act any more.
    if (!enabled_) {
      return;
    }
    DesktopSystemDefinedEvent event{kAuxControlButtonsSubtype,
                                    keyCode(key) << 16 | kKeyDownState << 8};
    // The desktop consumed the key already: there is nothing to pass on or swallow.
    callback_(kSystemDefinedEventType, &event, userInfo_);
  }
}

}  // namespace tonvara::linux_desktop
