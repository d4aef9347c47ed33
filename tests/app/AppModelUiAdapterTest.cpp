#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "AccessWindowHost.h"
#include "AppHarness.h"
#include "AppModelUiAdapter.h"
#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::testing {
namespace {

TEST(AppModelUiAdapter, TheViewDrawsTheStateARefreshEndsIn) {
  AppHarness harness;
  harness.store(AppModel::kEnabledKey, false);
  harness.grantAccessibility(false);
  harness.setAutomation(kAutomationNotPermitted);
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  AccessWindowHost host(adapter);
  host.show();
  QSignalSpy published(&adapter, &ui::UiModel::stateChanged);
  harness.grantAccessibility(true);  // the setup completes while "Enabled" is off
  harness.setAutomation(kAutomationGranted);
  adapter.refreshPermissions();
  EXPECT_EQ(published.count(), 0);  // nothing drawn half-way through
  harness.advance(std::chrono::milliseconds(10));
  EXPECT_EQ(published.count(), 1);  // once, for the state the refresh ended in
  EXPECT_EQ(host.controller().view()->presentation(), ui::AccessPresentation::status);
  EXPECT_EQ(std::tuple(adapter.accessSetupCompleted(), adapter.hasAccessibility(),
                       adapter.automationStatus(), adapter.enabled(), adapter.needsAttention()),
            std::tuple(true, true, MusicController::AutomationAccess::granted, false, false));
}

TEST(AppModelUiAdapter, SettersAndWindowReachTheModel) {
  AppHarness harness;
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);  // the widgets' view of the model
  adapter.setEnabled(false);
  adapter.setWhenNotRunning(WhenNotRunning::passThrough);
  adapter.setLoginEnabled(true);
  adapter.requestAccessibility();
  EXPECT_EQ(std::tuple(adapter.enabled(), adapter.whenNotRunning(), adapter.loginEnabled(),
                       adapter.hasRequestedAccessibility(), adapter.menuBarSymbolName()),
            std::tuple(false, WhenNotRunning::passThrough, true, true, "music.note.slash"));
  EXPECT_EQ(adapter.canCheckForUpdates(), model.canCheckForUpdates());
  adapter.showAccessWindow();
  EXPECT_EQ(harness.window->shows, 1);  // both permissions granted: none at launch
}

}  // namespace
}  // namespace tonvara::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
