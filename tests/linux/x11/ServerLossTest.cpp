// The X server going away under an installed tap.
#include <gtest/gtest.h>

#include <atomic>

#include "ChildProcess.h"
#include "X11TestFixture.h"

namespace tonvara::testing {
namespace {

// Forwards to the X11 platform and counts the trust checks the tap makes.
class CountingPlatform final : public EventTapPlatform {
 public:
  explicit CountingPlatform(std::shared_ptr<EventTapPlatform> inner) : inner_(std::move(inner)) {}

  std::atomic<int> trustChecks{0};
  std::atomic<int> lastTrust{-1};

  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                               EventTapPlacement placement, EventTapOptions options,
                                               EventMask mask, EventTapCallBack callback,
                                               void* userInfo) override {
    return inner_->createEventTap(location, placement, options, mask, callback, userInfo);
  }
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) override {
    return inner_->createRunLoopSource(port);
  }
  std::shared_ptr<RunLoop> currentRunLoop() override { return inner_->currentRunLoop(); }
  void enableTap(EventTapPort& port, bool enable) override { inner_->enableTap(port, enable); }
  bool isProcessTrusted() override {
    const bool trusted = inner_->isProcessTrusted();
    lastTrust = trusted ? 1 : 0;
    ++trustChecks;
    return trusted;
  }
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override {
    return inner_->systemDefinedFields(event);
  }

 private:
  std::shared_ptr<EventTapPlatform> inner_;
};

using ServerLossTest = X11Test;

TEST_F(ServerLossTest, TheCallbackHearsTheTapWasSwitchedOffAndTheLoopStillStops) {
  std::atomic<int> disabledNotices{0};
  std::atomic<int> mediaKeys{0};
  DirectTap tap(platform_, [&](std::uint32_t type, std::optional<SystemDefinedEventFields>) {
    if (type == kEventTapDisabledByUserInput || type == kEventTapDisabledByTimeout) {
      ++disabledNotices;
    } else {
      ++mediaKeys;
    }
    return true;
  });
  ASSERT_TRUE(tap.installed());
  keyboard_->tap(keysym::kPlay);
  ASSERT_TRUE(waitFor([&] { return mediaKeys == 2; }, std::chrono::seconds(5)));

  server_->kill();
  EXPECT_TRUE(waitFor([&] { return disabledNotices > 0; }, std::chrono::seconds(5)));
  EXPECT_FALSE(platform_->isProcessTrusted());
  tap.setEnabled(true);  // a re-enable on a dead connection must do no harm
  tap.stop();
  EXPECT_EQ(disabledNotices, 1);
}

TEST_F(ServerLossTest, AMediaKeyTapStaysOffAndStopsCleanly) {
  window_.reset();  // its reader thread would end with the server and spoil the count
  const int threadsBefore = threadCount();
  auto counting = std::make_shared<CountingPlatform>(platform_);
  {
    MediaKeyTap tap(counting);
    KeyDecider decider;
    tap.setOnKeyDown(decider.callback());
    ASSERT_TRUE(tap.start());

    server_->kill();
    // The tap asks for trust when told it was switched off, and must find none.
    ASSERT_TRUE(waitFor([&] { return counting->trustChecks > 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(counting->lastTrust, 0);
    EXPECT_TRUE(tap.isInstalled());
    tap.stop();
    EXPECT_FALSE(tap.isInstalled());
  }
  EXPECT_EQ(threadCount(), threadsBefore);
}

}  // namespace
}  // namespace tonvara::testing
