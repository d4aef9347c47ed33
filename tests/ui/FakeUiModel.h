#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Scheduler.h"
#include "UiModel.h"
#include "VirtualClock.h"

namespace tonvara::ui::testing {

// State the test sets; operations count their calls by name. Setters assign, then publish.
struct FakeUiModel final : UiModel {
  struct State {
    bool enabled = true;
    WhenNotRunning whenNotRunning = WhenNotRunning::launchMusic;
    bool loginEnabled = false, canCheckForUpdates = true, hasAccessibility = false,
         hasRequestedAccessibility = false;
    AutomationAccess automationStatus = AutomationAccess::undetermined;
    bool accessSetupCompleted = false, needsAttention = false;
    QString symbol = QStringLiteral("music.note");
    QString player = QStringLiteral("Music"), playerId{}, settingsApp = "System Settings", steps{};
    QList<MusicAppChoice> players{};
    std::optional<KeyTakeover> takeover{};
    bool holdsKeys = false;
  } state;
  std::map<std::string, int> calls;
  std::optional<bool> loginOutcome;  // what setLoginEnabled publishes when registration fails

  void publish(const State& next) { state = next, emit stateChanged(); }
  bool enabled() const override { return state.enabled; }
  WhenNotRunning whenNotRunning() const override { return state.whenNotRunning; }
  bool loginEnabled() const override { return state.loginEnabled; }
  bool canCheckForUpdates() const override { return state.canCheckForUpdates; }
  bool hasAccessibility() const override { return state.hasAccessibility; }
  bool hasRequestedAccessibility() const override { return state.hasRequestedAccessibility; }
  AutomationAccess automationStatus() const override { return state.automationStatus; }
  bool accessSetupCompleted() const override { return state.accessSetupCompleted; }
  bool needsAttention() const override { return state.needsAttention; }
  QString menuBarSymbolName() const override { return state.symbol; }
  void setEnabled(bool on) override { ++calls["setEnabled"], state.enabled = on, publish(state); }
  void setWhenNotRunning(WhenNotRunning policy) override {
    ++calls["setWhenNotRunning"], state.whenNotRunning = policy, publish(state);
  }
  void setLoginEnabled(bool on) override {
    ++calls["setLoginEnabled"], state.loginEnabled = loginOutcome.value_or(on), publish(state);
  }
  void refreshPermissions() override { ++calls["refreshPermissions"]; }
  void requestAccessibility() override { ++calls["requestAccessibility"]; }
  void requestAutomation() override { ++calls["requestAutomation"]; }
  void openAccessibilitySettings() override { ++calls["openAccessibilitySettings"]; }
  void openAutomationSettings() override { ++calls["openAutomationSettings"]; }
  QString musicAppName() const override { return state.player; }
  QList<MusicAppChoice> musicAppChoices() const override { return state.players; }
  QString musicAppId() const override { return state.playerId; }
  void setMusicAppId(const QString& id) override { state.playerId = id, publish(state); }
  QString settingsAppName() const override { return state.settingsApp; }
  QString accessibilitySteps() const override { return state.steps; }
  std::optional<KeyTakeover> keyTakeover() const override { return state.takeover; }
  void takeOverKeys() override { ++calls["takeOverKeys"]; }
  bool holdsDesktopKeys() const override { return state.holdsKeys; }
  void giveKeysBack() override { ++calls["giveKeysBack"]; }
  void showAccessWindow() override { ++calls["showAccessWindow"]; }
  void checkForUpdates() override { ++calls["checkForUpdates"]; }
  void showAbout() override { ++calls["showAbout"]; }
  void quit() override { ++calls["quit"]; }
};

// Scheduler jobs on a virtual clock: they run only when the test advances it.
struct VirtualScheduler final : Scheduler {
  TaskHandle after(Duration delay, Job job) override { return run(delay, std::move(job), false); }
  TaskHandle every(Duration span, Job job) override { return run(span, std::move(job), true); }
  TaskHandle run(Duration delay, Job job, bool repeats,
                 std::shared_ptr<TaskHandle::State> state = std::make_shared<TaskHandle::State>()) {
    clock.schedule(delay, [=, this] {
      if (state->cancelled) return;
      state->finished = !repeats;
      job();
      if (repeats) run(delay, job, true, state);
    });
    return TaskHandle::make(state);
  }
  void advance(Duration span) { clock.advanceBy(span); }
  tonvara::testing::VirtualClock clock;
};

}  // namespace tonvara::ui::testing
