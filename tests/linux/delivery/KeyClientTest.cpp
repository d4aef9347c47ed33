// tonvara-key, as a desktop keybinding runs it: with no Tonvara running it gives the desktop its
// keys back and does the desktop's own action on the player; with one running it hands the key
// to its engine, or does the desktop's action for a key the instance passes (Stop).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <mutex>

#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"
#include "PrivateDesktop.h"
#include "ReopenChannel.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

TEST(KeyClientTest, AKeyIsNeverLostWhetherOrNotTonvaraRuns) {
  if (!PrivateDesktop::available(true)) {
    GTEST_SKIP() << "Xvfb, dbus-daemon, mpv or sox is not installed";
  }
  PrivateDesktop desktop(true, false);
  const std::string folder = desktop.scratch() + "/bin";
  const std::string runtime = desktop.scratch() + "/run";
  std::filesystem::create_directories(runtime);
  std::filesystem::create_directories(folder);
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
                         .environment = {{"XDG_RUNTIME_DIR", runtime},
                                         {"DBUS_SESSION_BUS_ADDRESS", desktop.bus().address()}}});
    EXPECT_TRUE(
        waitFor([&] { return QCoreApplication::processEvents(), !client.isRunning(); }, 5s));
    return client.stop();
  };
  int argc = 1;
  char name[] = "key_client_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  const auto player = desktop.startPlayer();
  ASSERT_TRUE(desktop.waitForStatus("Playing"));

  // No Tonvara: the desktop's bindings are restored and its own Play reaches the player.
  EXPECT_EQ(press("play"), 0);
  EXPECT_TRUE(desktop.waitForStatus("Paused"));
  EXPECT_EQ(started(), "--restore-desktop-keys\n");

  // A running Tonvara takes the key into its engine; the player sees nothing of the client.
  ReopenChannel instance(QString::fromStdString(runtime));
  ASSERT_EQ(instance.claim(), ReopenChannel::Claim::primary);
  linux_desktop::setDeliveryOpen(true);
  MediaKeyTap tap(std::make_shared<linux_desktop::DesktopEventTapPlatform>());
  std::mutex mutex;
  std::vector<MediaKey> decided;
  tap.setOnKeyDown(
      [&](MediaKey key) { return std::lock_guard(mutex), decided.push_back(key), true; });
  ASSERT_TRUE(tap.start());
  EXPECT_EQ(press("next"), 0);
  EXPECT_EQ(press("rewind"), 0);
  EXPECT_TRUE(waitFor([&] { return std::lock_guard(mutex), decided.size() >= 2; }, 5s));
  EXPECT_EQ((std::lock_guard(mutex), decided), (std::vector{MediaKey::next, MediaKey::previous}));
  EXPECT_EQ(desktop.playbackStatus(), "Paused");

  // Stop is no key of Tonvara's: the instance passes it and the client does the desktop's Stop.
  EXPECT_EQ(press("stop"), 0);
  EXPECT_TRUE(desktop.waitForStatus("Stopped"));
  EXPECT_EQ(started(), "--restore-desktop-keys\n") << "nothing restored while Tonvara runs";
  EXPECT_NE(press("louder"), 0);
  tap.stop();
  linux_desktop::setDeliveryOpen(false);
}

}  // namespace
}  // namespace tonvara::testing
