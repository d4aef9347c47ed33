// The programs the engine works with going away under it: the player, the bus, the X server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "EndToEndTest.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

constexpr EngineSettings kPassing{true, WhenNotRunning::passThrough};

using FailureTest = EndToEndTest;

TEST_F(FailureTest, APlayerKilledInTheMiddleOfACommandLeavesTheEngineWorking) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kPassing);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));

  // A stopped player takes the call and never answers it; it then dies with the call open.
  ::kill(player->pid(), SIGSTOP);
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  std::this_thread::sleep_for(100ms);  // let the command reach the bus
  player->kill();
  ASSERT_TRUE(waitForMusicRunning(false));

  // The tap thread was never held up: keys pass while nothing plays.
  keyboard_->tap(keysym::kPlay);
  const auto keys = settle();
  EXPECT_THAT(keys, SizeIs(2));
  EXPECT_THAT(decisions_.all(), Contains(Pair(MediaKey::playPause, false)));

  // A new player is driven as before.
  auto next = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  ASSERT_TRUE(waitForMusicRunning(true));
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Paused"));
  EXPECT_TRUE(destroyRouter());
}

TEST_F(FailureTest, WithTheBusGoneKeysPassAndTheRouterStillGoesAway) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kPassing);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));

  bus_->kill();
  // The engine's picture of the players goes with the bus, so the keys are no longer taken.
  EXPECT_TRUE(waitForMusicRunning(false));
  for (int i = 0; i < 3; ++i) {
    keyboard_->tap(keysym::kPlay);
  }
  EXPECT_THAT(settle(), SizeIs(6));
  EXPECT_EQ(router_->automationStatus(), MusicController::AutomationAccess::undetermined);
  EXPECT_TRUE(router_->activate());
  EXPECT_TRUE(destroyRouter());
}

TEST_F(FailureTest, WithTheXServerGoneTheTapIsSwitchedOffAndStaysOff) {
  auto player = startPlayer({});
  ASSERT_TRUE(waitForStatus("Playing"));
  buildRouter(kPassing);
  ASSERT_TRUE(router_->activate());
  ASSERT_TRUE(waitForMusicRunning(true));
  ASSERT_EQ(tapThreads(), 1);
  window_.reset();  // its connection goes with the server

  server_->kill();
  // Told that the tap was switched off, the tap asks for trust, finds none and stays off, still
  // installed until someone removes it.
  ASSERT_TRUE(waitFor([&] { return tapPlatform_->trustChecks > 0; }, kPatience));
  EXPECT_EQ(tapPlatform_->lastTrust, 0);
  EXPECT_TRUE(router_->isTapInstalled());

  // The watchdog's next steps: remove the tap, and fail to install another.
  router_->deactivateTap();
  EXPECT_FALSE(router_->isTapInstalled());
  EXPECT_TRUE(waitFor([] { return tapThreads() == 0; }, kPatience)) << "the tap thread lives on";
  EXPECT_FALSE(router_->activate());
  EXPECT_FALSE(router_->isTapInstalled());
  // The rest of the engine is untouched.
  EXPECT_TRUE(router_->isMusicRunning());
  EXPECT_EQ(playbackStatus(), "Playing");
  EXPECT_TRUE(destroyRouter());
}

}  // namespace
}  // namespace tonvara::testing
