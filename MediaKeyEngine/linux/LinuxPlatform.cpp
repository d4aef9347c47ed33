// The Linux platform: media keys from X11, the music application over MPRIS.
#include "MediaKeyEngine/PlatformDefaults.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::platform {

// One instance each for the whole process: the trust check must see the grabs of the tap this
// process installed, and the player directory keeps one watcher thread and bus connection.
std::shared_ptr<EventTapPlatform> defaultEventTapPlatform() {
  static const auto platform = std::make_shared<linux_x11::X11EventTapPlatform>();
  return platform;
}

std::shared_ptr<ApplicationPlatform> defaultApplicationPlatform() {
  static const auto platform =
      std::make_shared<mpris::MprisApplicationPlatform>(mpris::MprisApplicationPlatform::Options{});
  return platform;
}

MusicController::PlayPauseAfterLaunch defaultPlayPauseAfterLaunch() {
  // Linux players commonly start playing by themselves when launched with a file; a toggle
  // sent then would pause what just started.
  return MusicController::PlayPauseAfterLaunch::play;
}

}  // namespace tonvara::platform
