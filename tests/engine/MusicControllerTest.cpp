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
          return note("playing?"), apps->isPlayerPlaying(MusicController::bundleID).value();
        });
  }
  void note(const std::string& what) { log.push_back(what + std::to_string(clock.now() / 1ms)); }

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
  EXPECT_EQ(rig.apps->commands(), (Log{"previousTrack", "nextTrack", "playpause"}));
  EXPECT_EQ(rig.apps->launches(), 0);
}

// Readiness is read twice per check, every 50 ms, at most 100 times; a play/pause that launched
// is checked every 500 ms, at most 10 times, and sent again while not playing.
TEST(MusicController, WaitsForTheLaunchThenMakesSurePlayPauseStartedPlaying) {
  const std::tuple<MediaKey, LaunchOutcome, int, int, Log> table[] = {
      {MediaKey::next, LaunchOutcome::slow, 6, 1, {"+NEXT150"}},
      {MediaKey::previous, LaunchOutcome::neverReady, 0, 1, {"+PREVIOUS5000"}},
      {MediaKey::playPause, LaunchOutcome::finished, 0, 1, {"+PLAY/PAUSE0", "playing?500"}},
      {MediaKey::playPause,
       LaunchOutcome::finished,
       0,
       2,
       {"+PLAY/PAUSE0", "playing?500", "+PLAY/PAUSE500", "playing?1000"}}};
  for (const auto& [key, outcome, reads, playingAfter, expected] : table) {
    ControllerRig rig;
    rig.apps->setLaunchOutcome(outcome, reads);
    rig.apps->setPlayingAfterCommands(playingAfter);
    rig.music->perform(key, true);
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.log, expected);
  }
  ControllerRig never;
  never.apps->setPlayingAfterCommands(-1);
  never.music->perform(MediaKey::playPause, true);
  never.clock.runUntilIdle();
  EXPECT_EQ(never.log.size(), 20U);
  EXPECT_EQ(never.log.back(), "playing?5000");
  EXPECT_EQ(never.apps->commands(), Log(10, "playpause"));
}

TEST(MusicController, KeysDuringALaunchFollowItInOrderOrAreDroppedWithItNeverLaunchingTwice) {
  for (const auto outcome :
       {LaunchOutcome::slow, LaunchOutcome::terminated, LaunchOutcome::openError}) {
    ControllerRig rig;
    rig.apps->setPlayingAfterCommands(0);
    rig.apps->setLaunchOutcome(outcome, 40);  // settles after 20 checks: 1 s
    rig.music->perform(MediaKey::playPause, true);
    for (const auto key : {MediaKey::next, MediaKey::playPause, MediaKey::previous}) {
      if (outcome != LaunchOutcome::openError) {  // that one fails at once
        rig.clock.advanceBy(100ms);
      }
      rig.music->perform(key, key != MediaKey::previous);
    }
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), 1);
    const Log up{"+PLAY/PAUSE1000", "NEXT1000", "PLAY/PAUSE1000", "PREVIOUS1000", "playing?1500"};
    EXPECT_EQ(rig.log, outcome == LaunchOutcome::slow ? up : Log{});
    rig.apps->setLaunchOutcome(LaunchOutcome::finished);
    rig.music->perform(MediaKey::next, true);  // the next key may launch again
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), outcome == LaunchOutcome::slow ? 1 : 2);
  }
}

TEST(MusicController, NothingHappensWithoutMusicOrOnceTheControllerIsGone) {
  ControllerRig rig;
  rig.apps->setInstalled(false);
  rig.music->perform(MediaKey::next, true);
  rig.clock.runUntilIdle();
  rig.apps->setInstalled(true);
  rig.apps->setLaunchOutcome(LaunchOutcome::slow, 10);
  rig.music->perform(MediaKey::next, true);
  rig.clock.advanceBy(50ms);
  rig.music.reset();
  rig.clock.runUntilIdle();
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.apps->launches(), 1);
}

TEST(MusicController, TheDefaultSenderNamesMusicAndChoosesTheCommandByKeyAndMode) {
  auto apps = std::make_shared<FakeApplicationPlatform>();
  const auto send =
      MusicController::makeDefaultSendCommand(apps, MusicController::PlayPauseAfterLaunch::play);
  for (const bool afterLaunch : {false, true}) {
    for (const auto key : {MediaKey::playPause, MediaKey::next, MediaKey::previous}) {
      send(key, afterLaunch);
    }
  }
  EXPECT_EQ(apps->commands(),
            (Log{"playpause", "nextTrack", "previousTrack", "play", "nextTrack", "previousTrack"}));
  EXPECT_EQ(apps->lastBundleID(), "com.apple.Music");
  apps->setScriptable(false);
  send(MediaKey::next, false);
  EXPECT_EQ(apps->commands().size(), 6U);
}

}  // namespace
}  // namespace tonvara::testing
