// The whole engine against real programs: keys typed on a private X server, decided by the real
// router on the X11 tap, and carried out on mpv over a private session bus.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "PrivateDesktop.h"
#include "QtThreadSanitizerSuppressions.h"  // GLib and GIO are uninstrumented
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using namespace keysym;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using Decisions = std::vector<std::pair<MediaKey, bool>>;

constexpr std::string_view kMusic = MusicController::bundleID;
constexpr EngineSettings kLaunching{true, WhenNotRunning::launchMusic};
constexpr EngineSettings kPassing{true, WhenNotRunning::passThrough};
const std::vector<bool> kPassed{true, false};  // the window got a press and its release

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateDesktop::available(true)) {
      GTEST_SKIP() << "needs Xvfb, dbus-daemon, sox, and mpv with its MPRIS plugin";
    }
    desktop_ = std::make_unique<PrivateDesktop>(true);
  }
  void TearDown() override { EXPECT_TRUE(destroyRouter()) << "the router did not go away"; }

  // The real router on the X11 tap and the MPRIS platform of the private desktop.
  void buildRouter(EngineSettings settings) {
    // GIO reads XDG_* once per process: ctest runs each test in a process of its own.
    for (const auto& [name, value] : desktop_->xdgEnvironment()) {
      setenv(name.c_str(), value.c_str(), 1);
    }
    const auto platform = std::make_shared<mpris::MprisApplicationPlatform>(
        mpris::MprisApplicationPlatform::Options{desktop_->bus().address()});
    auto music = MusicController::create(
        std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated),
        [platform] { return platform->runningApplications(kMusic); },
        MusicController::makeDefaultLaunchApplication(
            platform, DispatchQueue::global(QualityOfService::userInitiated)),
        MusicController::makeDefaultSendCommand(platform,
                                                MusicController::PlayPauseAfterLaunch::play),
        [platform] { return platform->determinePermissionToAutomate(kMusic, false); },
        [platform] { return platform->isPlayerPlaying(kMusic).value_or(false); });
    router_ = std::make_unique<MediaKeyRouter>(
        settings,
        std::make_unique<MediaKeyTap>(
            std::make_shared<linux_x11::X11EventTapPlatform>(desktop_->display())),
        std::move(music));
    router_->setOnEvent([this](MediaKey key, bool taken) {
      std::lock_guard lock(mutex_);
      decisions_.emplace_back(key, taken);
    });
    ASSERT_TRUE(router_->activate());
  }
  // False when the router took more than a few seconds to go: it is then left behind.
  bool destroyRouter() {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([router = std::move(router_), done]() mutable {
      router.reset();
      *done = true;
    }).detach();
    return waitFor([&] { return done->load(); }, 5s);
  }
  Decisions decisions() {
    std::lock_guard lock(mutex_);
    return std::exchange(decisions_, {});
  }
  bool waitForRunning(bool running) {
    return waitFor([&] { return router_->isMusicRunning() == running; }, 10s);
  }
  // Types `key` and returns what the window got of it.
  std::vector<bool> type(xcb_keysym_t key) {
    desktop_->keyboard().tap(key);
    return desktop_->settle();
  }
  std::size_t players() { return desktop_->bus().names("org.mpris.MediaPlayer2.").size(); }

  std::unique_ptr<PrivateDesktop> desktop_;
  std::unique_ptr<MediaKeyRouter> router_;
  std::mutex mutex_;
  Decisions decisions_;
};

TEST_F(EndToEndTest, KeysStartThePlayerOnceAndDriveItOnlyWhileInterceptionIsOn) {
  // Started paused: only the engine's play after the launch can make it play.
  desktop_->installPlayerEntry("--pause");
  buildRouter(kPassing);
  EXPECT_EQ(type(kNext), kPassed);
  EXPECT_EQ(players(), 0U) << "nothing may be started";
  router_->update(kLaunching);
  EXPECT_THAT(type(kPlay), IsEmpty());
  ASSERT_TRUE(desktop_->waitForStatus("Playing"));
  ASSERT_TRUE(waitForRunning(true));
  EXPECT_EQ(router_->automationStatus(), MusicController::AutomationAccess::granted);
  EXPECT_THAT(type(kPlay), IsEmpty());
  EXPECT_TRUE(desktop_->waitForStatus("Paused"));
  EXPECT_EQ(players(), 1U);

  router_->update({false, WhenNotRunning::passThrough});
  EXPECT_EQ(type(kPlay), kPassed);
  EXPECT_EQ(desktop_->playbackStatus(), "Paused");
  router_->update(kPassing);
  EXPECT_THAT(type(kPlay), IsEmpty());
  EXPECT_TRUE(desktop_->waitForStatus("Playing"));
  EXPECT_THAT(decisions(),
              ElementsAre(Pair(MediaKey::next, false), Pair(MediaKey::playPause, true),
                          Pair(MediaKey::playPause, true), Pair(MediaKey::playPause, true)));
}

TEST_F(EndToEndTest, PressesWhileThePlayerStartsLaunchItOnce) {
  buildRouter(kLaunching);
  for (int press = 0; press < 8; ++press) {
    desktop_->keyboard().tap(kPlay);
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_THAT(desktop_->settle(), IsEmpty());
  std::this_thread::sleep_for(1s);  // time for a second instance to show up
  // Eight toggles spread over the launch may end either way: only the count is certain.
  EXPECT_EQ(players(), 1U);
}

// One process per row: GIO reads the desktop entries once and follows their changes only later.
class FailedLaunchTest : public EndToEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FailedLaunchTest, TakesTheKeySendsNothingAndBreaksNothing) {
  const std::string_view exec = GetParam();
  desktop_->installPlayerEntry("", std::string(exec));
  if (exec.empty()) {
    std::filesystem::remove(desktop_->scratch() + "/data/applications/mpv.desktop");
  }
  buildRouter(kLaunching);
  EXPECT_THAT(type(kPlay), IsEmpty());
  EXPECT_THAT(decisions(), ElementsAre(Pair(MediaKey::playPause, true)));
  // A launch wrongly taken as done would send play to a player that turns up later.
  const auto player = desktop_->startPlayer({"--pause"});
  ASSERT_TRUE(desktop_->waitForStatus("Paused"));
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(desktop_->playbackStatus(), "Paused");
  if (exec == "false") {  // later keys still reach a player of the entry
    ASSERT_TRUE(waitForRunning(true));
    EXPECT_THAT(type(kPlay), IsEmpty());
    EXPECT_TRUE(desktop_->waitForStatus("Playing"));
  }
}

// No entry; an Exec that GIO refuses (so no music application at all); one that exits at once.
INSTANTIATE_TEST_SUITE_P(Exec, FailedLaunchTest, ::testing::Values("", "mpv \"--idle", "false"));

TEST_F(EndToEndTest, AHungPlayerCostsNoKeyAndPlayerOrBusMayDieMidCommand) {
  auto player = desktop_->startPlayer();
  buildRouter(kPassing);
  ASSERT_TRUE(waitForRunning(true));
  player->suspend();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THAT(type(kPlay), IsEmpty());
  EXPECT_EQ(type(kZ), kPassed);
  EXPECT_THAT(type(kNext), IsEmpty());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s) << "a decision waited on the bus";
  EXPECT_THAT(decisions(),
              ElementsAre(Pair(MediaKey::playPause, true), Pair(MediaKey::next, true)));

  player->kill();  // with commands still open
  ASSERT_TRUE(waitForRunning(false));
  EXPECT_EQ(type(kPlay), kPassed);
  player = desktop_->startPlayer();
  ASSERT_TRUE(waitForRunning(true));
  EXPECT_THAT(type(kPlay), IsEmpty());
  EXPECT_TRUE(desktop_->waitForStatus("Paused"));

  desktop_->bus().kill();  // keys pass again and the router still goes away
  EXPECT_TRUE(waitForRunning(false));
  EXPECT_EQ(type(kPlay), kPassed);
  EXPECT_EQ(router_->automationStatus(), MusicController::AutomationAccess::undetermined);
  EXPECT_TRUE(router_->activate());
}

}  // namespace
}  // namespace tonvara::testing
