// The platform against a real private bus and a real mpv.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <future>
#include <thread>

#include "MediaKeyEngine/MusicController.h"
#include "MprisTestSupport.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::string_view kMusic = MusicController::bundleID;

class MprisPlayerTest : public MprisBusTest {
 protected:
  void SetUp() override {
    MprisBusTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    installDefaultPlayer("mpv.desktop", "Type=Application\nName=mpv\nExec=" + mpvExecLine() +
                                            "\nMimeType=audio/mpeg;\n");
    platform_ = makePlatform();
  }

  void startPlayingMpv() {
    mpv_ = startMpv();
    ASSERT_TRUE(waitFor([&] { return !platform_->runningApplications(kMusic).empty(); }, 10s));
    ASSERT_TRUE(waitFor([&] { return bus_->playbackStatus(Mpv::kBusName) == "Playing"; }, 10s));
  }

  std::optional<std::string> statusAfterSettling() {
    // mpv publishes property changes in batches; give it a moment.
    std::this_thread::sleep_for(300ms);
    return bus_->playbackStatus(Mpv::kBusName);
  }

  std::unique_ptr<mpris::MprisApplicationPlatform> platform_;
  std::unique_ptr<Mpv> mpv_;
};

TEST_F(MprisPlayerTest, RunningApplicationsFollowThePlayer) {
  EXPECT_TRUE(platform_->runningApplications(kMusic).empty());
  EXPECT_TRUE(platform_->runningApplications("org.example.Other").empty());

  startPlayingMpv();
  const auto running = platform_->runningApplications(kMusic);
  ASSERT_EQ(running.size(), 1U);
  EXPECT_TRUE(running.front()->isFinishedLaunching());
  EXPECT_FALSE(running.front()->isTerminated());

  mpv_->kill();
  EXPECT_TRUE(waitFor([&] { return platform_->runningApplications(kMusic).empty(); }, 2s));
  EXPECT_TRUE(running.front()->isTerminated());
}

TEST_F(MprisPlayerTest, PlayersAlreadyOnTheBusAreSeenAtStart) {
  startPlayingMpv();
  const auto late = makePlatform();
  EXPECT_TRUE(waitFor([&] { return late->runningApplications(kMusic).size() == 1; }, 2s));
}

TEST_F(MprisPlayerTest, APlayerOfAnotherApplicationIsNotMusic) {
  writeFile(xdg_.dataHome + "/applications/other.desktop",
            "[Desktop Entry]\nType=Application\nExec=other-player\n");
  writeFile(xdg_.configHome + "/mimeapps.list",
            "[Default Applications]\naudio/mpeg=other.desktop\n");
  const auto platform = makePlatform();
  mpv_ = startMpv();
  ASSERT_TRUE(waitFor([&] { return bus_->playbackStatus(Mpv::kBusName) == "Playing"; }, 10s));
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(platform->runningApplications(kMusic).empty());
  EXPECT_EQ(platform->scriptableApplication(kMusic), nullptr);
}

TEST_F(MprisPlayerTest, CommandsDriveThePlayer) {
  EXPECT_EQ(platform_->scriptableApplication(kMusic), nullptr);
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), std::nullopt);

  startPlayingMpv();
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), true);
  auto player = platform_->scriptableApplication(kMusic);
  ASSERT_NE(player, nullptr);
  for (const char* selector : {"playpause", "play", "nextTrack", "previousTrack"}) {
    EXPECT_TRUE(player->respondsToSelector(selector)) << selector;
  }
  EXPECT_FALSE(player->respondsToSelector("stop"));
  EXPECT_FALSE(player->respondsToSelector(""));
  player->performSelector("stop");  // unknown: nothing happens
  EXPECT_EQ(statusAfterSettling(), "Playing");

  player->performSelector("playpause");
  EXPECT_EQ(statusAfterSettling(), "Paused");
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), false);

  player->performSelector("playpause");
  EXPECT_EQ(statusAfterSettling(), "Playing");

  ASSERT_TRUE(bus_->callPlayer(Mpv::kBusName, "Pause"));
  player->performSelector("play");
  EXPECT_EQ(statusAfterSettling(), "Playing");
  player->performSelector("play");
  EXPECT_EQ(statusAfterSettling(), "Playing");
}

TEST_F(MprisPlayerTest, AutomationIsGrantedWhileAPlayerAnswers) {
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, false), kAutomationProcessNotFound);
  startPlayingMpv();
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, false), kAutomationGranted);
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, true), kAutomationGranted);
  EXPECT_EQ(platform_->determinePermissionToAutomate("org.example.Other", false),
            kAutomationProcessNotFound);
}

TEST_F(MprisPlayerTest, AHungPlayerCostsOneTimeoutPerCall) {
  startPlayingMpv();
  auto player = platform_->scriptableApplication(kMusic);
  ASSERT_NE(player, nullptr);
  ::kill(mpv_->pid(), SIGSTOP);
  const auto start = std::chrono::steady_clock::now();
  player->performSelector("playpause");
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), std::nullopt);
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, false), kAutomationProcessNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  ::kill(mpv_->pid(), SIGCONT);
}

TEST_F(MprisPlayerTest, APlayerKilledAroundACommandIsHarmless) {
  startPlayingMpv();
  auto player = platform_->scriptableApplication(kMusic);
  ASSERT_NE(player, nullptr);

  // Killed while the call waits for its answer.
  ::kill(mpv_->pid(), SIGSTOP);
  auto pending = std::async(std::launch::async, [&] { player->performSelector("playpause"); });
  std::this_thread::sleep_for(200ms);
  const auto killed = std::chrono::steady_clock::now();
  mpv_->kill();
  EXPECT_EQ(pending.wait_for(2s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 1500ms);

  // Gone before the next call.
  const auto start = std::chrono::steady_clock::now();
  player->performSelector("playpause");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(MprisPlayerTest, LosingTheBusEndsEverythingQuietly) {
  startPlayingMpv();
  auto player = platform_->scriptableApplication(kMusic);
  ASSERT_NE(player, nullptr);
  bus_->kill();
  EXPECT_TRUE(waitFor([&] { return platform_->runningApplications(kMusic).empty(); }, 2s));
  const auto start = std::chrono::steady_clock::now();
  player->performSelector("playpause");
  EXPECT_EQ(platform_->scriptableApplication(kMusic), nullptr);
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), std::nullopt);
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, false), kAutomationProcessNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

class MprisDeniedPlayerTest : public MprisPlayerTest {
 protected:
  std::string busPolicy() const override {
    return std::string("<deny send_destination=\"") + Mpv::kBusName + "\"/>";
  }
};

TEST_F(MprisDeniedPlayerTest, ABusPolicyRefusalIsADenial) {
  mpv_ = startMpv();
  ASSERT_TRUE(waitFor([&] { return !platform_->runningApplications(kMusic).empty(); }, 10s));
  EXPECT_EQ(platform_->determinePermissionToAutomate(kMusic, false), kAutomationNotPermitted);
  EXPECT_EQ(platform_->isPlayerPlaying(kMusic), std::nullopt);
}

}  // namespace
}  // namespace tonvara::testing
