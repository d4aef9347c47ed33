#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "FakeApplicationPlatform.h"
#include "MediaKeyEngine/MusicController.h"
#include "VirtualClock.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using AfterLaunch = MusicController::PlayPauseAfterLaunch;

// The default launch and send procedures over the fake platform, every queue on one virtual
// clock; each command and player-state query is logged with its virtual time in milliseconds.
struct ControllerRig {
  explicit ControllerRig(AfterLaunch mode = AfterLaunch::toggle) {
    auto send = MusicController::makeDefaultSendCommand(apps, mode);
    music = MusicController::create(
        std::make_shared<VirtualQueue>(clock),
        [apps = apps] { return apps->runningApplications(MusicController::bundleID); },
        MusicController::makeDefaultLaunchApplication(apps, std::make_shared<VirtualQueue>(clock)),
        [this, send](MediaKey key, bool afterLaunch) {
          log.push_back(std::string(afterLaunch ? "+" : "") + std::string(debugName(key)) + "@" +
                        std::to_string(ms()));
          send(key, afterLaunch);
        },
        [apps = apps] {
          return apps->determinePermissionToAutomate(MusicController::bundleID, false);
        },
        [this] {
          log.push_back("playing?@" + std::to_string(ms()));
          return apps->isPlayerPlaying(MusicController::bundleID).value_or(false);
        });
  }
  long ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now()).count();
  }

  VirtualClock clock;
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::vector<std::string> log;
  std::shared_ptr<MusicController> music;
};

TEST(MusicController, SendsInOrderAndLaunchesOnlyWhenAskedAndNotRunning) {
  ControllerRig rig;
  rig.music->perform(MediaKey::previous, false);
  rig.music->perform(MediaKey::next, false);
  EXPECT_TRUE(rig.log.empty());  // perform only queues
  rig.apps->setRunning(true);    // asked when the job runs, not when queued
  rig.music->perform(MediaKey::playPause, true);
  rig.clock.runUntilIdle();
  EXPECT_EQ(rig.log, (std::vector<std::string>{"PREVIOUS@0", "NEXT@0", "PLAY/PAUSE@0"}));
  EXPECT_EQ(rig.apps->commands(),
            (std::vector<std::string>{"previousTrack", "nextTrack", "playpause"}));
  EXPECT_EQ(rig.apps->launches(), 0);
  EXPECT_TRUE(rig.music->isRunning());
}

TEST(MusicController, PlayPauseThatLaunchedChecksEveryHalfSecondUntilPlayingAtMostTenTimes) {
  for (const int playingAfter : {1, 3, -1}) {
    ControllerRig rig;
    rig.apps->setPlayingAfterCommands(playingAfter);
    rig.music->perform(MediaKey::playPause, true);
    rig.clock.runUntilIdle();
    std::vector<std::string> expected{"+PLAY/PAUSE@0"};
    const int checks = playingAfter < 0 ? 10 : playingAfter;
    for (int check = 1; check <= checks; ++check) {
      expected.push_back("playing?@" + std::to_string(check * 500));
      if (check < (playingAfter < 0 ? 10 : checks)) {
        expected.push_back("+PLAY/PAUSE@" + std::to_string(check * 500));
      }
    }
    EXPECT_EQ(rig.log, expected) << playingAfter;
    EXPECT_EQ(rig.apps->launches(), 1);
  }
}

TEST(MusicController, WaitsForTheLaunchInFiftyMillisecondStepsAndSendsAnywayAfterAHundred) {
  for (const auto& [outcome, checks, expected] :
       {std::tuple{LaunchOutcome::slow, 6, "+NEXT@150"},
        std::tuple{LaunchOutcome::neverReady, 0, "+NEXT@5000"}}) {
    ControllerRig rig;
    rig.apps->setLaunchOutcome(outcome, checks);  // two reads per readiness check
    rig.music->perform(MediaKey::next, true);
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.log, std::vector<std::string>{expected});
  }
}

TEST(MusicController, AFailedLaunchSendsNothingAndALaterKeyMayLaunchAgain) {
  for (const auto outcome : {LaunchOutcome::openError, LaunchOutcome::terminated}) {
    ControllerRig rig;
    rig.apps->setLaunchOutcome(outcome, 4);  // terminated: exits before it finished launching
    rig.music->perform(MediaKey::playPause, true);
    rig.music->perform(MediaKey::next, true);  // waits for the launch, then is dropped with it
    rig.clock.runUntilIdle();
    EXPECT_TRUE(rig.apps->commands().empty());
    EXPECT_EQ(rig.apps->launches(), 1);
    rig.apps->setLaunchOutcome(LaunchOutcome::finished);
    rig.music->perform(MediaKey::next, true);
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), 2);
    EXPECT_EQ(rig.apps->commands(), std::vector<std::string>{"nextTrack"});
  }
  ControllerRig rig;
  rig.apps->setInstalled(false);
  rig.music->perform(MediaKey::next, true);
  rig.clock.runUntilIdle();
  EXPECT_TRUE(rig.log.empty());
}

TEST(MusicController, KeysDuringAPendingLaunchWaitForItAndFollowInOrderWithoutASecondLaunch) {
  ControllerRig rig;
  rig.apps->setPlayingAfterCommands(0);
  rig.apps->setLaunchOutcome(LaunchOutcome::slow, 40);  // up after 20 checks: 1 s
  rig.music->perform(MediaKey::playPause, true);
  for (const auto key : {MediaKey::next, MediaKey::playPause, MediaKey::previous}) {
    rig.clock.advanceBy(100ms);
    rig.music->perform(key, true);
  }
  rig.music->perform(MediaKey::next, false);
  rig.clock.runUntilIdle();
  EXPECT_EQ(rig.apps->launches(), 1);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"+PLAY/PAUSE@1000", "NEXT@1000", "PLAY/PAUSE@1000",
                                               "PREVIOUS@1000", "NEXT@1000", "playing?@1500"}));
}

TEST(MusicController, ALaunchThatCompletesAfterTheControllerIsGoneDoesNothing) {
  ControllerRig rig;
  rig.apps->setLaunchOutcome(LaunchOutcome::slow, 10);
  rig.music->perform(MediaKey::next, true);
  rig.clock.advanceBy(50ms);
  std::weak_ptr<MusicController> weak = rig.music;
  rig.music.reset();
  rig.clock.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(rig.log.empty());
}

TEST(MusicController, TheDefaultSenderNamesMusicAndChoosesTheCommandByKeyAndMode) {
  for (const auto mode : {AfterLaunch::toggle, AfterLaunch::play}) {
    auto apps = std::make_shared<FakeApplicationPlatform>();
    const auto send = MusicController::makeDefaultSendCommand(apps, mode);
    for (const bool afterLaunch : {false, true}) {
      for (const auto key : {MediaKey::playPause, MediaKey::next, MediaKey::previous}) {
        send(key, afterLaunch);
      }
    }
    const std::string launched = mode == AfterLaunch::play ? "play" : "playpause";
    EXPECT_EQ(apps->commands(), (std::vector<std::string>{"playpause", "nextTrack", "previousTrack",
                                                          launched, "nextTrack", "previousTrack"}));
    EXPECT_EQ(apps->lastBundleID(), "com.apple.Music");
    apps->setScriptable(false);
    send(MediaKey::next, false);
    EXPECT_EQ(apps->commands().size(), 6U);
  }
}

TEST(MusicController, AutomationAccessIsAskedAfreshWithoutPromptAndMapped) {
  ControllerRig rig;
  for (const auto& [status, access] :
       {std::pair{0, MusicController::AutomationAccess::granted},
        std::pair{-1743, MusicController::AutomationAccess::denied},
        std::pair{-1744, MusicController::AutomationAccess::undetermined},
        std::pair{-600, MusicController::AutomationAccess::undetermined}}) {
    rig.apps->setAutomationStatus(status);
    EXPECT_EQ(rig.music->automationAccess(), access) << status;
  }
  EXPECT_EQ(rig.apps->automationPrompts(), std::vector<bool>(4, false));
}

TEST(MusicController, RetryLoopsCountTheirAttempts) {
  std::deque<std::function<void()>> steps;
  const auto schedule = [&](std::function<void()> step) { steps.push_back(std::move(step)); };
  const auto run = [&] {
    int ran = 0;
    for (; !steps.empty(); ++ran) {
      auto step = std::move(steps.front());
      steps.pop_front();
      step();
    }
    return ran;
  };
  // attempts, check that first answers true (0: never), expected checks, expected sends
  for (const auto& [attempts, readyAt, checks, sends] :
       {std::tuple{100, 0, 100, 0}, std::tuple{100, 5, 5, 0}, std::tuple{1, 0, 1, 0},
        std::tuple{0, 0, 1, 0}}) {
    int checked = 0, completions = 0;
    MusicController::waitUntilReady([&, at = readyAt] { return ++checked == at; }, attempts,
                                    schedule, [&] { ++completions; });
    EXPECT_EQ(checked, 0);
    EXPECT_EQ(run(), checks);
    EXPECT_EQ(checked, checks);
    EXPECT_EQ(completions, 1);
  }
  for (const auto& [attempts, playingAt, checks, sends] :
       {std::tuple{10, 0, 10, 9}, std::tuple{10, 4, 4, 3}, std::tuple{1, 0, 1, 0}}) {
    int checked = 0, sent = 0;
    MusicController::ensurePlaybackStarted(
        [&] { ++sent; }, [&, at = playingAt] { return ++checked == at; }, attempts, schedule);
    run();
    EXPECT_EQ(checked, checks);
    EXPECT_EQ(sent, sends);
  }
}

}  // namespace
}  // namespace tonvara::testing
