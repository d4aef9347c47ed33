#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <random>
#include <thread>

#include "FakeEngine.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

constexpr auto kLaunch = WhenNotRunning::launchMusic;
constexpr auto kPass = WhenNotRunning::passThrough;

TEST(EngineSettings, StoredTextsRoundTripExactly) {
  EXPECT_EQ(whenNotRunningFromRawValue("launchMusic"), kLaunch);
  EXPECT_EQ(whenNotRunningFromRawValue(rawValue(kPass)), kPass);
  for (const char* text : {"LaunchMusic", "passthrough", " passThrough", ""}) {
    EXPECT_FALSE(whenNotRunningFromRawValue(text)) << text;
  }
}

TEST(MediaKeyRouter, DecidesEveryKeyByTheTableAndTellsTheObserver) {
  struct Row {
    bool enabled, denied, running;
    WhenNotRunning whenNotRunning;
    bool taken;
  };
  for (const auto& row :
       {Row{false, false, true, kLaunch, false}, Row{false, false, false, kLaunch, false},
        Row{true, true, true, kLaunch, false}, Row{true, true, false, kLaunch, false},
        Row{true, false, true, kPass, true}, Row{true, false, true, kLaunch, true},
        Row{true, false, false, kPass, false}, Row{true, false, false, kLaunch, true}}) {
    for (const auto& [code, command] :
         {std::pair{16, "playpause"}, std::pair{17, "nextTrack"}, std::pair{18, "previousTrack"}}) {
      for (const bool observed : {false, true}) {
        SCOPED_TRACE(::testing::Message() << row.enabled << row.denied << row.running
                                          << rawValue(row.whenNotRunning) << code << observed);
        // The tap is started directly, so disabled settings still meet a decision.
        FakeEngine engine(EngineSettings(row.enabled, row.whenNotRunning));
        auto tap = std::make_unique<MediaKeyTap>(engine.taps);
        ASSERT_TRUE(tap->start());
        engine.router =
            std::make_unique<MediaKeyRouter>(engine.router->settings(), std::move(tap),
                                             makeFakeMusicController(engine.apps, engine.clock));
        engine.apps->setRunning(row.running);
        engine.apps->setAutomationStatus(row.denied ? kAutomationNotPermitted : kAutomationGranted);
        engine.router->refreshAutomationStatus();
        std::vector<std::pair<MediaKey, bool>> events;
        if (observed) {
          engine.router->setOnEvent(
              [&](MediaKey key, bool taken) { events.emplace_back(key, taken); });
        }
        const int queries = engine.apps->runningQueries();
        EXPECT_EQ(engine.taps->postMediaKey(code, true),
                  row.taken ? PostOutcome::swallowed : PostOutcome::passed);
        EXPECT_EQ(engine.apps->runningQueries() - queries, row.enabled && !row.denied ? 1 : 0);
        EXPECT_TRUE(engine.apps->commands().empty());  // answered before any work ran
        engine.clock.runUntilIdle();
        EXPECT_EQ(engine.apps->commands(),
                  row.taken ? std::vector<std::string>{command} : std::vector<std::string>{});
        EXPECT_EQ(engine.apps->launches(), row.taken && !row.running ? 1 : 0);
        if (observed) {
          EXPECT_EQ(events, (std::vector{std::pair{*mediaKeyFromKeyCode(code), row.taken}}));
        }
      }
    }
  }
}

TEST(MediaKeyRouter, KeepsTheLastDefiniteAutomationAnswer) {
  FakeEngine engine(EngineSettings(true, kPass));
  engine.apps->setRunning(true);
  ASSERT_TRUE(engine.router->activate());
  EXPECT_EQ(engine.taps->postMediaKey(16, true),
            PostOutcome::swallowed);  // never asked: not denied
  for (const std::int32_t definite : {kAutomationNotPermitted, kAutomationGranted}) {
    engine.apps->setAutomationStatus(definite);
    EXPECT_EQ(engine.router->isAutomationDenied(), definite == kAutomationGranted);  // cached
    engine.router->refreshAutomationStatus();
    for (const std::int32_t other : {-600, -1744}) {
      engine.apps->setAutomationStatus(other);
      EXPECT_TRUE(engine.router->activate());
      EXPECT_EQ(engine.router->automationStatus(), MusicController::AutomationAccess::undetermined);
      EXPECT_EQ(engine.router->isAutomationDenied(), definite != kAutomationGranted) << other;
      EXPECT_EQ(engine.taps->postMediaKey(17, true),
                definite == kAutomationGranted ? PostOutcome::swallowed : PostOutcome::passed);
    }
  }
  EXPECT_EQ(engine.taps->tapsCreated(), 1);
}

TEST(MediaKeyRouter, InstallsTheTapAsTheSettingsAndTheSystemAllow) {
  FakeEngine engine(EngineSettings(true, kLaunch));
  EXPECT_FALSE(engine.router->isTapInstalled());  // construction installs nothing
  EXPECT_EQ(engine.apps->automationChecks(), 0);
  engine.taps->setRefuseTaps(true);
  EXPECT_FALSE(engine.router->activate());
  engine.taps->setRefuseTaps(false);
  EXPECT_TRUE(engine.router->activate());
  engine.router->deactivateTap();
  EXPECT_FALSE(engine.router->isTapInstalled());
  EXPECT_TRUE(engine.router->settings().enabled);
  engine.router->update(EngineSettings(true, kPass));
  EXPECT_TRUE(engine.router->isTapInstalled());
  EXPECT_EQ(engine.router->settings().whenNotRunning, kPass);
  const int checks = engine.apps->automationChecks();
  engine.router->update(EngineSettings(false, kPass));
  EXPECT_TRUE(engine.router->activate());
  EXPECT_FALSE(engine.router->isTapInstalled());
  EXPECT_EQ(engine.apps->automationChecks(), checks);  // nothing to check while off
  EXPECT_EQ(engine.taps->postMediaKey(16, true), PostOutcome::noTap);
}

TEST(MediaKeyRouter, DestroyingWaitsForTheDecisionInProgress) {
  FakeEngine engine(EngineSettings(true, kPass));
  engine.apps->setRunning(true);
  std::promise<void> entered, go;
  auto released = go.get_future().share();
  engine.router->setOnEvent([&](MediaKey, bool) {
    entered.set_value();
    released.wait();
  });
  ASSERT_TRUE(engine.router->activate());
  std::thread poster(
      [&] { EXPECT_EQ(engine.taps->postMediaKey(16, true), PostOutcome::swallowed); });
  entered.get_future().wait();
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    engine.router.reset();
    destroyed = true;
  });
  ASSERT_TRUE(eventually([&] { return !engine.taps->isTapEnabled(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  go.set_value();
  destroyer.join();
  poster.join();
}

// Music never runs and every launch fails, so a key is taken exactly when the settings in force
// say launchMusic. A check counts only when no change overlapped the post.
TEST(MediaKeyRouter, EveryDecisionFollowsTheSettingsInForceWhileTheyChurn) {
  auto taps = std::make_shared<FakeEventTapPlatform>();
  std::atomic<int> launches{0};
  auto queue = std::make_shared<DispatchQueue>("test.music", QualityOfService::userInitiated);
  auto music = MusicController::create(
      queue, MusicController::IsRunningQuery([] { return false; }),
      [&launches](const MusicController::LaunchCompletion& done) { ++launches, done(false); },
      [](MediaKey, bool) { ADD_FAILURE() << "sent after a failed launch"; },
      [] { return kAutomationGranted; }, [] { return false; });
  auto router = std::make_unique<MediaKeyRouter>(EngineSettings(true, kLaunch),
                                                 std::make_unique<MediaKeyTap>(taps), music);
  std::atomic<int> taken{0};
  router->setOnEvent([&](MediaKey, bool isTaken) { taken += isTaken ? 1 : 0; });
  std::atomic<unsigned> version{0};  // odd while a change is under way
  std::atomic<int> expected{static_cast<int>(PostOutcome::swallowed)};
  std::atomic<bool> finished{false};
  std::thread churn([&] {
    std::mt19937 random(20261206);
    EngineSettings current(true, kLaunch);
    while (!finished) {
      ++version;
      bool installed = false;
      switch (random() % 3) {
        case 0:
          current = EngineSettings(random() % 4 != 0, random() % 2 == 0 ? kLaunch : kPass);
          router->update(current);
          installed = current.enabled;
          break;
        case 1:
          installed = router->activate() && current.enabled;
          break;
        default:
          router->deactivateTap();
      }
      expected = static_cast<int>(!installed                          ? PostOutcome::noTap
                                  : current.whenNotRunning == kLaunch ? PostOutcome::swallowed
                                                                      : PostOutcome::passed);
      ++version;
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    }
  });
  int checked[4] = {}, swallowed = 0;
  for (int i = 0; checked[1] + checked[2] < 5000; ++i) {
    const unsigned before = version;
    const int wanted = expected;
    const auto outcome = taps->postMediaKey(16 + i % 5, true);
    if (outcome == PostOutcome::noTap) {
      std::this_thread::sleep_for(std::chrono::microseconds(10));  // leave the churn the processor
    }
    swallowed += outcome == PostOutcome::swallowed ? 1 : 0;
    if (before == version && before % 2 == 0) {
      ++checked[static_cast<int>(outcome)];
      ASSERT_EQ(static_cast<int>(outcome), wanted) << "post " << i;
    }
  }
  finished = true;
  churn.join();
  EXPECT_TRUE(checked[0] > 0 && checked[1] > 0 && checked[2] > 0);  // every verdict was checked
  router.reset();
  queue->sync([] {});
  EXPECT_EQ(taken, swallowed);
  EXPECT_GT(launches, 0);
  EXPECT_LE(launches, swallowed);  // keys taken while a launch is pending wait for it
}

}  // namespace
}  // namespace tonvara::testing
