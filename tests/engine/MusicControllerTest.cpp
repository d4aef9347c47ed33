#include <gtest/gtest.h>

#include "FakeEngine.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

// Logs every command ("+" after a launch) and player-state query at its virtual time in ms.
struct ControllerRig {
  VirtualClock clock;
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  Log log;
  std::shared_ptr<MusicController> music = makeFakeMusicController(
      apps, clock, MusicController::PlayPauseAfterLaunch::toggle,
      [this](const std::string& what) { log.push_back(what + std::to_string(clock.now() / 1ms)); });
};

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
      rig.music->perform(key, key != MediaKey::previous);  // runs while the launch is pending
    }
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), 1);
    const Log up{"+PLAY/PAUSE1000", "NEXT1000", "PLAY/PAUSE1000", "PREVIOUS1000", "playing?1500"};
    EXPECT_EQ(rig.log, outcome == LaunchOutcome::slow ? up : Log{});
    rig.music->perform(MediaKey::next, false);  // sent even when not running: never launches
    rig.apps->setLaunchOutcome(LaunchOutcome::finished);
    rig.music->perform(MediaKey::previous, true);  // launches again unless running
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), outcome == LaunchOutcome::slow ? 1 : 2);
    const auto commands = rig.apps->commands();
    EXPECT_EQ(Log(commands.end() - 2, commands.end()), (Log{"nextTrack", "previousTrack"}));
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

TEST(MusicController, TheDefaultSenderNamesMusicAndSendsPlayAfterALaunchInPlayMode) {
  auto apps = std::make_shared<FakeApplicationPlatform>();
  const auto send =
      MusicController::makeDefaultSendCommand(apps, MusicController::PlayPauseAfterLaunch::play);
  send(MediaKey::playPause, true);
  send(MediaKey::playPause, false);
  apps->setScriptable(false);
  send(MediaKey::next, false);
  EXPECT_EQ(apps->commands(), (Log{"play", "playpause"}));
  EXPECT_EQ(apps->lastBundleID(), "com.apple.Music");
}

}  // namespace
}  // namespace tonvara::testing
