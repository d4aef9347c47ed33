#include "FakeEngine.h"

namespace tonvara::testing {

std::shared_ptr<MusicController> makeFakeMusicController(
    const std::shared_ptr<FakeApplicationPlatform>& platform, VirtualClock& clock,
    MusicController::PlayPauseAfterLaunch afterLaunch, std::function<void(std::string)> log) {
  const auto id = MusicController::bundleID;
  return MusicController::create(
      std::make_shared<VirtualQueue>(clock),
      [platform, id] { return platform->runningApplications(id); },
      MusicController::makeDefaultLaunchApplication(platform,
                                                    std::make_shared<VirtualQueue>(clock)),
      [log, send = MusicController::makeDefaultSendCommand(platform, afterLaunch)](
          MediaKey key, bool afterLaunch) {
        log((afterLaunch ? "+" : "") + std::string(debugName(key)));
        send(key, afterLaunch);
      },
      [platform, id] { return platform->determinePermissionToAutomate(id, false); },
      [platform, id, log] {
        return log("playing?"), platform->isPlayerPlaying(id).value_or(false);
      });
}

FakeEngine::FakeEngine(EngineSettings settings)
    : router(std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(taps),
                                              makeFakeMusicController(apps, clock))) {}

}  // namespace tonvara::testing
