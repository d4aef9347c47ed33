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
  void showAccessWindow() override { ++calls["showAccessWindow"]; }
  void checkForUpdates() override { ++calls["checkForUpdates"]; }
  void showAbout() override { ++calls["showAbout"]; }
  void quit() override { ++calls["quit"]; }
};

// Scheduler jobs on a virtual clock: they run only when the test advances it.
struct VirtualScheduler final : Scheduler {
  TaskHandle after(Duration delay, Job job) override {
    auto state = std::make_shared<TaskHandle::State>();
    clock.schedule(delay, [state, job = std::move(job)] {
      if (!state->cancelled) state->finished = true, job();
    });
    return TaskHandle::make(state);
  }
  TaskHandle every(Duration interval, Job job) override {
    auto state = std::make_shared<TaskHandle::State>();
    tick(state, interval, std::make_shared<Job>(std::move(job)));
    return TaskHandle::make(state);
  }
  void tick(std::shared_ptr<TaskHandle::State> state, Duration interval, std::shared_ptr<Job> job) {
    clock.schedule(interval, [this, state, interval, job] {
      if (!state->cancelled) (*job)(), tick(state, interval, job);
    });
  }
  void advance(Duration span) { clock.advanceBy(span); }
  tonvara::testing::VirtualClock clock;
};

}  // namespace tonvara::ui::testing
