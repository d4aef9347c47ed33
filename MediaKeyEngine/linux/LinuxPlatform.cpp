// The Linux platform: media keys from X11 grabs or from the desktop, the music application over
// MPRIS.
#include "MediaKeyEngine/PlatformDefaults.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::platform {

namespace {

// The ways keys can reach this process, best first; the first that can serve on this session
// is taken once, for the life of the process.
struct KeyBackend {
  bool (*canServe)();
  std::shared_ptr<EventTapPlatform> (*make)();
};

constexpr KeyBackend kKeyBackends[] = {
    // Grabs decide per key, but only a real X server hands them over.
    {[] { return linux_x11::X11EventTapPlatform::canServe(); },
     []() -> std::shared_ptr<EventTapPlatform> {
       return std::make_shared<linux_x11::X11EventTapPlatform>();
     }},
    // Elsewhere (Wayland) the desktop delivers the keys it was asked to hand over.
    {[] { return true; },
     []() -> std::shared_ptr<EventTapPlatform> {
       return std::make_shared<linux_desktop::DesktopEventTapPlatform>();
     }},
};

std::shared_ptr<EventTapPlatform> chooseEventTapPlatform() {
  for (const KeyBackend& backend : kKeyBackends) {
    if (backend.canServe()) {
      return backend.make();
    }
  }
  return nullptr;
}

}  // namespace

// One instance each for the whole process: the trust check must see the grabs of the tap this
// process installed, and the player directory keeps one watcher thread and bus connection.
std::shared_ptr<EventTapPlatform> defaultEventTapPlatform() {
  static const auto platform = chooseEventTapPlatform();
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
