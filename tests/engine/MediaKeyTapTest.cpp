#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

constexpr std::string_view kTapThread = "ara.MediaKeyTap";  // the 15 characters Linux keeps

struct TapRig {
  TapRig() {
    tap->setOnKeyDown([this](MediaKey key) {
      std::lock_guard lock(mutex);
      keys.push_back(key);
      return swallow.load();
    });
  }
  std::vector<MediaKey> seen() {
    std::lock_guard lock(mutex);
    return keys;
  }
  std::shared_ptr<FakeEventTapPlatform> platform = std::make_shared<FakeEventTapPlatform>();
  std::unique_ptr<MediaKeyTap> tap = std::make_unique<MediaKeyTap>(platform);
  std::mutex mutex;
  std::vector<MediaKey> keys;
  std::atomic<bool> swallow{true};
};

FakeEvent systemDefined(std::int16_t subtype, std::int64_t data1, std::uint32_t type = 14) {
  return FakeEvent{type, SystemDefinedEventFields{subtype, data1}};
}

TEST(MediaKeyTap, DecodesOnlyMediaKeyDownsAndPassesEverythingElseUntouched) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  const std::int64_t down = 0x0A00;
  const std::int64_t high = std::int64_t{-1} << 32;  // bits 32 to 63 are not read
  const std::vector<std::pair<FakeEvent, std::optional<MediaKey>>> table = {
      {mediaKeyEvent(16, true), MediaKey::playPause},
      {mediaKeyEvent(17, true), MediaKey::next},
      {mediaKeyEvent(18, true), MediaKey::previous},
      {mediaKeyEvent(19, true), MediaKey::next},
      {mediaKeyEvent(20, true, true), MediaKey::previous},  // auto-repeat is decided again
      {systemDefined(8, high | (17 << 16) | down | 0xFE), MediaKey::next},
      {mediaKeyEvent(16, false), std::nullopt},
      {mediaKeyEvent(15, true), std::nullopt},
      {mediaKeyEvent(21, true), std::nullopt},
      {mediaKeyEvent(0x0110, true), std::nullopt},  // the code is all of bits 16 to 31
      {systemDefined(8, (16 << 16) | 0x1A00), std::nullopt},
      {systemDefined(7, (16 << 16) | down), std::nullopt},
      {systemDefined(9, (16 << 16) | down), std::nullopt},
      {systemDefined(8, (16 << 16) | down, 10), std::nullopt},
      {systemDefined(8, (16 << 16) | down, 15), std::nullopt},
      {FakeEvent{14, std::nullopt}, std::nullopt},
  };
  std::vector<MediaKey> expected;
  for (const auto& [event, key] : table) {
    EXPECT_EQ(rig.platform->post(event), key ? PostOutcome::swallowed : PostOutcome::passed)
        << event.type << " " << (event.fields ? event.fields->data1 : -1);
    if (key) {
      expected.push_back(*key);
    }
  }
  EXPECT_EQ(rig.seen(), expected);
}

TEST(MediaKeyTap, TheAnswerDecidesAndTheCallbackCanBeReplacedFromInsideItself) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  rig.swallow = false;
  EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::passed);
  // No lock is held while the callback runs, so it may use the tap's accessors.
  rig.tap->setOnKeyDown([&rig](MediaKey) {
    rig.tap->setOnKeyDown(nullptr);
    return rig.tap->isInstalled();
  });
  EXPECT_EQ(rig.platform->postMediaKey(17, true), PostOutcome::swallowed);
  EXPECT_FALSE(rig.tap->onKeyDown());
  EXPECT_EQ(rig.platform->postMediaKey(18, true), PostOutcome::passed);
  EXPECT_EQ(rig.seen(), std::vector{MediaKey::playPause});
}

TEST(MediaKeyTap, StartsOnceStopsAtOnceAndStartsAfreshAfterAStopOrARefusal) {
  TapRig rig;
  rig.tap->stop();
  rig.platform->setRefuseTaps(true);
  EXPECT_FALSE(rig.tap->start());
  rig.platform->setRefuseTaps(false);
  rig.platform->setTrusted(false);
  EXPECT_FALSE(rig.tap->start());
  EXPECT_FALSE(rig.tap->isInstalled());
  EXPECT_EQ(threadsNamed(kTapThread), 0);

  rig.platform->setTrusted(true);
  ASSERT_TRUE(rig.tap->start());
  EXPECT_TRUE(rig.tap->start());
  EXPECT_EQ(rig.platform->tapsCreated(), 1);
  EXPECT_NE(threadsNamed(kTapThread), 2);
  rig.tap->stop();
  EXPECT_FALSE(rig.tap->isInstalled());
  EXPECT_FALSE(rig.platform->isTapEnabled());
  EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::noTap);
  EXPECT_TRUE(eventually([&] { return threadsNamed(kTapThread) <= 0; }));
  ASSERT_TRUE(rig.tap->start());
  EXPECT_EQ(rig.platform->postMediaKey(17, true), PostOutcome::swallowed);
  EXPECT_EQ(rig.seen(), std::vector{MediaKey::next});
}

TEST(MediaKeyTap, ADisabledTapIsSwitchedOnAgainOnlyWhileTrusted) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  for (const std::uint32_t notification :
       {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(rig.platform->disableTap(notification), PostOutcome::passed);
    EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::swallowed);
  }
  rig.platform->setTrusted(false);
  EXPECT_EQ(rig.platform->disableTap(kEventTapDisabledByTimeout), PostOutcome::passed);
  EXPECT_FALSE(rig.platform->isTapEnabled());
  EXPECT_TRUE(rig.tap->isInstalled());
  // The port is still there, so start() has nothing to do even once trust is back.
  rig.platform->setTrusted(true);
  EXPECT_TRUE(rig.tap->start());
  EXPECT_FALSE(rig.platform->isTapEnabled());
  EXPECT_EQ(rig.platform->tapsCreated(), 1);
}

// A callback blocked inside a decision until `release`.
struct BlockedCallback {
  explicit BlockedCallback(TapRig& rig) : rig(rig) {
    rig.tap->setOnKeyDown([this](MediaKey) {
      entered.set_value();
      released.wait();
      return true;
    });
    poster = std::thread([this] { outcome = this->rig.platform->postMediaKey(16, true); });
    entered.get_future().wait();
  }
  void release() {
    go.set_value();
    poster.join();
  }
  TapRig& rig;
  std::promise<void> entered, go;
  std::shared_future<void> released = go.get_future().share();
  std::thread poster;
  PostOutcome outcome = PostOutcome::noTap;
};

TEST(MediaKeyTapLifetime, StartAfterStopNeverWaitsForTheOldThreadsCallback) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  BlockedCallback blocked(rig);
  rig.tap->stop();
  auto restarted = std::async(std::launch::async, [&] { return rig.tap->start(); });
  const bool returned = restarted.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "start() waited for a callback on the stopped tap's thread";
  blocked.release();
  EXPECT_TRUE(restarted.get());
  EXPECT_EQ(blocked.outcome, PostOutcome::swallowed);
}

TEST(MediaKeyTapLifetime, DestroyingWaitsForTheCallbackInProgressAndEndsEveryThread) {
  for (const bool stoppedFirst : {false, true}) {
    TapRig rig;
    ASSERT_TRUE(rig.tap->start());
    BlockedCallback blocked(rig);
    if (stoppedFirst) {
      rig.tap->stop();
    }
    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
      rig.tap.reset();
      destroyed = true;
    });
    ASSERT_TRUE(eventually([&] { return !rig.platform->isTapEnabled(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(destroyed) << "the tap went away under a running callback";
    blocked.release();
    destroyer.join();
  }
}

TEST(MediaKeyTapLifetime, ManyCyclesLeaveNoThreadAndNoCallbackRunsAfterDestruction) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  for (int round = 0; round < 20; ++round) {
    auto tap = std::make_unique<MediaKeyTap>(platform);
    std::atomic<bool> destroyed{false};
    std::atomic<int> late{0}, decided{0};
    tap->setOnKeyDown([&](MediaKey) {
      late += destroyed ? 1 : 0;
      ++decided;
      return true;
    });
    std::atomic<bool> posting{true};
    std::thread poster([&] {
      while (posting) {
        const auto outcome = platform->postMediaKey(16, true);
        EXPECT_TRUE(outcome == PostOutcome::swallowed || outcome == PostOutcome::noTap);
      }
    });
    for (int cycle = 0; cycle < 200; ++cycle) {
      ASSERT_TRUE(tap->start());
      tap->stop();
    }
    ASSERT_TRUE(tap->start());
    ASSERT_TRUE(eventually([&] { return decided > 0; }));
    tap.reset();
    destroyed = true;
    EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::noTap);
    posting = false;
    poster.join();
    EXPECT_EQ(late, 0);
    EXPECT_LE(threadsNamed(kTapThread), 0);
  }
}

}  // namespace
}  // namespace tonvara::testing
