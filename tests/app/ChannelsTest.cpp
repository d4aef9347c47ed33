#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <barrier>

#include "AppDelegate.h"
#include "AppHarness.h"
#include "BundleInfo.h"
#include "ReopenChannel.h"
#include "Updater.h"

namespace tonvara::testing {
namespace {

using Claim = ReopenChannel::Claim;
using Kind = UpdateCheckResult::Kind;

TEST(ReopenChannel, ASecondInstanceHandsOverAndTheRunningOneShowsItsWindow) {
  QTemporaryDir folder;
  QFile leftover(folder.path() + "/com.tonvara.app.reopen");  // from an instance that crashed
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  ReopenChannel running(folder.path());
  ASSERT_EQ(running.claim(), Claim::primary);
  delegate.attach(&running);
  EXPECT_EQ(ReopenChannel(folder.path()).claim(), Claim::handedOver);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.window->shows == 1; }, 10000));
  // A listener that is not this user's is never taken for the running instance.
  EXPECT_EQ(ReopenChannel(folder.path(), ::geteuid() + 1).claim(), Claim::unanswered);
  QTest::qWait(50);
  EXPECT_EQ(app.window->shows, 1);
}

TEST(ReopenChannel, OfTwoInstancesStartedAtOnceExactlyOneRuns) {
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
    const std::unique_ptr<QThread> first(QThread::create(instance));
    const std::unique_ptr<QThread> second(QThread::create(instance));
    first->start();
    second->start();
    ASSERT_TRUE(first->wait(10000) && second->wait(10000));
    ASSERT_EQ(primaries, 1) << "round " << round;
  }
}

QByteArray feed(const QByteArray& versions) {
  QByteArray items;
  for (const QByteArray& version : versions.split(' ')) {
    items += R"(<item><enclosure url="https://e.org/)" + version + R"(" sparkle:version=")" +
             version + "\"/></item>";
  }
  return R"(<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/)"
         R"(sparkle"><channel>)" +
         items + "</channel></rss>";
}

TEST(UpdateCheck, NewerSameMalformedFailingAndUnreachableFeedsOverHttp) {
  const QByteArray mine = BundleInfo::version().toUtf8();  // what the model's updater has
  const std::vector<std::tuple<QByteArray, int, Kind, QString>> cases{
      {feed("0.0.1 99.10.0 99.9"), 200, Kind::updateAvailable,
       "Tonvara 99.10.0 is available; you have " + mine + "."},
      {feed(mine + " 0.0.1"), 200, Kind::upToDate,
       "You're up to date: Tonvara " + mine + " is the newest"},
      {feed("99.0").chopped(9), 200, Kind::failed, "Couldn't check for updates"},
      {feed("99.0"), 404, Kind::failed, "Couldn't check for updates"},
      {feed("99.0"), 0, Kind::failed, "Couldn't check for updates"},  // nobody listens
  };
  for (const auto& [body, status, kind, message] : cases) {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, [&, body = body, status = status] {
      QTcpSocket* socket = server.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, [=] {
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
      });
    });
    const QUrl url(QString("http://127.0.0.1:%1/a.xml").arg(server.serverPort()));
    if (status == 0) {
      server.close();
    }
    AppHarness app;
    app.services->info = {{"SUPublicEDKey", "key"}, {"SUFeedURL", url.toString()}};
    Updater& updater = app.build().updater();
    QSignalSpy canCheck(app.model.get(), &AppModel::canCheckForUpdatesChanged);
    std::optional<UpdateCheckResult> result;
    QObject::connect(&updater, &Updater::checkFinished, [&](auto done) { result = done; });
    updater.checkForUpdates();
    updater.checkForUpdates();  // ignored while the first runs
    EXPECT_FALSE(app.model->canCheckForUpdates());
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(result->kind, kind) << message.toStdString();
    EXPECT_TRUE(result->message.startsWith(message)) << result->message.toStdString();
    EXPECT_EQ(canCheck.count(), 2);
    EXPECT_TRUE(app.model->canCheckForUpdates());
  }
}

}  // namespace
}  // namespace tonvara::testing
