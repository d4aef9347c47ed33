// Taking the media keys from GNOME (real daemons, a stand-in shell), Cinnamon and MATE, and back.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include "AppHarness.h"
#include "DesktopKeyTakeover.h"
#include "GSettingsKeys.h"
#include "GnomeSession.h"
#include "Mpv.h"
#include "QtThreadSanitizerSuppressions.h"  // GLib, GIO and QtDBus are uninstrumented
#include "SavedDesktopKeys.h"

namespace tonvara::testing {
namespace {

using namespace std::literals;
using namespace desktopkeys;
constexpr auto kKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr auto kPlay = "XF86AudioPlay";
constexpr auto kGsd = "/usr/libexec/gsd-media-keys";
constexpr auto kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
// GIO reads its environment once per process: one settings world for the whole program.
const auto world = GnomeSession::available() ? std::make_unique<GnomeSession>() : nullptr;
GnomeSession* const session = world.get();

// The controller over GNOME's holder and keybindings; its settings and "trusted" are kept here.
struct Desktop : ::testing::Test {
  void SetUp() override {
    if (!session) GTEST_SKIP() << "needs dconf-service, Xvfb and dbus-daemon";
  }
  std::unique_ptr<DesktopKeyTakeover> takeover(const std::string& client, bool delivery,
                                               std::function<void()> beforeRestore = {}) {
    auto trust = [this](bool open) { trusted = open; };
    return std::make_unique<DesktopKeyTakeover>(DesktopKeyTakeover::Options{
        {makeGnomeHolder(), makeGnomeKeybindingChannel(QString::fromStdString(client))},
        delivery,
        savedDesktopKeysPath(),
        &defaults,
        DispatchQueue::global(QualityOfService::userInitiated),
        nullptr,
        trust,
        {{}, std::move(beforeRestore)}});
  }
  InMemoryDefaults defaults;
  std::optional<bool> trusted;
};

bool spinUntil(const std::function<bool()>& condition) {
  static int argc = 1;
  static char name[] = "desktop_tests", *argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
  return waitFor([&] { return QCoreApplication::processEvents(), condition(); }, 10s);
}
std::string value(const char* key) { return GnomeSession::value(kKeys, key); }
// Every key a takeover may touch, and Tonvara's Play binding, as GSettings prints them.
std::map<std::string, std::string> gnomeKeys() {
  std::map<std::string, std::string> values{
      {"ours", GnomeSession::value((kKeys + ".custom-keybinding"s).c_str(), "command",
                                   (kFolder + "tonvara-play/"s).c_str())}};
  for (const char* key :
       {"play", "play-static", "pause-static", "next", "next-static", "previous-static",
        "playback-forward-static", "playback-rewind-static", "custom-keybindings"}) {
    values[key] = value(key);
  }
  return values;
}
bool taken() { return value("play-static") == "[]" && gnomeKeys()["ours"] != "default"; }
bool saved() { return QFileInfo::exists(savedDesktopKeysPath()); }

TEST_F(Desktop, GnomeKeysGoToTonvaraWhileTheRuleHoldsAndComeBackExactly) {
  if (!std::filesystem::exists(kGsd)) GTEST_SKIP() << "needs gnome-settings-daemon";
  const std::string dir = session->dir();
  // The user's own settings: a changed value and a custom shortcut, beside defaults.
  GnomeSession::set(kKeys, "next-static", "['<Super>n']");
  GnomeSession::set(kKeys, "custom-keybindings", ("['"s + kFolder + "c0/']").c_str());
  const auto before = gnomeKeys();
  FakeShell shell;
  const auto gsd = session->start(kGsd);
  // gsd grabs again after each change; a press goes to the latest grab.
  std::uint32_t grab = 0;
  const auto regrabbed = [&] {
    const bool changed = waitFor([&] { return shell.newest(kPlay) > grab; }, 9s);
    return grab = shell.newest(kPlay), changed;
  };
  ASSERT_TRUE(regrabbed());
  const std::string client = dir + "/key-client";  // records what the desktop hands over
  std::ofstream(client) << "#!/bin/sh\necho \"$@\" >> " << dir << "/keys.log\n";
  std::filesystem::permissions(client, std::filesystem::perms::owner_all);
  auto keys = takeover(client, true);
  const KeyHoldRule holds{true, true, false, true}, passes{true, true, false, false};
  keys->takeOver(holds);
  ASSERT_TRUE(spinUntil(taken) && regrabbed() && shell.press(kPlay));
  EXPECT_EQ(value("pause-static"), "default") << "Pause stays GNOME's";
  EXPECT_TRUE(waitFor([&] { return firstLine(dir + "/keys.log") == "--media-key play"; }, 5s));
  // The player gone with pass-through: GNOME has the keys until the rule holds again.
  keys->follow(passes);  // the switch times are in the log
  ASSERT_TRUE(spinUntil([&] { return gnomeKeys() == before && !saved(); }) && regrabbed());
  EXPECT_EQ(trusted, true) << "Tonvara can take them again at once";
  keys->follow(holds);
  ASSERT_TRUE(spinUntil(taken));
  keys->giveBack();
  ASSERT_TRUE(spinUntil([] { return !saved(); }) && regrabbed());
  EXPECT_EQ(gnomeKeys(), before);
  EXPECT_EQ(defaults.values.value(DesktopKeyTakeover::kConsentKey), false);
  EXPECT_EQ(trusted, false);
}

TEST_F(Desktop, OnX11OnlyInterceptionCountsAndTheGrabGoesBeforeTheKeysReturn) {
  std::string atGrabRemoval;
  auto keys = takeover("", false, [&] { atGrabRemoval += value("play"); });
  keys->takeOver({true, false, true, false});  // a grab takes or passes each key itself
  ASSERT_TRUE(spinUntil([] { return value("play-static") == "[]" && saved(); }));
  EXPECT_EQ(gnomeKeys()["ours"], "default") << "no keybindings where a grab takes the keys";
  keys->follow({false, true, false, true});
  ASSERT_TRUE(spinUntil([] { return !saved(); }));
  EXPECT_EQ(atGrabRemoval, "[]") << "once, before the desktop's keys came back";
  EXPECT_FALSE(trusted) << "the grab's probe answers for X11";
}

TEST_F(Desktop, EachDesktopsKeysAreSavedClearedAndPutBackExactly) {
  struct Case {
    std::unique_ptr<DesktopKeyHolder> holder;
    const char *schema, *changed, *value, *empty, *atDefault, *untouched;
  } cases[] = {
      {makeCinnamonHolder(), "org.cinnamon.desktop.keybindings.media-keys", "next", "['<Super>n']",
       "[]", "audio-forward", "stop"},
      {makeMateHolder(), "org.mate.SettingsDaemon.plugins.media-keys", "next", "'<Super>n'", "''",
       "play", "pause"},
  };
  for (auto& [holder, schema, changed, value, empty, atDefault, untouched] : cases) {
    SCOPED_TRACE(schema);
    GnomeSession::set(schema, changed, value);
    const auto before = holder->read();
    ASSERT_TRUE(before && holder->release());
    EXPECT_EQ(GnomeSession::value(schema, changed), empty);
    EXPECT_EQ(GnomeSession::value(schema, atDefault), empty);
    EXPECT_EQ(GnomeSession::value(schema, untouched), "default");
    ASSERT_TRUE(holder->restore(*before));
    EXPECT_EQ(GnomeSession::value(schema, changed), value);
    EXPECT_EQ(GnomeSession::value(schema, atDefault), "default") << "reset, not written";
  }
  EXPECT_FALSE(makeGSettingsHolder({{}, "org.example.NotInstalled", {"play"}, {}})->read());
}

// Tonvara itself on a GNOME Wayland session, with no applications to launch.
std::unique_ptr<ChildProcess> startTonvara() {
  return std::make_unique<ChildProcess>(ChildProcess::Options{
      .argv = {TONVARA_HEADLESS},
      .environment = {{"XDG_CURRENT_DESKTOP", "GNOME"},
                      {"XDG_SESSION_TYPE", "wayland"},
                      {"XDG_DATA_DIRS", "/nowhere"},
                      {"XDG_DATA_HOME", session->dir() + "/data"},
                      {"GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas"}},
      .stderrPath = session->dir() + "/log"});
}

void agreedInAnEarlierRun(const std::string& settings = "") {
  std::filesystem::create_directories(session->dir() + "/config/tonvara");
  std::ofstream(session->dir() + "/config/tonvara/com.tonvara.app.json")
      << R"({"desktopKeysTaken": true, "accessSetupCompleted": true)" << settings << "}";
}

TEST_F(Desktop, AKilledTonvaraLeavesADesktopTheNextStartPutsRight) {
  GnomeSession::set(kKeys, "play", "['<Super>p']");
  const auto before = gnomeKeys();
  agreedInAnEarlierRun();
  auto tonvara = startTonvara();
  ASSERT_TRUE(waitFor(taken, 10s));
  EXPECT_EQ(gnomeKeys()["ours"], "\"'" TONVARA_KEY "' --media-key play\"");
  tonvara->kill();
  const auto written = QFileInfo(savedDesktopKeysPath()).lastModified();
  tonvara = startTonvara();  // restores what the crash left, then saves and takes them again
  ASSERT_TRUE(waitFor(
      [&] {
        const QFileInfo file(savedDesktopKeysPath());
        return file.exists() && file.lastModified() != written;
      },
      10s));
  EXPECT_EQ(readSavedDesktopKeys(savedDesktopKeysPath())->values.value("play"), "['<Super>p']");
  tonvara->kill();
  ChildProcess restore({.argv = {TONVARA_PROGRAM, "--restore-desktop-keys"}});
  EXPECT_TRUE(waitFor([&] { return !restore.isRunning(); }, 10s) && restore.stop() == 0);
  EXPECT_EQ(gnomeKeys(), before);
  tonvara = startTonvara();
  ASSERT_TRUE(waitFor(taken, 10s));
  tonvara->stop();
  EXPECT_EQ(gnomeKeys(), before) << "quitting gives them back";
}

// GNOME's key runs Tonvara's binding, whose client hands it to the running Tonvara's engine.
TEST_F(Desktop, PlayPressedOnGnomeWaylandReachesTheDefaultPlayerThroughTheRunningTonvara) {
  if (!std::filesystem::exists(kGsd) || !Mpv::available() || !canMakeTone()) {
    GTEST_SKIP() << "needs gnome-settings-daemon, sox, and mpv with its MPRIS plugin";
  }
  const std::string dir = session->dir();
  // Passing keys while no player runs: Tonvara holds them only once it sees mpv.
  agreedInAnEarlierRun(R"(, "whenNotRunning": "passThrough")");
  std::filesystem::create_directories(dir + "/data/applications");
  std::ofstream(dir + "/data/applications/mpv.desktop")
      << "[Desktop Entry]\nType=Application\nName=mpv\nExec=mpv %U\n";
  std::ofstream(dir + "/config/mimeapps.list")
      << "[Default Applications]\naudio/mpeg=mpv.desktop\n";
  const auto tone = makeTone(dir);
  ASSERT_TRUE(tone);
  const Mpv player(session->bus().address(), {"--loop-file=inf", *tone}, dir + "/mpv.log");
  const auto status = [](const std::string& name) { return session->bus().playbackStatus(name); };
  ASSERT_TRUE(waitFor([&] { return status(Mpv::kBusName) == "Playing"; }, 10s));
  const auto tonvara = startTonvara();
  ASSERT_TRUE(waitFor(taken, 10s));
  // Started last and playing, it is the one the desktop's own action would toggle.
  const Mpv other(session->bus().address(), {"--loop-file=inf", *tone}, dir + "/other.log");
  const std::string otherName = Mpv::kBusName + ".instance"s + std::to_string(other.pid());
  ASSERT_TRUE(waitFor([&] { return status(otherName) == "Playing"; }, 10s));
  FakeShell shell;  // gsd, started now, grabs Play only for Tonvara's binding
  const auto gsd = session->start(kGsd);
  for (const char* expected : {"Paused", "Playing"}) {
    ASSERT_TRUE(waitFor([&] { return shell.newest(kPlay) != 0; }, 10s) && shell.press(kPlay));
    EXPECT_TRUE(waitFor([&] { return status(Mpv::kBusName) == expected; }, 5s)) << expected;
  }
  EXPECT_EQ(status(otherName), "Playing") << "the key went to the desktop's choice as well";
}

}  // namespace
}  // namespace tonvara::testing
