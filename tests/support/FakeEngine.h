#pragma once

#include "FakeApplicationPlatform.h"
#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "VirtualClock.h"

namespace tonvara::testing {

// The default procedures over the fake platform, queues on one virtual clock; `log` hears of
// every command ("+" after a launch) and player-state query.
std::shared_ptr<MusicController> makeFakeMusicController(
    const std::shared_ptr<FakeApplicationPlatform>& platform, VirtualClock& clock,
    MusicController::PlayPauseAfterLaunch afterLaunch =
        MusicController::PlayPauseAfterLaunch::toggle,
    std::function<void(std::string)> log = [](const std::string&) {});

struct FakeEngine {
  explicit FakeEngine(EngineSettings settings);

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::unique_ptr<MediaKeyRouter> router;
};

}  // namespace tonvara::testing
