#include "MediaKeyEngine/MusicController.h"

#include <utility>

#include "MediaKeyEngine/PlatformDefaults.h"

namespace tonvara {

std::shared_ptr<MusicController> MusicController::create() {
  auto platform = platform::defaultApplicationPlatform();
  return create(
      std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated),
      IsRunningQuery([platform] { return platform->isApplicationRunning(bundleID); }),
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
  return create(std::move(queue),
                IsRunningQuery([list = std::move(runningApplications)] { return !list().empty(); }),
                std::move(launchApplication), std::move(sendCommand), std::move(automationStatus),
                std::move(isPlaying));
}

std::shared_ptr<MusicController> MusicController::create(std::shared_ptr<SerialWorkQueue> queue,
                                                         IsRunningQuery isRunning,
                                                         LaunchApplication launchApplication,
                                                         SendCommand sendCommand,
                                                         AutomationStatusCheck automationStatus,
                                                         PlayerStateQuery isPlaying) {
  auto controller = std::make_unique<MusicController>(
      Passkey{}, std::move(queue), std::move(isRunning), std::move(launchApplication),
      std::move(sendCommand), std::move(automationStatus), std::move(isPlaying));
  return std::unique_ptr<MusicController, RetireOnQueue>(controller.release());
}

void MusicController::RetireOnQueue::operator()(MusicController* controller) const {
  // Every key job was queued while a reference was still held, so a job queued now runs after
  // all of them; if the queue drops it instead, dropping it deletes the controller just the same.
  auto last = std::shared_ptr<MusicController>(controller);
  auto queue = last->queue_;
  queue->async([last = std::move(last)] {});
}

MusicController::MusicController(Passkey /*unused*/, std::shared_ptr<SerialWorkQueue> queue,
                                 IsRunningQuery isRunning, LaunchApplication launchApplication,
                                 SendCommand sendCommand, AutomationStatusCheck automationStatus,
                                 PlayerStateQuery isPlaying)
    : queue_(std::move(queue)),
      isRunning_(std::move(isRunning)),
      launchApplication_(std::move(launchApplication)),
      sendCommand_(std::move(sendCommand)),
      automationStatus_(std::move(automationStatus)),
      isPlaying_(std::move(isPlaying)) {}

bool MusicController::isRunning() const { return isRunning_(); }

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
  // Small enough to be stored inside the job without an allocation; the controller outlives the
  // job because it retires on this queue.
  queue_->async([this, key, launchIfNeeded] { run(key, launchIfNeeded); });
}

void MusicController::run(MediaKey key, bool launchIfNeeded) {
  // A second launch while the first is under way would start a second instance.
  if (launchPending_) {
    keysAwaitingLaunch_.emplace_back(key, launchIfNeeded);
    return;
  }
  if (launchIfNeeded && !isRunning_()) {
    launchPending_ = true;
    keysAwaitingLaunch_.assign(1, {key, launchIfNeeded});
    launchApplication_([weak = weak_from_this()](bool isUp) {
      if (auto controller = weak.lock()) {
        controller->queue_->async([controller, isUp] { controller->finishLaunch(isUp); });
      }
    });
    return;
  }
  sendCommand_(key, false);
}

void MusicController::finishLaunch(bool isUp) {
  const auto keys = std::exchange(keysAwaitingLaunch_, {});
  launchPending_ = false;
  if (keys.empty()) {
    return;
  }
  if (!isUp) {
    // The launch failed, but a player may have come up some other way meanwhile: keys decided
    // while it ran were taken for it and must not be lost with the launch.
    if (isRunning_()) {
      for (const auto& [key, launchIfNeeded] : keys) {
        if (!launchIfNeeded) {
          sendCommand_(key, false);
        }
      }
    }
    return;
  }
  sendAfterLaunch(keys.front().first);
  for (auto later = keys.begin() + 1; later != keys.end(); ++later) {
    sendCommand_(later->first, false);
  }
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
