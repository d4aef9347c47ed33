#pragma once

#include "AppModel.h"
#include "UiModel.h"

namespace tonvara {

// Lets the widgets read and drive the application's model through their narrow interface.
// Every change of a published property is passed on as stateChanged(), once per turn of the
// event loop, so the widgets draw the state a refresh ends in rather than each step on its way.
class AppModelUiAdapter final : public ui::UiModel {
  Q_OBJECT

 public:
  explicit AppModelUiAdapter(AppModel& model, QObject* parent = nullptr);

  bool enabled() const override { return model_.enabled(); }
  WhenNotRunning whenNotRunning() const override { return model_.whenNotRunning(); }
  bool loginEnabled() const override { return model_.loginEnabled(); }
  bool canCheckForUpdates() const override { return model_.canCheckForUpdates(); }
  bool hasAccessibility() const override { return model_.hasAccessibility(); }
  bool hasRequestedAccessibility() const override { return model_.hasRequestedAccessibility(); }
  ui::AutomationAccess automationStatus() const override { return model_.automationStatus(); }
  bool accessSetupCompleted() const override { return model_.accessSetupCompleted(); }
  bool needsAttention() const override { return model_.needsAttention(); }
  QString menuBarSymbolName() const override { return model_.menuBarSymbolName(); }

  void setEnabled(bool enabled) override { model_.setEnabled(enabled); }
  void setWhenNotRunning(WhenNotRunning policy) override { model_.setWhenNotRunning(policy); }
  void setLoginEnabled(bool enabled) override { model_.setLoginEnabled(enabled); }

  void refreshPermissions() override { model_.refreshPermissions(); }
  void requestAccessibility() override { model_.requestAccessibility(); }
  void requestAutomation() override { model_.requestAutomation(); }
  void openAccessibilitySettings() override;
  void openAutomationSettings() override;

  std::optional<ui::KeyTakeover> keyTakeover() const override;
  void takeOverKeys() override { model_.takeOverKeys(); }
  bool holdsDesktopKeys() const override { return model_.holdsDesktopKeys(); }
  void giveKeysBack() override { model_.giveKeysBack(); }
  QString musicAppName() const override { return model_.musicAppName(); }
  QList<ui::MusicAppChoice> musicAppChoices() const override;
  QString musicAppId() const override { return model_.musicAppId(); }
  void setMusicAppId(const QString& id) override { model_.setMusicAppId(id); }
  QString settingsAppName() const override { return model_.settingsAppName(); }
  QString accessibilitySteps() const override { return model_.accessibilitySteps(); }

  void showAccessWindow() override { model_.showAccessWindow(); }
  void checkForUpdates() override;

 private slots:
  void schedulePublish();

 private:
  AppModel& model_;
  bool publishPending_ = false;
};

}  // namespace tonvara
