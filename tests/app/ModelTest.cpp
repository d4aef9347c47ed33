#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <barrier>
#include <thread>

#include "AppDelegate.h"
#include "AppHarness.h"
#include "QtThreadSanitizerSuppressions.h"
#include "ReopenChannel.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Claim = ReopenChannel::Claim;
const QString kWarning = "exclamationmark.triangle.fill";

TEST(AppModel, LaunchStateDecidesEngineTapWindowAndIcon) {
  const QJsonValue none(QJsonValue::Undefined);
  // Stored "enabled" (with the setup done when stored), trust, Automation -> setup, tap, icon.
  const std::vector<std::tuple<QJsonValue, bool, std::int32_t, bool, bool, QString>> cases{
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
    app.taps->setTrusted(trusted);
    app.apps->setAutomationStatus(automation);
    AppModel& model = app.build();
    EXPECT_EQ(model.router().settings().enabled, enabled.toBool(true));  // as stored
    model.start();
    EXPECT_EQ(
        std::tuple(model.accessSetupCompleted(), model.router().settings().enabled,
                   model.tapInstalled(), model.menuBarSymbolName(), model.needsAttention()),
        std::tuple(completed, completed && enabled.toBool(true), tap, icon, icon == kWarning));
    EXPECT_EQ(
        std::pair(model.automationDenied(), app.window->shows),
        std::pair(automation == kAutomationNotPermitted, !completed || icon == kWarning ? 1 : 0));
    EXPECT_EQ(app.defaults().writes, completed && enabled.isUndefined() ? 1 : 0);
    // The watchdog asks for trust only while the tap could be wanted at all.
    const int trustChecks = app.taps->trustChecks();
    app.services->ticks.at(0)();
    EXPECT_EQ(app.taps->trustChecks() > trustChecks, completed && enabled.toBool(true));
    EXPECT_EQ(model.tapInstalled(), tap);
  }
}

TEST(AppModel, ThePickedPlayerIsNamedAtOnceCheckedAndReadAgainOffTheMainThreadWhenShown) {
  AppHarness app;
  app.services->players = {{"a.desktop", "A"}, {"b.desktop", "B"}};
  AppModel& model = app.launch();
  QSignalSpy published(&model, &AppModel::musicApplicationChanged);
  EXPECT_EQ(std::tuple(app.services->lookups, model.musicAppName(), model.accessibilitySteps()),
            std::tuple(0, "", ""));  // nothing read on the main thread
  app.advance(1ms);
  EXPECT_EQ(std::tuple(model.musicAppName(), model.musicAppChoices().size(), published.count(),
                       model.accessibilitySteps().isEmpty()),
            std::tuple("Default", 2, 1, false));
  const int checks = app.apps->automationChecks();
  model.setMusicAppId("b.desktop");
  EXPECT_EQ(std::tuple(model.musicAppName(), model.musicAppId(), app.services->pushed.last()),
            std::tuple("B", "b.desktop", "b.desktop"));
  EXPECT_GT(app.apps->automationChecks(), checks);  // the new player's Automation
  const int lookups = app.services->lookups;        // the pick's own is still queued
  model.refreshPermissions();  // the window's every-second refresh reads no desktop entries
  app.advance(1s);
  model.showAccessWindow();
  app.advance(1ms);
  EXPECT_EQ(app.services->lookups, lookups + 2);
  std::thread(app.services->playersChanged).join();  // from the engine's thread
  qApp->sendPostedEvents();
  app.model.reset();  // the lookup it asked for outlives it and is dropped
  app.advance(1ms);
  EXPECT_EQ(app.services->lookups, lookups + 3);
}

TEST(AppModel, SettersAssignPersistPushAndRefreshAndTheEngineStaysOffUntilTheSetupIsDone) {
  AppHarness app;
  app.taps->setTrusted(false);
  app.store(AppModel::kEnabledKey, false);
  AppModel& model = app.launch();
  model.setEnabled(true);
  EXPECT_EQ(app.defaults().values.value("enabled"), true);
  EXPECT_FALSE(model.router().settings().enabled);
  QSignalSpy changes(&model, &AppModel::stateChanged);
  QSignalSpy completion(&model, &AppModel::accessSetupCompletedChanged);
  model.refreshPermissions();
  EXPECT_EQ(changes.count(), 0);  // copies from the router only when they differ
  app.taps->setTrusted(true);
  app.services->activeHandlers.at(0)();
  EXPECT_EQ(completion.count(), 1);
  EXPECT_EQ(app.defaults().values.value("accessSetupCompleted"), true);
  EXPECT_TRUE(model.router().settings().enabled && model.tapInstalled());

  int checks = app.apps->automationChecks();
  model.refreshPermissions();
  const int refreshChecks = app.apps->automationChecks() - checks;  // a push adds to these
  QSignalSpy enabledSpy(&model, &AppModel::enabledChanged);
  const int trustChecks = app.taps->trustChecks(), writes = app.defaults().writes;
  checks = app.apps->automationChecks();
  model.setEnabled(true);
  EXPECT_EQ(std::pair(enabledSpy.count(), app.defaults().writes),
            std::pair(qsizetype{1}, writes + 1));
  EXPECT_TRUE(app.apps->automationChecks() - checks > refreshChecks &&
              app.taps->trustChecks() > trustChecks);
  model.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(model.router().settings().whenNotRunning, WhenNotRunning::passThrough);
  model.setEnabled(false);
  EXPECT_FALSE(app.defaults().values.value("enabled").toBool(true) ||
               model.router().isTapInstalled() || model.tapInstalled());
  model.setEnabled(true);
  EXPECT_TRUE(model.tapInstalled());

  app.taps->setTrusted(false);  // the watchdog's next tick follows
  app.services->ticks.at(0)();
  EXPECT_FALSE(model.hasAccessibility() || model.router().isTapInstalled() || model.tapInstalled());
  app.taps->setRefuseTaps(true);  // a refused tap is tried again at each tick
  app.taps->setTrusted(true);
  app.services->ticks.at(0)();
  app.taps->setRefuseTaps(false);
  app.services->ticks.at(0)();
  EXPECT_TRUE(model.tapInstalled());
  const auto before = changes.count();
  app.apps->setAutomationStatus(kAutomationNotPermitted);
  model.refreshPermissions();
  EXPECT_EQ(changes.count() - before, 2);  // automationDenied, automationStatus; the tap stays
  model.requestAutomation();
  app.model.reset();  // the handler, the watchdog and the request hold the model weakly
  app.services->activeHandlers.at(0)();
  app.services->ticks.at(0)();
  app.advance(0ms);
}

TEST(AutomationRequest, LaunchesWhenNeededWaitsThirtyTenthsAsksThenRefreshesOnTheMainThread) {
  // Running, installed, launch outcome -> when asked (negative: on a real queue), launches.
  for (const auto& [running, installed, outcome, after, launches] :
       std::vector<std::tuple<bool, bool, LaunchOutcome, std::chrono::milliseconds, int>>{
           {true, true, LaunchOutcome::finished, 0ms, 0},
           {false, true, LaunchOutcome::finished, 0ms, 1},
           {false, true, LaunchOutcome::openError, 3000ms, 1},
           {false, false, LaunchOutcome::finished, 0ms, 0},
           {true, true, LaunchOutcome::finished, -1ms, 0}}) {
    AppHarness app;
    app.apps->setAutomationStatus(kAutomationProcessNotFound);
    AppModel& model = app.launch();
    // Automation requests that may prompt the user; the other checks never do.
    const auto prompts = [&] { return std::ranges::count(app.apps->automationPrompts(), true); };
    app.apps->setRunning(running);
    app.apps->setInstalled(installed);
    app.apps->setLaunchOutcome(outcome);
    app.apps->setAutomationStatus(kAutomationGranted);  // what the user will answer
    if (after < 0ms) app.services->queue = DispatchQueue::global(QualityOfService::userInitiated);
    bool onMainThread = false;
    QObject::connect(&model, &AppModel::accessSetupCompletedChanged,
                     [&] { onMainThread = QThread::currentThread() == qApp->thread(); });
    model.requestAutomation();
    model.requestAutomation();  // a second click while one runs must not launch again
    if (after >= 0ms) {
      EXPECT_EQ(prompts() + app.apps->launches(), 0);  // nothing on the caller's stack
      app.advance(std::max(after - 1ms, 0ms));
      EXPECT_EQ(prompts(), after > 0ms ? 0 : 1);
      app.advance(1ms);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.accessSetupCompleted(); }, 9000));
    EXPECT_EQ(prompts(), 1);
    EXPECT_EQ(app.apps->launches(), launches);
    EXPECT_TRUE(onMainThread);
  }
}

TEST(ReopenChannel, OneInstanceRunsAndTheOthersOfThisUserReopenItsWindow) {
  for (int round = 0; round < 20; ++round) {
    QTemporaryDir folder;
    std::barrier together(2);
    std::atomic<int> primaries = 0;
    const auto instance = [&] {
      ReopenChannel channel(folder.path());
      together.arrive_and_wait();
      primaries += channel.claim() == Claim::primary ? 1 : 0;
      together.arrive_and_wait();  // the winner holds on until both have claimed
    };
    { std::jthread first(instance), second(instance); }  // joined here
    ASSERT_EQ(primaries, 1) << "round " << round;
  }

  QTemporaryDir folder;
  QFile leftover(folder.path() + "/com.tonvara.app.reopen");  // from an instance that crashed
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  ReopenChannel running(folder.path());
  ASSERT_EQ(running.claim(), Claim::primary);
  delegate.attach(&running);
  EXPECT_TRUE(app.services->ticks.empty());
  EXPECT_EQ(ReopenChannel(folder.path()).claim(), Claim::handedOver);
  EXPECT_EQ(ReopenChannel(folder.path()).claim(), Claim::handedOver);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.window->shows == 2; }, 10000));
  delegate.applicationDidFinishLaunching();  // a second report starts nothing more
  EXPECT_EQ(std::pair(app.services->ticks.size(), app.window->made), std::pair(1UL, 1));
  // A listener that is not this user's is never taken for the running instance.
  EXPECT_EQ(ReopenChannel(folder.path(), ::geteuid() + 1).claim(), Claim::unanswered);
  QTest::qWait(50);
  EXPECT_EQ(app.window->shows, 2);
}

}  // namespace
}  // namespace tonvara::testing

// One QCoreApplication for the whole run, as the model and its services expect.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
