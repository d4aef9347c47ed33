#include "MediaKeyEngine/MusicController.h"

#include <utility>

#include "MediaKeyEngine/PlatformDefaults.h"

namespace tonvara {

std::shared_ptr<MusicController> MusicController::create() {
  auto platform = platform::defaultApplicationPlatform();
  return create(
      std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated),
      [platform] { return platform->runningApplications(bundleID); },
      makeDefaultLaunchApplication(platform,
                                   DispatchQueue::global(QualityOfService::userInitiated)),
      makeDefaultSendCommand(platform, platform::defaultPlayPauseAfterLaunch()),
      [platform] { return platform->determinePermissionToAutomate(bundleID, false); },
      [platform] { return platform->isPlayerPlaying(bundleID).value_or(false); });
}

std::shared_ptr<MusicController> MusicController::create(std::shared_ptr<SerialWorkQueue> queue,
                                                         RunningApplications runningApplications,
                                                         LaunchApplication launchApplication,
                                                         SendCommand sendCommand,
                                                         AutomationStatusCheck automationStatus,
                                                         PlayerStateQuery isPlaying) {
  return std::make_shared<MusicController>(
      Passkey{}, std::move(queue), std::move(runningApplications), std::move(launchApplication),
      std::move(sendCommand), std::move(automationStatus), std::move(isPlaying));
}

MusicController::MusicController(Passkey /*unused*/, std::shared_ptr<SerialWorkQueue> queue,
                                 RunningApplications runningApplications,
                                 LaunchApplication launchApplication, SendCommand sendCommand,
                                 AutomationStatusCheck automationStatus, PlayerStateQuery isPlaying)
    : queue_(std::move(queue)),
      runningApplications_(std::move(runningApplications)),
      launchApplication_(std::move(launchApplication)),
      sendCommand_(std::move(sendCommand)),
      automationStatus_(std::move(automationStatus)),
      isPlaying_(std::move(isPlaying)) {}

bool MusicController::isRunning() const { return !runningApplications_().empty(); }

MusicController::AutomationAccess MusicController::automationAccess() const {
  return automationAccessFromStatus(automationStatus_());
}

MusicController::AutomationAccess MusicController::automationAccessFromStatus(std::int32_t status) {
  switch (status) {
    case kAutomationGranted:
      return AutomationAccess::granted;
    case kAutomationNotPermitted:
      return AutomationAccess::denied;
    default:
      return AutomationAccess::undetermined;
  }
}

void MusicController::perform(MediaKey key, bool launchIfNeeded) {
  queue_->async([self = shared_from_this(), key, launchIfNeeded] {
    if (launchIfNeeded && self->runningApplications_().empty()) {
      self->launchApplication_([weak = std::weak_ptr(self), key](bool isUp) {
        if (auto controller = weak.lock(); controller && isUp) {
          controller->queue_->async([controller, key] { controller->sendAfterLaunch(key); });
        }
      });
      return;
    }
    self->sendCommand_(key, false);
  });
}

void MusicController::sendAfterLaunch(MediaKey key) {
  sendCommand_(key, true);
  if (key != MediaKey::playPause) {
    return;
  }
  // The loop's steps hold the controller until the last one has run.
  auto self = shared_from_this();
  ensurePlaybackStarted([self] { self->sendCommand_(MediaKey::playPause, true); },
                        [self] { return self->isPlaying_(); }, kPlaybackAttempts,
                        [self](std::function<void()> step) {
                          self->queue_->asyncAfter(kPlaybackInterval, std::move(step));
                        });
}

void MusicController::performAndWait(MediaKey key) {
  queue_->sync([this, key] { sendCommand_(key, false); });
}

void MusicController::waitUntilReady(std::function<bool()> isReady, int attemptsRemaining,
                                     ScheduleRetry scheduleRetry,
                                     std::function<void()> completion) {
  auto schedule = scheduleRetry;
  schedule([isReady = std::move(isReady), attemptsRemaining,
            scheduleRetry = std::move(scheduleRetry), completion = std::move(completion)] {
    const int remaining = attemptsRemaining - 1;
    if (isReady() || remaining <= 0) {
      completion();
      return;
    }
    waitUntilReady(isReady, remaining, scheduleRetry, completion);
  });
}

void MusicController::ensurePlaybackStarted(std::function<void()> sendPlay,
                                            std::function<bool()> isPlaying, int attemptsRemaining,
                                            ScheduleRetry scheduleRetry) {
  auto schedule = scheduleRetry;
  schedule([sendPlay = std::move(sendPlay), isPlaying = std::move(isPlaying), attemptsRemaining,
            scheduleRetry = std::move(scheduleRetry)] {
    if (isPlaying()) {
      return;
    }
    const int remaining = attemptsRemaining - 1;
    if (remaining < 1) {
      return;
    }
    sendPlay();
    ensurePlaybackStarted(sendPlay, isPlaying, remaining, scheduleRetry);
  });
}

MusicController::LaunchApplication MusicController::makeDefaultLaunchApplication(
    std::shared_ptr<ApplicationPlatform> platform, std::shared_ptr<WorkQueue> waitQueue) {
  return [platform = std::move(platform),
          waitQueue = std::move(waitQueue)](const LaunchCompletion& completion) {
    const auto url = platform->urlForApplication(bundleID);
    if (!url) {
      completion(false);
      return;
    }
    platform->openApplication(
        *url, true,
        [waitQueue, completion](const std::shared_ptr<RunningApplication>& application,
                                const std::optional<std::string>& error) {
          if (!application || error) {
            completion(false);
            return;
          }
          if (application->isFinishedLaunching() || application->isTerminated()) {
            completion(!application->isTerminated());
            return;
          }
          waitUntilReady(
              [application] {
                return application->isFinishedLaunching() || application->isTerminated();
              },
              kLaunchReadinessAttempts,
              [waitQueue](std::function<void()> step) {
                waitQueue->asyncAfter(kLaunchReadinessInterval, std::move(step));
              },
              [application, completion] { completion(!application->isTerminated()); });
        });
  };
}

std::string_view MusicController::selectorFor(MediaKey key) {
  switch (key) {
    case MediaKey::playPause:
      return "playpause";
    case MediaKey::next:
      return "nextTrack";
    case MediaKey::previous:
      return "previousTrack";
  }
  return "";
}

MusicController::SendCommand MusicController::makeDefaultSendCommand(
    std::shared_ptr<ApplicationPlatform> platform, PlayPauseAfterLaunch afterLaunchMode) {
  return [platform = std::move(platform), afterLaunchMode](MediaKey key, bool afterLaunch) {
    auto application = platform->scriptableApplication(bundleID);
    if (!application) {
      return;
    }
    const bool play =
        afterLaunch && key == MediaKey::playPause && afterLaunchMode == PlayPauseAfterLaunch::play;
    const std::string_view selector = play ? std::string_view("play") : selectorFor(key);
    if (application->respondsToSelector(selector)) {
      application->performSelector(selector);
    }
  };
}

}  // namespace tonvara
