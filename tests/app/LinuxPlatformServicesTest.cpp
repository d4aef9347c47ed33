#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ApplicationStateObserver.h"
#include "FakeApplicationPlatform.h"
#include "FakeEventTapPlatform.h"
#include "FakePlatformServices.h"
#include "LinuxPlatformServices.h"
#include "MediaKeyEngine/MusicController.h"
#include "StateSignalSource.h"

namespace tonvara::testing {
namespace {

struct LinuxServices : ::testing::Test {
  LinuxServices() : services(std::make_unique<InMemoryDefaults>(), taps, apps) {
    // No session bus may be reached from a test.
    savedBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  }
  ~LinuxServices() override {
    qputenv("DBUS_SESSION_BUS_ADDRESS", savedBus);
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
  }

  QTemporaryDir runtime;
  QByteArray savedBus;
  QByteArray savedRuntime;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  LinuxPlatformServices services;
};

TEST_F(LinuxServices, TheAccessibilityRequestExplainsOnlyWhileTheKeysAreHeld) {
  ::testing::internal::CaptureStderr();
  services.promptForAccessibility();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  taps->setTrusted(false);
  ::testing::internal::CaptureStderr();
  services.promptForAccessibility();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("tonvara: Tonvara can't take the media keys. ", 0), 0U) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

TEST_F(LinuxServices, TheAutomationRequestAsksThePlayerPlatformWithAPrompt) {
  EXPECT_FALSE(services.isApplicationRunning(MusicController::bundleID));
  bool launched = false;
  services.openApplicationInBackground(*services.urlForApplication(MusicController::bundleID),
                                       [&] { launched = true; });
  EXPECT_TRUE(launched);
  EXPECT_TRUE(services.isApplicationRunning(MusicController::bundleID));

  services.requestPermissionToAutomate(MusicController::bundleID);
  EXPECT_EQ(apps->automationPrompts(), std::vector<bool>{true});
  EXPECT_EQ(apps->lastBundleID(), MusicController::bundleID);
}

TEST_F(LinuxServices, TheBundleCarriesPlaceholderUpdateKeysAndTheProjectVersion) {
  EXPECT_TRUE(services.infoDictionaryValue("SUPublicEDKey").toString().contains("REPLACE"));
  EXPECT_TRUE(services.infoDictionaryValue("SUFeedURL").toString().contains("REPLACE"));
  EXPECT_FALSE(services.infoDictionaryValue("CFBundleShortVersionString").toString().isEmpty());
  EXPECT_FALSE(services.infoDictionaryValue("NoSuchKey").isValid());
  EXPECT_EQ(services.beginActivity("why")->reason(), "why");
}

TEST(ApplicationState, OnlyBecomingActiveCallsTheHandler) {
  StateSignalSource application;
  int calls = 0;
  ApplicationStateObserver observer(&application, [&] { ++calls; });
  emit application.applicationStateChanged(Qt::ApplicationInactive);
  emit application.applicationStateChanged(Qt::ApplicationActive);
  emit application.applicationStateChanged(Qt::ApplicationHidden);
  emit application.applicationStateChanged(Qt::ApplicationActive);
  EXPECT_EQ(calls, 2);

  QObject plain;  // an application object without that signal: never active
  ApplicationStateObserver quiet(&plain, [&] { ++calls; });
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tonvara::testing
