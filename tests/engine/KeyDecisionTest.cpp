#include <gtest/gtest.h>

#include <future>
#include <random>
#include <thread>

#include "FakeEngine.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using K = MediaKey;
constexpr auto kLaunch = WhenNotRunning::launchMusic;
constexpr auto kPass = WhenNotRunning::passThrough;
constexpr std::string_view kTapThread = "ara.MediaKeyTap";  // the 15 characters Linux keeps

TEST(MediaKeyTap, DecidesMediaKeyDownsOnlyAndStaysOnWhileTrusted) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  MediaKeyTap tap(platform);
  std::vector<MediaKey> keys;
  tap.setOnKeyDown([&](MediaKey key) { return keys.push_back(key), key != K::previous; });
  platform->setRefuseTaps(true);
  EXPECT_FALSE(tap.start());
  platform->setRefuseTaps(false);
  EXPECT_TRUE(tap.start() && tap.start());
  EXPECT_EQ(platform->tapsCreated(), 1);
  const std::int64_t d = 0xA00, high = std::int64_t{-1} << 32;  // bits 32 to 63 are not read
  // clang-format off
  const std::tuple<std::uint32_t, std::int16_t, std::int64_t, std::optional<K>> table[] = {
      {14, 8, 16 << 16 | d, K::playPause}, {14, 8, 17 << 16 | d | 1, K::next},
      {14, 8, 18 << 16 | d, K::previous}, {14, 8, high | 19 << 16 | d, K::next},
      {14, 8, 20 << 16 | d | 0xFE, K::previous}, {14, 8, 16 << 16 | 0xB00, {}},
      {14, 8, 15 << 16 | d, {}}, {14, 8, 21 << 16 | d, {}}, {14, 8, 0x110 << 16 | d, {}},
      {14, 8, 16 << 16 | 0x1A00, {}}, {14, 7, 16 << 16 | d, {}}, {10, 8, 16 << 16 | d, {}},
      {15, 8, 16 << 16 | d, {}}};
  // clang-format on
  std::vector<MediaKey> expected;
  for (const auto& [type, subtype, data1, key] : table) {
    EXPECT_EQ(platform->post(FakeEvent{type, SystemDefinedEventFields{subtype, data1}}),
              key && key != K::previous ? PostOutcome::swallowed : PostOutcome::passed)
        << type << " " << subtype << " " << std::hex << data1;
    if (key) {
      expected.push_back(*key);
    }
  }
  EXPECT_EQ(platform->post(FakeEvent{14, std::nullopt}), PostOutcome::passed);  // unreadable
  EXPECT_EQ(keys, expected);
  for (const auto notification : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(platform->disableTap(notification), PostOutcome::passed);
    EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  }
  platform->setTrusted(false);
  EXPECT_EQ(platform->disableTap(kEventTapDisabledByTimeout), PostOutcome::passed);
  platform->setTrusted(true);
  EXPECT_TRUE(tap.start());  // still installed, so nothing to do
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::noTap);
  tap.stop();
  ASSERT_TRUE(tap.start());
  tap.setOnKeyDown(nullptr);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::passed);
}

// Start/stop cycles while keys arrive; then a callback blocks: start() after stop() must not
// wait for it, the destructor must, and no callback may run once the tap is gone.
TEST(MediaKeyTapLifetime, RestartsNeverWaitForOldCallbacksAndNoneRunsAfterDestruction) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  auto tap = std::make_unique<MediaKeyTap>(platform);
  std::atomic<bool> destroyed{false}, posting{true}, block{false};
  std::promise<void> entered, go;
  tap->setOnKeyDown([&, released = go.get_future().share()](MediaKey) {
    EXPECT_FALSE(destroyed) << "a callback ran after destruction";
    if (block.exchange(false)) {
      entered.set_value();
      released.wait();
    }
    return true;
  });
  std::thread poster([&] {
    while (posting) {
      EXPECT_NE(platform->postMediaKey(16, true), PostOutcome::passed);
    }
  });
  for (int cycle = 0; cycle < 500; ++cycle) {
    ASSERT_TRUE(tap->start());
    tap->stop();
  }
  block = true;
  ASSERT_TRUE(tap->start());
  entered.get_future().wait();
  tap->stop();
  auto restarted = std::async(std::launch::async, [&] { return tap->start(); });
  EXPECT_EQ(restarted.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "start() waited for a callback on the stopped tap's thread";
  auto reset = std::async(std::launch::async, [&] { restarted.wait(), tap.reset(); });
  EXPECT_EQ(reset.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
      << "the tap went away under a running callback";
  go.set_value();
  reset.wait();
  destroyed = true;
  posting = false;
  poster.join();
  EXPECT_LE(threadsNamed(kTapThread), 0);
}

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
      SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ", key " << code);
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
      const auto answer = row.taken ? PostOutcome::swallowed : PostOutcome::passed;
      EXPECT_EQ(engine.taps->postMediaKey(code, true), answer);
      EXPECT_TRUE(engine.apps->commands().empty());  // answered before any work ran
      EXPECT_EQ(events, (std::vector{std::pair{*mediaKeyFromKeyCode(code), row.taken}}));
      engine.router->setOnEvent(nullptr);
      EXPECT_EQ(engine.taps->postMediaKey(code, true), answer);
      engine.clock.runUntilIdle();
      EXPECT_EQ(engine.apps->commands(), std::vector<std::string>(row.taken ? 2 : 0, command));
      EXPECT_EQ(engine.apps->launches(), row.taken && !row.running ? 1 : 0);
    }
  }
}

TEST(MediaKeyRouter, InstallsTheTapAsAllowedAndKeepsTheLastDefiniteAutomationAnswer) {
  FakeEngine engine(EngineSettings(false, kPass));
  engine.apps->setRunning(true);
  engine.apps->setAutomationStatus(kAutomationNotPermitted);
  EXPECT_TRUE(engine.router->activate());  // off: removes the tap and checks nothing
  engine.taps->setRefuseTaps(true);
  engine.router->update(EngineSettings(true, kPass));
  EXPECT_FALSE(engine.router->activate());
  engine.taps->setRefuseTaps(false);
  EXPECT_TRUE(engine.router->isAutomationDenied());
  for (const std::int32_t definite : {kAutomationGranted, kAutomationNotPermitted}) {
    engine.apps->setAutomationStatus(definite);
    EXPECT_NE(engine.router->isAutomationDenied(), definite != kAutomationGranted);  // cached
    for (const std::int32_t other : {definite, -600, -1744}) {
      engine.apps->setAutomationStatus(other);
      EXPECT_TRUE(engine.router->activate());
      EXPECT_EQ(engine.taps->postMediaKey(17, true),
                definite == kAutomationGranted ? PostOutcome::swallowed : PostOutcome::passed);
    }
  }
  EXPECT_EQ(engine.router->automationStatus(), MusicController::AutomationAccess::undetermined);
  engine.router->deactivateTap();
  EXPECT_FALSE(engine.router->isTapInstalled());
  EXPECT_EQ(engine.apps->automationPrompts(), std::vector<bool>(9, false));  // none while off
}

// Settings, tap and keys from three threads: each answer agrees with the observer, and the last.
TEST(MediaKeyRouter, DecisionsStayConsistentWhileTheSettingsChurn) {
  FakeEngine engine(EngineSettings(true, kLaunch));
  engine.apps->setLaunchOutcome(LaunchOutcome::openError);
  std::atomic<int> taken{0}, swallowed{0};
  engine.router->setOnEvent([&](MediaKey, bool isTaken) { taken += isTaken ? 1 : 0; });
  std::atomic<bool> churning{true};
  std::thread poster([&] {
    for (int i = 0; churning; ++i) {
      const auto outcome = engine.taps->postMediaKey(16 + i % 5, true);
      EXPECT_NE(outcome, PostOutcome::replaced);
      swallowed += outcome == PostOutcome::swallowed ? 1 : 0;
    }
  });
  std::mt19937 random(20261206);
  for (int change = 0; change < 2000; ++change) {
    const EngineSettings next(random() % 4 != 0, random() % 2 == 0 ? kLaunch : kPass);
    random() % 3 == 0 ? engine.router->deactivateTap() : engine.router->update(next);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
  }
  engine.router->update(EngineSettings(true, kPass));
  churning = false;
  poster.join();
  EXPECT_EQ(engine.taps->postMediaKey(16, true), PostOutcome::passed);
  EXPECT_EQ(taken, swallowed);
  engine.clock.runUntilIdle();
  EXPECT_TRUE(engine.apps->commands().empty());
}

}  // namespace
}  // namespace tonvara::testing
