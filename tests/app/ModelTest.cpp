#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "AppDelegate.h"
#include "AppHarness.h"
#include "Updater.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
const QString kWarning = "exclamationmark.triangle.fill";

// Automation requests that may prompt the user (the other checks never do).
long prompts(const AppHarness& app) {
  const auto all = app.apps->automationPrompts();
  return std::count(all.begin(), all.end(), true);
}

TEST(AppModel, LaunchStateDecidesEngineTapWindowAndIcon) {
  const QJsonValue none(QJsonValue::Undefined);
  const std::vector<std::tuple<QJsonValue, bool, std::int32_t, bool, bool, QString>> cases{
      // stored enabled (setup done when stored), trust, automation -> setup, tap, icon
      {none, false, kAutomationProcessNotFound, false, false, kWarning},
      {none, true, kAutomationGranted, true, true, "music.note"},
      {false, false, kAutomationGranted, true, false, "music.note.slash"},
      {true, true, kAutomationNotPermitted, true, true, kWarning},
      {true, false, kAutomationGranted, true, false, kWarning},
      {true, true, kAutomationProcessNotFound, true, true, "music.note"},
  };
  for (const auto& [enabled, trusted, automation, completed, tap, icon] : cases) {
    SCOPED_TRACE(icon.toStdString() + (completed ? " completed" : ""));
    AppHarness app;
    if (!enabled.isUndefined()) {
      app.store(AppModel::kAccessSetupCompletedKey, true);
      app.store(AppModel::kEnabledKey, enabled);
    }
    app.grantAccessibility(trusted);
    app.setAutomation(automation);
    AppModel& model = app.build();
    EXPECT_EQ(app.routersBuiltWith.at(0).enabled, enabled.toBool(true));  // as stored
    model.start();
    EXPECT_EQ(model.accessSetupCompleted(), completed);
    EXPECT_EQ(model.router().settings().enabled, completed && enabled.toBool(true));
    EXPECT_EQ(model.router().isTapInstalled(), tap);
    EXPECT_EQ(model.tapInstalled(), tap);
    EXPECT_EQ(model.menuBarSymbolName(), icon);
    EXPECT_EQ(model.needsAttention(), icon == kWarning);
    EXPECT_EQ(model.automationDenied(), automation == kAutomationNotPermitted);
    EXPECT_EQ(app.window->shows, !completed || icon == kWarning ? 1 : 0);
    EXPECT_EQ(app.defaults().writes, completed && enabled.isUndefined() ? 1 : 0);
  }
}

TEST(AppModel, SettersAssignPersistPushAndRefreshEvenWithTheCurrentValue) {
  AppHarness app;
  AppModel& model = app.launch();  // both granted: setup completed, tap installed
  int checks = app.apps->automationChecks();
  model.refreshPermissions();
  const int refreshChecks = app.apps->automationChecks() - checks;  // a push adds to these
  QSignalSpy enabledSpy(&model, &AppModel::enabledChanged);
  const int trustChecks = app.taps->trustChecks();
  checks = app.apps->automationChecks();
  model.setEnabled(true);
  EXPECT_EQ(enabledSpy.count(), 1);
  EXPECT_EQ(app.defaults().writes, 2);  // the setup's completion, then this
  EXPECT_GT(app.apps->automationChecks() - checks, refreshChecks);
  EXPECT_GT(app.taps->trustChecks(), trustChecks);

  model.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(app.defaults().values.value("whenNotRunning"), "passThrough");
  EXPECT_EQ(model.router().settings().whenNotRunning, WhenNotRunning::passThrough);
  model.setEnabled(false);
  EXPECT_EQ(app.defaults().values.value("enabled"), false);
  EXPECT_FALSE(model.router().isTapInstalled() || model.tapInstalled());
  EXPECT_EQ(model.menuBarSymbolName(), "music.note.slash");
  model.setEnabled(true);
  EXPECT_TRUE(model.tapInstalled());

  AppHarness incomplete;  // enabling is stored, but the engine stays off until the setup is done
  incomplete.grantAccessibility(false);
  incomplete.store(AppModel::kEnabledKey, false);
  incomplete.launch().setEnabled(true);
  EXPECT_EQ(incomplete.defaults().values.value("enabled"), true);
  EXPECT_FALSE(incomplete.model->router().settings().enabled);
}

TEST(AppModel, CopiesFromTheRouterAreMadeOnlyWhenTheyDiffer) {
  AppHarness app;
  AppModel& model = app.launch();
  QSignalSpy changes(&model, &AppModel::stateChanged);
  model.refreshPermissions();
  EXPECT_EQ(changes.count(), 0);
  app.setAutomation(kAutomationNotPermitted);
  model.refreshPermissions();
  EXPECT_EQ(model.automationStatus(), MusicController::AutomationAccess::denied);
  EXPECT_EQ(changes.count(), 2);  // automationDenied, automationStatus; the tap stays
}

TEST(AppModel, BecomingActiveCompletesTheSetupAndThatChangeIsPublished) {
  AppHarness app;
  app.grantAccessibility(false);
  AppModel& model = app.launch();
  QSignalSpy completion(&model, &AppModel::accessSetupCompletedChanged);
  app.grantAccessibility(true);
  const auto becomeActive = [&] {
    for (const auto& handler : app.services->activeHandlers) {
      handler();
    }
  };
  becomeActive();
  EXPECT_EQ(completion.count(), 1);
  EXPECT_EQ(app.defaults().values.value("accessSetupCompleted"), true);
  EXPECT_TRUE(model.tapInstalled());
  app.model.reset();
  becomeActive();  // holds the model weakly
}

TEST(AppModel, UpdatesRunOnlyWithTwoUsableKeys) {
  for (const auto& [key, feed, configured] : std::vector<std::tuple<QVariant, QVariant, bool>>{
           {"key", "https://example.org/a", true},
           {"replace", "https://example.org/a", true},
           {"key", "https://REPLACE.invalid/a", false},
           {"key", "", false},
           {42, "https://example.org/a", false},
           {"REPLACE_ME", "https://example.org/a", false}}) {
    AppHarness app;
    app.services->info = {{"SUPublicEDKey", key}, {"SUFeedURL", feed}};
    EXPECT_EQ(app.build().updater().isStarted(), configured) << feed.toString().toStdString();
    EXPECT_EQ(app.model->canCheckForUpdates(), configured);
  }
}

TEST(AccessibilityWatchdog, KeepsTheTapInStepWithTrustWithinOneTickAndRetriesRefusals) {
  AppHarness app;
  AppModel& model = app.launch();
  app.grantAccessibility(false);
  app.advance(999ms);
  EXPECT_TRUE(model.tapInstalled());
  app.advance(1ms);
  EXPECT_FALSE(model.hasAccessibility() || model.router().isTapInstalled());
  app.taps->setRefuseTaps(true);
  app.grantAccessibility(true);
  app.advance(3s);
  EXPECT_FALSE(model.tapInstalled());
  app.taps->setRefuseTaps(false);
  app.advance(1s);
  EXPECT_TRUE(model.tapInstalled());
}

TEST(AccessibilityWatchdog, NeverAsksForTrustWhileDisabledOrBeforeTheSetupIsDone) {
  for (const bool setupDone : {true, false}) {
    AppHarness app;
    app.store(AppModel::kAccessSetupCompletedKey, setupDone);
    app.store(AppModel::kEnabledKey, !setupDone);
    app.setAutomation(kAutomationProcessNotFound);  // the setup cannot complete here
    AppModel& model = app.launch();
    QSignalSpy changes(&model, &AppModel::stateChanged);
    const int trustChecks = app.taps->trustChecks();
    app.advance(10s);
    EXPECT_EQ(app.taps->trustChecks(), trustChecks);
    EXPECT_EQ(changes.count(), 0);
  }
}

TEST(AutomationRequest, LaunchesWhenNeededWaitsThirtyTenthsThenAsksAndRefreshesTheModel) {
  // running, installed, launch outcome -> asked after, launches
  for (const auto& [running, installed, outcome, after, launches] :
       std::vector<std::tuple<bool, bool, LaunchOutcome, std::chrono::milliseconds, int>>{
           {true, true, LaunchOutcome::finished, 0ms, 0},
           {false, true, LaunchOutcome::finished, 0ms, 1},
           {false, true, LaunchOutcome::openError, 3000ms, 1},
           {false, false, LaunchOutcome::finished, 0ms, 0}}) {
    AppHarness app;
    app.setAutomation(kAutomationProcessNotFound);
    AppModel& model = app.launch();
    app.apps->setRunning(running);
    app.apps->setInstalled(installed);
    app.apps->setLaunchOutcome(outcome);
    app.setAutomation(kAutomationGranted);  // what the user will answer
    model.requestAutomation();
    EXPECT_EQ(prompts(app), 0);  // never on the caller's stack
    if (after > 0ms) {
      app.advance(after - 1ms);
      EXPECT_EQ(prompts(app), 0);
    }
    app.advance(1ms);
    EXPECT_EQ(prompts(app), 1);
    EXPECT_EQ(app.apps->launches(), launches);
    EXPECT_TRUE(model.accessSetupCompleted());
  }
}

TEST(AutomationRequest, CompletesOnTheMainThreadFromARealQueueAndOnlyWhileTheModelLives) {
  AppHarness app;
  app.setAutomation(kAutomationProcessNotFound);
  AppModel& model = app.launch();
  app.services->queue = DispatchQueue::global(QualityOfService::userInitiated);
  app.apps->setRunning(true);
  app.setAutomation(kAutomationGranted);
  bool onMainThread = false;
  QObject::connect(&model, &AppModel::accessSetupCompletedChanged,
                   [&] { onMainThread = QThread::currentThread() == qApp->thread(); });
  model.requestAutomation();
  EXPECT_TRUE(QTest::qWaitFor([&] { return model.accessSetupCompleted(); }, 10000));
  EXPECT_TRUE(onMainThread);

  app.services->queue = std::make_shared<VirtualQueue>(app.clock);
  model.requestAutomation();
  app.model.reset();
  app.advance(0ms);  // holds the model weakly
  EXPECT_EQ(prompts(app), 2);
}

TEST(AppDelegate, BuildsTheModelAtOnceStartsItOnceTheLoopRunsAndReopensTheSameWindow) {
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  EXPECT_EQ(app.routersBuiltWith.size(), 1U);
  delegate.attach(nullptr);
  EXPECT_EQ(app.services->timersScheduled, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.services->timersScheduled > 0; }, 10000));
  delegate.applicationDidFinishLaunching();  // a second report starts nothing more
  EXPECT_EQ(app.services->timersScheduled, 1);
  EXPECT_EQ(app.window->shows, 0);
  EXPECT_TRUE(delegate.applicationShouldHandleReopen(false));
  EXPECT_TRUE(delegate.applicationShouldHandleReopen(true));
  EXPECT_EQ(app.window->made, 1);
  EXPECT_EQ(app.window->shows, 2);
}

}  // namespace
}  // namespace tonvara::testing
