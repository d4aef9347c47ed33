// Starting the default audio player, alone and through the music controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "MediaKeyEngine/MusicController.h"
#include "MediaKeyEngine/WorkQueue.h"
#include "MprisTestSupport.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::string_view kMusic = MusicController::bundleID;

class MprisLaunchTest : public MprisBusTest {
 protected:
  void installPlayer(const std::string& body) {
    installDefaultPlayer("player.desktop", "Type=Application\nName=Player\n" + body);
  }
  void installMpv(bool paused = false) {
    installDefaultPlayer("mpv.desktop",
                         "Type=Application\nName=mpv\nExec=" + mpvExecLine(paused) + "\n");
  }

  std::shared_ptr<MusicController> makeController(
      const std::shared_ptr<mpris::MprisApplicationPlatform>& platform) {
    return MusicController::create(
        std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated),
        [platform] { return platform->runningApplications(kMusic); },
        MusicController::makeDefaultLaunchApplication(
            platform, DispatchQueue::global(QualityOfService::userInitiated)),
        MusicController::makeDefaultSendCommand(platform,
                                                MusicController::PlayPauseAfterLaunch::play),
        [platform] { return platform->determinePermissionToAutomate(kMusic, false); },
        [platform] { return platform->isPlayerPlaying(kMusic).value_or(false); });
  }

  // Runs the controller's default launch and waits for its answer.
  std::optional<bool> launchThroughController(
      const std::shared_ptr<mpris::MprisApplicationPlatform>& platform) {
    auto launch = MusicController::makeDefaultLaunchApplication(
        platform, DispatchQueue::global(QualityOfService::userInitiated));
    auto answer = std::make_shared<std::promise<bool>>();
    auto result = answer->get_future();
    launch([answer](bool isUp) { answer->set_value(isUp); });
    if (result.wait_for(10s) != std::future_status::ready) {
      return std::nullopt;
    }
    return result.get();
  }

  std::shared_ptr<mpris::MprisApplicationPlatform> makeSharedPlatform() { return makePlatform(); }
};

TEST_F(MprisLaunchTest, OpeningStartsThePlayerAndFinishesWhenItIsOnTheBus) {
  installMpv();
  auto platform = makeSharedPlatform();
  const auto url = platform->urlForApplication(kMusic);
  ASSERT_EQ(url, xdg_.dataHome + "/applications/mpv.desktop");

  std::shared_ptr<RunningApplication> handle;
  std::optional<std::string> error;
  platform->openApplication(*url, true, [&](auto application, auto failure) {
    handle = std::move(application);
    error = std::move(failure);
  });
  ASSERT_NE(handle, nullptr) << error.value_or("");
  EXPECT_FALSE(handle->isFinishedLaunching());
  EXPECT_TRUE(waitFor([&] { return handle->isFinishedLaunching(); }, 10s));
  EXPECT_FALSE(handle->isTerminated());
  EXPECT_TRUE(bus_->hasOwner(Mpv::kBusName));
  EXPECT_EQ(platform->runningApplications(kMusic).size(), 1U);

  // Already running: the running one is reported at once and nothing else starts.
  std::shared_ptr<RunningApplication> again;
  platform->openApplication(*url, true, [&](auto application, auto) { again = application; });
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->isFinishedLaunching());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(bus_->names("org.mpris.MediaPlayer2.").size(), 1U);

  // The launched player ending shows on the launch handle, and it is reaped.
  const auto pid = bus_->ownerPid(Mpv::kBusName);
  ASSERT_TRUE(pid.has_value());
  ::kill(*pid, SIGKILL);
  EXPECT_TRUE(waitFor([&] { return handle->isTerminated(); }, 5s));
  EXPECT_TRUE(waitFor([] { return zombieChildren() == 0; }, 2s));
}

TEST_F(MprisLaunchTest, APlayPauseThatLaunchesLeavesThePlayerPlaying) {
  installMpv(/*paused=*/true);
  auto platform = makeSharedPlatform();
  auto controller = makeController(platform);
  ASSERT_FALSE(controller->isRunning());
  controller->perform(MediaKey::playPause, true);
  EXPECT_TRUE(waitFor([&] { return bus_->playbackStatus(Mpv::kBusName) == "Playing"; }, 10s));
  EXPECT_TRUE(controller->isRunning());
  EXPECT_EQ(controller->automationAccess(), MusicController::AutomationAccess::granted);
}

TEST_F(MprisLaunchTest, APlayerThatStartsPlayingIsNotToggledOff) {
  installMpv();
  auto platform = makeSharedPlatform();
  auto controller = makeController(platform);
  controller->perform(MediaKey::playPause, true);
  // Every state the player passes through until past the first playback check.
  std::vector<std::string> states;
  const auto until = std::chrono::steady_clock::now() + 3s;
  while (std::chrono::steady_clock::now() < until) {
    const auto status = bus_->playbackStatus(Mpv::kBusName);
    if (status && (states.empty() || states.back() != *status)) {
      states.push_back(*status);
    }
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), "Playing");
  EXPECT_EQ(std::count(states.begin(), states.end(), "Paused"), 0)
      << ::testing::PrintToString(states);
}

TEST_F(MprisLaunchTest, LaunchFailuresAnswerFalse) {
  struct Case {
    const char* what;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"exits at once", "Exec=false\n"},
      {"needs a shell", "Exec=mpv > /dev/null\n"},
      {"unbalanced quote", "Exec=mpv \"--idle\n"},
      {"missing program", "Exec=no-such-player-program --play\n"},
      {"missing TryExec", "Exec=true\nTryExec=/nonexistent/player\n"},
      {"bad working directory", "Exec=sleep 30\nPath=/nonexistent/dir\n"},
      {"no such D-Bus service", "DBusActivatable=true\n"},
  };
  for (const auto& c : cases) {
    installPlayer(c.body);
    auto platform = makeSharedPlatform();
    EXPECT_EQ(launchThroughController(platform), false) << c.what;
  }
  EXPECT_TRUE(waitFor([] { return zombieChildren() == 0; }, 2s));
}

TEST_F(MprisLaunchTest, NothingIsSentWhenTheLaunchFails) {
  auto platform = makeSharedPlatform();  // no audio application at all
  EXPECT_EQ(platform->urlForApplication(kMusic), std::nullopt);
  EXPECT_EQ(launchThroughController(platform), false);

  installPlayer("Exec=false\n");
  platform = makeSharedPlatform();
  auto controller = makeController(platform);
  controller->perform(MediaKey::playPause, true);
  // mpv, started by hand, would take a stray command.
  auto mpv = startMpv({"--pause"});
  ASSERT_TRUE(waitFor([&] { return bus_->playbackStatus(Mpv::kBusName) == "Paused"; }, 10s));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(bus_->playbackStatus(Mpv::kBusName), "Paused");
}

TEST_F(MprisLaunchTest, OpeningSomethingThatIsNotAnEntryFails) {
  auto platform = makeSharedPlatform();
  bool called = false;
  platform->openApplication(directory_->path() + "/nothing.desktop", true,
                            [&](auto application, auto error) {
                              called = true;
                              EXPECT_EQ(application, nullptr);
                              EXPECT_TRUE(error.has_value());
                            });
  EXPECT_TRUE(called);
}

}  // namespace
}  // namespace tonvara::testing
