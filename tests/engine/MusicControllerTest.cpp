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
using K = MediaKey;
using O = LaunchOutcome;

// Logs each command ("+" after a launch) and player-state query at its virtual time in ms.
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
  const Log twice{"+PLAY/PAUSE0", "playing?500", "+PLAY/PAUSE500", "playing?1000"};
  const std::tuple<MediaKey, LaunchOutcome, int, int, Log> table[] = {
      {K::next, O::slow, 6, 1, {"+NEXT150"}},
      {K::previous, O::neverReady, 0, 1, {"+PREVIOUS5000"}},
      {K::playPause, O::finished, 0, 1, {"+PLAY/PAUSE0", "playing?500"}},
      {K::playPause, O::finished, 0, 2, twice}};
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
  never.music->perform(K::playPause, true);
  never.clock.runUntilIdle();
  EXPECT_EQ(never.log.back(), "playing?5000");
  EXPECT_EQ(never.apps->commands(), Log(10, "playpause"));
}

TEST(MusicController, KeysDuringALaunchFollowItInOrderNeverLaunchingTwiceNorLostToAFailedOne) {
  for (const auto outcome : {O::slow, O::terminated, O::openError}) {
    ControllerRig rig;
    rig.apps->setPlayingAfterCommands(0);
    rig.apps->setLaunchOutcome(outcome, 40);  // settles after 20 checks: 1 s
    rig.music->perform(K::playPause, true);
    for (const auto key : {K::next, K::playPause, K::previous}) {
      rig.music->perform(key, key != K::previous);  // runs while the launch is pending
    }
    rig.clock.advanceBy(0ms);
    rig.apps->setRunning(true);  // a player came up some other way meanwhile
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), 1);
    const Log up{"+PLAY/PAUSE1000", "NEXT1000", "PLAY/PAUSE1000", "PREVIOUS1000", "playing?1500"};
    // After a failed launch only the key decided with the player up is sent: none while the
    // launch failed at once.
    const Log failed = outcome == O::terminated ? Log{"PREVIOUS1000"} : Log{};
    EXPECT_EQ(rig.log, outcome == O::slow ? up : failed);
    rig.apps->setRunning(outcome == O::slow);
    rig.music->perform(K::next, false);  // sent even when not running: never launches
    rig.apps->setLaunchOutcome(O::finished);
    rig.music->perform(K::previous, true);  // launches again unless running
    rig.clock.runUntilIdle();
    EXPECT_EQ(rig.apps->launches(), outcome == O::slow ? 1 : 2);
    EXPECT_EQ(rig.apps->commands().back(), "previousTrack");
  }
}

TEST(MusicController, TheDefaultSenderSendsPlayAfterALaunchInPlayMode) {
  auto apps = std::make_shared<FakeApplicationPlatform>();
  const auto send =
      MusicController::makeDefaultSendCommand(apps, MusicController::PlayPauseAfterLaunch::play);
  send(K::playPause, true);
  send(K::playPause, false);
  EXPECT_EQ(apps->commands(), (Log{"play", "playpause"}));
}

// Timing here only ever asserts "not earlier than" and order, never how soon.
TEST(DispatchQueue, RunsJobsOneAtATimeInDueOrderAtItsQualityOfService) {
  const auto niceValue = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
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
    queue->asyncAfter(1h, [] { ADD_FAILURE() << "a dropped job ran"; });
    std::this_thread::sleep_for(50ms);
    queue->sync([&] { order.push_back(1); });
    EXPECT_EQ(order, (std::vector{0, -1, -2, 20, 40, 1}));
    queue.get()->async([keep = std::move(queue)] {});  // the job becomes the last owner
    EXPECT_TRUE(eventually([&] { return threadsNamed("test.queue") <= 0; }));
  }
}

}  // namespace
}  // namespace tonvara::testing
