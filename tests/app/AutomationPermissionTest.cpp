#include <gtest/gtest.h>

#include <QThread>

#include "AppHarness.h"
#include "AutomationPermission.h"
#include "EventLoop.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

struct AutomationRequest : ::testing::Test {
  void request() {
    AutomationPermission::requestLaunchingMusicIfNeeded(
        app.services, std::string(MusicController::bundleID), [this] {
          ++completions;
          completedOnMainThread = QThread::currentThread() == qApp->thread();
        });
  }

  AppHarness app;
  int completions = 0;
  bool completedOnMainThread = false;
};

TEST_F(AutomationRequest, WithThePlayerRunningAsksAtOnceOnTheBackgroundQueue) {
  app.apps->setRunning(true);
  request();
  EXPECT_TRUE(app.services->automationRequests.empty());  // not on the caller's stack

  app.advance(0ms);
  EXPECT_TRUE(app.services->launchedUrls.empty());
  EXPECT_EQ(app.services->automationRequests,
            std::vector<std::string>{std::string(MusicController::bundleID)});
  EXPECT_EQ(app.apps->automationPrompts(), std::vector<bool>{true});
  EXPECT_EQ(completions, 1);
  EXPECT_TRUE(completedOnMainThread);
}

TEST_F(AutomationRequest, AnInstalledPlayerIsLaunchedInTheBackgroundThenAsked) {
  request();
  EXPECT_EQ(app.services->launchedUrls.size(), 1U);
  app.advance(0ms);
  EXPECT_EQ(app.services->automationRequests.size(), 1U);
  EXPECT_EQ(completions, 1);
}

TEST_F(AutomationRequest, APlayerThatNeverAppearsIsWaitedForThirtyChecksThenAskedAnyway) {
  app.apps->setLaunchOutcome(LaunchOutcome::openError);
  const int queriesBefore = app.apps->runningQueries();
  request();
  app.advance(2999ms);
  EXPECT_TRUE(app.services->automationRequests.empty());
  // One check before the launch, then the thirty of the wait.
  EXPECT_EQ(app.apps->runningQueries() - queriesBefore, 1 + 30);

  app.advance(1ms);
  EXPECT_EQ(app.services->automationRequests.size(), 1U);
  EXPECT_EQ(completions, 1);
}

TEST_F(AutomationRequest, AMissingPlayerIsNotLaunchedAndTheCompletionStillRuns) {
  app.apps->setInstalled(false);
  request();
  app.advance(0ms);
  EXPECT_TRUE(app.services->launchedUrls.empty());
  EXPECT_EQ(app.services->automationRequests.size(), 1U);
  EXPECT_EQ(completions, 1);
}

TEST_F(AutomationRequest, TheCompletionComesBackToTheMainThreadFromARealQueue) {
  app.services->queue = DispatchQueue::global(QualityOfService::userInitiated);
  app.apps->setRunning(true);
  request();
  ASSERT_TRUE(runEventsUntil([this] { return completions > 0; }));
  EXPECT_TRUE(completedOnMainThread);
  EXPECT_EQ(completions, 1);
}

TEST(RequestAutomation, TheCompletionRefreshesAModelThatStillLives) {
  AppHarness app;
  app.setAutomation(kAutomationProcessNotFound);
  AppModel& model = app.launch();
  ASSERT_FALSE(model.accessSetupCompleted());

  app.apps->setRunning(true);
  model.requestAutomation();
  app.setAutomation(kAutomationGranted);  // the user agreed in the dialog
  app.advance(0ms);
  EXPECT_EQ(model.automationStatus(), MusicController::AutomationAccess::granted);
  EXPECT_TRUE(model.accessSetupCompleted());
  EXPECT_TRUE(model.tapInstalled());
}

TEST(RequestAutomation, ACompletionAfterTheModelIsGoneDoesNothing) {
  AppHarness app;
  app.apps->setRunning(true);
  app.launch().requestAutomation();
  app.destroyModel();
  app.advance(0ms);
  EXPECT_EQ(app.services->automationRequests.size(), 1U);
}

}  // namespace
}  // namespace tonvara::testing
