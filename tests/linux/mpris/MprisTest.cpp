// The MPRIS platform on a private bus: launching the default player, the running cache, commands.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>

#include <array>
#include <fstream>

#include "DbusSession.h"
#include "MediaKeyEngine/MusicController.h"
#include "MprisTestSupport.h"
#include "Mpv.h"
#include "QtThreadSanitizerSuppressions.h"  // GLib and GIO are uninstrumented too
#include "mpris/DesktopApps.h"
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
constexpr std::string_view kMusic = MusicController::bundleID;
constexpr const char* kEntry = "Type=Application\nExec=false\n";
const std::string kPrefix = "org.mpris.MediaPlayer2.";
const std::string kDeniedName = kPrefix + "org.example.Player";  // the bus refuses calls to it

// A player on a connection and thread of its own; Activate makes it take a player name.
struct FakePlayer {
  enum Identity { answer, fail, never };
  FakePlayer(const std::string& address, const std::vector<std::string>& names, std::string entry,
             Identity identity = answer)
      : entry(std::move(entry)), identity(identity) {
    sd_bus* bus = mpris::openBus(address, 1s).release();
    sd_bus_add_filter(bus, nullptr, &onMessage, this);
    for (const auto& name : names) sd_bus_request_name(bus, name.c_str(), 0);
    thread = std::jthread([bus](const std::stop_token& stop) {
      for (; !stop.stop_requested(); sd_bus_wait(bus, 20'000)) {
        while (sd_bus_process(bus, nullptr) > 0) continue;
      }
      sd_bus_close_unref(bus);
    });
  }
  static int onMessage(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
    auto& player = *static_cast<FakePlayer*>(self);
    const char *interface = "", *property = "";
    if (sd_bus_message_is_method_call(message, "org.freedesktop.Application", "Activate") > 0) {
      ++player.activations;
      sd_bus_request_name(sd_bus_message_get_bus(message), (kPrefix + "act").c_str(), 0);
      sd_bus_reply_method_return(message, "");
    } else if (sd_bus_message_is_method_call(message, nullptr, "PlayPause") > 0) {
      ++player.plays;
      sd_bus_reply_method_return(message, "");
    } else if (sd_bus_message_is_method_call(message, nullptr, "Get") <= 0 ||
               sd_bus_message_read(message, "ss", &interface, &property) < 0) {
      return 0;
    } else if (std::string_view(property) == "DesktopEntry" && !player.entry.empty()) {
      sd_bus_reply_method_return(message, "v", "s", player.entry.c_str());
    } else if (std::string_view(property) != "Identity") {
      sd_bus_reply_method_errorf(message, SD_BUS_ERROR_UNKNOWN_PROPERTY, "no such property");
    } else if (++player.identityCalls, player.identity == fail) {
      sd_bus_reply_method_errorf(message, SD_BUS_ERROR_FAILED, "busy");
    } else if (player.identity == answer) {
      sd_bus_reply_method_return(message, "v", "s", "Fake");
    }  // never: no reply, the caller waits out its timeout
    return 1;
  }

  const std::string entry;
  std::atomic<Identity> identity;
  std::atomic<int> identityCalls{0}, activations{0}, plays{0};
  std::jthread thread;  // last: stopped first
};

// A private bus and a tone to play; players left on the bus are killed.
class MprisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DbusSession::available() || !Mpv::available() || !canMakeTone()) {
      GTEST_SKIP() << "needs dbus-daemon, mpv with its MPRIS plugin and sox";
    }
    bus_ = std::make_unique<DbusSession>(directory_.path(),
                                         "<deny send_destination=\"" + kDeniedName + "\"/>");
    tone_ = makeTone(directory_.path()).value_or("");
  }
  void TearDown() override {
    for (const auto& name : bus_ ? bus_->names(kPrefix) : std::vector<std::string>{})
      if (const auto pid = bus_->ownerPid(name); pid > 0 && *pid != getpid()) ::kill(*pid, SIGKILL);
  }
  // Makes entry `id` the only one and the audio default, once GIO has seen it (never, for an
  // entry it refuses); returns its path.
  std::string installDefaultPlayer(const std::string& id, const std::string& body) {
    const auto& xdg = privateXdgDirs();
    std::filesystem::remove_all(xdg.dataHome + "/applications");
    const std::string path = xdg.dataHome + "/applications/" + id;
    writeFile(path, "[Desktop Entry]\n" + body);
    writeFile(xdg.configHome + "/mimeapps.list", "[Default Applications]\naudio/mpeg=" + id + "\n");
    const auto app = [] { return mpris::defaultApplicationFor("audio/mpeg"); };
    waitFor([&] { return app() && app()->path == path; }, 300ms);
    return path;
  }
  std::shared_ptr<mpris::MprisApplicationPlatform> makePlatform() const {
    return std::make_shared<mpris::MprisApplicationPlatform>(
        mpris::MprisApplicationPlatform::Options{bus_->address()});
  }

  TemporaryDirectory directory_;
  std::unique_ptr<DbusSession> bus_;
  std::string tone_;
};

std::shared_ptr<RunningApplication> open(ApplicationPlatform& platform) {
  std::shared_ptr<RunningApplication> opened;
  platform.openApplication(platform.urlForApplication(kMusic).value_or("/nonexistent"), true,
                           [&](auto handle, auto) { opened = handle; });
  return opened;
}

bool noZombie() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0;
}

TEST_F(MprisTest, TheDefaultPlayerStartsInItsOwnSessionAndIsReaped) {
  std::string exec;  // activation fails (no such service), so this starts it
  for (const auto& argument : Mpv::baseCommand()) exec += argument + " ";
  const auto path = installDefaultPlayer(
      "mpv.desktop", "Type=Application\nDBusActivatable=true\nExec=" + exec + tone_ + " %U");
  auto platform = makePlatform();
  EXPECT_EQ(platform->urlForApplication(kMusic), path);
  const auto handle = open(*platform);
  ASSERT_TRUE(handle && !handle->isFinishedLaunching());
  ASSERT_TRUE(waitFor([&] { return handle->isFinishedLaunching(); }, 10s));
  const auto pid = bus_->ownerPid(Mpv::kBusName).value_or(-1);
  EXPECT_EQ(getsid(pid), pid);
  EXPECT_TRUE(open(*platform)->isFinishedLaunching());  // running: nothing else starts
  ::kill(pid, SIGKILL);
  EXPECT_TRUE(waitFor([&] { return handle->isTerminated() && noZombie(); }, 5s));
}

TEST_F(MprisTest, LaunchesAreUpOnlyOnceTheirPlayerAppearsAndLeaveNoZombies) {
  for (const std::string body : {"Exec=false\n", "Exec=sleep 0.3\n", "Exec=mpv \"--idle\n",
                                 "Exec=no-such-program\n", "Exec=true\nTryExec=/nonexistent\n",
                                 "Exec=sleep 9\nPath=/nonexistent\n", "DBusActivatable=true\n"}) {
    installDefaultPlayer("org.example.Player.desktop", "Type=Application\n" + body);
    const auto platform = makePlatform();
    const auto handle = open(*platform);
    EXPECT_TRUE(!handle || waitFor([&] { return handle->isTerminated(); }, 5s)) << body;
    EXPECT_FALSE(handle && handle->isFinishedLaunching());
  }
  EXPECT_TRUE(waitFor(noZombie, 2s));
  installDefaultPlayer("org.example.Act.desktop", std::string(kEntry) + "DBusActivatable=true\n");
  FakePlayer application(bus_->address(), {"org.example.Act"}, "org.example.Act");
  const auto platform = makePlatform();
  const auto handle = open(*platform);
  EXPECT_TRUE(handle && waitFor([&] { return handle->isFinishedLaunching(); }, 5s));
  EXPECT_EQ(application.activations, 1);
}

TEST_F(MprisTest, APickedPlayerIsTheMusicAppUntilItIsNoLongerInstalled) {
  const std::string apps = privateXdgDirs().dataHome + "/applications/", act = "org.example.Act";
  installDefaultPlayer("org.example.Player.desktop", "Name=Default\n" + std::string(kEntry));
  for (const auto& [id, more] : {std::pair(act, "DBusActivatable=true\n"), std::pair("Run"s, ""),
                                 std::pair("Idle"s, "Categories=Audio;Player;\n"),
                                 std::pair("None"s, "")})  // None: no player, not running
    writeFile(apps + id + ".desktop",
              "[Desktop Entry]\nName=" + (id == act ? "act" : id) + "\n" + kEntry + more);
  std::atomic<int> changes{0};
  const auto platform = makePlatform();
  platform->onPlayersChanged([&] { ++changes; });
  FakePlayer fallback(bus_->address(), {kPrefix + "a"}, "org.example.Player", FakePlayer::fail);
  FakePlayer picked(bus_->address(), {act}, act), other(bus_->address(), {kPrefix + "r"}, "Run");
  ASSERT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).size() == 1; }, 5s));
  EXPECT_GT(changes, 0);
  platform->chooseMusicApplication(act + ".desktop");
  EXPECT_TRUE(platform->runningApplications(kMusic).empty());  // at once, before any lookup
  ASSERT_TRUE(waitFor([&] { return platform->musicApplication().name == "act"; }, 5s));
  const auto handle = open(*platform);  // activates the picked player, not the default
  ASSERT_TRUE(handle && waitFor([&] { return handle->isFinishedLaunching(); }, 5s));
  platform->scriptableApplication(kMusic)->performSelector("playpause");
  EXPECT_EQ(platform->determinePermissionToAutomate(kMusic, true), kAutomationGranted);
  EXPECT_EQ(std::tuple(picked.activations.load(), picked.plays.load(), fallback.plays.load()),
            std::tuple(1, 1, 0));
  std::vector<std::string> names;  // installed players and running ones, once each, by name
  for (const auto& entry : platform->pickablePlayers()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"act", "Default", "Idle", "Run"}));
  std::filesystem::remove(apps + act + ".desktop");
  EXPECT_TRUE(waitFor([&] { return platform->musicApplication().name == "Default"; }, 5s));
  EXPECT_EQ(platform->runningApplications(kMusic).size(), 1);
}

TEST_F(MprisTest, TheRunningCacheKnowsPlayersByTheirDesktopEntry) {
  installDefaultPlayer("org.example.Player.desktop", kEntry);
  const auto platform = makePlatform();
  const auto running = [&](std::size_t count, const auto& platform) {
    return waitFor([&] { return platform->runningApplications(kMusic).size() == count; }, 5s);
  };
  std::optional<FakePlayer> named(std::in_place, bus_->address(),
                                  std::vector{kPrefix + "a", kPrefix + "a.instance7"},
                                  "org.example.Player.desktop");
  FakePlayer impostor(bus_->address(), {kPrefix + "org.example.Player.instance3"}, "other");
  FakePlayer unnamed(bus_->address(), {kPrefix + "org.example.Player.instance9"}, "");
  // One per connection; the entry decides over the bus name; those already there are seen.
  ASSERT_TRUE(running(2, platform) && running(2, makePlatform()) &&
              platform->runningApplications("org.example.Other").empty());
  const auto first = platform->runningApplications(kMusic).front();
  named.reset();
  EXPECT_TRUE(running(1, platform) && first->isTerminated());
}

TEST_F(MprisTest, CommandsReachMpvAndAHungOrLostPlayerCostsOneTimeoutAtMost) {
  installDefaultPlayer("mpv.desktop", kEntry);
  const auto platform = makePlatform();
  const std::string log = directory_.path() + "/log", second = directory_.path() + "/2.wav";
  std::filesystem::copy_file(tone_, second);
  Mpv mpv(bus_->address(), {"--log-file=" + log, tone_, second});
  const auto playing = [&](std::optional<bool> state, const std::string& file = "") {
    const std::string text(std::istreambuf_iterator(std::ifstream(log).rdbuf()), {});
    return platform->isPlayerPlaying(kMusic) == state &&
           text.substr(text.rfind("Playing: ") + 9).starts_with(file);
  };
  ASSERT_TRUE(waitFor([&] { return playing(true); }, 10s));
  const auto fds = [] { return std::distance(std::filesystem::directory_iterator("/dev/fd"), {}); };
  const auto descriptors = fds();
  for (const auto& [selector, state, file] :
       {std::tuple("playpause", false, tone_), std::tuple("playpause", true, tone_),
        std::tuple("nextTrack", true, second), std::tuple("previousTrack", true, tone_)}) {
    std::thread thread([&] {  // its connection closes when the thread ends
      const auto player = platform->scriptableApplication(kMusic);
      EXPECT_TRUE(player->respondsToSelector(selector));
      player->performSelector(selector);
    });
    thread.join();
    EXPECT_TRUE(waitFor([&] { return playing(state, file); }, 5s)) << selector;
  }
  EXPECT_EQ(fds(), descriptors);
  EXPECT_FALSE(platform->scriptableApplication(kMusic)->respondsToSelector("stop"));
  mpv.suspend();
  const auto start = Clock::now();
  platform->scriptableApplication(kMusic)->performSelector("playpause");
  EXPECT_EQ(platform->isPlayerPlaying(kMusic), std::nullopt);
  EXPECT_LT(Clock::now() - start, 3s);
  ::kill(mpv.pid(), SIGCONT);
  bus_->kill();
  EXPECT_TRUE(waitFor([&] { return !platform->scriptableApplication(kMusic); }, 2s));
}

TEST_F(MprisTest, OnlyTheBusRefusalDeniesAndTheCheckNeverWaits) {
  installDefaultPlayer("org.example.Player.desktop", kEntry);
  const auto platform = makePlatform();
  const auto status = [&] { return platform->determinePermissionToAutomate(kMusic, false); };
  EXPECT_EQ(status(), kAutomationProcessNotFound);
  for (const auto& [name, identity, expected] :
       {std::tuple(kPrefix + "a", FakePlayer::answer, kAutomationGranted),
        std::tuple(kPrefix + "b", FakePlayer::fail, kAutomationProcessNotFound),
        std::tuple(kDeniedName, FakePlayer::answer, kAutomationNotPermitted)}) {
    FakePlayer player(bus_->address(), {name}, "org.example.Player", identity);
    const bool failing = identity == FakePlayer::fail;  // -600 also before any answer
    EXPECT_TRUE(
        waitFor([&] { return status() == expected && (!failing || player.identityCalls); }, 5s));
    std::this_thread::sleep_for(100ms);  // a late answer would still show
    EXPECT_EQ(status(), expected) << name;
    EXPECT_EQ(platform->determinePermissionToAutomate(kMusic, true), expected) << name;
  }
  // A player that never answers: the check answers at once, asks it once, and catches up later.
  ASSERT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).empty(); }, 5s));
  FakePlayer hung(bus_->address(), {kPrefix + "hung"}, "org.example.Player", FakePlayer::never);
  ASSERT_TRUE(waitFor([&] { return platform->runningApplications(kMusic).size() == 1; }, 5s));
  const auto start = Clock::now();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(status(), kAutomationProcessNotFound);
  EXPECT_LT(Clock::now() - start, 300ms);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(hung.identityCalls, 1);
  hung.identity = FakePlayer::answer;
  EXPECT_TRUE(waitFor([&] { return status() == kAutomationGranted; }, 5s));
}

// The Exec line as GIO would run it for a launch without files, in the entry's Path, on our bus,
// holding none of our descriptors (a pipe left inheritable as GLib 2.74 leaves its own).
TEST(SpawnEntry, ExpandsTheExecLineRunsItInPathAndLeaksNoDescriptor) {
  TemporaryDirectory directory;
  std::array<int, 2> pipe{};
  ASSERT_EQ(::pipe2(pipe.data(), 0), 0);
  const std::string path = directory.path() + "/stand-in.desktop";
  const std::string leakCheck =
      "[ -e /proc/self/fd/" + std::to_string(pipe[1]) + " ] && echo leaked";
  const std::string script = "{ for a; do echo \"$a\"; done; echo \"$DBUS_SESSION_BUS_ADDRESS\"; " +
                             leakCheck + "; } > out";
  for (const auto& [exec, lines] :
       {std::pair("sh -c '" + script + "' sh one %U \"two words\" %c %k %% %i",
                  std::vector<std::string>{"one", "two words", "Stand In", path, "%", "--icon",
                                           "tonvara-player", "unix:path=/nowhere"}),
        std::pair("%U"s, std::vector<std::string>{})}) {
    const std::string entry = "Name=Stand In\nIcon=tonvara-player\nPath=" + directory.path();
    writeFile(path, "[Desktop Entry]\nType=Application\n" + entry + "\nExec=" + exec + "\n");
    const auto spawned = mpris::spawnEntry(path, "unix:path=/nowhere");
    EXPECT_EQ(spawned.pid < 0, lines.empty()) << exec << ": " << spawned.error;
    int status = 0;
    if (spawned.pid > 0 && waitpid(spawned.pid, &status, 0) == spawned.pid) {
      std::ifstream out(directory.path() + "/out");
      std::vector<std::string> written;
      for (std::string line; std::getline(out, line);) written.push_back(line);
      EXPECT_EQ(written, lines);
    }
  }
  ::close(pipe[0]);
  ::close(pipe[1]);
}

}  // namespace
}  // namespace tonvara::testing
