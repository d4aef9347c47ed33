#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

constexpr std::string_view kTapThread = "ara.MediaKeyTap";  // the 15 characters Linux keeps

// A tap whose callback records each key and answers `swallow`; with `block` set, the next call
// waits inside the callback until `go` is set.
struct TapRig {
  TapRig() {
    tap->setOnKeyDown([this](MediaKey key) {
      keys.push_back(key);
      if (std::exchange(block, false)) {
        entered.set_value();
        released.wait();
      }
      return swallow;
    });
  }
  std::shared_ptr<FakeEventTapPlatform> platform = std::make_shared<FakeEventTapPlatform>();
  std::unique_ptr<MediaKeyTap> tap = std::make_unique<MediaKeyTap>(platform);
  std::vector<MediaKey> keys;
  bool swallow = true, block = false;
  std::promise<void> entered, go;
  std::shared_future<void> released = go.get_future().share();
};

TEST(MediaKeyTap, DecidesOnlyMediaKeyDownsAndReturnsEveryOtherEventUntouched) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  const auto event = [](std::int64_t data1, std::int16_t subtype = 8, std::uint32_t type = 14) {
    return FakeEvent{type, SystemDefinedEventFields{subtype, data1}};
  };
  const std::int64_t down = 0xA00, high = std::int64_t{-1} << 32;  // bits 32 to 63 are not read
  const std::pair<FakeEvent, std::optional<MediaKey>> table[] = {
      {event(16 << 16 | down), MediaKey::playPause},
      {event(17 << 16 | down), MediaKey::next},
      {event(18 << 16 | down), MediaKey::previous},
      {event(19 << 16 | down), MediaKey::next},
      {event(20 << 16 | down | 1), MediaKey::previous},  // auto-repeat is decided again
      {event(high | 17 << 16 | down | 0xFE), MediaKey::next},
      {event(16 << 16 | 0xB00), {}},
      {event(15 << 16 | down), {}},
      {event(21 << 16 | down), {}},
      {event(0x110 << 16 | down), {}},
      {event(16 << 16 | 0x1A00), {}},
      {event(16 << 16 | down, 7), {}},
      {event(16 << 16 | down, 8, 10), {}},
      {event(16 << 16 | down, 8, 15), {}},
      {FakeEvent{14, std::nullopt}, {}}};
  std::vector<MediaKey> expected;
  for (const auto& [posted, key] : table) {
    EXPECT_EQ(rig.platform->post(posted), key ? PostOutcome::swallowed : PostOutcome::passed)
        << std::hex << posted.type << " " << (posted.fields ? posted.fields->data1 : 0);
    if (key) {
      expected.push_back(*key);
    }
  }
  EXPECT_EQ(rig.keys, expected);
  rig.swallow = false;
  EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::passed);
  // No lock is held while the callback runs, so it may replace itself.
  rig.tap->setOnKeyDown([&rig](MediaKey) {
    rig.tap->setOnKeyDown(nullptr);
    return rig.tap->isInstalled();
  });
  EXPECT_EQ(rig.platform->postMediaKey(17, true), PostOutcome::swallowed);
  EXPECT_EQ(rig.platform->postMediaKey(18, true), PostOutcome::passed);
}

TEST(MediaKeyTap, InstallsOneTapRemovesItAtOnceAndKeepsItOnWhileTrusted) {
  TapRig rig;
  rig.platform->setRefuseTaps(true);
  EXPECT_FALSE(rig.tap->start());
  rig.platform->setRefuseTaps(false);
  ASSERT_TRUE(rig.tap->start());
  EXPECT_TRUE(rig.tap->start());
  EXPECT_EQ(rig.platform->tapsCreated(), 1);
  for (const auto notification : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(rig.platform->disableTap(notification), PostOutcome::passed);
    EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::swallowed);
  }
  rig.platform->setTrusted(false);
  EXPECT_EQ(rig.platform->disableTap(kEventTapDisabledByTimeout), PostOutcome::passed);
  EXPECT_FALSE(rig.platform->isTapEnabled());
  rig.platform->setTrusted(true);
  EXPECT_TRUE(rig.tap->start());  // still installed, so nothing to do
  EXPECT_FALSE(rig.platform->isTapEnabled());
  rig.tap->stop();
  EXPECT_FALSE(rig.tap->isInstalled());
  EXPECT_TRUE(eventually([] { return threadsNamed(kTapThread) <= 0; }));
  ASSERT_TRUE(rig.tap->start());
  EXPECT_EQ(rig.platform->postMediaKey(17, true), PostOutcome::swallowed);
  EXPECT_EQ(rig.keys.size(), 3U);
}

TEST(MediaKeyTapLifetime, RestartingNeverWaitsForAnOldCallbackButDestroyingDoes) {
  TapRig rig;
  ASSERT_TRUE(rig.tap->start());
  rig.block = true;
  std::thread poster(
      [&] { EXPECT_EQ(rig.platform->postMediaKey(16, true), PostOutcome::swallowed); });
  rig.entered.get_future().wait();
  rig.tap->stop();
  auto restarted = std::async(std::launch::async, [&] { return rig.tap->start(); });
  EXPECT_EQ(restarted.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "start() waited for a callback on the stopped tap's thread";
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    restarted.wait();
    rig.tap.reset();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed) << "the tap went away under a running callback";
  rig.go.set_value();
  destroyer.join();
  poster.join();
}

TEST(MediaKeyTapLifetime, CyclesLeaveNoThreadAndNoCallbackRunsAfterDestruction) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  for (int round = 0; round < 20; ++round) {
    auto tap = std::make_unique<MediaKeyTap>(platform);
    std::atomic<bool> destroyed{false}, posting{true};
    std::atomic<int> late{0}, decided{0};
    tap->setOnKeyDown([&](MediaKey) {
      late += destroyed ? 1 : 0;
      return ++decided > 0;
    });
    std::thread poster([&] {
      while (posting) {
        const auto outcome = platform->postMediaKey(16, true);
        EXPECT_TRUE(outcome == PostOutcome::swallowed || outcome == PostOutcome::noTap);
      }
    });
    for (int cycle = 0; cycle < 100; ++cycle) {
      ASSERT_TRUE(tap->start());
      tap->stop();
    }
    ASSERT_TRUE(tap->start());
    ASSERT_TRUE(eventually([&] { return decided > 0; }));
    tap.reset();
    destroyed = true;
    posting = false;
    poster.join();
    EXPECT_EQ(late, 0);
    EXPECT_LE(threadsNamed(kTapThread), 0);
  }
}

}  // namespace
}  // namespace tonvara::testing
