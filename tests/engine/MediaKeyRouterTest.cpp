#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "FakeEngine.h"

namespace tonvara::testing {
namespace {

constexpr auto kLaunch = WhenNotRunning::launchMusic;
constexpr auto kPass = WhenNotRunning::passThrough;

TEST(MediaKeyRouter, DecidesEveryKeyByTheTableAndTellsTheObserver) {
  struct Row {
    bool enabled, denied, running;
    WhenNotRunning whenNotRunning;
    bool taken;
  } const rows[] = {{false, false, true, kLaunch, false}, {true, true, true, kLaunch, false},
                    {true, true, false, kLaunch, false},  {true, false, true, kPass, true},
                    {true, false, true, kLaunch, true},   {true, false, false, kPass, false},
                    {true, false, false, kLaunch, true}};
  for (const auto& row : rows) {
    for (const auto& [code, command] :
         {std::pair{16, "playpause"}, std::pair{17, "nextTrack"}, std::pair{18, "previousTrack"}}) {
      SCOPED_TRACE(::testing::Message() << row.enabled << row.denied << row.running
                                        << rawValue(row.whenNotRunning) << code);
      FakeEngine engine(EngineSettings(row.enabled, row.whenNotRunning));
      auto tap = std::make_unique<MediaKeyTap>(engine.taps);  // installed whatever the settings
      ASSERT_TRUE(tap->start());
      engine.router =
          std::make_unique<MediaKeyRouter>(engine.router->settings(), std::move(tap),
                                           makeFakeMusicController(engine.apps, engine.clock));
      engine.apps->setRunning(row.running);
      engine.apps->setAutomationStatus(row.denied ? kAutomationNotPermitted : kAutomationGranted);
      engine.router->refreshAutomationStatus();
      std::vector<std::pair<MediaKey, bool>> events;
      engine.router->setOnEvent([&](MediaKey key, bool taken) { events.emplace_back(key, taken); });
      const int queries = engine.apps->runningQueries();
      EXPECT_EQ(engine.taps->postMediaKey(code, true),
                row.taken ? PostOutcome::swallowed : PostOutcome::passed);
      EXPECT_EQ(engine.apps->runningQueries() - queries, row.enabled && !row.denied ? 1 : 0);
      EXPECT_TRUE(engine.apps->commands().empty());  // answered before any work ran
      EXPECT_EQ(events, (std::vector{std::pair{*mediaKeyFromKeyCode(code), row.taken}}));
      engine.router->setOnEvent(nullptr);
      EXPECT_EQ(engine.taps->postMediaKey(code, true),
                row.taken ? PostOutcome::swallowed : PostOutcome::passed);
      engine.clock.runUntilIdle();
      EXPECT_EQ(engine.apps->commands(), std::vector<std::string>(row.taken ? 2 : 0, command));
      EXPECT_EQ(engine.apps->launches(), row.taken && !row.running ? 1 : 0);
    }
  }
}

TEST(MediaKeyRouter, KeepsTheLastDefiniteAutomationAnswerAndNeverPrompts) {
  FakeEngine engine(EngineSettings(true, kPass));
  engine.apps->setRunning(true);
  engine.apps->setAutomationStatus(kAutomationProcessNotFound);
  ASSERT_TRUE(engine.router->activate());
  EXPECT_EQ(engine.taps->postMediaKey(16, true), PostOutcome::swallowed);  // none yet: not denied
  for (const std::int32_t definite : {kAutomationNotPermitted, kAutomationGranted}) {
    engine.apps->setAutomationStatus(definite);
    EXPECT_EQ(engine.router->isAutomationDenied(), definite == kAutomationGranted);  // cached
    engine.router->refreshAutomationStatus();
    for (const std::int32_t other : {-600, -1744}) {
      engine.apps->setAutomationStatus(other);
      EXPECT_TRUE(engine.router->activate());
      EXPECT_EQ(engine.router->automationStatus(), MusicController::AutomationAccess::undetermined);
      EXPECT_EQ(engine.taps->postMediaKey(17, true),
                definite == kAutomationGranted ? PostOutcome::swallowed : PostOutcome::passed);
    }
  }
  const auto prompts = engine.apps->automationPrompts();
  EXPECT_EQ(std::count(prompts.begin(), prompts.end(), true), 0);
}

TEST(MediaKeyRouter, InstallsTheTapAsTheSettingsAndTheSystemAllow) {
  FakeEngine engine(EngineSettings(true, kLaunch));
  EXPECT_FALSE(engine.router->isTapInstalled());  // construction installs nothing
  engine.taps->setRefuseTaps(true);
  EXPECT_FALSE(engine.router->activate());
  engine.taps->setRefuseTaps(false);
  engine.router->deactivateTap();  // also when not installed
  engine.router->update(EngineSettings(true, kPass));
  EXPECT_TRUE(engine.router->isTapInstalled());
  EXPECT_EQ(engine.router->settings().whenNotRunning, kPass);
  engine.router->deactivateTap();
  EXPECT_FALSE(engine.router->isTapInstalled());
  EXPECT_TRUE(engine.router->activate());
  const int checks = engine.apps->automationChecks();
  engine.router->update(EngineSettings(false, kPass));
  EXPECT_TRUE(engine.router->activate());
  EXPECT_FALSE(engine.router->isTapInstalled());
  EXPECT_EQ(engine.apps->automationChecks(), checks);  // nothing to check while off
}

// Music never runs and launches fail, so a key is taken exactly when the settings in force say
// launchMusic. Only posts that no change overlapped are checked.
TEST(MediaKeyRouter, EveryDecisionFollowsTheSettingsInForceWhileTheyChurn) {
  FakeEngine engine(EngineSettings(true, kLaunch));
  engine.apps->setLaunchOutcome(LaunchOutcome::openError);
  std::atomic<int> taken{0};
  engine.router->setOnEvent([&](MediaKey, bool isTaken) { taken += isTaken ? 1 : 0; });
  std::atomic<unsigned> version{0};  // odd while a change is under way
  std::atomic<PostOutcome> expected{PostOutcome::noTap};
  std::thread churn([&] {
    for (std::mt19937 random(20261206); version < 2000;) {
      ++version;
      const EngineSettings next(random() % 4 != 0, random() % 2 == 0 ? kLaunch : kPass);
      random() % 3 == 0 ? engine.router->deactivateTap() : engine.router->update(next);
      const bool launch = engine.router->isTapInstalled() && next.whenNotRunning == kLaunch;
      expected = engine.router->isTapInstalled()
                     ? (launch ? PostOutcome::swallowed : PostOutcome::passed)
                     : PostOutcome::noTap;
      ++version;
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    }
  });
  int checked[4] = {}, mismatches = 0, swallowed = 0;
  for (int i = 0; version < 2000; ++i) {
    const unsigned before = version;
    const PostOutcome wanted = expected;
    const auto outcome = engine.taps->postMediaKey(16 + i % 5, true);
    swallowed += outcome == PostOutcome::swallowed ? 1 : 0;
    if (before == version && before % 2 == 0) {
      ++checked[static_cast<int>(outcome)];
      mismatches += outcome != wanted ? 1 : 0;
    }
  }
  churn.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_TRUE(checked[0] > 0 && checked[1] > 100 && checked[2] > 100)
      << checked[1] << " " << checked[2];
  EXPECT_EQ(taken, swallowed);
  engine.clock.runUntilIdle();
  EXPECT_TRUE(engine.apps->commands().empty());
}

}  // namespace
}  // namespace tonvara::testing
