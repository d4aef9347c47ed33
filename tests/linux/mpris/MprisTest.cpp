// The MPRIS platform on a private bus: the default player of a private desktop and its launch,
// the running cache, commands to mpv, and the Automation answer.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "MediaKeyEngine/MusicController.h"
#include "MprisTestSupport.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::string_view kMusic = MusicController::bundleID;
constexpr const char* kEntry = "Type=Application\nExec=false\n";
using MprisTest = MprisBusTest;

std::shared_ptr<RunningApplication> open(ApplicationPlatform& platform) {
  std::shared_ptr<RunningApplication> opened;
  platform.openApplication(platform.urlForApplication(kMusic).value_or("/nonexistent"), true,
                           [&](auto handle, auto) { opened = handle; });
  return opened;
}

TEST_F(MprisTest, TheDefaultPlayerStartsInItsOwnSessionAndIsReaped) {
  const auto path = installDefaultPlayer("mpv.desktop", "Type=Application\nExec=" + mpvExecLine());
  auto platform = makePlatform();
  EXPECT_EQ(platform->urlForApplication(kMusic), path);
  const auto handle = open(*platform);
  ASSERT_NE(handle, nullptr);
  EXPECT_FALSE(handle->isFinishedLaunching());
  ASSERT_TRUE(waitFor([&] { return handle->isFinishedLaunching(); }, 10s));
  const auto pid = bus_->ownerPid(Mpv::kBusName).value_or(-1);
  EXPECT_EQ(getsid(pid), pid);
  EXPECT_TRUE(open(*platform)->isFinishedLaunching());  // running: nothing else starts
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(bus_->names("org.mpris.MediaPlayer2.").size(), 1U);
  ::kill(pid, SIGKILL);
  EXPECT_TRUE(waitFor([&] { return handle->isTerminated() && !hasZombieChild(); }, 5s));
}

TEST_F(MprisTest, FailedLaunchesAreNeverUpAndLeaveNoZombies) {
  for (const std::string body : {"Exec=false\n", "Exec=sleep 0.3\n", "Exec=mpv \"--idle\n",
                                 "Exec=no-such-program\n", "Exec=true\nTryExec=/nonexistent\n",
                                 "Exec=sleep 9\nPath=/nonexistent\n", "DBusActivatable=true\n"}) {
    SCOPED_TRACE(body);
    installDefaultPlayer("org.example.Player.desktop", "Type=Application\n" + body);
    const auto platform = makePlatform();
    if (const auto handle = open(*platform)) {
      EXPECT_TRUE(waitFor([&] { return handle->isTerminated(); }, 5s));
      EXPECT_FALSE(handle->isFinishedLaunching());
    }
  }
  EXPECT_TRUE(waitFor([] { return !hasZombieChild(); }, 2s));
}

TEST_F(MprisTest, ActivatableEntriesAreActivatedOrElseExecuted) {
  installDefaultPlayer("org.example.Act.desktop", std::string(kEntry) + "DBusActivatable=true\n");
  auto application = std::make_unique<FakePlayer>(
      bus_->address(), std::vector<std::string>{"org.mpris.MediaPlayer2.act"}, "org.example.Act",
      "org.example.Act");
  auto platform = makePlatform();
  const auto activated = open(*platform);
  ASSERT_NE(activated, nullptr);
  EXPECT_TRUE(waitFor([&] { return activated->isFinishedLaunching(); }, 5s));
  EXPECT_EQ(application->activations, 1);
  application.reset();
  installDefaultPlayer("mpv.desktop",
                       "Type=Application\nDBusActivatable=true\nExec=" + mpvExecLine());
  platform = makePlatform();
  const auto executed = open(*platform);
  EXPECT_TRUE(executed && waitFor([&] { return executed->isFinishedLaunching(); }, 10s));
}

TEST_F(MprisTest, TheRunningCacheKnowsPlayersByTheirDesktopEntry) {
  installDefaultPlayer("org.example.Player.desktop", kEntry);
  const auto platform = makePlatform();
  const auto running = [&](std::size_t count) {
    return waitFor([&] { return platform->runningApplications(kMusic).size() == count; }, 5s);
  };
  const std::string prefix = "org.mpris.MediaPlayer2.";
  auto named = std::make_unique<FakePlayer>(
      bus_->address(), std::vector{prefix + "example", prefix + "example.instance7"},
      "org.example.Player.desktop");
  FakePlayer impostor(bus_->address(), {prefix + "org.example.Player.instance3"}, "other");
  FakePlayer unnamed(bus_->address(), {prefix + "org.example.Player.instance9"}, "");
  ASSERT_TRUE(running(2));           // one per connection; the entry decides over the bus name
  const auto late = makePlatform();  // sees those already there
  EXPECT_TRUE(waitFor([&] { return late->runningApplications(kMusic).size() == 2; }, 5s));
  const auto first = platform->runningApplications(kMusic).front();
  EXPECT_TRUE(first->isFinishedLaunching());
  named.reset();
  EXPECT_TRUE(running(1));
  EXPECT_TRUE(first->isTerminated());
  EXPECT_TRUE(platform->runningApplications("org.example.Other").empty());
}

int openDescriptors() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST_F(MprisTest, TheFourCommandsReachMpvOnEachCallersOwnConnection) {
  installDefaultPlayer("mpv.desktop", kEntry);
  const auto platform = makePlatform();
  const std::string second = directory_->path() + "/second.wav";
  std::filesystem::copy_file(tone_, second);
  Mpv mpv(bus_->address(), {"--log-file=" + directory_->path() + "/log", tone_, second});
  ASSERT_TRUE(waitFor([&] { return platform->isPlayerPlaying(kMusic) == true; }, 10s));
  const auto playing = [&](const std::string& file) {
    std::ifstream log(directory_->path() + "/log");
    std::string line, last;
    while (std::getline(log, line)) {
      last = line.find("Playing: ") != std::string::npos ? line : last;
    }
    return last.ends_with(file) && bus_->playbackStatus(Mpv::kBusName) == "Playing";
  };
  const std::vector<std::pair<const char*, std::function<bool()>>> steps = {
      {"playpause", [&] { return platform->isPlayerPlaying(kMusic) == false; }},
      {"playpause", [&] { return platform->isPlayerPlaying(kMusic) == true; }},
      {"nextTrack", [&] { return playing(second); }},
      {"previousTrack", [&] { return playing(tone_); }},
  };
  const int descriptors = openDescriptors();
  for (const auto& [selector, reached] : steps) {
    // On a thread of its own, whose connection must close when it ends.
    std::thread([&, selector = selector] {
      const auto player = platform->scriptableApplication(kMusic);
      EXPECT_TRUE(player->respondsToSelector(selector));
      player->performSelector(selector);
    }).join();
    EXPECT_TRUE(waitFor(reached, 5s)) << selector;
  }
  EXPECT_EQ(openDescriptors(), descriptors);
  EXPECT_FALSE(platform->scriptableApplication(kMusic)->respondsToSelector("stop"));
}

TEST_F(MprisTest, OnlyTheBusRefusalDeniesAndTheCheckNeverWaits) {
  installDefaultPlayer("org.example.Player.desktop", kEntry);
  const auto platform = makePlatform();
  const auto status = [&] { return platform->determinePermissionToAutomate(kMusic, false); };
  EXPECT_EQ(status(), kAutomationProcessNotFound);
  for (const auto& [name, identity, expected] :
       {std::tuple("org.mpris.MediaPlayer2.a", FakePlayer::answer, kAutomationGranted),
        std::tuple("org.mpris.MediaPlayer2.b", FakePlayer::fail, kAutomationProcessNotFound),
        std::tuple(kDeniedName, FakePlayer::answer, kAutomationNotPermitted)}) {
    SCOPED_TRACE(name);
    FakePlayer player(bus_->address(), {name}, "org.example.Player");
    player.identity = identity;
    ASSERT_TRUE(waitFor(
        [&] {
          return status() == expected && (identity != FakePlayer::fail || player.identityCalls > 0);
        },
        5s));
    std::this_thread::sleep_for(100ms);  // a late answer would still show
    EXPECT_EQ(status(), expected);
    EXPECT_EQ(platform->determinePermissionToAutomate(kMusic, true), expected);
  }
  // A player that never answers: the check answers at once, asks it once, and catches up later.
  FakePlayer hung(bus_->address(), {"org.mpris.MediaPlayer2.hung"}, "org.example.Player");
  hung.identity = FakePlayer::never;
  ASSERT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).size() == 1; }, 5s));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(status(), kAutomationProcessNotFound);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(hung.identityCalls, 1);
  hung.identity = FakePlayer::answer;
  EXPECT_TRUE(waitFor([&] { return status() == kAutomationGranted; }, 5s));
}

TEST_F(MprisTest, AHungKilledOrLostPlayerCostsOneTimeoutAtMost) {
  installDefaultPlayer("mpv.desktop", kEntry);
  const auto platform = makePlatform();
  Mpv mpv(bus_->address(), {tone_});
  ASSERT_TRUE(waitFor([&] { return platform->isPlayerPlaying(kMusic) == true; }, 10s));
  const auto player = platform->scriptableApplication(kMusic);
  ::kill(mpv.pid(), SIGSTOP);
  auto start = std::chrono::steady_clock::now();
  player->performSelector("playpause");
  EXPECT_EQ(platform->isPlayerPlaying(kMusic), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  auto pending = std::async(std::launch::async, [&] { player->performSelector("playpause"); });
  std::this_thread::sleep_for(200ms);
  mpv.kill();  // while the call waits for it
  EXPECT_EQ(pending.wait_for(1500ms), std::future_status::ready);
  bus_->kill();
  EXPECT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).empty(); }, 2s));
  start = std::chrono::steady_clock::now();
  player->performSelector("playpause");
  EXPECT_EQ(platform->scriptableApplication(kMusic), nullptr);
  EXPECT_EQ(platform->determinePermissionToAutomate(kMusic, true), kAutomationProcessNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace tonvara::testing
