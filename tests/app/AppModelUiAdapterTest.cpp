#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "AccessWindowHost.h"
#include "AppHarness.h"
#include "AppModelUiAdapter.h"

namespace tonvara::testing {
namespace {

TEST(AppModelUiAdapter, TheViewDrawsTheStateARefreshEndsInAndTheCallsReachTheModel) {
  AppHarness harness;
  harness.store(AppModel::kEnabledKey, false);
  harness.taps->setTrusted(false);
  harness.apps->setAutomationStatus(kAutomationNotPermitted);
  harness.services->players = {{"a.desktop", "A"}};
  AppModel& model = harness.launch();
  AppModelUiAdapter adapter(model);
  AccessWindowHost host(adapter);
  host.show();
  QSignalSpy published(&adapter, &ui::UiModel::stateChanged);
  harness.taps->setTrusted(true);  // the setup completes while "Enabled" is off
  harness.apps->setAutomationStatus(kAutomationGranted);
  adapter.refreshPermissions();
  EXPECT_EQ(published.count(), 0);  // nothing drawn half-way through
  harness.advance(std::chrono::milliseconds(10));
  EXPECT_EQ(published.count(), 1);  // once, for the state the refresh ended in
  EXPECT_EQ(host.controller().view()->presentation(), ui::AccessPresentation::status);
  EXPECT_EQ(std::tuple(adapter.accessSetupCompleted(), adapter.hasAccessibility(),
                       adapter.automationStatus(), adapter.enabled(), adapter.needsAttention()),
            std::tuple(true, true, MusicController::AutomationAccess::granted, false, false));

  adapter.setWhenNotRunning(WhenNotRunning::passThrough);
  adapter.setLoginEnabled(true);
  adapter.requestAccessibility();
  EXPECT_EQ(std::tuple(adapter.whenNotRunning(), adapter.loginEnabled(),
                       adapter.hasRequestedAccessibility(), adapter.menuBarSymbolName()),
            std::tuple(WhenNotRunning::passThrough, true, true, "music.note.slash"));
  adapter.setEnabled(true);
  EXPECT_EQ(std::tuple(model.enabled(), adapter.menuBarSymbolName(), adapter.canCheckForUpdates()),
            std::tuple(true, "music.note", model.canCheckForUpdates()));
  adapter.setMusicAppId("a.desktop");
  EXPECT_EQ(
      std::tuple(adapter.musicAppId(), adapter.musicAppName(), adapter.musicAppChoices().size(),
                 adapter.settingsAppName(), adapter.accessibilitySteps()),
      std::tuple("a.desktop", "A", 1, model.settingsAppName(), model.accessibilitySteps()));
  adapter.showAccessWindow();
  EXPECT_EQ(harness.window->shows, 2);  // once at launch, once asked
}

}  // namespace
}  // namespace tonvara::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
