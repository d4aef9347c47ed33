#include <gtest/gtest.h>

#include <QJsonArray>
#include <QSignalSpy>

#include "AppHarness.h"
#include "Updater.h"

namespace tonvara::testing {
namespace {

using Access = MusicController::AutomationAccess;

// The setup was finished in an earlier run.
void storeCompletedSetup(AppHarness& app, bool enabled) {
  app.store(AppModel::kAccessSetupCompletedKey, true);
  app.store(AppModel::kEnabledKey, enabled);
}

TEST(AppModelLaunch, FirstLaunchWithAnEmptyStoreAsksForSetupWithTheEngineOff) {
  AppHarness app;
  app.grantAccessibility(false);
  app.setAutomation(kAutomationProcessNotFound);

  AppModel& model = app.build();
  ASSERT_EQ(app.routersBuiltWith.size(), 1U);
  EXPECT_TRUE(app.routersBuiltWith[0].enabled);  // as stored, before start() corrects it
  EXPECT_EQ(app.routersBuiltWith[0].whenNotRunning, WhenNotRunning::launchMusic);
  EXPECT_EQ(app.window->made, 0);

  model.start();
  EXPECT_TRUE(model.enabled());
  EXPECT_EQ(model.whenNotRunning(), WhenNotRunning::launchMusic);
  EXPECT_FALSE(model.accessSetupCompleted());
  EXPECT_FALSE(model.router().settings().enabled);
  EXPECT_FALSE(model.tapInstalled());
  EXPECT_EQ(app.window->shows, 1);
  EXPECT_EQ(model.menuBarSymbolName(), "exclamationmark.triangle.fill");
  EXPECT_EQ(app.defaults().writes, 0);
  EXPECT_EQ(app.services->activityReasons,
            QStringList{"Media-key interception + accessibility watchdog"});
  EXPECT_EQ(app.services->activeHandlers.size(), 1U);
  EXPECT_EQ(app.services->liveTimers(), 1);
}

TEST(AppModelLaunch, BothPermissionsGrantedAtFirstLaunchCompleteTheSetupAndInstallTheTap) {
  AppHarness app;
  app.grantAccessibility(true);
  app.setAutomation(kAutomationGranted);

  AppModel& model = app.launch();
  EXPECT_TRUE(model.accessSetupCompleted());
  EXPECT_EQ(app.defaults().values.value("accessSetupCompleted"), QJsonValue(true));
  EXPECT_TRUE(model.router().settings().enabled);
  EXPECT_TRUE(model.router().isTapInstalled());
  EXPECT_TRUE(model.tapInstalled());
  EXPECT_EQ(model.automationStatus(), Access::granted);
  EXPECT_EQ(app.window->made, 0);
  EXPECT_EQ(model.menuBarSymbolName(), "music.note");
}

TEST(AppModelLaunch, DisabledWithAccessibilityWithdrawnNeedsNoAttention) {
  AppHarness app;
  storeCompletedSetup(app, false);
  app.grantAccessibility(false);

  AppModel& model = app.launch();
  EXPECT_FALSE(model.hasAccessibility());
  EXPECT_FALSE(model.needsAttention());
  EXPECT_EQ(model.menuBarSymbolName(), "music.note.slash");
  EXPECT_EQ(app.window->shows, 0);
  EXPECT_FALSE(model.tapInstalled());
}

TEST(AppModelLaunch, AutomationRefusedRaisesAttentionButAnUndecidedCheckDoesNot) {
  {
    AppHarness app;
    storeCompletedSetup(app, true);
    app.setAutomation(kAutomationNotPermitted);
    AppModel& model = app.launch();
    EXPECT_TRUE(model.automationDenied());
    EXPECT_EQ(model.automationStatus(), Access::denied);
    EXPECT_TRUE(model.needsAttention());
    EXPECT_EQ(model.menuBarSymbolName(), "exclamationmark.triangle.fill");
    EXPECT_EQ(app.window->shows, 1);
  }
  {
    AppHarness app;
    storeCompletedSetup(app, true);
    app.setAutomation(kAutomationProcessNotFound);  // the player is not running
    AppModel& model = app.launch();
    EXPECT_FALSE(model.automationDenied());
    EXPECT_EQ(model.automationStatus(), Access::undetermined);
    EXPECT_FALSE(model.needsAttention());
    EXPECT_EQ(model.menuBarSymbolName(), "music.note");
    EXPECT_EQ(app.window->shows, 0);
    EXPECT_TRUE(model.tapInstalled());
  }
}

TEST(AppModelSettings, OnlyTheExactTextPassThroughReadsAsPassThroughAndNothingIsRewritten) {
  const std::vector<std::pair<QJsonValue, WhenNotRunning>> cases{
      {QJsonValue("passThrough"), WhenNotRunning::passThrough},
      {QJsonValue("PassThrough"), WhenNotRunning::launchMusic},
      {QJsonValue("launchMusic"), WhenNotRunning::launchMusic},
      {QJsonValue("pass"), WhenNotRunning::launchMusic},
      {QJsonValue(1), WhenNotRunning::launchMusic},
      {QJsonValue(QJsonValue::Undefined), WhenNotRunning::launchMusic},
  };
  for (const auto& [stored, expected] : cases) {
    AppHarness app;
    if (!stored.isUndefined()) {
      app.store(AppModel::kWhenNotRunningKey, stored);
    }
    AppModel& model = app.launch();
    EXPECT_EQ(model.whenNotRunning(), expected) << stored.toVariant().toString().toStdString();
    EXPECT_EQ(app.routersBuiltWith.at(0).whenNotRunning, expected);
    EXPECT_EQ(app.defaults().values.value("whenNotRunning"), stored);
  }
}

TEST(AppModelSettings, EnabledThatIsNotABooleanReadsAsTrue) {
  for (const QJsonValue& stored : {QJsonValue("false"), QJsonValue(0), QJsonValue(QJsonArray())}) {
    AppHarness app;
    app.store(AppModel::kEnabledKey, stored);
    EXPECT_TRUE(app.build().enabled());
  }
  AppHarness app;
  app.store(AppModel::kEnabledKey, false);
  EXPECT_FALSE(app.build().enabled());
}

TEST(AppModelSettings, EnablingWhileTheSetupIsIncompleteIsStoredButKeepsTheEngineOff) {
  AppHarness app;
  app.store(AppModel::kEnabledKey, false);
  app.grantAccessibility(false);
  AppModel& model = app.launch();

  model.setEnabled(true);
  EXPECT_TRUE(model.enabled());
  EXPECT_EQ(app.defaults().values.value("enabled"), QJsonValue(true));
  EXPECT_FALSE(model.router().settings().enabled);
  EXPECT_FALSE(model.tapInstalled());
}

TEST(AppModelSettings, ASetterGivenTheCurrentValueStillNotifiesPersistsPushesAndRefreshes) {
  AppHarness app;
  AppModel& model = app.launch();  // both granted: setup completed, engine enabled
  ASSERT_TRUE(model.router().settings().enabled);

  // A bare refresh's footprint, to tell the push apart: each push of enabled settings asks the
  // music controller for the Automation state once more.
  int checks = app.apps->automationChecks();
  model.refreshPermissions();
  const int refreshChecks = app.apps->automationChecks() - checks;

  QSignalSpy enabledSpy(&model, &AppModel::enabledChanged);
  const int writes = app.defaults().writes;
  const int trustChecks = app.taps->trustChecks();
  checks = app.apps->automationChecks();
  model.setEnabled(true);
  EXPECT_EQ(enabledSpy.count(), 1);
  EXPECT_EQ(app.defaults().writes, writes + 1);
  EXPECT_EQ(app.apps->automationChecks() - checks, refreshChecks + 1);
  EXPECT_GT(app.taps->trustChecks(), trustChecks);

  QSignalSpy policySpy(&model, &AppModel::whenNotRunningChanged);
  model.setWhenNotRunning(WhenNotRunning::launchMusic);
  EXPECT_EQ(policySpy.count(), 1);
  EXPECT_EQ(app.defaults().writes, writes + 2);
  EXPECT_EQ(app.defaults().values.value("whenNotRunning"), QJsonValue("launchMusic"));
  model.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(model.router().settings().whenNotRunning, WhenNotRunning::passThrough);
}

TEST(AppModelSettings, DisablingRemovesTheTapAndEnablingReinstallsIt) {
  AppHarness app;
  AppModel& model = app.launch();
  ASSERT_TRUE(model.tapInstalled());

  model.setEnabled(false);
  EXPECT_FALSE(model.router().isTapInstalled());
  EXPECT_FALSE(model.tapInstalled());
  EXPECT_EQ(model.menuBarSymbolName(), "music.note.slash");

  model.setEnabled(true);
  EXPECT_TRUE(model.tapInstalled());
  EXPECT_EQ(model.menuBarSymbolName(), "music.note");
}

TEST(AppModelState, CopiesFromTheRouterAreMadeOnlyWhenTheyDiffer) {
  AppHarness app;
  AppModel& model = app.launch();
  QSignalSpy changes(&model, &AppModel::stateChanged);
  QSignalSpy tapSpy(&model, &AppModel::tapInstalledChanged);

  model.refreshPermissions();
  EXPECT_EQ(changes.count(), 0);

  app.setAutomation(kAutomationNotPermitted);
  model.refreshPermissions();
  EXPECT_TRUE(model.automationDenied());
  EXPECT_EQ(tapSpy.count(), 0);
  EXPECT_EQ(changes.count(), 2);  // automationDenied, automationStatus
}

TEST(AppModelLoginItem, TheToggleFollowsTheStatusTheSystemReportsAfterwards) {
  AppHarness app;
  app.services->loginStatus = 1;
  AppModel& model = app.build();
  EXPECT_TRUE(model.loginEnabled());

  // Registered, but waiting for the user's approval: still off.
  app.services->loginStatus = 0;
  app.services->loginStatusAfterRegister = 2;
  QSignalSpy spy(&model, &AppModel::loginEnabledChanged);
  model.setLoginEnabled(true);
  EXPECT_FALSE(model.loginEnabled());
  EXPECT_EQ(spy.count(), 1);
}

// Collects log lines while alive.
class LogCapture {
 public:
  LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::record); }
  ~LogCapture() { qInstallMessageHandler(previous_); }
  static QStringList& lines() {
    static QStringList all;
    return all;
  }

 private:
  static void record(QtMsgType, const QMessageLogContext&, const QString& message) {
    lines() << message;
  }
  QtMessageHandler previous_;
};

TEST(AppModelLoginItem, AFailureIsLoggedAndTheToggleSnapsBack) {
  AppHarness app;
  app.services->loginStatus = 0;
  app.services->loginError = QStringLiteral("The folder is read-only.");
  AppModel& model = app.build();
  QSignalSpy spy(&model, &AppModel::loginEnabledChanged);
  LogCapture::lines().clear();
  {
    LogCapture capture;
    model.setLoginEnabled(true);
  }
  EXPECT_EQ(LogCapture::lines(), QStringList{"LoginItem error: The folder is read-only."});
  EXPECT_FALSE(model.loginEnabled());
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(app.services->loginRequests, std::vector<bool>{true});
}

TEST(AppModelUpdates, APlaceholderKeyLeavesUpdatesOffWithoutReadingTheFeed) {
  AppHarness app;
  app.services->info = {{"SUPublicEDKey", "REPLACE_ME"}, {"SUFeedURL", "https://example.org/a"}};
  AppModel& model = app.build();
  EXPECT_FALSE(model.updater().isStarted());
  EXPECT_FALSE(model.canCheckForUpdates());
  EXPECT_EQ(app.services->infoKeysRead, QStringList{"SUPublicEDKey"});
}

TEST(AppModelUpdates, OnlyNonEmptyStringsWithoutThePlaceholderCount) {
  const std::vector<std::pair<QVariantMap, bool>> cases{
      {{{"SUPublicEDKey", "key"}, {"SUFeedURL", "https://example.org/a"}}, true},
      {{{"SUPublicEDKey", "key"}, {"SUFeedURL", "https://REPLACE.invalid/a"}}, false},
      {{{"SUPublicEDKey", "key"}, {"SUFeedURL", ""}}, false},
      {{{"SUPublicEDKey", 42}, {"SUFeedURL", "https://example.org/a"}}, false},
      {{{"SUPublicEDKey", "key"}}, false},
      {{{"SUPublicEDKey", "replace"}, {"SUFeedURL", "https://example.org/a"}}, true},
  };
  for (const auto& [info, configured] : cases) {
    AppHarness app;
    app.services->info = info;
    AppModel& model = app.build();
    EXPECT_EQ(model.canCheckForUpdates(), configured) << QVariant(info).toString().toStdString();
    EXPECT_EQ(model.updater().isStarted(), configured);
  }
}

}  // namespace
}  // namespace tonvara::testing
