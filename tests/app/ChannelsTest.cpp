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

TEST(ReopenChannel, TheDelegateStartsOnceAndASecondInstanceOfThisUserReopensItsWindow) {
  QTemporaryDir folder;
  QFile leftover(folder.path() + "/com.tonvara.app.reopen");  // from an instance that crashed
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  AppHarness app;
  AppDelegate delegate(app.dependencies());
  EXPECT_EQ(app.routersBuiltWith.size(), 1U);  // the model exists before launching ends
  ReopenChannel running(folder.path());
  ASSERT_EQ(running.claim(), Claim::primary);
  delegate.attach(&running);
  EXPECT_TRUE(app.services->ticks.empty());
  EXPECT_EQ(ReopenChannel(folder.path()).claim(), Claim::handedOver);
  EXPECT_EQ(ReopenChannel(folder.path()).claim(), Claim::handedOver);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.window->shows == 2; }, 10000));
  delegate.applicationDidFinishLaunching();  // a second report starts nothing more
  EXPECT_EQ(app.services->ticks.size(), 1U);
  EXPECT_EQ(app.window->made, 1);
  // A listener that is not this user's is never taken for the running instance.
  EXPECT_EQ(ReopenChannel(folder.path(), ::geteuid() + 1).claim(), Claim::unanswered);
  QTest::qWait(50);
  EXPECT_EQ(app.window->shows, 2);
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
    const std::unique_ptr<QThread> first(QThread::create(instance)),
        second(QThread::create(instance));
    first->start();
    second->start();
    ASSERT_TRUE(first->wait(10000) && second->wait(10000));
    ASSERT_EQ(primaries, 1) << "round " << round;
  }
}

QByteArray feed(const QByteArray& versions) {
  QByteArray items;
  for (const QByteArray& version : versions.split(' ')) {
    items += R"(<item><enclosure url="https://e.org/" sparkle:version=")" + version + "\"/></item>";
  }
  return R"(<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/)"
         R"(sparkle"><channel>)" +
         items + "</channel></rss>";
}

TEST(UpdateCheck, NewerSameMalformedFailingAndUnreachableFeedsOverHttp) {
  const QString mine = BundleInfo::version(), failed = "Couldn't check for updates";
  // Served feed, HTTP status (0: nobody listens), public key -> first words of the result.
  const std::vector<std::tuple<QByteArray, int, QString, QString>> cases{
      {feed("0.1 99.10 99.9"), 200, "key", "Tonvara 99.10 is available; you have " + mine},
      {feed(mine.toUtf8() + " 0.0.1"), 200, "key", "You're up to date: Tonvara " + mine},
      {feed("99.0").chopped(9), 200, "key", failed},
      {feed("99.0"), 0, "key", failed},
      {feed("99.0"), 200, "REPLACE_ME", ""},  // updates are off: no check ever runs
  };
  for (const auto& [body, status, key, message] : cases) {
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
    app.services->info = {{"SUPublicEDKey", key}, {"SUFeedURL", url.toString()}};
    Updater& updater = app.build().updater();
    EXPECT_EQ(app.model->canCheckForUpdates(), !message.isEmpty());
    QSignalSpy canCheck(app.model.get(), &AppModel::canCheckForUpdatesChanged);
    QString result;
    QObject::connect(&updater, &Updater::checkFinished, [&](auto done) { result = done.message; });
    updater.checkForUpdates();
    updater.checkForUpdates();  // ignored while the first runs
    EXPECT_FALSE(app.model->canCheckForUpdates());
    if (!message.isEmpty()) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !result.isEmpty(); }, 9000));
    }
    EXPECT_EQ(result.left(message.size()), message);
    EXPECT_EQ(canCheck.count(), message.isEmpty() ? 0 : 2);
    EXPECT_EQ(app.model->canCheckForUpdates(), !message.isEmpty());
  }
}

}  // namespace
}  // namespace tonvara::testing
