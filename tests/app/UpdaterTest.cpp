#include <gtest/gtest.h>

#include <QSignalSpy>

#include "AppHarness.h"
#include "Appcast.h"
#include "EventLoop.h"
#include "LocalHttpServer.h"
#include "Updater.h"

namespace tonvara::testing {
namespace {

QByteArray appcast(const QByteArray& items) {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel><title>Tonvara</title>)" +
         items + "</channel></rss>";
}

QByteArray item(const QByteArray& version, const QByteArray& shortVersion = {}) {
  QByteArray text = "<item><title>Tonvara " + version + "</title><sparkle:version>" + version +
                    "</sparkle:version>";
  if (!shortVersion.isEmpty()) {
    text += "<sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString>";
  }
  return text + "<enclosure url=\"https://example.org/tonvara-" + version +
         ".tar.gz\" length=\"1\" type=\"application/octet-stream\"/></item>";
}

TEST(Appcast, TheNewestItemWinsWhateverTheOrder) {
  const auto items = parseAppcast(appcast(item("1.9") + item("1.10", "1.10 beta") + item("1.2")));
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 3U);
  const auto newest = newestItem(*items);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->version, "1.10");
  EXPECT_EQ(newest->displayVersion, "1.10 beta");
  EXPECT_EQ(newest->downloadUrl, QUrl("https://example.org/tonvara-1.10.tar.gz"));
}

TEST(Appcast, VersionsOnTheEnclosureCount) {
  const auto items = parseAppcast(appcast(
      R"(<item><enclosure url="https://example.org/t.tar.gz" sparkle:version="2.0.1"/></item>)"));
  ASSERT_TRUE(items);
  EXPECT_EQ(items->at(0).version, "2.0.1");
}

TEST(Appcast, DocumentsWithoutVersionedItemsAreNotFeeds) {
  EXPECT_FALSE(parseAppcast("not xml at all"));
  EXPECT_FALSE(parseAppcast(appcast("")));
  EXPECT_FALSE(parseAppcast(appcast("<item><title>no version</title></item>")));
  EXPECT_FALSE(parseAppcast("<html><body>rss</body></html>"));
  EXPECT_FALSE(parseAppcast(appcast(item("1.0")).chopped(10)));
}

TEST(Appcast, VersionsCompareByTheirNumbers) {
  EXPECT_GT(compareVersions("1.10", "1.9"), 0);
  EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
  EXPECT_LT(compareVersions("1.0b1", "1.0"), 0);
  EXPECT_LT(compareVersions("0.1.0", "0.2"), 0);
  EXPECT_GT(compareVersions("2", "1.99.99"), 0);
}

struct UpdateCheck : ::testing::Test {
  std::optional<UpdateCheckResult> check(const QUrl& feed, const QString& version = "1.2.0") {
    Updater updater(true, feed, version);
    std::optional<UpdateCheckResult> result;
    QObject::connect(&updater, &Updater::checkFinished,
                     [&](const UpdateCheckResult& finished) { result = finished; });
    QSignalSpy canCheck(&updater, &Updater::canCheckForUpdatesChanged);
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates());
    updater.checkForUpdates();  // ignored while the first runs
    EXPECT_TRUE(runEventsUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(updater.canCheckForUpdates());
    EXPECT_EQ(canCheck.count(), 2);
    return result;
  }

  LocalHttpServer server;
};

TEST_F(UpdateCheck, ANewerReleaseIsOffered) {
  server.serve(appcast(item("1.1.0") + item("1.3.0")));
  const auto result = check(server.url("/appcast.xml"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, UpdateCheckResult::Kind::updateAvailable);
  EXPECT_EQ(result->newestVersion, "1.3.0");
  EXPECT_EQ(result->downloadUrl, QUrl("https://example.org/tonvara-1.3.0.tar.gz"));
  EXPECT_EQ(result->message, "Tonvara 1.3.0 is available; you have 1.2.0.");
  EXPECT_EQ(server.requests(), 1);
}

TEST_F(UpdateCheck, TheSameReleaseIsUpToDate) {
  server.serve(appcast(item("1.2.0") + item("1.0")));
  const auto result = check(server.url("/appcast.xml"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, UpdateCheckResult::Kind::upToDate);
  EXPECT_EQ(result->message, "You're up to date: Tonvara 1.2.0 is the newest version.");
}

TEST_F(UpdateCheck, AMalformedFeedFails) {
  server.serve("<rss><channel><item><title>broken");
  const auto result = check(server.url("/appcast.xml"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, UpdateCheckResult::Kind::failed);
  EXPECT_TRUE(result->message.startsWith("Couldn't check for updates"));
}

TEST_F(UpdateCheck, AnErrorStatusFails) {
  server.serve("gone", 404);
  const auto result = check(server.url("/appcast.xml"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, UpdateCheckResult::Kind::failed);
}

TEST_F(UpdateCheck, AnUnreachableFeedFails) {
  const auto result = check(LocalHttpServer::unreachableUrl());
  ASSERT_TRUE(result);
  EXPECT_EQ(result->kind, UpdateCheckResult::Kind::failed);
}

TEST(Updater, AnUnstartedUpdaterNeverChecks) {
  LocalHttpServer server;
  server.serve(appcast(item("9.0")));
  Updater updater(false, server.url("/appcast.xml"), "1.0");
  EXPECT_FALSE(updater.canCheckForUpdates());
  updater.checkForUpdates();
  runEventsUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(server.requests(), 0);
}

TEST(AppModelUpdates, TheModelMirrorsTheUpdaterWhileACheckRuns) {
  LocalHttpServer server;
  server.serve(appcast(item("0.0.1")));
  AppHarness app;
  app.services->info = {{"SUPublicEDKey", "key"}, {"SUFeedURL", server.url("/a.xml").toString()}};
  AppModel& model = app.build();
  ASSERT_TRUE(model.canCheckForUpdates());
  QSignalSpy spy(&model, &AppModel::canCheckForUpdatesChanged);

  bool finished = false;
  QObject::connect(&model.updater(), &Updater::checkFinished, [&] { finished = true; });
  model.updater().checkForUpdates();
  EXPECT_FALSE(model.canCheckForUpdates());
  ASSERT_TRUE(runEventsUntil([&] { return finished; }));
  EXPECT_TRUE(model.canCheckForUpdates());
  EXPECT_EQ(spy.count(), 2);
}

}  // namespace
}  // namespace tonvara::testing
