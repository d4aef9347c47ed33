// The widgets see the application's model through the adapter.
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
  harness.grantAccessibility(true);
  harness.setAutomation(kAutomationGranted);
  adapter.refreshPermissions();
  EXPECT_EQ(published.count(), 0);  // nothing drawn half-way through
  harness.advance(std::chrono::milliseconds(10));
  EXPECT_EQ(published.count(), 1);
  EXPECT_EQ(host.controller().view()->presentation(), ui::AccessPresentation::status);
  EXPECT_TRUE(adapter.accessSetupCompleted() && adapter.hasAccessibility() && !adapter.enabled());
}

TEST(AppModelUiAdapter, SettersAndWindowReachTheModel) {
  AppHarness harness;
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  adapter.setEnabled(false);
  adapter.setWhenNotRunning(WhenNotRunning::passThrough);
  adapter.setLoginEnabled(true);
  adapter.requestAccessibility();
  EXPECT_EQ(std::tuple(model.enabled(), model.whenNotRunning(), model.loginEnabled()),
            std::tuple(false, WhenNotRunning::passThrough, true));
  EXPECT_TRUE(adapter.hasRequestedAccessibility() && adapter.loginEnabled());
  EXPECT_EQ(adapter.menuBarSymbolName(), "music.note.slash");
  const int shown = harness.window->shows;
  adapter.showAccessWindow();
  EXPECT_EQ(harness.window->shows, shown + 1);
}

}  // namespace
}  // namespace tonvara::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
