// The widgets see the application's model through the adapter: its readings, its setters, its
// change signal and the Access window it opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "AccessWindowHost.h"
#include "AppHarness.h"
#include "AppModelUiAdapter.h"
#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::testing {
namespace {

void expectSameReadings(const AppModel& model, const ui::UiModel& ui) {
  EXPECT_EQ(ui.enabled(), model.enabled());
  EXPECT_EQ(ui.whenNotRunning(), model.whenNotRunning());
  EXPECT_EQ(ui.loginEnabled(), model.loginEnabled());
  EXPECT_EQ(ui.canCheckForUpdates(), model.canCheckForUpdates());
  EXPECT_EQ(ui.hasAccessibility(), model.hasAccessibility());
  EXPECT_EQ(ui.hasRequestedAccessibility(), model.hasRequestedAccessibility());
  EXPECT_EQ(ui.automationStatus(), model.automationStatus());
  EXPECT_EQ(ui.automationDenied(), model.automationDenied());
  EXPECT_EQ(ui.accessSetupCompleted(), model.accessSetupCompleted());
  EXPECT_EQ(ui.needsAttention(), model.needsAttention());
  EXPECT_EQ(ui.menuBarSymbolName(), model.menuBarSymbolName());
}

TEST(AppModelUiAdapter, ReadsWhatTheModelPublishesInEveryState) {
  AppHarness harness;
  harness.grantAccessibility(false);
  harness.setAutomation(kAutomationNotPermitted);
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  ASSERT_TRUE(model.needsAttention());
  expectSameReadings(model, adapter);

  harness.grantAccessibility(true);
  harness.setAutomation(kAutomationGranted);
  adapter.refreshPermissions();
  EXPECT_TRUE(adapter.accessSetupCompleted());
  EXPECT_FALSE(adapter.needsAttention());
  expectSameReadings(model, adapter);
}

TEST(AppModelUiAdapter, SettersReachTheModelAndEachChangeIsAnnounced) {
  AppHarness harness;
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  QSignalSpy modelChanges(&model, &AppModel::stateChanged);
  QSignalSpy uiChanges(&adapter, &ui::UiModel::stateChanged);

  adapter.setEnabled(false);
  EXPECT_FALSE(model.enabled());
  EXPECT_EQ(harness.defaults().values.value(QStringLiteral("enabled")), QJsonValue(false));
  adapter.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(model.whenNotRunning(), WhenNotRunning::passThrough);
  adapter.setLoginEnabled(true);
  EXPECT_TRUE(model.loginEnabled());
  EXPECT_EQ(harness.services->loginRequests, std::vector<bool>{true});
  adapter.requestAccessibility();
  EXPECT_TRUE(model.hasRequestedAccessibility());

  EXPECT_GT(modelChanges.count(), 0);
  EXPECT_EQ(uiChanges.count(), modelChanges.count());
}

TEST(AppModelUiAdapter, OpensTheModelsOwnAccessWindow) {
  AppHarness harness;
  harness.store(AppModel::kAccessSetupCompletedKey, true);
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  const int shownAtStart = harness.window->shows;

  adapter.showAccessWindow();
  adapter.showAccessWindow();
  EXPECT_EQ(harness.window->made, 1);
  EXPECT_EQ(harness.window->shows, shownAtStart + 2);
}

TEST(AccessWindowHost, ShowsOneWidgetWindowAndKeepsIt) {
  AppHarness harness;
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  AccessWindowHost host(adapter);
  EXPECT_EQ(host.controller().window(), nullptr);

  host.show();
  QWidget* window = host.controller().window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Tonvara"));
  window->close();
  host.show();
  EXPECT_EQ(host.controller().window(), window);
  EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace tonvara::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
