#include "FakeEngine.h"

namespace tonvara::testing {

std::shared_ptr<MusicController> makeFakeMusicController(
    const std::shared_ptr<FakeApplicationPlatform>& platform, VirtualClock& clock,
    MusicController::PlayPauseAfterLaunch afterLaunch) {
  return MusicController::create(
      std::make_shared<VirtualQueue>(clock),
      [platform] { return platform->runningApplications(MusicController::bundleID); },
      MusicController::makeDefaultLaunchApplication(platform,
                                                    std::make_shared<VirtualQueue>(clock)),
      MusicController::makeDefaultSendCommand(platform, afterLaunch),
      [platform] {
        return platform->determinePermissionToAutomate(MusicController::bundleID, false);
      },
      [platform] { return platform->isPlayerPlaying(MusicController::bundleID).value_or(false); });
}

FakeEngine::FakeEngine(EngineSettings settings)
    : router(std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(taps),
                                              makeFakeMusicController(apps, clock))) {}

}  // namespace tonvara::testing
