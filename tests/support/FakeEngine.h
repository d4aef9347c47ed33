#pragma once

#include <memory>

#include "FakeApplicationPlatform.h"
#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngine/MusicController.h"
#include "VirtualClock.h"

namespace tonvara::testing {

// A music controller whose collaborators are the default procedures running against the fake
// platform, with the serial queue and the launch-wait queue on one virtual clock.
std::shared_ptr<MusicController> makeFakeMusicController(
    const std::shared_ptr<FakeApplicationPlatform>& platform, VirtualClock& clock,
    MusicController::PlayPauseAfterLaunch afterLaunch =
        MusicController::PlayPauseAfterLaunch::toggle);

// Everything a router needs, faked, and the router itself.
struct FakeEngine {
  explicit FakeEngine(EngineSettings settings);

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::unique_ptr<MediaKeyRouter> router;
};

}  // namespace tonvara::testing
