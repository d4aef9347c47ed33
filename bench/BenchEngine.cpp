#include "BenchEngine.h"

#include <cstdlib>
#include <iostream>
#include <utility>

namespace tonvara::bench {

namespace {

class RunningMusic final : public RunningApplication {
 public:
  bool isFinishedLaunching() const override { return true; }
  bool isTerminated() const override { return false; }
};

}  // namespace

BenchEngine::BenchEngine(MusicState musicState, MusicController::SendCommand sendCommand)
    : platform_(std::make_shared<BenchEventTapPlatform>()),
      musicQueue_(
          std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated)) {
  // A cached list stands in for the running-application query: one copy per key, no lookup.
  ApplicationPlatform::RunningApplications running;
  if (musicState == MusicState::running) {
    running.push_back(std::make_shared<RunningMusic>());
  }
  auto music = MusicController::create(
      musicQueue_, [running] { return running; },
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
