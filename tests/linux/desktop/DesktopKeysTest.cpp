// Taking the media keys from GNOME and giving them back, against the real gsd-media-keys and
// dconf on a private bus, with a stand-in for the shell's key grabs.
#include "GnomeSession.h"
//
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <fstream>

#include "DesktopKeyTakeover.h"
#include "GSettingsKeys.h"
#include "Mpv.h"
#include "SavedDesktopKeys.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using desktopkeys::DesktopKeyTakeover;
constexpr auto kMediaKeys = GnomeSession::kMediaKeys;
constexpr auto kGsd = "/usr/libexec/gsd-media-keys";
constexpr auto kOurPlay =
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/tonvara-play/";

GnomeSession* session = nullptr;

// GIO reads its environment once per process: one settings world, one Qt application.
struct World : ::testing::Environment {
  void SetUp() override {
    gnome = GnomeSession::available() ? std::make_unique<GnomeSession>() : nullptr;
    session = gnome.get();
    static int argc = 1;
    static char name[] = "desktop_tests";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  void TearDown() override { session = nullptr, gnome.reset(), app.reset(); }
  std::unique_ptr<GnomeSession> gnome;
  std::unique_ptr<QCoreApplication> app;
};
[[maybe_unused]] const auto* const world = ::testing::AddGlobalTestEnvironment(new World);

struct Defaults final : UserDefaults {
  QJsonValue object(const QString& key) const override { return values.value(key); }
  void setObject(const QString& key, const QJsonValue& value) override {
    values.insert(key, value);
  }
  QJsonObject values;
};

template <typename Condition>
bool spinUntil(Condition condition) {
  return waitFor([&] { return QCoreApplication::processEvents(), condition(); }, 10s);
}

// Every key a takeover may touch, as GSettings prints it.
std::map<std::string, std::string> gnomeKeys() {
  std::map<std::string, std::string> values;
  for (const char* key :
       {"play", "play-static", "pause-static", "next", "next-static", "previous", "previous-static",
        "playback-forward-static", "playback-rewind-static", "custom-keybindings"}) {
    values[key] = GnomeSession::value(kMediaKeys, key);
  }
  values["ours"] = GnomeSession::value(
      "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", "command", kOurPlay);
  return values;
}
bool released() { return GnomeSession::value(kMediaKeys, "play-static") == "[]"; }

long long millisecondsSince(std::chrono::steady_clock::time_point began) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               began)
      .count();
}

TEST(GnomeTakeover, KeysGoToTonvaraWhileTheRuleHoldsAndComeBackExactly) {
  if (session == nullptr || !std::filesystem::exists(kGsd) || !Mpv::available() || !canMakeTone()) {
    GTEST_SKIP() << "needs gnome-settings-daemon, dconf-service, mpv and sox";
  }
  const std::string dir = session->dir();
  // The user's own settings: a changed value and a custom shortcut, beside defaults.
  GnomeSession::set(kMediaKeys, "next-static", "['<Super>n']");
  GnomeSession::set(
      kMediaKeys, "custom-keybindings",
      "['/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/']");
  const auto before = gnomeKeys();
  FakeShell shell(session->bus().address());
  const auto gsd = session->startMediaKeys(kGsd);
  const auto regrabbed = [&](std::uint32_t since) {
    return waitFor([&] { return shell.newest("XF86AudioPlay") > since; }, 10s);
  };
  ASSERT_TRUE(regrabbed(0));
  const auto tone = makeTone(dir);
  ASSERT_TRUE(tone);
  Mpv player(session->bus().address(), {"--loop-file=inf", *tone});
  const auto status = [&](const char* expected) {
    return waitFor([&] { return session->bus().playbackStatus(Mpv::kBusName) == expected; }, 10s);
  };
  ASSERT_TRUE(status("Playing"));
  ASSERT_TRUE(shell.press("XF86AudioPlay"));
  EXPECT_TRUE(status("Paused")) << "before the takeover GNOME sends the key to its player";

  // The key command records what the desktop hands over.
  const std::string client = dir + "/key-client";
  std::ofstream(client) << "#!/bin/sh\necho \"$@\" >> " << dir << "/keys.log\n";
  std::filesystem::permissions(client, std::filesystem::perms::owner_all);
  Defaults defaults;
  const QString saved = QString::fromStdString(dir + "/config/tonvara/desktop-keys.json");
  std::optional<bool> trusted;
  auto takeover = std::make_unique<DesktopKeyTakeover>(DesktopKeyTakeover::Options{
      {desktopkeys::makeGnomeHolder(),
       desktopkeys::makeGnomeKeybindingChannel(QString::fromStdString(client))},
      true,
      saved,
      &defaults,
      DispatchQueue::global(QualityOfService::userInitiated),
      nullptr,
      [&](bool open) { trusted = open; },
      {}});
  const KeyHoldRule holds{true, false, true}, passes{true, false, false};
  takeover->start(holds);
  EXPECT_EQ(trusted, false);
  auto grab = shell.newest("XF86AudioPlay");
  takeover->takeOver(holds);
  ASSERT_TRUE(spinUntil([&] { return released() && !takeover->restoring(); }))
      << GnomeSession::value(kMediaKeys, "play-static");
  EXPECT_TRUE(QFile::exists(saved));
  EXPECT_EQ(trusted, true);
  EXPECT_EQ(GnomeSession::value(kMediaKeys, "next-static"), "[]");
  EXPECT_EQ(GnomeSession::value(kMediaKeys, "pause-static"), "default") << "Pause stays GNOME's";
  EXPECT_NE(GnomeSession::value(kMediaKeys, "custom-keybindings").find("custom0/"),
            std::string::npos);
  ASSERT_TRUE(regrabbed(grab) && shell.press("XF86AudioPlay"));
  EXPECT_TRUE(waitFor([&] { return firstLine(dir + "/keys.log") == "--media-key play"; }, 5s));
  EXPECT_TRUE(status("Paused")) << "the player no longer hears from GNOME";

  // The player gone with pass-through: GNOME has the keys back until the rule holds again.
  grab = shell.newest("XF86AudioPlay");
  auto began = std::chrono::steady_clock::now();
  takeover->follow(passes);
  ASSERT_TRUE(spinUntil([&] { return gnomeKeys() == before && !takeover->restoring(); }));
  std::printf("switch to the desktop: %lld ms\n", millisecondsSince(began));
  EXPECT_FALSE(QFile::exists(saved));
  EXPECT_EQ(trusted, true) << "Tonvara can take them again at once";
  ASSERT_TRUE(regrabbed(grab) && shell.press("XF86AudioPlay"));
  EXPECT_TRUE(status("Playing")) << "GNOME acts as without Tonvara";
  began = std::chrono::steady_clock::now();
  takeover->follow(holds);
  ASSERT_TRUE(spinUntil([&] { return released() && gnomeKeys()["ours"] != "default"; }));
  std::printf("switch to Tonvara: %lld ms\n", millisecondsSince(began));

  grab = shell.newest("XF86AudioPlay");
  takeover->giveBack();
  ASSERT_TRUE(spinUntil([&] { return !QFile::exists(saved); }));
  EXPECT_EQ(gnomeKeys(), before);
  EXPECT_EQ(defaults.values.value(DesktopKeyTakeover::kConsentKey), false);
  EXPECT_EQ(trusted, false);
  ASSERT_TRUE(regrabbed(grab) && shell.press("XF86AudioPlay"));
  EXPECT_TRUE(status("Paused"));
}

}  // namespace
}  // namespace tonvara::testing

namespace tonvara::testing {
namespace {

TEST(DesktopHolders, EachDesktopsKeysAreSavedClearedAndPutBackExactly) {
  if (session == nullptr) {
    GTEST_SKIP() << "needs dconf-service";
  }
  struct Case {
    std::unique_ptr<desktopkeys::DesktopKeyHolder> holder;
    const char *schema, *changed, *value, *empty, *atDefault, *untouched;
  } cases[] = {
      {desktopkeys::makeGnomeHolder(), kMediaKeys, "next-static", "['<Super>n']", "[]",
       "play-static", "stop-static"},
      {desktopkeys::makeCinnamonHolder(), "org.cinnamon.desktop.keybindings.media-keys", "next",
       "['<Super>n']", "[]", "audio-forward", "stop"},
      {desktopkeys::makeMateHolder(), "org.mate.SettingsDaemon.plugins.media-keys", "next",
       "'<Super>n'", "''", "play", "pause"},
  };
  for (auto& [holder, schema, changed, value, empty, atDefault, untouched] : cases) {
    SCOPED_TRACE(schema);
    GnomeSession::set(schema, changed, value);
    const auto saved = holder->read();
    ASSERT_TRUE(saved && holder->release());
    EXPECT_EQ(GnomeSession::value(schema, changed), empty);
    EXPECT_EQ(GnomeSession::value(schema, atDefault), empty);
    EXPECT_EQ(GnomeSession::value(schema, untouched), "default");
    ASSERT_TRUE(holder->restore(*saved));
    EXPECT_EQ(GnomeSession::value(schema, changed), value);
    EXPECT_EQ(GnomeSession::value(schema, atDefault), "default") << "reset, not written";
  }
  EXPECT_FALSE(
      desktopkeys::makeGSettingsHolder({{}, "org.example.NotInstalled", {"play"}, {}})->read());
}

// Tonvara itself on a GNOME Wayland session, with the user's consent on file; its log.
std::string log() { return session->dir() + "/tonvara.log"; }
std::unique_ptr<ChildProcess> startTonvara() {
  const std::string dir = session->dir();
  std::filesystem::remove(log());
  std::filesystem::create_directories(dir + "/config/tonvara");
  std::ofstream(dir + "/config/tonvara/com.tonvara.app.json") << R"({"desktopKeysTaken": true})";
  return std::make_unique<ChildProcess>(ChildProcess::Options{
      .argv = {TONVARA_HEADLESS},
      // No applications: nothing to launch for the Automation step.
      .environment = {{"XDG_CURRENT_DESKTOP", "GNOME"},
                      {"XDG_SESSION_TYPE", "wayland"},
                      {"XDG_DATA_DIRS", dir + "/share"},
                      {"GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas"}},
      .stderrPath = log()});
}

TEST(GnomeTakeover, AKilledTonvaraLeavesADesktopTheNextStartPutsRight) {
  if (session == nullptr) {
    GTEST_SKIP() << "needs dconf-service";
  }
  GnomeSession::set(kMediaKeys, "play", "['<Super>p']");
  const auto before = gnomeKeys();
  const auto taken = [&] {
    return waitFor([] { return released() && gnomeKeys()["ours"] != "default"; }, 10s);
  };
  auto tonvara = startTonvara();
  ASSERT_TRUE(taken());
  EXPECT_EQ(gnomeKeys()["ours"], "\"'" TONVARA_PROGRAM "' --media-key play\"");
  tonvara->kill();
  ChildProcess restore({.argv = {TONVARA_PROGRAM, "--restore-desktop-keys"}});
  ASSERT_TRUE(waitFor([&] { return !restore.isRunning(); }, 10s));
  EXPECT_EQ(restore.stop(), 0);
  EXPECT_EQ(gnomeKeys(), before);

  tonvara = startTonvara();
  ASSERT_TRUE(taken());
  tonvara->kill();
  tonvara = startTonvara();  // restores what the crash left, then takes them again
  const auto logged = [](const char* text) {
    std::stringstream all;
    all << std::ifstream(log()).rdbuf();
    return all.str().find(text) != std::string::npos;
  };
  ASSERT_TRUE(waitFor([&] { return logged("given back") && logged(" taken"); }, 10s));
  const auto saved = desktopkeys::readSavedDesktopKeys(desktopkeys::savedDesktopKeysPath());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->values.value(QStringLiteral("play")).toString(), QStringLiteral("['<Super>p']"));
  tonvara->stop();
  EXPECT_EQ(gnomeKeys(), before) << "quitting gives them back";
}

}  // namespace
}  // namespace tonvara::testing
