#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QUuid>

#include "AppDelegate.h"
#include "AppHarness.h"
#include "EventLoop.h"
#include "ReopenChannel.h"

namespace tonvara::testing {
namespace {

TEST(AppDelegate, BuildsTheModelAtOnceAndStartsItWhenLaunchingHasFinished) {
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  EXPECT_EQ(app.routersBuiltWith.size(), 1U);
  EXPECT_TRUE(app.services->activityReasons.isEmpty());

  delegate.attach(nullptr);
  EXPECT_TRUE(app.services->activityReasons.isEmpty());
  ASSERT_TRUE(runEventsUntil([&] { return !app.services->activityReasons.isEmpty(); }));
  EXPECT_TRUE(delegate.model().accessSetupCompleted());

  delegate.applicationDidFinishLaunching();  // a second report starts nothing more
  EXPECT_EQ(app.services->activityReasons.size(), 1);
  EXPECT_EQ(app.services->timersScheduled, 1);
}

TEST(AppDelegate, ReopeningShowsTheSameAccessWindowEvenAfterTheSetupIsDone) {
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  delegate.applicationDidFinishLaunching();
  ASSERT_TRUE(delegate.model().accessSetupCompleted());
  ASSERT_EQ(app.window->shows, 0);

  EXPECT_TRUE(delegate.applicationShouldHandleReopen(false));
  EXPECT_TRUE(delegate.applicationShouldHandleReopen(true));
  EXPECT_EQ(app.window->made, 1);
  EXPECT_EQ(app.window->shows, 2);
}

TEST(ReopenChannel, ASecondLaunchReachesTheRunningInstance) {
  const QString name = QStringLiteral("tonvara-test-") + QUuid::createUuid().toString(QUuid::Id128);
  EXPECT_FALSE(ReopenChannel::askRunningInstanceToReopen(name));

  AppHarness app;
  AppDelegate delegate(app.dependencies());
  ReopenChannel channel(name);
  ASSERT_TRUE(channel.listen());
  delegate.attach(&channel);
  QSignalSpy reopened(&channel, &ReopenChannel::reopenRequested);

  EXPECT_TRUE(ReopenChannel::askRunningInstanceToReopen(name));
  ASSERT_TRUE(runEventsUntil([&] { return reopened.count() == 1; }));
  EXPECT_EQ(app.window->shows, 1);
}

}  // namespace
}  // namespace tonvara::testing
