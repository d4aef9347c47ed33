#pragma once

#include <QString>
#include <optional>

#include "UiModel.h"

namespace tonvara::ui::testing {

// A model whose state the test sets directly and whose operations only count their calls.
// Setters behave like the real model's: assign, then publish.
class FakeUiModel final : public UiModel {
 public:
  struct State {
    bool enabled = true;
    WhenNotRunning whenNotRunning = WhenNotRunning::launchMusic;
    bool loginEnabled = false;
    bool canCheckForUpdates = true;
    bool hasAccessibility = false;
    bool hasRequestedAccessibility = false;
    AutomationAccess automationStatus = AutomationAccess::undetermined;
    bool accessSetupCompleted = false;
  };

  struct Calls {
    int setEnabled = 0;
    int setWhenNotRunning = 0;
    int setLoginEnabled = 0;
    int refreshPermissions = 0;
    int requestAccessibility = 0;
    int requestAutomation = 0;
    int openAccessibilitySettings = 0;
    int openAutomationSettings = 0;
    int showAccessWindow = 0;
    int checkForUpdates = 0;
    int showAbout = 0;
    int quit = 0;
  };

  State state;
  Calls calls;
  // When set, setLoginEnabled publishes this instead of the wish (registration failed).
  std::optional<bool> loginOutcome;

  void publish(const State& next) {
    state = next;
    emit stateChanged();
  }

  bool enabled() const override { return state.enabled; }
  WhenNotRunning whenNotRunning() const override { return state.whenNotRunning; }
  bool loginEnabled() const override { return state.loginEnabled; }
  bool canCheckForUpdates() const override { return state.canCheckForUpdates; }
  bool hasAccessibility() const override { return state.hasAccessibility; }
  bool hasRequestedAccessibility() const override { return state.hasRequestedAccessibility; }
  AutomationAccess automationStatus() const override { return state.automationStatus; }
  bool automationDenied() const override {
    return state.automationStatus == AutomationAccess::denied;
  }
  bool accessSetupCompleted() const override { return state.accessSetupCompleted; }
  bool needsAttention() const override {
    return state.enabled && (!state.hasAccessibility || automationDenied());
  }
  QString menuBarSymbolName() const override {
    if (!state.enabled) return QStringLiteral("music.note.slash");
    if (needsAttention()) return QStringLiteral("exclamationmark.triangle.fill");
    return QStringLiteral("music.note");
  }

  void setEnabled(bool value) override {
    ++calls.setEnabled;
    state.enabled = value;
    emit stateChanged();
  }
  void setWhenNotRunning(WhenNotRunning policy) override {
    ++calls.setWhenNotRunning;
    state.whenNotRunning = policy;
    emit stateChanged();
  }
  void setLoginEnabled(bool value) override {
    ++calls.setLoginEnabled;
    state.loginEnabled = loginOutcome.value_or(value);
    emit stateChanged();
  }
  void refreshPermissions() override { ++calls.refreshPermissions; }
  void requestAccessibility() override { ++calls.requestAccessibility; }
  void requestAutomation() override { ++calls.requestAutomation; }
  void openAccessibilitySettings() override { ++calls.openAccessibilitySettings; }
  void openAutomationSettings() override { ++calls.openAutomationSettings; }
  void showAccessWindow() override { ++calls.showAccessWindow; }
  void checkForUpdates() override { ++calls.checkForUpdates; }
  void showAbout() override { ++calls.showAbout; }
  void quit() override { ++calls.quit; }
};

}  // namespace tonvara::ui::testing
