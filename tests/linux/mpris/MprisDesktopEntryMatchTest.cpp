// Which players count as the music application, and D-Bus activation, with fake applications.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeMprisApplication.h"
#include "MediaKeyEngine/MusicController.h"
#include "MprisTestSupport.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::string_view kMusic = MusicController::bundleID;

class MprisDesktopEntryMatchTest : public MprisBusTest {
 protected:
  FakeMprisApplication::Options fake(std::vector<std::string> names, std::string entry) const {
    FakeMprisApplication::Options options;
    options.busAddress = bus_->address();
    options.mprisNames = std::move(names);
    options.desktopEntry = std::move(entry);
    return options;
  }
};

TEST_F(MprisDesktopEntryMatchTest, TheDesktopEntryPropertyDecidesOverTheBusName) {
  installDefaultPlayer("org.example.Player.desktop", "Type=Application\nExec=true\n");
  const auto platform = makePlatform();
  auto renamed = std::make_unique<FakeMprisApplication>(
      fake({"org.mpris.MediaPlayer2.example", "org.mpris.MediaPlayer2.example.instance7"},
           "org.example.Player.desktop"));
  // One connection with two names is one instance.
  ASSERT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).size() == 1; }, 5s));
  EXPECT_EQ(platform->determinePermissionToAutomate(kMusic, false), kAutomationGranted);

  // A player whose bus name looks right but whose entry is another application's.
  FakeMprisApplication impostor(
      fake({"org.mpris.MediaPlayer2.org.example.Player"}, "something-else"));
  ASSERT_TRUE(
      waitFor([&] { return bus_->hasOwner("org.mpris.MediaPlayer2.org.example.Player"); }, 5s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(platform->runningApplications(kMusic).size(), 1U);
  renamed.reset();
  EXPECT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).empty(); }, 5s));
}

TEST_F(MprisDesktopEntryMatchTest, APlayerWithoutDesktopEntryIsKnownByItsBusName) {
  installDefaultPlayer("quiet.desktop", "Type=Application\nExec=true\n");
  const auto platform = makePlatform();
  FakeMprisApplication quiet(fake({"org.mpris.MediaPlayer2.quiet.instance12"}, ""));
  EXPECT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).size() == 1; }, 5s));
}

TEST_F(MprisDesktopEntryMatchTest, DBusActivatableApplicationsAreActivated) {
  // Exec would fail: only activation can start it.
  installDefaultPlayer("org.example.Activated.desktop",
                       "Type=Application\nExec=false\nDBusActivatable=true\n");
  auto options = fake({"org.mpris.MediaPlayer2.activated"}, "org.example.Activated");
  options.applicationName = "org.example.Activated";
  FakeMprisApplication application(options);
  ASSERT_TRUE(waitFor([&] { return bus_->hasOwner("org.example.Activated"); }, 5s));

  const auto platform = makePlatform();
  const auto url = platform->urlForApplication(kMusic);
  ASSERT_TRUE(url.has_value());
  std::shared_ptr<RunningApplication> handle;
  platform->openApplication(*url, true, [&](auto running, auto) { handle = running; });
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(waitFor([&] { return handle->isFinishedLaunching(); }, 5s));
  EXPECT_FALSE(handle->isTerminated());
  EXPECT_EQ(application.activations(), 1);
  EXPECT_EQ(platform->runningApplications(kMusic).size(), 1U);
}

TEST_F(MprisDesktopEntryMatchTest, WithoutAnActivatableServiceTheCommandStartsIt) {
  installDefaultPlayer("mpv.desktop",
                       "Type=Application\nDBusActivatable=true\nExec=" + mpvExecLine() + "\n");
  const auto platform = makePlatform();
  std::shared_ptr<RunningApplication> handle;
  platform->openApplication(*platform->urlForApplication(kMusic), true,
                            [&](auto running, auto) { handle = running; });
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(waitFor([&] { return handle->isFinishedLaunching(); }, 10s));
  EXPECT_TRUE(bus_->hasOwner(Mpv::kBusName));
}

}  // namespace
}  // namespace tonvara::testing
