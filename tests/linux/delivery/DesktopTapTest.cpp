// Keys the desktop delivers reach a real MediaKeyTap on the desktop platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

#include "ChildProcess.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using linux_desktop::deliverKey;
using linux_desktop::setDeliveryOpen;
using Keys = std::vector<MediaKey>;

TEST(DesktopTapTest, DeliveredKeysReachTheInstalledTapWhileAChannelIsOpen) {
  auto platform = std::make_shared<linux_desktop::DesktopEventTapPlatform>();
  MediaKeyTap tap(platform);
  std::mutex mutex;
  Keys decided;
  tap.setOnKeyDown([&](MediaKey key) {
    std::lock_guard lock(mutex);
    decided.push_back(key);
    return false;  // the answer cannot hand a delivered key back
  });
  const auto seen = [&] { return std::lock_guard(mutex), decided; };

  setDeliveryOpen(false);
  EXPECT_FALSE(platform->isProcessTrusted());
  EXPECT_FALSE(tap.start()) << "no channel brings keys: nothing to tap";
  EXPECT_FALSE(deliverKey(MediaKey::next));

  setDeliveryOpen(true);
  EXPECT_TRUE(platform->isProcessTrusted());
  ASSERT_TRUE(tap.start());
  const Keys keys = {MediaKey::playPause, MediaKey::next, MediaKey::previous, MediaKey::next};
  for (const MediaKey key : keys) {
    EXPECT_TRUE(deliverKey(key));
  }
  EXPECT_TRUE(waitFor([&] { return seen().size() >= keys.size(); }, 5s));
  EXPECT_EQ(seen(), keys) << "in order, each once, whatever the answer";

  // A stopped tap sees nothing more, and the deliverer learns that nobody took the key.
  tap.stop();
  EXPECT_FALSE(deliverKey(MediaKey::playPause));
  ASSERT_TRUE(tap.start());
  EXPECT_TRUE(deliverKey(MediaKey::previous));
  EXPECT_TRUE(waitFor([&] { return seen().size() == keys.size() + 1; }, 5s));
  EXPECT_EQ(seen().back(), MediaKey::previous);

  setDeliveryOpen(false);
  EXPECT_FALSE(platform->isProcessTrusted());
  tap.stop();
}

}  // namespace
}  // namespace tonvara::testing
