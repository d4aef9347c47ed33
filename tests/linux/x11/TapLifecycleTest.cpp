// Installing, switching and removing taps on a real server, over and over.
#include <gtest/gtest.h>

#include <future>

#include "ChildProcess.h"
#include "X11TestFixture.h"

namespace tonvara::testing {
namespace {

using TapLifecycleTest = X11Test;

TEST_F(TapLifecycleTest, AStopBeforeRunEndsTheRunAtOnce) {
  std::promise<std::shared_ptr<RunLoop>> loopReady;
  std::promise<void> stopped;
  std::thread thread([&] {
    auto loop = platform_->currentRunLoop();
    loopReady.set_value(loop);
    stopped.get_future().wait();
    loop->run();
  });
  loopReady.get_future().get()->stop();
  stopped.set_value();
  thread.join();  // hangs here if the stop was lost
}

TEST_F(TapLifecycleTest, OneRunLoopPerThread) {
  const auto first = platform_->currentRunLoop();
  EXPECT_EQ(platform_->currentRunLoop(), first);
  std::shared_ptr<RunLoop> other;
  std::thread([&] { other = platform_->currentRunLoop(); }).join();
  EXPECT_NE(other, first);
}

TEST_F(TapLifecycleTest, ASwitchedOffTapLetsKeysFlowUntilSwitchedOn) {
  std::atomic<int> seen{0};
  DirectTap tap(platform_, [&](std::uint32_t, std::optional<SystemDefinedEventFields>) {
    ++seen;
    return true;
  });
  ASSERT_TRUE(tap.installed());
  const auto play = keyboard_->keycode(keysym::kPlay);

  // A taken key's release comes to the tap, unfrozen: it may be read after the marker.
  const auto seenReaches = [&](int count) {
    return waitFor([&] { return seen == count; }, std::chrono::seconds(5));
  };

  keyboard_->tap(keysym::kPlay);
  EXPECT_TRUE(settle().empty());
  EXPECT_TRUE(seenReaches(2));  // the press and its release

  tap.setEnabled(false);
  EXPECT_TRUE(keyboard_->isFreeToGrab(keysym::kPlay));
  keyboard_->tap(keysym::kPlay);
  EXPECT_EQ(only(settle(), play).size(), 2U);
  EXPECT_EQ(seen, 2);

  tap.setEnabled(true);
  keyboard_->tap(keysym::kPlay);
  EXPECT_TRUE(settle().empty());
  EXPECT_TRUE(seenReaches(4));
}

TEST_F(TapLifecycleTest, TheCallbackReadsMediaKeyEvents) {
  std::mutex mutex;
  std::vector<SystemDefinedEventFields> events;
  DirectTap tap(platform_, [&](std::uint32_t type, std::optional<SystemDefinedEventFields> fields) {
    EXPECT_EQ(type, kSystemDefinedEventType);
    if (fields) {
      std::lock_guard lock(mutex);
      events.push_back(*fields);
    }
    return true;
  });
  keyboard_->tap(keysym::kRewind);
  settle();
  waitFor(
      [&] {
        std::lock_guard lock(mutex);
        return events.size() >= 2;
      },
      std::chrono::seconds(5));
  std::lock_guard lock(mutex);
  ASSERT_EQ(events.size(), 2U);
  EXPECT_EQ(events[0].subtype, 8);
  EXPECT_EQ(events[0].data1, (20 << 16) | (0x0A << 8));
  EXPECT_EQ(events[1].subtype, 8);
  EXPECT_EQ(events[1].data1, (20 << 16) | (0x0B << 8));
}

TEST_F(TapLifecycleTest, AHundredInstallationsLeaveNoGrabThreadOrConnection) {
  const int threadsBefore = threadCount();
  const int filesBefore = openFileCount();
  {
    MediaKeyTap tap(platform_);
    KeyDecider decider;
    tap.setOnKeyDown(decider.callback());
    for (int cycle = 0; cycle < 100; ++cycle) {
      ASSERT_TRUE(tap.start()) << "cycle " << cycle;
      tap.stop();
      if (cycle % 25 == 0) {
        EXPECT_TRUE(keyboard_->isFreeToGrab(keysym::kPlay)) << "cycle " << cycle;
      }
    }
    // Still working after all that.
    ASSERT_TRUE(tap.start());
    keyboard_->tap(keysym::kNext);
    EXPECT_TRUE(settle().empty());
    EXPECT_EQ(decider.count(), 1U);
  }
  EXPECT_TRUE(keyboard_->isFreeToGrab(keysym::kPlay));
  EXPECT_TRUE(keyboard_->isFreeToGrab(keysym::kNext));
  EXPECT_EQ(threadCount(), threadsBefore);
  EXPECT_EQ(openFileCount(), filesBefore);
}

}  // namespace
}  // namespace tonvara::testing
