#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "FakeApplicationPlatform.h"
#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::testing {
namespace {

// Media-key events a tap decides while the settings churn.
constexpr int kPosts = 100'000;

// What the churning thread last settled on: whether the tap should be installed, and the
// settings in force.
struct Settled {
  bool installed;
  bool enabled;
  bool launchMusic;

  int encode() const { return (installed ? 4 : 0) | (enabled ? 2 : 0) | (launchMusic ? 1 : 0); }
  static Settled decode(int bits) {
    return Settled{(bits & 4) != 0, (bits & 2) != 0, (bits & 1) != 0};
  }

  // Music never runs here, so a key is taken exactly when it would launch Music.
  PostOutcome expected() const {
    if (!installed) {
      return PostOutcome::noTap;
    }
    return enabled && launchMusic ? PostOutcome::swallowed : PostOutcome::passed;
  }
};

TEST(EngineConcurrency, EveryDecisionFollowsTheSettingsInForceWhileTheyChurn) {
  auto taps = std::make_shared<FakeEventTapPlatform>();
  auto apps = std::make_shared<FakeApplicationPlatform>();  // Music is never running
  std::atomic<int> launches{0};
  std::atomic<int> sends{0};
  auto queue = std::make_shared<DispatchQueue>("test.music", QualityOfService::userInitiated);
  auto music = MusicController::create(
      queue, [apps] { return apps->runningApplications(MusicController::bundleID); },
      [&launches](const MusicController::LaunchCompletion& completion) {
        ++launches;
        completion(false);
      },
      [&sends](MediaKey /*key*/, bool /*afterLaunch*/) { ++sends; },
      [apps] { return apps->determinePermissionToAutomate(MusicController::bundleID, false); },
      [] { return false; });
  auto router = std::make_unique<MediaKeyRouter>(EngineSettings(true, WhenNotRunning::launchMusic),
                                                 std::make_unique<MediaKeyTap>(taps), music);
  std::atomic<int> takenEvents{0};
  std::atomic<int> passedEvents{0};
  router->setOnEvent([&](MediaKey /*key*/, bool taken) { ++(taken ? takenEvents : passedEvents); });
  ASSERT_TRUE(router->activate());

  // Odd while a change is under way, even once it is complete; `settled` is written before the
  // version turns even.
  std::atomic<unsigned> version{0};
  std::atomic<int> settled{Settled{true, true, true}.encode()};
  std::atomic<bool> finished{false};
  std::atomic<int> changes{0};

  std::thread churn([&] {
    std::mt19937 random(20261206);
    EngineSettings current(true, WhenNotRunning::launchMusic);
    while (!finished) {
      ++version;
      bool installed = false;
      switch (random() % 4) {
        case 0:
        case 1:
          current =
              EngineSettings(random() % 4 != 0, random() % 2 == 0 ? WhenNotRunning::launchMusic
                                                                  : WhenNotRunning::passThrough);
          router->update(current);
          installed = current.enabled;
          break;
        case 2:
          installed = router->activate() && current.enabled;
          break;
        default:
          router->deactivateTap();
          installed = false;
          break;
      }
      settled =
          Settled{installed, current.enabled, current.whenNotRunning == WhenNotRunning::launchMusic}
              .encode();
      ++version;
      ++changes;
      // Hold the settings for a moment, sometimes not at all, so that posts see both settled
      // windows and changes under way. Sleeping leaves the processor to the poster and the tap
      // thread.
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    }
  });

  int outcomes[4] = {};
  int checkedByOutcome[4] = {};
  int mismatches = 0;
  std::ostringstream firstMismatches;
  // Posts with no tap installed cost next to nothing: count only those a tap decided.
  for (int i = 0, decided = 0; decided < kPosts; ++i) {
    const unsigned before = version;
    const Settled state = Settled::decode(settled);
    const auto outcome = taps->postMediaKey(16 + i % 5, true);
    const unsigned after = version;
    ++outcomes[static_cast<int>(outcome)];
    decided += outcome == PostOutcome::swallowed || outcome == PostOutcome::passed ? 1 : 0;
    if (outcome == PostOutcome::noTap) {
      // Nothing to decide until the churn installs a tap again: leave it the processor.
      std::this_thread::sleep_for(std::chrono::microseconds(10));
    }
    if (before != after || before % 2 != 0) {
      continue;
    }
    ++checkedByOutcome[static_cast<int>(outcome)];
    if (outcome != state.expected()) {
      if (++mismatches <= 5) {
        firstMismatches << "post " << i << ": got " << static_cast<int>(outcome) << ", expected "
                        << static_cast<int>(state.expected()) << " (installed " << state.installed
                        << ", enabled " << state.enabled << ", launch " << state.launchMusic
                        << ")\n";
      }
    }
  }
  finished = true;
  churn.join();

  EXPECT_EQ(mismatches, 0) << firstMismatches.str();
  EXPECT_EQ(outcomes[static_cast<int>(PostOutcome::replaced)], 0);
  // The settled windows covered every kind of verdict, and the settings really churned.
  EXPECT_GT(checkedByOutcome[static_cast<int>(PostOutcome::swallowed)], 0);
  EXPECT_GT(checkedByOutcome[static_cast<int>(PostOutcome::passed)], 0);
  EXPECT_GT(checkedByOutcome[static_cast<int>(PostOutcome::noTap)], 0);
  EXPECT_GT(changes, 100);
  std::cout << "[          ] " << changes << " changes; swallowed, passed, no tap: "
            << outcomes[static_cast<int>(PostOutcome::swallowed)] << ", "
            << outcomes[static_cast<int>(PostOutcome::passed)] << ", "
            << outcomes[static_cast<int>(PostOutcome::noTap)]
            << "; of these checked: " << checkedByOutcome[static_cast<int>(PostOutcome::swallowed)]
            << ", " << checkedByOutcome[static_cast<int>(PostOutcome::passed)] << ", "
            << checkedByOutcome[static_cast<int>(PostOutcome::noTap)] << '\n';

  // Every taken key queued exactly one launch, and nothing was sent after the failed launches.
  router.reset();
  queue->sync([] {});
  EXPECT_EQ(takenEvents, outcomes[static_cast<int>(PostOutcome::swallowed)]);
  EXPECT_EQ(passedEvents, outcomes[static_cast<int>(PostOutcome::passed)]);
  EXPECT_EQ(launches, outcomes[static_cast<int>(PostOutcome::swallowed)]);
  EXPECT_EQ(sends, 0);
  EXPECT_EQ(taps->runningLoops(), 0);
}

}  // namespace
}  // namespace tonvara::testing
