// Media keys typed on a private X server, decided by the real router and carried out on mpv.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "EndToEndTest.h"

namespace tonvara::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

constexpr EngineSettings kLaunching{true, WhenNotRunning::launchMusic};
constexpr EngineSettings kPassing{true, WhenNotRunning::passThrough};

using KeyRoutingTest = EndToEndTest;

// The press and then the release of `keycode`, and nothing else.
void expectPressAndRelease(const std::vector<ReceivedKey>& keys, xcb_keycode_t keycode) {
  ASSERT_THAT(keys, SizeIs(2));
  EXPECT_TRUE(keys[0].press);
  EXPECT_EQ(keys[0].keycode, keycode);
  EXPECT_FALSE(keys[1].press);
  EXPECT_EQ(keys[1].keycode, keycode);
}

TEST_F(KeyRoutingTest, TakenPlayPauseNeverReachesTheWindowAndTogglesThePlayer) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kLaunching);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));
  EXPECT_EQ(router_->automationStatus(), MusicController::AutomationAccess::granted);

  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Paused"));
  EXPECT_EQ(musicPlatform_->isPlayerPlaying(MusicController::bundleID), false);

  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Playing"));
  EXPECT_EQ(musicPlatform_->isPlayerPlaying(MusicController::bundleID), true);
  // One decision per press: the releases went by without one.
  EXPECT_THAT(decisions_.all(),
              ElementsAre(Pair(MediaKey::playPause, true), Pair(MediaKey::playPause, true)));
}

TEST_F(KeyRoutingTest, EveryTrackKeyMovesThePlayerAndNoneReachesTheWindow) {
  const auto first = std::filesystem::path(tone_).filename().string();
  const auto second = secondTrack();
  auto player = startPlayer({}, {tone_, second});
  ASSERT_TRUE(waitForTitle(first));
  buildRouter(kLaunching);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));

  keyboard_->tap(keysym::kNext);
  EXPECT_TRUE(waitForTitle("second.wav"));
  keyboard_->tap(keysym::kPrevious);
  EXPECT_TRUE(waitForTitle(first));
  // Fast-forward and rewind act as next and previous.
  keyboard_->tap(keysym::kForward);
  EXPECT_TRUE(waitForTitle("second.wav"));
  keyboard_->tap(keysym::kRewind);
  EXPECT_TRUE(waitForTitle(first));

  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_THAT(decisions_.all(),
              ElementsAre(Pair(MediaKey::next, true), Pair(MediaKey::previous, true),
                          Pair(MediaKey::next, true), Pair(MediaKey::previous, true)));
}

TEST_F(KeyRoutingTest, AHeldKeyIsTakenWholeAndItsRepeatsActAsPresses) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kLaunching);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));
  keyboard_->enableAutoRepeat();

  keyboard_->press(keysym::kPlay);
  // The server repeats a held key after its delay; each repeat is decided like a press.
  EXPECT_TRUE(waitFor([&] { return decisions_.count() >= 3; }, kPatience));
  keyboard_->release(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  for (const auto& [key, taken] : decisions_.all()) {
    EXPECT_EQ(key, MediaKey::playPause);
    EXPECT_TRUE(taken);
  }
  // The player answered every toggle and is still there to answer.
  EXPECT_TRUE(waitFor([&] { return playbackStatus().has_value(); }, kPatience));
}

TEST_F(KeyRoutingTest, WithInterceptionOffKeysReachTheWindowWithTheirRelease) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kLaunching);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(router_->isTapInstalled());

  router_->update({false, WhenNotRunning::launchMusic});
  EXPECT_FALSE(router_->isTapInstalled());
  keyboard_->tap(keysym::kPlay);
  expectPressAndRelease(settle(), keyboard_->keycode(keysym::kPlay));
  EXPECT_THAT(decisions_.all(), IsEmpty());  // no tap, so nothing was even asked
  EXPECT_EQ(playbackStatus(), "Playing");

  // Switched on again, the same key is taken once more.
  router_->update(kLaunching);
  ASSERT_TRUE(router_->isTapInstalled());
  ASSERT_TRUE(waitForMusicRunning(true));
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Paused"));
}

TEST_F(KeyRoutingTest, WithThePlayerStoppedAndPassThroughKeysReachTheWindow) {
  buildRouter(kPassing);
  ASSERT_TRUE(router_->activate());
  ASSERT_FALSE(router_->isMusicRunning());

  keyboard_->tap(keysym::kNext);
  expectPressAndRelease(settle(), keyboard_->keycode(keysym::kNext));
  EXPECT_THAT(decisions_.all(), ElementsAre(Pair(MediaKey::next, false)));
  EXPECT_TRUE(bus_->names("org.mpris.MediaPlayer2.").empty()) << "nothing may have been started";

  // Once the player runs, the same setting takes the keys.
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  ASSERT_TRUE(waitForMusicRunning(true));
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Paused"));
}

TEST_F(KeyRoutingTest, AKeyHeldByAnotherClientLeavesTheEngineUntrustedAndUninstalled) {
  KeyGrabber desktop(server_->displayName(), keysym::kPlay);
  ASSERT_TRUE(desktop.holdsGrab());
  buildRouter(kLaunching);
  EXPECT_FALSE(router_->activate());
  EXPECT_FALSE(router_->isTapInstalled());
  EXPECT_FALSE(tapPlatform_->isProcessTrusted());

  desktop.release();
  EXPECT_TRUE(router_->activate());
  EXPECT_TRUE(router_->isTapInstalled());
}

}  // namespace
}  // namespace tonvara::testing
