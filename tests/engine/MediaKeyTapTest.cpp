#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

// Linux keeps the last 15 characters of the tap thread's name.
constexpr std::string_view kTapThreadName = "ara.MediaKeyTap";

// Records each key the tap asks about and answers with a settable verdict.
class KeyRecorder {
 public:
  MediaKeyTap::OnKeyDown callback() {
    return [this](MediaKey key) {
      std::lock_guard lock(mutex_);
      keys_.push_back(key);
      return swallow_;
    };
  }
  void setSwallow(bool swallow) {
    std::lock_guard lock(mutex_);
    swallow_ = swallow;
  }
  std::vector<MediaKey> keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<MediaKey> keys_;
  bool swallow_ = true;
};

class MediaKeyTapTest : public ::testing::Test {
 protected:
  void SetUp() override { tap->setOnKeyDown(recorder.callback()); }

  std::shared_ptr<FakeEventTapPlatform> platform = std::make_shared<FakeEventTapPlatform>();
  KeyRecorder recorder;
  std::unique_ptr<MediaKeyTap> tap = std::make_unique<MediaKeyTap>(platform);
};

FakeEvent systemDefined(std::int16_t subtype, std::int64_t data1) {
  return FakeEvent{kSystemDefinedEventType, SystemDefinedEventFields{subtype, data1}};
}

TEST_F(MediaKeyTapTest, KeyDownsReachOnKeyDownAsTheirKeys) {
  ASSERT_TRUE(tap->start());
  for (const std::int64_t code : {16, 17, 18, 19, 20}) {
    EXPECT_EQ(platform->postMediaKey(code, true), PostOutcome::swallowed) << code;
  }
  // An auto-repeated key-down is decided like the first press.
  EXPECT_EQ(platform->postMediaKey(16, true, true), PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys(),
            (std::vector{MediaKey::playPause, MediaKey::next, MediaKey::previous, MediaKey::next,
                         MediaKey::previous, MediaKey::playPause}));
}

TEST_F(MediaKeyTapTest, FlagBitsAndTheUpperHalfOfData1AreNotRead) {
  ASSERT_TRUE(tap->start());
  const std::int64_t upperHalf = std::int64_t{0x7FFF'FFFF} << 32;
  EXPECT_EQ(platform->post(systemDefined(8, upperHalf | mediaKeyData1(17, true))),
            PostOutcome::swallowed);
  EXPECT_EQ(platform->post(systemDefined(8, mediaKeyData1(18, true) | 0xFE)),
            PostOutcome::swallowed);
  EXPECT_EQ(platform->post(systemDefined(8, -(std::int64_t{1} << 32) | mediaKeyData1(16, true))),
            PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys(),
            (std::vector{MediaKey::next, MediaKey::previous, MediaKey::playPause}));
}

TEST_F(MediaKeyTapTest, EverythingButAMediaKeyDownPassesUntouchedWithoutACall) {
  ASSERT_TRUE(tap->start());
  const std::int64_t playDown = mediaKeyData1(16, true);
  std::vector<std::pair<const char*, FakeEvent>> events = {
      {"key up", mediaKeyEvent(16, false)},
      {"repeated key up", mediaKeyEvent(17, false, true)},
      {"code 7", mediaKeyEvent(7, true)},
      {"code 15", mediaKeyEvent(15, true)},
      {"code 21", mediaKeyEvent(21, true)},
      {"code 0", mediaKeyEvent(0, true)},
      // The key code is all of bits 16 to 31, not just their low byte.
      {"code 0x8010", mediaKeyEvent(0x8010, true)},
      {"code 0x0110", mediaKeyEvent(0x0110, true)},
      {"state 0x00", systemDefined(8, std::int64_t{16} << 16)},
      {"state 0x1A", systemDefined(8, (std::int64_t{16} << 16) | 0x1A00)},
      {"unreadable", FakeEvent{kSystemDefinedEventType, std::nullopt}},
  };
  for (const std::int16_t subtype :
       std::initializer_list<std::int16_t>{0, 1, 7, 9, 16, -1, 0x7FFF}) {
    events.emplace_back("other subtype", systemDefined(subtype, playDown));
  }
  for (const std::uint32_t type : {0U, 1U, 10U, 11U, 13U, 15U, 29U, 0x7FFFFFFFU}) {
    events.emplace_back("other type", FakeEvent{type, SystemDefinedEventFields{8, playDown}});
  }
  for (const auto& [what, event] : events) {
    EXPECT_EQ(platform->post(event), PostOutcome::passed) << what;
  }
  EXPECT_TRUE(recorder.keys().empty());
}

TEST_F(MediaKeyTapTest, AFalseAnswerReturnsTheVeryEventAndNoCallbackPassesEverything) {
  ASSERT_TRUE(tap->start());
  recorder.setSwallow(false);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::passed);
  recorder.setSwallow(true);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys().size(), 2U);

  tap->setOnKeyDown(nullptr);
  EXPECT_FALSE(tap->onKeyDown());
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::passed);
  EXPECT_EQ(recorder.keys().size(), 2U);
}

TEST_F(MediaKeyTapTest, OnKeyDownCanBeReplacedWhileInstalledEvenFromInsideItself) {
  ASSERT_TRUE(tap->start());
  ASSERT_EQ(platform->postMediaKey(17, true), PostOutcome::swallowed);

  KeyRecorder second;
  second.setSwallow(false);
  tap->setOnKeyDown(second.callback());
  EXPECT_EQ(platform->postMediaKey(18, true), PostOutcome::passed);
  EXPECT_EQ(recorder.keys(), std::vector{MediaKey::next});
  EXPECT_EQ(second.keys(), std::vector{MediaKey::previous});

  // No lock is held while the callback runs, so it may use the tap's accessors.
  std::atomic<int> calls{0};
  tap->setOnKeyDown([&](MediaKey /*key*/) {
    ++calls;
    const bool installed = tap->isInstalled() && static_cast<bool>(tap->onKeyDown());
    tap->setOnKeyDown(second.callback());
    return installed;
  });
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::passed);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(second.keys(), (std::vector{MediaKey::previous, MediaKey::playPause}));
}

TEST_F(MediaKeyTapTest, AsksForADefaultTapOfSystemDefinedEventsAtTheHead) {
  ASSERT_TRUE(tap->start());
  const auto request = platform->lastCreateRequest();
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(static_cast<std::uint32_t>(request->location), 0U);
  EXPECT_EQ(static_cast<std::uint32_t>(request->placement), 0U);
  EXPECT_EQ(static_cast<std::uint32_t>(request->options), 0U);
  EXPECT_EQ(request->mask, EventMask{0x4000});
}

TEST_F(MediaKeyTapTest, ASecondStartKeepsTheOneTapAndThread) {
  EXPECT_FALSE(tap->isInstalled());
  ASSERT_TRUE(tap->start());
  EXPECT_TRUE(tap->start());
  EXPECT_TRUE(tap->isInstalled());
  EXPECT_EQ(platform->tapsCreated(), 1);
  EXPECT_TRUE(eventually([&] { return platform->runningLoops() == 1; }));
  const int named = threadsNamed(kTapThreadName);
  if (named >= 0) {
    EXPECT_EQ(named, 1);
  }
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys().size(), 1U);
}

TEST_F(MediaKeyTapTest, StopWithoutStartDoesNothing) {
  tap->stop();
  EXPECT_FALSE(tap->isInstalled());
  EXPECT_EQ(platform->tapsCreated(), 0);
  ASSERT_TRUE(tap->start());
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
}

TEST_F(MediaKeyTapTest, StopRemovesTheTapAtOnceAndALaterStartInstallsANewOne) {
  ASSERT_TRUE(tap->start());
  tap->stop();
  EXPECT_FALSE(tap->isInstalled());
  EXPECT_FALSE(platform->isTapEnabled());
  EXPECT_FALSE(platform->isTapAttached());
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::noTap);
  EXPECT_TRUE(eventually([&] { return platform->runningLoops() == 0; }));
  tap->stop();

  ASSERT_TRUE(tap->start());
  EXPECT_EQ(platform->tapsCreated(), 2);
  EXPECT_EQ(platform->postMediaKey(17, true), PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys(), std::vector{MediaKey::next});
}

TEST_F(MediaKeyTapTest, ADisableNotificationWhileTrustedReEnablesTheTapAndPassesOn) {
  ASSERT_TRUE(tap->start());
  for (const std::uint32_t notification : {0xFFFFFFFEU, 0xFFFFFFFFU}) {
    EXPECT_EQ(platform->disableTap(notification), PostOutcome::passed);
    EXPECT_TRUE(platform->isTapEnabled());
    EXPECT_TRUE(tap->isInstalled());
    EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  }
  EXPECT_GE(platform->trustChecks(), 2);
  EXPECT_EQ(recorder.keys().size(), 2U);
  EXPECT_EQ(platform->tapsCreated(), 1);
}

TEST_F(MediaKeyTapTest, ADisableNotificationWhileUntrustedLeavesTheTapOffButInstalled) {
  ASSERT_TRUE(tap->start());
  platform->setTrusted(false);
  for (const std::uint32_t notification : {0xFFFFFFFEU, 0xFFFFFFFFU}) {
    EXPECT_EQ(platform->disableTap(notification), PostOutcome::passed);
    EXPECT_FALSE(platform->isTapEnabled());
    EXPECT_TRUE(tap->isInstalled());
    EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::noTap);
  }
  // The port is still present, so start() has nothing to do, even once trust is back.
  platform->setTrusted(true);
  EXPECT_TRUE(tap->start());
  EXPECT_EQ(platform->tapsCreated(), 1);
  EXPECT_FALSE(platform->isTapEnabled());

  tap->stop();
  ASSERT_TRUE(tap->start());
  EXPECT_EQ(platform->tapsCreated(), 2);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
  EXPECT_EQ(recorder.keys().size(), 1U);
}

TEST_F(MediaKeyTapTest, ARefusedStartStoresNothingAndStartsNoThread) {
  const int baseline = threadCount();
  platform->setRefuseTaps(true);
  EXPECT_FALSE(tap->start());
  platform->setRefuseTaps(false);
  platform->setTrusted(false);
  EXPECT_FALSE(tap->start());
  EXPECT_FALSE(tap->isInstalled());
  EXPECT_EQ(platform->tapsCreated(), 0);
  EXPECT_EQ(platform->runningLoops(), 0);
  EXPECT_EQ(threadCount(), baseline);
  tap->stop();

  platform->setTrusted(true);
  ASSERT_TRUE(tap->start());
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed);
}

TEST_F(MediaKeyTapTest, TheTapThreadIsNamedAndEndsAfterStop) {
  if (threadCount() < 0) {
    GTEST_SKIP() << "no per-thread entries in /proc";
  }
  EXPECT_EQ(threadsNamed(kTapThreadName), 0);
  ASSERT_TRUE(tap->start());
  EXPECT_EQ(threadsNamed(kTapThreadName), 1);
  tap->stop();
  EXPECT_TRUE(eventually([] { return threadsNamed(kTapThreadName) == 0; }));
}

// The tap thread calls into the tap through an uncounted pointer, so the tap must never go away
// while that thread can still run the callback.
TEST(MediaKeyTapLifetime, DestroyingWhileEventsArePostedNeverCallsIntoTheDestroyedTap) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  for (int round = 0; round < 20; ++round) {
    auto tap = std::make_unique<MediaKeyTap>(platform);
    std::atomic<bool> destroyed{false};
    std::atomic<int> lateCalls{0};
    std::atomic<int> decided{0};
    tap->setOnKeyDown([&](MediaKey /*key*/) {
      lateCalls += destroyed ? 1 : 0;
      ++decided;
      return true;
    });
    ASSERT_TRUE(tap->start());

    std::atomic<bool> stopPosting{false};
    std::thread poster([&] {
      while (!stopPosting) {
        const auto outcome = platform->postMediaKey(16, true);
        EXPECT_NE(outcome, PostOutcome::replaced);
        EXPECT_NE(outcome, PostOutcome::passed);
      }
    });
    ASSERT_TRUE(eventually([&] { return decided > round; }));
    tap.reset();
    destroyed = true;
    EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::noTap);
    stopPosting = true;
    poster.join();
    EXPECT_EQ(lateCalls, 0);
  }
}

// Also when the tap was stopped before: stop() does not wait, so the callback may still run.
TEST(MediaKeyTapLifetime, DestroyingWaitsForTheCallbackInProgress) {
  for (const bool stoppedFirst : {false, true}) {
    SCOPED_TRACE(stoppedFirst ? "stopped first" : "installed");
    auto platform = std::make_shared<FakeEventTapPlatform>();
    auto tap = std::make_unique<MediaKeyTap>(platform);
    std::promise<void> entered;
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<bool> destructorReturned{false};
    std::atomic<bool> returnedEarly{false};
    tap->setOnKeyDown([&](MediaKey /*key*/) {
      entered.set_value();
      released.wait();
      returnedEarly = destructorReturned.load();
      return true;
    });
    ASSERT_TRUE(tap->start());

    std::thread poster(
        [&] { EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed); });
    entered.get_future().wait();
    if (stoppedFirst) {
      tap->stop();
    }
    std::thread destroyer([&] {
      tap.reset();
      destructorReturned = true;
    });
    // Once the tap is switched off the destructor is past stop(); give a wrongly
    // non-waiting destructor time to return before the callback finishes.
    ASSERT_TRUE(eventually([&] { return !platform->isTapEnabled(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(destructorReturned);
    release.set_value();
    destroyer.join();
    poster.join();
    EXPECT_FALSE(returnedEarly);
    EXPECT_EQ(platform->runningLoops(), 0);
  }
}

TEST(MediaKeyTapLifetime, AStopBeforeTheRunLoopStartsStillEndsTheTapThread) {
  // Tap threads by name: sanitizer runtimes start threads of their own at the first thread.
  if (threadsNamed(kTapThreadName) < 0) {
    GTEST_SKIP() << "no per-thread entries in /proc";
  }
  auto platform = std::make_shared<FakeEventTapPlatform>();
  auto tap = std::make_unique<MediaKeyTap>(platform);
  std::promise<void> reached;
  std::promise<void> release;
  auto released = release.get_future().share();
  platform->setBeforeRun([&] {
    reached.set_value();
    released.wait();
  });

  // start() returns after the handshake, while the thread is held before its run loop.
  ASSERT_TRUE(tap->start());
  reached.get_future().wait();
  platform->setBeforeRun(nullptr);
  tap->stop();
  EXPECT_FALSE(tap->isInstalled());
  release.set_value();

  const bool ended = eventually([] { return threadsNamed(kTapThreadName) == 0; });
  EXPECT_TRUE(ended) << "the tap thread still runs after stop()";
  EXPECT_EQ(platform->runningLoops(), 0);
  if (!ended) {
    // Its destructor would wait for the stuck thread forever; give it up so the failure shows.
    static_cast<void>(tap.release());
  }
}

TEST(MediaKeyTapLifetime, ManyStartStopCyclesLeaveNoThreadBehind) {
  const bool canCount = threadsNamed(kTapThreadName) >= 0;
  auto platform = std::make_shared<FakeEventTapPlatform>();
  auto tap = std::make_unique<MediaKeyTap>(platform);
  constexpr int kCycles = 10'000;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    ASSERT_TRUE(tap->start()) << cycle;
    tap->stop();
  }
  EXPECT_FALSE(tap->isInstalled());
  EXPECT_EQ(platform->tapsCreated(), kCycles);
  EXPECT_TRUE(eventually([&] { return platform->runningLoops() == 0; }));
  if (canCount) {
    EXPECT_TRUE(eventually([] { return threadsNamed(kTapThreadName) == 0; }))
        << threadsNamed(kTapThreadName) << " tap threads left";
  }
  tap.reset();
  EXPECT_EQ(platform->runningLoops(), 0);
}

}  // namespace
}  // namespace tonvara::testing
