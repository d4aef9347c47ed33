#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "FakeEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

constexpr std::string_view kTapThread = "ara.MediaKeyTap";  // the 15 characters Linux keeps

TEST(MediaKeyTap, DecidesMediaKeyDownsOnlyAndStaysOnWhileTrusted) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  MediaKeyTap tap(platform);
  std::vector<MediaKey> keys;
  tap.setOnKeyDown([&](MediaKey key) {
    keys.push_back(key);
    return key != MediaKey::previous;
  });
  platform->setRefuseTaps(true);
  EXPECT_FALSE(tap.start());
  platform->setRefuseTaps(false);
  ASSERT_TRUE(tap.start());
  EXPECT_TRUE(tap.start());
  EXPECT_EQ(platform->tapsCreated(), 1);
  const std::int64_t down = 0xA00, high = std::int64_t{-1} << 32;  // bits 32 to 63 are not read
  const std::tuple<std::uint32_t, std::int16_t, std::int64_t, std::optional<MediaKey>> table[] = {
      {14, 8, 16 << 16 | down, MediaKey::playPause},
      {14, 8, 17 << 16 | down | 1, MediaKey::next},
      {14, 8, 18 << 16 | down, MediaKey::previous},
      {14, 8, high | 19 << 16 | down, MediaKey::next},
      {14, 8, 20 << 16 | down | 0xFE, MediaKey::previous},
      {14, 8, 16 << 16 | 0xB00, {}},
      {14, 8, 15 << 16 | down, {}},
      {14, 8, 21 << 16 | down, {}},
      {14, 8, 0x110 << 16 | down, {}},
      {14, 8, 16 << 16 | 0x1A00, {}},
      {14, 7, 16 << 16 | down, {}},
      {10, 8, 16 << 16 | down, {}},
      {15, 8, 16 << 16 | down, {}}};
  std::vector<MediaKey> expected;
  for (const auto& [type, subtype, data1, key] : table) {
    const auto outcome = platform->post(FakeEvent{type, SystemDefinedEventFields{subtype, data1}});
    EXPECT_EQ(outcome,
              key && key != MediaKey::previous ? PostOutcome::swallowed : PostOutcome::passed)
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
  EXPECT_FALSE(platform->isTapEnabled());
  tap.stop();
  EXPECT_FALSE(tap.isInstalled());
  EXPECT_TRUE(eventually([] { return threadsNamed(kTapThread) <= 0; }));
  ASSERT_TRUE(tap.start());
  tap.setOnKeyDown(nullptr);
  EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::passed);
}

TEST(MediaKeyTapLifetime, RestartingNeverWaitsForAnOldCallbackButDestroyingDoes) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  auto tap = std::make_unique<MediaKeyTap>(platform);
  std::promise<void> entered, go;
  tap->setOnKeyDown([&, released = go.get_future().share()](MediaKey) {
    entered.set_value();
    released.wait();
    return true;
  });
  ASSERT_TRUE(tap->start());
  std::thread poster([&] { EXPECT_EQ(platform->postMediaKey(16, true), PostOutcome::swallowed); });
  entered.get_future().wait();
  tap->stop();
  auto restarted = std::async(std::launch::async, [&] { return tap->start(); });
  EXPECT_EQ(restarted.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "start() waited for a callback on the stopped tap's thread";
  auto destroyed = std::async(std::launch::async, [&] {
    restarted.wait();
    tap.reset();
  });
  EXPECT_EQ(destroyed.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
      << "the tap went away under a running callback";
  go.set_value();
  destroyed.wait();
  poster.join();
}

TEST(MediaKeyTapLifetime, CyclesLeaveNoThreadAndNoCallbackRunsAfterDestruction) {
  auto platform = std::make_shared<FakeEventTapPlatform>();
  for (int round = 0; round < 10; ++round) {
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
    for (int cycle = 0; cycle < 50; ++cycle) {
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
