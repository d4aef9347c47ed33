#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FakeApplicationPlatform.h"
#include "FakeEngine.h"
#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "ThreadCensus.h"
#include "VirtualClock.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Access = MusicController::AutomationAccess;

constexpr auto kLaunch = WhenNotRunning::launchMusic;
constexpr auto kPass = WhenNotRunning::passThrough;

// A router over the fakes that also keeps a handle on its tap, so a test can install the tap
// whatever the settings say.
struct RouterRig {
  explicit RouterRig(EngineSettings settings) {
    auto ownedTap = std::make_unique<MediaKeyTap>(taps);
    tap = ownedTap.get();
    router = std::make_unique<MediaKeyRouter>(settings, std::move(ownedTap),
                                              makeFakeMusicController(apps, clock));
  }

  PostOutcome press(std::int64_t code) { return taps->postMediaKey(code, true); }

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  MediaKeyTap* tap = nullptr;  // owned by the router
  std::unique_ptr<MediaKeyRouter> router;
};

// Collects what the router tells its observer; called on the tap thread.
class EventLog {
 public:
  MediaKeyRouter::OnEvent observer() {
    return [this](MediaKey key, bool taken) {
      std::lock_guard lock(mutex_);
      events_.emplace_back(key, taken);
    };
  }
  std::vector<std::pair<MediaKey, bool>> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<MediaKey, bool>> events_;
};

struct KeyCase {
  std::int64_t code;
  MediaKey key;
  const char* command;
};
constexpr KeyCase kKeys[] = {{16, MediaKey::playPause, "playpause"},
                             {17, MediaKey::next, "nextTrack"},
                             {18, MediaKey::previous, "previousTrack"}};

struct DecisionRow {
  bool enabled;
  bool denied;
  bool running;
  WhenNotRunning whenNotRunning;
  bool taken;
  bool asksWhetherRunning;
};

// Every combination of the four inputs.
constexpr DecisionRow kDecisions[] = {
    {false, false, false, kLaunch, false, false}, {false, false, false, kPass, false, false},
    {false, false, true, kLaunch, false, false},  {false, false, true, kPass, false, false},
    {false, true, false, kLaunch, false, false},  {false, true, false, kPass, false, false},
    {false, true, true, kLaunch, false, false},   {false, true, true, kPass, false, false},
    {true, true, false, kLaunch, false, false},   {true, true, false, kPass, false, false},
    {true, true, true, kLaunch, false, false},    {true, true, true, kPass, false, false},
    {true, false, true, kLaunch, true, true},     {true, false, true, kPass, true, true},
    {true, false, false, kPass, false, true},     {true, false, false, kLaunch, true, true},
};

TEST(MediaKeyRouterDecision, FollowsTheTableForEveryKeyWithAndWithoutAnObserver) {
  for (const auto& row : kDecisions) {
    for (const auto& keyCase : kKeys) {
      for (const bool observed : {false, true}) {
        SCOPED_TRACE(::testing::Message()
                     << "enabled " << row.enabled << ", denied " << row.denied << ", running "
                     << row.running << ", " << rawValue(row.whenNotRunning) << ", "
                     << debugName(keyCase.key) << (observed ? ", observed" : ""));
        RouterRig rig(EngineSettings(row.enabled, row.whenNotRunning));
        rig.apps->setRunning(row.running);
        rig.apps->setAutomationStatus(row.denied ? kAutomationNotPermitted : kAutomationGranted);
        rig.router->refreshAutomationStatus();
        ASSERT_EQ(rig.router->isAutomationDenied(), row.denied);
        ASSERT_TRUE(rig.tap->start());
        EventLog log;
        if (observed) {
          rig.router->setOnEvent(log.observer());
        }
        const int queriesBefore = rig.apps->runningQueries();

        EXPECT_EQ(rig.press(keyCase.code),
                  row.taken ? PostOutcome::swallowed : PostOutcome::passed);
        EXPECT_EQ(rig.apps->runningQueries() - queriesBefore, row.asksWhetherRunning ? 1 : 0);
        // The answer comes before any work has run.
        EXPECT_EQ(rig.clock.pendingJobs(), row.taken ? 1U : 0U);
        EXPECT_TRUE(rig.apps->commands().empty());
        if (observed) {
          EXPECT_EQ(log.events(), (std::vector{std::pair{keyCase.key, row.taken}}));
        }

        rig.clock.runUntilIdle();
        EXPECT_EQ(rig.apps->commands(), row.taken ? std::vector<std::string>{keyCase.command}
                                                  : std::vector<std::string>{});
        EXPECT_EQ(rig.apps->launches(), row.taken && !row.running ? 1 : 0);
      }
    }
  }
}

TEST(MediaKeyRouterDecision, LaunchMusicQueuesOneLaunchThenCommandJobPerKey) {
  RouterRig rig(EngineSettings(true, kLaunch));
  ASSERT_TRUE(rig.router->activate());
  rig.apps->setLaunchOutcome(LaunchOutcome::openError);
  for (const auto& keyCase : kKeys) {
    EXPECT_EQ(rig.press(keyCase.code), PostOutcome::swallowed);
  }
  EXPECT_EQ(rig.clock.pendingJobs(), 3U);
  rig.clock.runUntilIdle();
  // A key stays taken even when the launch fails.
  EXPECT_EQ(rig.apps->launches(), 3);
  EXPECT_TRUE(rig.apps->commands().empty());
}

TEST(MediaKeyRouterAutomation, DeniedPassesKeysEvenWithMusicRunningUntilACheckGrantsIt) {
  RouterRig rig(EngineSettings(true, kLaunch));
  rig.apps->setRunning(true);
  rig.apps->setAutomationStatus(kAutomationNotPermitted);
  ASSERT_TRUE(rig.router->activate());
  EXPECT_TRUE(rig.router->isAutomationDenied());
  EXPECT_EQ(rig.press(16), PostOutcome::passed);

  // Decisions read the cached answer; they never check again themselves.
  rig.apps->setAutomationStatus(kAutomationGranted);
  EXPECT_EQ(rig.press(16), PostOutcome::passed);
  EXPECT_EQ(rig.clock.pendingJobs(), 0U);

  rig.router->refreshAutomationStatus();
  EXPECT_FALSE(rig.router->isAutomationDenied());
  EXPECT_EQ(rig.press(16), PostOutcome::swallowed);
}

TEST(MediaKeyRouterAutomation, AnUndeterminedAnswerKeepsTheLastDefiniteOne) {
  RouterRig rig(EngineSettings(true, kPass));
  rig.apps->setRunning(true);
  rig.apps->setAutomationStatus(kAutomationNotPermitted);
  ASSERT_TRUE(rig.router->activate());

  for (const std::int32_t status : {-600, -1744, 1}) {
    rig.apps->setAutomationStatus(status);
    rig.router->refreshAutomationStatus();
    EXPECT_TRUE(rig.router->activate());
    EXPECT_TRUE(rig.router->isAutomationDenied()) << status;
    EXPECT_EQ(rig.press(17), PostOutcome::passed) << status;
  }

  rig.apps->setAutomationStatus(kAutomationGranted);
  EXPECT_TRUE(rig.router->activate());
  for (const std::int32_t status : {-600, -1744, 1}) {
    rig.apps->setAutomationStatus(status);
    rig.router->refreshAutomationStatus();
    EXPECT_TRUE(rig.router->activate());
    EXPECT_FALSE(rig.router->isAutomationDenied()) << status;
    EXPECT_EQ(rig.press(17), PostOutcome::swallowed) << status;
  }
}

TEST(MediaKeyRouterAutomation, WithoutADefiniteAnswerAutomationCountsAsNotDenied) {
  RouterRig rig(EngineSettings(true, kPass));
  rig.apps->setRunning(true);
  rig.apps->setAutomationStatus(kAutomationProcessNotFound);
  ASSERT_TRUE(rig.router->activate());
  EXPECT_FALSE(rig.router->isAutomationDenied());
  EXPECT_EQ(rig.router->automationStatus(), Access::undetermined);
  EXPECT_EQ(rig.press(16), PostOutcome::swallowed);
}

TEST(MediaKeyRouterAutomation, StatusIsReadFreshWithoutTouchingTheCacheOrTheTap) {
  RouterRig rig(EngineSettings(true, kPass));
  ASSERT_TRUE(rig.router->activate());
  rig.apps->setAutomationStatus(kAutomationNotPermitted);
  const int checksBefore = rig.apps->automationChecks();
  EXPECT_EQ(rig.router->automationStatus(), Access::denied);
  EXPECT_EQ(rig.router->automationStatus(), Access::denied);
  EXPECT_EQ(rig.apps->automationChecks() - checksBefore, 2);
  EXPECT_FALSE(rig.router->isAutomationDenied());

  rig.router->refreshAutomationStatus();
  EXPECT_TRUE(rig.router->isAutomationDenied());
  EXPECT_TRUE(rig.router->isTapInstalled());
  EXPECT_EQ(rig.taps->tapsCreated(), 1);
  for (const bool prompt : rig.apps->automationPrompts()) {
    EXPECT_FALSE(prompt);
  }
}

TEST(MediaKeyRouterTap, ConstructionInstallsNothingAndChecksNothing) {
  RouterRig rig(EngineSettings(true, kLaunch));
  EXPECT_FALSE(rig.router->isTapInstalled());
  EXPECT_EQ(rig.taps->tapsCreated(), 0);
  EXPECT_EQ(rig.apps->automationChecks(), 0);
  EXPECT_FALSE(rig.router->isAutomationDenied());
  EXPECT_FALSE(rig.router->onEvent());
  EXPECT_TRUE(rig.router->settings().enabled);
  EXPECT_EQ(rig.router->settings().whenNotRunning, kLaunch);
}

TEST(MediaKeyRouterTap, UpdateStoresTheSettingsAndInstallsOrRemovesTheTap) {
  RouterRig rig(EngineSettings(false, kPass));
  rig.router->update(EngineSettings(true, kLaunch));
  EXPECT_TRUE(rig.router->isTapInstalled());
  EXPECT_TRUE(rig.router->settings().enabled);
  EXPECT_EQ(rig.router->settings().whenNotRunning, kLaunch);
  EXPECT_EQ(rig.press(16), PostOutcome::swallowed);

  rig.router->update(EngineSettings(true, kPass));
  EXPECT_EQ(rig.taps->tapsCreated(), 1);
  EXPECT_EQ(rig.press(16), PostOutcome::passed);

  const int checksBefore = rig.apps->automationChecks();
  rig.router->update(EngineSettings(false, kPass));
  EXPECT_FALSE(rig.router->isTapInstalled());
  EXPECT_EQ(rig.press(16), PostOutcome::noTap);
  EXPECT_TRUE(rig.router->activate());
  EXPECT_FALSE(rig.router->isTapInstalled());
  // With interception off there is nothing to check Automation for.
  EXPECT_EQ(rig.apps->automationChecks(), checksBefore);
}

TEST(MediaKeyRouterTap, ATapTheSystemRefusesMakesActivateAnswerFalse) {
  RouterRig rig(EngineSettings(true, kLaunch));
  rig.taps->setRefuseTaps(true);
  EXPECT_FALSE(rig.router->activate());
  rig.router->update(EngineSettings(true, kPass));
  EXPECT_FALSE(rig.router->isTapInstalled());

  rig.taps->setRefuseTaps(false);
  rig.taps->setTrusted(false);
  EXPECT_FALSE(rig.router->activate());
  EXPECT_FALSE(rig.router->isTapInstalled());

  rig.taps->setTrusted(true);
  EXPECT_TRUE(rig.router->activate());
  EXPECT_TRUE(rig.router->isTapInstalled());
}

TEST(MediaKeyRouterTap, DeactivateTapRemovesTheTapButKeepsTheSettings) {
  RouterRig rig(EngineSettings(true, kLaunch));
  ASSERT_TRUE(rig.router->activate());
  rig.router->deactivateTap();
  EXPECT_FALSE(rig.router->isTapInstalled());
  EXPECT_TRUE(rig.router->settings().enabled);
  EXPECT_EQ(rig.router->settings().whenNotRunning, kLaunch);
  EXPECT_EQ(rig.press(16), PostOutcome::noTap);

  EXPECT_TRUE(rig.router->activate());
  EXPECT_TRUE(rig.router->isTapInstalled());
  rig.router->deactivateTap();
  rig.router->update(rig.router->settings());
  EXPECT_TRUE(rig.router->isTapInstalled());
  EXPECT_EQ(rig.taps->tapsCreated(), 3);
  EXPECT_EQ(rig.press(16), PostOutcome::swallowed);
}

TEST(MediaKeyRouterTap, MusicRunningIsAskedAtEveryRead) {
  RouterRig rig(EngineSettings(true, kLaunch));
  EXPECT_FALSE(rig.router->isMusicRunning());
  rig.apps->setRunning(true);
  EXPECT_TRUE(rig.router->isMusicRunning());
  rig.apps->setRunning(false);
  EXPECT_FALSE(rig.router->isMusicRunning());
  EXPECT_EQ(rig.apps->runningQueries(), 3);
}

TEST(MediaKeyRouterTap, TheObserverCanBeReplacedAndRemoved) {
  RouterRig rig(EngineSettings(true, kPass));
  ASSERT_TRUE(rig.router->activate());
  EventLog first;
  EventLog second;
  rig.router->setOnEvent(first.observer());
  EXPECT_TRUE(rig.router->onEvent());
  EXPECT_EQ(rig.press(17), PostOutcome::passed);
  rig.router->setOnEvent(second.observer());
  EXPECT_EQ(rig.press(18), PostOutcome::passed);
  rig.router->setOnEvent(nullptr);
  EXPECT_FALSE(rig.router->onEvent());
  EXPECT_EQ(rig.press(16), PostOutcome::passed);
  EXPECT_EQ(first.events(), (std::vector{std::pair{MediaKey::next, false}}));
  EXPECT_EQ(second.events(), (std::vector{std::pair{MediaKey::previous, false}}));
}

// The tap calls the router's decision through its callback, so a router must never go away while
// the tap thread can still decide.
TEST(MediaKeyRouterLifetime, DestroyingWhileKeysArePostedNeverDecidesOnTheDestroyedRouter) {
  for (int round = 0; round < 20; ++round) {
    FakeEngine engine(EngineSettings(true, kPass));
    engine.apps->setRunning(true);
    std::atomic<bool> destroyed{false};
    std::atomic<int> lateDecisions{0};
    std::atomic<int> decided{0};
    engine.router->setOnEvent([&](MediaKey /*key*/, bool /*taken*/) {
      lateDecisions += destroyed ? 1 : 0;
      ++decided;
    });
    ASSERT_TRUE(engine.router->activate());

    std::atomic<bool> stopPosting{false};
    std::thread poster([&] {
      while (!stopPosting) {
        const auto outcome = engine.taps->postMediaKey(17, true);
        EXPECT_TRUE(outcome == PostOutcome::swallowed || outcome == PostOutcome::noTap);
      }
    });
    ASSERT_TRUE(eventually([&] { return decided > round; }));
    engine.router.reset();
    destroyed = true;
    EXPECT_EQ(engine.taps->postMediaKey(17, true), PostOutcome::noTap);
    stopPosting = true;
    poster.join();
    EXPECT_EQ(lateDecisions, 0);
    EXPECT_EQ(engine.taps->runningLoops(), 0);
  }
}

TEST(MediaKeyRouterLifetime, DestroyingWaitsForTheDecisionInProgress) {
  FakeEngine engine(EngineSettings(true, kPass));
  engine.apps->setRunning(true);
  std::promise<void> entered;
  std::promise<void> release;
  auto released = release.get_future().share();
  std::atomic<bool> destructorReturned{false};
  std::atomic<bool> returnedEarly{false};
  engine.router->setOnEvent([&](MediaKey /*key*/, bool /*taken*/) {
    entered.set_value();
    released.wait();
    returnedEarly = destructorReturned.load();
  });
  ASSERT_TRUE(engine.router->activate());

  std::thread poster(
      [&] { EXPECT_EQ(engine.taps->postMediaKey(16, true), PostOutcome::swallowed); });
  entered.get_future().wait();
  std::thread destroyer([&] {
    engine.router.reset();
    destructorReturned = true;
  });
  ASSERT_TRUE(eventually([&] { return !engine.taps->isTapEnabled(); }));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(destructorReturned);
  release.set_value();
  destroyer.join();
  poster.join();
  EXPECT_FALSE(returnedEarly);
}

}  // namespace
}  // namespace tonvara::testing
