// Keys the desktop hands over, on a private X server and session bus: KDE's real kglobalaccel5
// with a stand-in media controller, a stand-in xfconfd for the Xfce panel, and tonvara-key as a
// keybinding runs it, each feeding the engine's desktop tap.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <mutex>
#include <variant>

#include "DesktopKeyHolder.h"
#include "KdeGlobalAccel.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngine/PlatformDefaults.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "PrivateDesktop.h"
#include "QtThreadSanitizerSuppressions.h"
#include "ReopenChannel.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
namespace kga = desktopkeys::kglobalaccel;
using Keys = std::vector<MediaKey>;

class DesktopKeysTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PrivateDesktop::available(true)) return;
    desktop_ = std::make_unique<PrivateDesktop>(true, false);
    // QtDBus uses the bus this names when it is first used.
    setenv("DBUS_SESSION_BUS_ADDRESS", desktop_->bus().address().c_str(), 1);
    application_ = std::make_unique<QCoreApplication>(argc_, argv_);
  }
  static void TearDownTestSuite() { application_.reset(), desktop_.reset(); }
  void SetUp() override {
    if (!desktop_) GTEST_SKIP() << "Xvfb, dbus-daemon, mpv or sox is not installed";
    tap_.setOnKeyDown(
        [this](MediaKey key) { return std::lock_guard(mutex_), keys_.push_back(key), false; });
  }
  void TearDown() override { tap_.stop(), linux_desktop::setDeliveryOpen(false); }
  // Every key the engine's tap saw, once there are `count`.
  Keys delivered(std::size_t count) {
    waitFor([&] { return std::lock_guard(mutex_), keys_.size() >= count; }, 5s);
    return std::lock_guard(mutex_), keys_;
  }

  static inline int argc_ = 1;
  static inline char name_[] = "desktop_keys_tests", *argv_[] = {name_, nullptr};
  static inline std::unique_ptr<PrivateDesktop> desktop_;
  static inline std::unique_ptr<QCoreApplication> application_;
  std::shared_ptr<EventTapPlatform> platform_ =
      std::make_shared<linux_desktop::DesktopEventTapPlatform>();
  MediaKeyTap tap_{platform_};
  std::mutex mutex_;
  Keys keys_;
};

using Shortcuts = std::map<std::string, QList<int>>;
Shortcuts mediaControl(Shortcuts actions) {  // their shortcuts now
  for (auto& [action, keys] : actions) {
    const auto id = kga::actionId(kga::kMediaControl, QString::fromStdString(action));
    keys = kga::shortcut(id).value_or(QList<int>{-1});
  }
  return actions;
}

TEST_F(DesktopKeysTest, KdeTakeoverDeliversPressesAndGiveBackRestoresTheMediaController) {
  if (!hasProgram("kglobalaccel5")) GTEST_SKIP() << "kglobalaccel5 is not installed";
  ChildProcess daemon({.argv = {"kglobalaccel5"},
                       .environment = {{"DISPLAY", desktop_->display()},
                                       {"XDG_CONFIG_HOME", desktop_->scratch()},
                                       {"QT_QPA_PLATFORM", "xcb"}},
                       .stderrPath = desktop_->scratch() + "/kglobalaccel.log"});
  ASSERT_TRUE(waitFor([&] { return desktop_->bus().hasOwner(kga::kService.toStdString()); }, 30s));
  // The stand-in media controller, registered as Plasma registers it.
  const Shortcuts before = {{"playpausemedia", {Qt::Key_MediaPlay}},
                            {"nextmedia", {Qt::Key_MediaNext}},
                            {"previousmedia", {Qt::Key_MediaPrevious}},
                            {"pausemedia", {Qt::Key_MediaPause}},
                            {"stopmedia", {Qt::Key_MediaStop}}};
  for (const auto& [action, keys] : before) {
    const auto id = kga::actionId(kga::kMediaControl, QString::fromStdString(action),
                                  QStringLiteral("Media Controller"), QStringLiteral("Media"));
    kga::send(QStringLiteral("doRegister"), {id});
    kga::send(QStringLiteral("setShortcut"),
              {id, QVariant::fromValue(keys), kga::kSetPresent | kga::kNoAutoloading});
  }
  linux_desktop::setDeliveryOpen(true);
  ASSERT_TRUE(tap_.start());
  const auto channel = desktopkeys::makeKdeComponentChannel();
  const auto open = [&] { return channel->open(linux_desktop::deliverKey); };
  EXPECT_FALSE(open()) << "the media controller still holds the keys";

  const auto holder = desktopkeys::makeKdeHolder();
  const auto saved = holder->read();
  ASSERT_TRUE(saved && holder->release());
  Shortcuts released = before;  // but Stop: Tonvara has nothing to do for it
  for (auto& [action, keys] : released) keys = action == "stopmedia" ? keys : QList<int>{};
  EXPECT_EQ(mediaControl(before), released);
  EXPECT_TRUE(desktop_->keyboard().isFreeToGrab(keysym::kNext)) << "an X11 session's grab can";
  setenv("DISPLAY", desktop_->display().c_str(), 1);  // a real X server: grabs take the keys
  EXPECT_TRUE(
      dynamic_cast<linux_x11::X11EventTapPlatform*>(platform::defaultEventTapPlatform().get()));
  EXPECT_FALSE(linux_x11::X11EventTapPlatform::canServe(":65000"));
  ASSERT_TRUE(open());
  for (const auto key : {keysym::kNext, keysym::kPlay, keysym::kPrevious, keysym::kRewind})
    desktop_->keyboard().tap(key);
  EXPECT_EQ(delivered(4),
            (Keys{MediaKey::next, MediaKey::playPause, MediaKey::previous, MediaKey::previous}));
  channel->close();
  ASSERT_TRUE(holder->restore(*saved));
  EXPECT_EQ(mediaControl(before), before);
  // Given back after a run that never closed its channel (a crash): still exactly as before.
  ASSERT_TRUE(holder->release() && open() && holder->restore(*saved));
  EXPECT_EQ(mediaControl(before), before);
}

using Properties = std::map<std::string, std::variant<bool, std::string>>;
std::mutex xfconfLock;

// xfconfd's GetAllProperties, SetProperty and ResetProperty on the panel's channel.
int xfconfd(sd_bus_message* call, void* data, sd_bus_error* /*error*/) {
  auto& properties = *static_cast<Properties*>(data);
  const char* property = nullptr;
  sd_bus_message* reply = nullptr;
  const auto is = [&](const char* method) {
    return sd_bus_message_is_method_call(call, "org.xfce.Xfconf", method) > 0;
  };
  int value = 0;
  std::lock_guard lock(xfconfLock);
  sd_bus_message_read(call, "ss", nullptr, &property);
  if (is("SetProperty") && sd_bus_message_read(call, "v", "b", &value) > 0)
    properties[property] = value != 0;
  if (is("ResetProperty")) properties.erase(property);
  sd_bus_message_new_method_return(call, &reply);
  sd_bus_message_open_container(reply, 'a', "{sv}");
  for (const auto& [key, held] : is("GetAllProperties") ? properties : Properties{}) {
    const auto* flag = std::get_if<bool>(&held);
    flag ? sd_bus_message_append(reply, "{sv}", key.c_str(), "b", int{*flag})
         : sd_bus_message_append(reply, "{sv}", key.c_str(), "s", std::get<1>(held).c_str());
  }
  sd_bus_message_close_container(reply);
  sd_bus_send(nullptr, reply, nullptr);
  return sd_bus_message_unref(reply), 1;
}

TEST_F(DesktopKeysTest, XfceReleaseTurnsOffOnlyTheSoundPluginsKeysAndRestoreUndoesExactly) {
  const Properties before = {{"/plugins/plugin-1", "whiskermenu"},
                             {"/plugins/plugin-7", "pulseaudio"},
                             {"/plugins/plugin-7/enable-multimedia-keys", true},
                             {"/plugins/plugin-9", "pulseaudio"}};  // its keys on by default
  Properties properties = before;
  sd_bus* daemon = nullptr;
  std::atomic<bool> done = false;
  ASSERT_TRUE(sd_bus_new(&daemon) >= 0 &&
              sd_bus_set_address(daemon, desktop_->bus().address().c_str()) >= 0 &&
              sd_bus_set_bus_client(daemon, 1) >= 0 && sd_bus_start(daemon) >= 0 &&
              sd_bus_add_object(daemon, nullptr, "/org/xfce/Xfconf", xfconfd, &properties) >= 0 &&
              sd_bus_request_name(daemon, "org.xfce.Xfconf", 0) >= 0);
  std::thread serving([&] {
    while (!done && sd_bus_process(daemon, nullptr) >= 0) sd_bus_wait(daemon, 20'000);
  });
  const auto now = [&] { return std::lock_guard(xfconfLock), properties; };
  const auto holder = desktopkeys::makeXfceHolder();
  const auto saved = holder->read();
  EXPECT_TRUE(holder->release());
  Properties released = before;
  released["/plugins/plugin-7/enable-multimedia-keys"] = false;
  released["/plugins/plugin-9/enable-multimedia-keys"] = false;
  EXPECT_EQ(now(), released);
  EXPECT_TRUE(saved && holder->restore(*saved));
  EXPECT_EQ(now(), before) << "a property that was unset is unset again";
  done = true, serving.join(), sd_bus_flush_close_unref(daemon);
}

TEST_F(DesktopKeysTest, KeyClientReachesTheRunningInstanceAndWithoutOneTheDesktopsAction) {
  const std::string folder = desktop_->scratch() + "/bin", runtime = desktop_->scratch() + "/run";
  for (const auto& made : {folder, runtime}) std::filesystem::create_directories(made);
  std::filesystem::copy_file(TONVARA_KEY_CLIENT, folder + "/tonvara-key");
  // Stands in for the application beside the client: records how it is started.
  std::ofstream(folder + "/tonvara") << "#!/bin/sh\necho \"$@\" >> " << folder << "/started\n";
  std::filesystem::permissions(folder + "/tonvara", std::filesystem::perms::owner_all);
  const auto started = [&] {
    std::ifstream file(folder + "/started");
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  const auto press = [&](const std::string& key) {
    ChildProcess client({.argv = {folder + "/tonvara-key", "--media-key", key},
                         .environment = {{"XDG_RUNTIME_DIR", runtime}}});
    waitFor([&] { return QCoreApplication::processEvents(), !client.isRunning(); }, 5s);
    return client.stop();
  };
  const auto player = desktop_->startPlayer();
  ASSERT_TRUE(desktop_->waitForStatus("Playing"));

  // No Tonvara: the desktop's bindings are restored and its own Play reaches the player.
  EXPECT_EQ(press("play"), 0);
  EXPECT_TRUE(desktop_->waitForStatus("Paused"));
  EXPECT_EQ(started(), "--restore-desktop-keys\n");

  // A running Tonvara hands keys to its desktop tap, which exists only while a channel is open.
  ReopenChannel instance(QString::fromStdString(runtime));
  ASSERT_EQ(instance.claim(), ReopenChannel::Claim::primary);
  EXPECT_FALSE(platform_->isProcessTrusted() || tap_.start());
  linux_desktop::setDeliveryOpen(true);
  ASSERT_TRUE(platform_->isProcessTrusted() && tap_.start());
  for (const char* key : {"next", "rewind", "pause"}) EXPECT_EQ(press(key), 0);
  EXPECT_EQ(delivered(3), (Keys{MediaKey::next, MediaKey::previous, MediaKey::playPause}));
  EXPECT_EQ(desktop_->playbackStatus(), "Paused") << "the player got nothing from the client";

  // Without the tap, and for Stop, the instance passes and the client does the desktop's action.
  tap_.stop();
  EXPECT_EQ(press("play"), 0);
  EXPECT_TRUE(desktop_->waitForStatus("Playing"));
  EXPECT_EQ(press("stop"), 0);
  EXPECT_TRUE(desktop_->waitForStatus("Stopped"));
  EXPECT_EQ(started(), "--restore-desktop-keys\n") << "nothing restored while Tonvara runs";
}

// Cinnamon's real csd-media-keys, with its window manager's HandleKeybinding as the key source.
TEST_F(DesktopKeysTest, CinnamonDaemonHandsKeysToTonvaraOnlyWhileItIsTheNewestGrabber) {
  const std::string daemon = "/usr/lib/x86_64-linux-gnu/cinnamon-settings-daemon/csd-media-keys";
  if (access(daemon.c_str(), X_OK) != 0) GTEST_SKIP() << "cinnamon-settings-daemon is missing";
  // It reads one key of a schema that only Cinnamon's session manager installs.
  const std::string schemas = desktop_->scratch() + "/schemas";
  std::filesystem::create_directories(schemas);
  std::ofstream(schemas + "/session.gschema.xml")
      << "<schemalist><schema id='org.cinnamon.SessionManager' path='/org/cinnamon/"
         "SessionManager/'><key name='prefer-hybrid-sleep' type='b'><default>false</default>"
         "</key></schema></schemalist>";
  ASSERT_EQ(std::system(("glib-compile-schemas " + schemas).c_str()), 0);
  ChildProcess csd({.argv = {daemon},
                    .environment = {{"DISPLAY", desktop_->display()},
                                    {"GSETTINGS_BACKEND", "memory"},
                                    {"GSETTINGS_SCHEMA_DIR", schemas},
                                    {"XDG_CONFIG_HOME", desktop_->scratch() + "/config"},
                                    {"XDG_DATA_HOME", desktop_->scratch() + "/data"}},
                    .stderrPath = desktop_->scratch() + "/csd.log"});
  const char* handler = "org.cinnamon.SettingsDaemon.KeybindingHandler";
  ASSERT_TRUE(waitFor([&] { return desktop_->bus().hasOwner(handler); }, 30s));

  // Another application: it presses keys, grabs them as "Other" and counts the keys it gets.
  sd_bus* other = nullptr;
  int heard = 0;
  ASSERT_TRUE(sd_bus_open_user(&other) >= 0 && sd_bus_add_match(
                                                   other, nullptr, "member='MediaPlayerKeyPressed'",
                                                   [](sd_bus_message*, void* count, sd_bus_error*) {
                                                     return ++*static_cast<int*>(count), 0;
                                                   },
                                                   &heard) >= 0);
  const std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> closing(
      other, &sd_bus_flush_close_unref);
  const auto press = [&](std::initializer_list<unsigned> keys) {
    for (const unsigned key : keys)
      EXPECT_GE(sd_bus_call_method(other, handler, "/org/cinnamon/SettingsDaemon/KeybindingHandler",
                                   handler, "HandleKeybinding", nullptr, nullptr, "u", key),
                0);
  };
  const auto grab = [&](const char* method, auto... time) {  // time 0: now, the newest grab
    EXPECT_GE(
        sd_bus_call_method(other, "org.gnome.SettingsDaemon", "/org/gnome/SettingsDaemon/MediaKeys",
                           "org.gnome.SettingsDaemon.MediaKeys", method, nullptr, nullptr,
                           sizeof...(time) > 0 ? "su" : "s", "Other", time...),
        0);
  };
  const auto hears = [&](int count) {
    waitFor([&] { return sd_bus_process(other, nullptr), heard >= count; }, 5s);
    return std::exchange(heard, 0);
  };
  // Debian 12's csd action numbers.
  constexpr unsigned play = 9, pause = 10, stop = 11, previous = 12, next = 13, rewind = 14,
                     forward = 15;

  const auto cinnamon = [](const char* type) {
    return desktopkeys::recogniseDesktop({{}, QStringLiteral("X-Cinnamon"), type}, {});
  };
  const auto x11 = cinnamon("x11");
  ASSERT_TRUE(x11 && x11->channel && x11->channel->open([this](MediaKey key) {
    const std::lock_guard lock(mutex_);
    keys_.push_back(key);
  }));
  press({play, next, previous, forward, rewind, stop, pause});
  grab("GrabMediaPlayerKeys", 0U);
  press({next, previous, play});
  EXPECT_EQ(hears(3), 3) << "the later grab takes the keys";
  grab("ReleaseMediaPlayerKeys");  // Tonvara's grab is the newest again
  press({next});
  const Keys expected = {MediaKey::playPause, MediaKey::next,     MediaKey::previous,
                         MediaKey::next,      MediaKey::previous, MediaKey::playPause,
                         MediaKey::next};
  EXPECT_EQ(delivered(7), expected);
  x11->channel->close();
  press({play, next});
  grab("GrabMediaPlayerKeys", 0U);
  press({previous});
  EXPECT_EQ(hears(1), 1);
  EXPECT_EQ(delivered(7), expected) << "csd still sends to Tonvara after close";

  // On Wayland the daemon's grab is the only way in: no shortcut of the desktop changes.
  setenv("GSETTINGS_BACKEND", "memory", 1);
  const auto wayland = cinnamon("wayland");
  const auto shortcuts = x11->holder->read();
  ASSERT_TRUE(wayland && shortcuts && wayland->channel);
  EXPECT_EQ(wayland->holder->read(), QJsonObject{});
  EXPECT_TRUE(wayland->holder->release());
  EXPECT_EQ(x11->holder->read(), shortcuts);
}

// A stand-in mate-settings-daemon: records the calls, and its Press(application, key) broadcasts
// the key as MATE does, to every listener.
constexpr char kMatePath[] = "/org/mate/SettingsDaemon/MediaKeys";
constexpr char kMateInterface[] = "org.mate.SettingsDaemon.MediaKeys";
std::mutex mateLock;

int mateDaemon(sd_bus_message* call, void* calls, sd_bus_error* /*error*/) {
  const std::string method = sd_bus_message_get_member(call);
  const char *application = "", *key = "";
  sd_bus_message_read(call, "s", &application);
  if (method == "Press" && sd_bus_message_read(call, "s", &key) > 0)
    sd_bus_emit_signal(sd_bus_message_get_bus(call), kMatePath, kMateInterface,
                       "MediaPlayerKeyPressed", "ss", application, key);
  else
    (std::lock_guard(mateLock),
     *static_cast<std::string*>(calls) += method + " " + application + ";");
  return sd_bus_reply_method_return(call, nullptr);
}

TEST_F(DesktopKeysTest, MateBroadcastReachesTonvaraOnlyForItsOwnKeysAndCloseReleasesTheGrab) {
  std::string calls;
  sd_bus* bus = nullptr;
  ASSERT_GE(sd_bus_new(&bus), 0);
  const std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> daemon(
      bus, &sd_bus_flush_close_unref);
  ASSERT_TRUE(sd_bus_set_address(bus, desktop_->bus().address().c_str()) >= 0 &&
              sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
              sd_bus_add_object(bus, nullptr, kMatePath, mateDaemon, &calls) >= 0 &&
              sd_bus_request_name(bus, "org.mate.SettingsDaemon", 0) >= 0);
  std::jthread serving([bus](const std::stop_token& stop) {
    while (!stop.stop_requested() && sd_bus_process(bus, nullptr) >= 0) sd_bus_wait(bus, 20'000);
  });
  const auto called = [&] { return std::lock_guard(mateLock), calls; };
  const auto broadcast = [](const char* application, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
      QDBusConnection::sessionBus().call(
          QDBusMessage::createMethodCall(QStringLiteral("org.mate.SettingsDaemon"), kMatePath,
                                         kMateInterface, QStringLiteral("Press"))
          << application << key);
  };
  const auto mate = desktopkeys::recogniseDesktop({{}, QStringLiteral("MATE"), "x11"}, {});
  ASSERT_TRUE(mate && mate->channel && mate->channel->open([this](MediaKey key) {
    return std::lock_guard(mutex_), keys_.push_back(key);
  }));
  EXPECT_EQ(called(), "GrabMediaPlayerKeys Tonvara;");
  // Rewind last: once it is in, every earlier broadcast has been handled.
  broadcast("Tonvara", {"Play", "FastForward"});
  broadcast("OtherApp", {"Next"});
  broadcast("Tonvara", {"Stop", "Rewind"});
  EXPECT_EQ(delivered(3), (Keys{MediaKey::playPause, MediaKey::next, MediaKey::previous}));
  mate->channel->close();
  EXPECT_EQ(called(), "GrabMediaPlayerKeys Tonvara;ReleaseMediaPlayerKeys Tonvara;")
      << "MATE keeps a vanished grabber's grab: close must release it";
  broadcast("Tonvara", {"Next"});
  EXPECT_FALSE(waitFor([&] { return std::lock_guard(mutex_), keys_.size() > 3; }, 300ms));
}
}  // namespace
}  // namespace tonvara::testing
