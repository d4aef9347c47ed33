#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/MediaKey.h"
#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara {

// The one part of the program that talks to the music application. Slow work runs on its
// own serial queue so that callers return at once.
class MusicController : public std::enable_shared_from_this<MusicController> {
  struct Passkey {};

 public:
  using RunningApplications = std::function<ApplicationPlatform::RunningApplications()>;
  // Whether an instance runs; what the controller needs of the running instances.
  using IsRunningQuery = std::function<bool()>;
  using LaunchCompletion = std::function<void(bool isUp)>;
  using LaunchApplication = std::function<void(LaunchCompletion completion)>;
  using SendCommand = std::function<void(MediaKey key, bool afterLaunch)>;
  // Not part of the four collaborators: the two queries that need no argument.
  using AutomationStatusCheck = std::function<std::int32_t()>;
  using PlayerStateQuery = std::function<bool()>;
  using ScheduleRetry = std::function<void(std::function<void()> step)>;

  enum class AutomationAccess { granted, denied, undetermined };

  // How a play/pause sent right after a launch is expressed. Players that start playing by
  // themselves when launched need `play`, or the toggle would pause what just started.
  enum class PlayPauseAfterLaunch { toggle, play };

  static constexpr std::string_view bundleID = "com.apple.Music";
  static constexpr int kLaunchReadinessAttempts = 100;
  static constexpr std::chrono::milliseconds kLaunchReadinessInterval{50};
  static constexpr int kPlaybackAttempts = 10;
  static constexpr std::chrono::milliseconds kPlaybackInterval{500};

  // The platform's collaborators on a new "com.tonvara.music" queue.
  static std::shared_ptr<MusicController> create();
  static std::shared_ptr<MusicController> create(std::shared_ptr<SerialWorkQueue> queue,
                                                 RunningApplications runningApplications,
                                                 LaunchApplication launchApplication,
                                                 SendCommand sendCommand,
                                                 AutomationStatusCheck automationStatus,
                                                 PlayerStateQuery isPlaying);
  // The same with a query that answers whether an instance runs without listing them.
  static std::shared_ptr<MusicController> create(std::shared_ptr<SerialWorkQueue> queue,
                                                 IsRunningQuery isRunning,
                                                 LaunchApplication launchApplication,
                                                 SendCommand sendCommand,
                                                 AutomationStatusCheck automationStatus,
                                                 PlayerStateQuery isPlaying);

  MusicController(Passkey passkey, std::shared_ptr<SerialWorkQueue> queue, IsRunningQuery isRunning,
                  LaunchApplication launchApplication, SendCommand sendCommand,
                  AutomationStatusCheck automationStatus, PlayerStateQuery isPlaying);

  // Asked fresh each time, on the caller's thread.
  bool isRunning() const;
  // A fresh check that never prompts.
  AutomationAccess automationAccess() const;
  static AutomationAccess automationAccessFromStatus(std::int32_t status);

  // Queues the key's work and returns at once. While a launch is pending, keys wait for it and
  // are sent in order once the application is up, or dropped when the launch fails: one
  // launch at a time.
  void perform(MediaKey key, bool launchIfNeeded);
  // Sends the key without launching and waits for it. Never call from a job of this queue.
  void performAndWait(MediaKey key);

  // Checks `isReady` one interval after the call, at most `attemptsRemaining` times; calls
  // `completion` exactly once.
  static void waitUntilReady(std::function<bool()> isReady, int attemptsRemaining,
                             ScheduleRetry scheduleRetry, std::function<void()> completion);
  // Checks `isPlaying` one interval after the call; while it is false and attempts remain,
  // sends play again.
  static void ensurePlaybackStarted(std::function<void()> sendPlay, std::function<bool()> isPlaying,
                                    int attemptsRemaining, ScheduleRetry scheduleRetry);

  // The default launch: locate, open with activation, then wait on `waitQueue` for the handle
  // to finish launching or terminate.
  static LaunchApplication makeDefaultLaunchApplication(
      std::shared_ptr<ApplicationPlatform> platform, std::shared_ptr<WorkQueue> waitQueue);
  // The default send: a new scripting object per command, invoked by selector name.
  static SendCommand makeDefaultSendCommand(std::shared_ptr<ApplicationPlatform> platform,
                                            PlayPauseAfterLaunch afterLaunchMode);
  static std::string_view selectorFor(MediaKey key);

 private:
  // Deletes the controller from a job of its own queue, behind every job queued before it.
  struct RetireOnQueue {
    void operator()(MusicController* controller) const;
  };

  void run(MediaKey key, bool launchIfNeeded);
  void finishLaunch(bool isUp);
  void sendAfterLaunch(MediaKey key);

  const std::shared_ptr<SerialWorkQueue> queue_;
  const IsRunningQuery isRunning_;
  const LaunchApplication launchApplication_;
  const SendCommand sendCommand_;
  const AutomationStatusCheck automationStatus_;
  const PlayerStateQuery isPlaying_;

  // Touched only by jobs of `queue_`, which run one at a time: no lock.
  bool launchPending_ = false;
  // With whether each key asked for a launch: one that did not was decided with the player up.
  std::vector<std::pair<MediaKey, bool>> keysAwaitingLaunch_;
};

}  // namespace tonvara
