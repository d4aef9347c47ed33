#include <gtest/gtest.h>

#include "FakeApplicationPlatform.h"
#include "MediaKeyEngine/MusicController.h"
#include "VirtualClock.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

// The default launch and send procedures over the fake platform, every queue on one virtual
// clock; each command ("+" after a launch) and player-state query is logged at its time in ms.
struct ControllerRig {
  ControllerRig() {
    auto send = MusicController::makeDefaultSendCommand(
        apps, MusicController::PlayPauseAfterLaunch::toggle);
    music = MusicController::create(
        std::make_shared<VirtualQueue>(clock),
        [apps = apps] { return apps->runningApplications(MusicController::bundleID); },
        MusicController::makeDefaultLaunchApplication(apps, std::make_shared<VirtualQueue>(clock)),
        [this, send](MediaKey key, bool afterLaunch) {
          note((afterLaunch ? "+" : "") + std::string(debugName(key)));
          send(key, afterLaunch);
        },
        [] { return kAutomationGranted; },
        [this] {
          note("playing?");
          return apps->isPlayerPlaying(MusicController::bundleID).value_or(false);
        });
  }
  void note(const std::string& what) {
    log.push_back(what + "@" + std::to_string(clock.now() / 1ms));
  }

  VirtualClock clock;
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  Log log;
  std::shared_ptr<MusicController> music;
};

TEST(MusicController, SendsInOrderAndLaunchesOnlyWhenAskedAndNotRunning) {
  ControllerRig rig;
  rig.music->perform(MediaKey::previous, false);
  rig.music->perform(MediaKey::next, false);
  EXPECT_TRUE(rig.log.empty());  // perform only queues
  rig.apps->setRunning(true);    // asked when the job runs
  rig.music->perform(MediaKey::playPause, true);
  rig.clock.runUntilIdle();
  EXPECT_EQ(rig.log, (Log{"PREVIOUS@0", "NEXT@0", "PLAY/PAUSE@0"}));
  EXPECT_EQ(rig.apps->commands(), (Log{"previousTrack", "nextTrack", "playpause"}));
  EXPECT_EQ(rig.apps->launches(), 0);
}

TEST(MusicController, APlayPauseThatLaunchedIsRepeatedEveryHalfSecondUntilPlayingTenTimesAtMost) {
  for (const int playingAfter : {1, 3, -1}) {
    ControllerRig rig;
    rig.apps->setPlayingAfterCommands(playingAfter);
    rig.music->perform(MediaKey::playPause, true);
    rig.clock.runUntilIdle();
    Log expected{"+PLAY/PAUSE@0"};
    const int checks = playingAfter < 0 ? 10 : playingAfter;
    for (int check = 1; check <= checks; ++check) {
      expected.push_back("playing?@" + std::to_string(check * 500));
      if (check < (playingAfter < 0 ? 10 : checks)) {
        expected.push_back("+PLAY/PAUSE@" + std::to_string(check * 500));
      }
    }
    EXPECT_EQ(rig.log, expected) << playingAfter;
  }
}

TEST(MusicController, WaitsForTheLaunchEveryFiftyMillisecondsAndSendsAnywayAfterAHundred) {
  for (const auto& [outcome, reads, expected] :
       {std::tuple{LaunchOutcome::slow, 6, "+NEXT@150"},
        std::tuple{LaunchOutcome::neverReady, 0, "+NEXT@5000"}}) {
    ControllerRig rig;
    rig.apps->setLaunchOutcome(outcome, reads);  // two reads per readiness check
    rig.music->perform(MediaKey::next, true);
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.log, Log{expected});
  }
}

TEST(MusicController, AFailedLaunchDropsItsKeysAndALaterKeyLaunchesAgain) {
  for (const auto outcome : {LaunchOutcome::openError, LaunchOutcome::terminated}) {
    ControllerRig rig;
    rig.apps->setLaunchOutcome(outcome, 4);  // terminated: exits before it finished launching
    rig.music->perform(MediaKey::playPause, true);
    rig.music->perform(MediaKey::next, true);
    rig.clock.runUntilIdle();
    EXPECT_TRUE(rig.log.empty());
    EXPECT_EQ(rig.apps->launches(), 1);
    rig.apps->setLaunchOutcome(LaunchOutcome::finished);
    rig.music->perform(MediaKey::next, true);
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), 2);
    EXPECT_EQ(rig.apps->commands(), Log{"nextTrack"});
  }
}

TEST(MusicController, KeysDuringAPendingLaunchFollowItInOrderWithoutASecondLaunch) {
  ControllerRig rig;
  rig.apps->setPlayingAfterCommands(0);
  rig.apps->setLaunchOutcome(LaunchOutcome::slow, 40);  // up after 20 checks: 1 s
  rig.music->perform(MediaKey::playPause, true);
  for (const auto key : {MediaKey::next, MediaKey::playPause, MediaKey::previous}) {
    rig.clock.advanceBy(100ms);
    rig.music->perform(key, key != MediaKey::previous);
  }
  rig.clock.runUntilIdle();
  EXPECT_EQ(rig.apps->launches(), 1);
  EXPECT_EQ(rig.log, (Log{"+PLAY/PAUSE@1000", "NEXT@1000", "PLAY/PAUSE@1000", "PREVIOUS@1000",
                          "playing?@1500"}));
}

TEST(MusicController, ALaunchThatEndsAfterTheControllerIsGoneSendsNothing) {
  ControllerRig rig;
  rig.apps->setLaunchOutcome(LaunchOutcome::slow, 10);
  rig.music->perform(MediaKey::next, true);
  rig.clock.advanceBy(50ms);
  rig.music.reset();
  rig.clock.runUntilIdle();
  EXPECT_TRUE(rig.log.empty());
}

TEST(MusicController, TheDefaultSenderNamesMusicAndChoosesTheCommandByKeyAndMode) {
  for (const auto mode : {MusicController::PlayPauseAfterLaunch::toggle,
                          MusicController::PlayPauseAfterLaunch::play}) {
    auto apps = std::make_shared<FakeApplicationPlatform>();
    const auto send = MusicController::makeDefaultSendCommand(apps, mode);
    for (const bool afterLaunch : {false, true}) {
      for (const auto key : {MediaKey::playPause, MediaKey::next, MediaKey::previous}) {
        send(key, afterLaunch);
      }
    }
    const std::string launched =
        mode == MusicController::PlayPauseAfterLaunch::play ? "play" : "playpause";
    EXPECT_EQ(apps->commands(), (Log{"playpause", "nextTrack", "previousTrack", launched,
                                     "nextTrack", "previousTrack"}));
    EXPECT_EQ(apps->lastBundleID(), "com.apple.Music");
    apps->setScriptable(false);
    send(MediaKey::next, false);
    EXPECT_EQ(apps->commands().size(), 6U);
  }
}

}  // namespace
}  // namespace tonvara::testing
