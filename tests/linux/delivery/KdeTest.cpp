// The real kglobalaccel5 on a private X server and bus: Plasma's media controller holds the
// keys, Tonvara takes them, receives XTest presses through its own component, gives them back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <mutex>

#include "DesktopKeyHolder.h"
#include "KdeGlobalAccel.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"
#include "PrivateDesktop.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
namespace kga = desktopkeys::kglobalaccel;

QList<int> keysOf(const char* action) {
  return kga::shortcut(kga::actionId(kga::kMediaControl, QLatin1String(action)))
      .value_or(QList<int>{-1});
}

TEST(KdeTest, TakeoverDeliversPressesToTheEngineAndGiveBackRestoresTheMediaController) {
  if (!PrivateDesktop::available(false) || !hasProgram("kglobalaccel5")) {
    GTEST_SKIP() << "Xvfb or kglobalaccel5 is not installed";
  }
  PrivateDesktop desktop(false, false);
  DbusSession bus(desktop.scratch());
  ChildProcess daemon({.argv = {"kglobalaccel5"},
                       .environment = {{"DISPLAY", desktop.display()},
                                       {"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                                       {"XDG_CONFIG_HOME", desktop.scratch()},
                                       {"QT_QPA_PLATFORM", "xcb"}},
                       .stderrPath = desktop.scratch() + "/kglobalaccel.log"});
  ASSERT_TRUE(waitFor([&] { return bus.hasOwner("org.kde.kglobalaccel"); }, 10s));
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  int argc = 1;
  char name[] = "kde_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);

  // The stand-in media controller, registered as Plasma registers it.
  const std::pair<const char*, QList<int>> held[] = {{"playpausemedia", {Qt::Key_MediaPlay}},
                                                     {"nextmedia", {Qt::Key_MediaNext}},
                                                     {"previousmedia", {Qt::Key_MediaPrevious}},
                                                     {"pausemedia", {Qt::Key_MediaPause}},
                                                     {"stopmedia", {Qt::Key_MediaStop}}};
  for (const auto& [action, keys] : held) {
    const auto id = kga::actionId(kga::kMediaControl, QLatin1String(action),
                                  QStringLiteral("Media Controller"), QLatin1String(action));
    kga::send(QStringLiteral("doRegister"), {id});
    kga::send(QStringLiteral("setShortcut"),
              {id, QVariant::fromValue(keys), kga::kSetPresent | kga::kNoAutoloading});
  }

  linux_desktop::setDeliveryOpen(true);
  MediaKeyTap tap(std::make_shared<linux_desktop::DesktopEventTapPlatform>());
  std::mutex mutex;
  std::vector<MediaKey> decided;
  tap.setOnKeyDown(
      [&](MediaKey key) { return std::lock_guard(mutex), decided.push_back(key), true; });
  ASSERT_TRUE(tap.start());
  const auto channel = desktopkeys::makeKdeComponentChannel();
  const auto open = [&] {
    return channel->open([](MediaKey key) { linux_desktop::deliverKey(key); });
  };
  EXPECT_FALSE(open()) << "the media controller still holds the keys";

  const auto holder = desktopkeys::makeKdeHolder();
  const auto saved = holder->read();
  ASSERT_TRUE(saved);
  ASSERT_TRUE(holder->release());
  for (const char* action : {"playpausemedia", "nextmedia", "previousmedia", "pausemedia"}) {
    EXPECT_EQ(keysOf(action), QList<int>{}) << action;
  }
  EXPECT_EQ(keysOf("stopmedia"), QList<int>{Qt::Key_MediaStop}) << "Stop is not Tonvara's";

  ASSERT_TRUE(open());
  for (const auto key : {keysym::kNext, keysym::kPlay, keysym::kPrevious, keysym::kRewind}) {
    desktop.keyboard().tap(key);
  }
  const std::vector<MediaKey> expected = {MediaKey::next, MediaKey::playPause, MediaKey::previous,
                                          MediaKey::previous};
  EXPECT_TRUE(waitFor([&] { return std::lock_guard(mutex), decided.size() >= 4; }, 5s));
  EXPECT_EQ((std::lock_guard(mutex), decided), expected);

  // Given back after a run that never closed its channel (a crash): still exactly as before.
  for (const bool closeFirst : {true, false}) {
    if (closeFirst) {
      channel->close();
    }
    ASSERT_TRUE(holder->restore(*saved));
    for (const auto& [action, keys] : held) {
      EXPECT_EQ(keysOf(action), keys) << action;
    }
    if (closeFirst) {
      ASSERT_TRUE(holder->release());
      ASSERT_TRUE(open());
    }
  }
  tap.stop();
  linux_desktop::setDeliveryOpen(false);
}

}  // namespace
}  // namespace tonvara::testing
