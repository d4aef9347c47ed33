#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "FakeEngine.h"
#include "MediaKeyEngine/WorkQueue.h"
#include "ThreadCensus.h"

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
  ControllerRig missing;  // not installed: nothing to launch
  missing.apps->setInstalled(false);
  missing.music->perform(MediaKey::next, true);
  missing.clock.runUntilIdle();
  EXPECT_TRUE(missing.log.empty());
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

using namespace std::chrono_literals;

int niceValue() { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); }

// Timing here only ever asserts "not earlier than" and order, never how soon.
TEST(DispatchQueue, RunsJobsOneAtATimeInDueOrderAtItsQualityOfService) {
  const int base = niceValue();
  for (const auto& [qos, nice] : {std::pair{QualityOfService::userInitiated, base},
                                  std::pair{QualityOfService::utility, std::max(base, 10)},
                                  std::pair{QualityOfService::background, 19}}) {
    auto queue = std::make_shared<DispatchQueue>("test.queue", qos);
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    for (const int delay : {40, 20, 0, -1, -2}) {
      queue->asyncAfter(std::max(delay, 0) * 1ms, [&, delay] {
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::max(delay, 0) * 1ms);
        EXPECT_EQ(niceValue(), nice);
        order.push_back(delay);
      });
    }
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> held = token;
    queue->asyncAfter(1h, [token] { ADD_FAILURE() << "a dropped job ran"; });
    token.reset();
    std::this_thread::sleep_for(50ms);
    queue->sync([&] { order.push_back(1); });
    EXPECT_EQ(order, (std::vector{0, -1, -2, 20, 40, 1}));
    queue->async([&queue] { queue.reset(); });  // the last owner goes from a job of its own
    EXPECT_TRUE(eventually([&] { return held.expired() && threadsNamed("test.queue") <= 0; }));
  }
  EXPECT_EQ(DispatchQueue::global(QualityOfService::utility),
            DispatchQueue::global(QualityOfService::utility));
}

}  // namespace
}  // namespace tonvara::testing
