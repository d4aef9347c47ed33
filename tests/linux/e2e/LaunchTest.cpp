// A key pressed while the player is not running, with the engine set to start it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "EndToEndTest.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

constexpr EngineSettings kLaunching{true, WhenNotRunning::launchMusic};

using LaunchTest = EndToEndTest;

TEST_F(LaunchTest, PlayPauseStartsThePlayerFromItsEntryAndLeavesItPlaying) {
  // Started paused, so only the engine's play after the launch can make it play.
  installMusicEntry("Type=Application\nName=mpv\nExec=" + mpvExecLine(/*paused=*/true) + "\n");
  buildRouter(kLaunching);
  ASSERT_TRUE(router_->activate());
  ASSERT_FALSE(router_->isMusicRunning());

  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_THAT(decisions_.all(), ElementsAre(Pair(MediaKey::playPause, true)));
  EXPECT_TRUE(waitForStatus("Playing"));
  EXPECT_TRUE(router_->isMusicRunning());
  const auto owner = bus_->ownerPid(Mpv::kBusName);
  ASSERT_TRUE(owner.has_value());
  EXPECT_EQ(parentOf(*owner), getpid()) << "the player was not started by the engine";

  // Running now: the next key toggles it without another launch.
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_TRUE(waitForStatus("Paused"));
  EXPECT_EQ(bus_->names("org.mpris.MediaPlayer2.").size(), 1U);
}

TEST_F(LaunchTest, AFailedLaunchStillTakesTheKeySendsNothingAndBreaksNothing) {
  struct Case {
    const char* what;
    std::optional<std::string> entry;  // none: no audio application at all
  };
  const std::vector<Case> cases = {
      {"entry missing", std::nullopt},
      {"cannot start", "Type=Application\nName=mpv\nExec=mpv --idle\nPath=/nonexistent\n"},
      {"exits at once", "Type=Application\nName=mpv\nExec=false\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(xdg_.dataHome);
    std::filesystem::remove_all(xdg_.configHome);
    if (c.entry) {
      installMusicEntry(*c.entry);
    }
    decisions_.clear();
    buildRouter(kLaunching);
    ASSERT_TRUE(router_->activate());

    keyboard_->tap(keysym::kPlay);
    EXPECT_THAT(settle(), IsEmpty());
    EXPECT_THAT(decisions_.all(), ElementsAre(Pair(MediaKey::playPause, true)));

    // A player that turns up afterwards hears nothing of that key: a launch that wrongly
    // reported success would send play, and keep sending it for seconds.
    auto player = startPlayer({"--pause"});
    ASSERT_TRUE(waitForStatus("Paused"));
    if (c.entry) {
      ASSERT_TRUE(waitForMusicRunning(true));
    }
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(playbackStatus(), "Paused");
    EXPECT_TRUE(router_->isTapInstalled());

    // Later keys still work: taken, and carried out where there is a player of the entry.
    keyboard_->tap(keysym::kPlay);
    EXPECT_THAT(settle(), IsEmpty());
    if (c.entry) {
      EXPECT_TRUE(waitForStatus("Playing"));
    }
    EXPECT_TRUE(destroyRouter());
    player.reset();
    EXPECT_TRUE(waitFor([&] { return bus_->names("org.mpris.MediaPlayer2.").empty(); }, kPatience));
  }
}

}  // namespace
}  // namespace tonvara::testing
