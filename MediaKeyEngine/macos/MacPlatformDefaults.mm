#include "MacApplicationPlatform.h"
#include "MacEventTapPlatform.h"
#include "MediaKeyEngine/PlatformDefaults.h"

namespace tonvara::platform {

std::shared_ptr<EventTapPlatform> defaultEventTapPlatform() {
  return std::make_shared<mac::MacEventTapPlatform>();
}

std::shared_ptr<ApplicationPlatform> defaultApplicationPlatform() {
  return std::make_shared<mac::MacApplicationPlatform>();
}

MusicController::PlayPauseAfterLaunch defaultPlayPauseAfterLaunch() {
  // Music does not start playing by itself when opened: a toggle is what starts it.
  return MusicController::PlayPauseAfterLaunch::toggle;
}

}  // namespace tonvara::platform
