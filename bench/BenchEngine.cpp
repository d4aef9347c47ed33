#include "BenchEngine.h"

#include <cstdlib>
#include <iostream>
#include <utility>

namespace tonvara::bench {

BenchEngine::BenchEngine(MusicState musicState, MusicController::SendCommand sendCommand)
    : platform_(std::make_shared<BenchEventTapPlatform>()),
      musicQueue_(
          std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated)) {
  // A cached answer stands in for the platform's running-application query.
  const bool running = musicState == MusicState::running;
  auto music = MusicController::create(
      musicQueue_, MusicController::IsRunningQuery([running] { return running; }),
      [](const MusicController::LaunchCompletion& completion) { completion(false); },
      std::move(sendCommand), [] { return kAutomationGranted; }, [] { return true; });
  const EngineSettings settings{true, WhenNotRunning::passThrough};
  router_ = std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(platform_),
                                             std::move(music));
  router_->activate();
  const auto installed = platform_->installedCallBack();
  if (!installed) {
    std::cerr << "bench: the tap was not installed\n";
    std::abort();
  }
  callBack_ = *installed;
}

void BenchEngine::drainMusicQueue() const {
  musicQueue_->sync([] {});
}

}  // namespace tonvara::bench
