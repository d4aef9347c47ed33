#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "AppHarness.h"
#include "BundleInfo.h"
#include "LoginItem.h"
#include "Permissions.h"
#include "Updater.h"

namespace tonvara::testing {
namespace {

struct SettingsFile : ::testing::Test {
  void write(const QByteArray& text, const QString& name = "com.tonvara.app.json") const {
    QFile out(dir + '/' + name);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text);
  }
  QByteArray read() const {
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  }
  QJsonObject stored() const { return QJsonDocument::fromJson(read()).object(); }
  QStringList names() const { return QDir(dir).entryList(QDir::Files | QDir::System, QDir::Name); }
  AppModel& launch(AppHarness& app) const {
    app.services->storedDefaults = std::make_unique<JsonUserDefaults>(path);
    return app.launch();
  }

  QTemporaryDir folder;
  QString dir = folder.path() + "/tonvara";
  QString path = dir + "/com.tonvara.app.json";
};

TEST_F(SettingsFile, RoundTripsExactKeysAndTypesAndReadingNeverRewrites) {
  AppHarness first;
  AppModel& model = launch(first);  // both granted: completes the setup
  model.setEnabled(false);
  model.setWhenNotRunning(WhenNotRunning::passThrough);
  model.requestAccessibility();
  model.setMusicAppId("org.example.Player.desktop");
  EXPECT_EQ(stored(), QJsonDocument::fromJson(R"({"accessSetupCompleted": true,
      "accessibilityRequested": true, "enabled": false, "whenNotRunning": "passThrough",
      "musicApplication": "org.example.Player.desktop"})")
                          .object());
  AppHarness second;
  AppModel& again = launch(second);
  EXPECT_EQ(std::tuple(again.enabled(), again.whenNotRunning(), again.hasRequestedAccessibility(),
                       again.musicAppId(), second.services->pushed),
            std::tuple(false, WhenNotRunning::passThrough, true, "org.example.Player.desktop",
                       QStringList{"org.example.Player.desktop"}));

  // Values of the wrong type read as defaults; only a write touches the file, keeping the rest.
  const QByteArray text = R"({"enabled": "no", "whenNotRunning": "PassThrough",
      "accessSetupCompleted": "true", "musicApplication": 7, "extra": [1]})";
  write(text);
  AppHarness third;
  third.taps->setTrusted(false);
  AppModel& odd = launch(third);
  EXPECT_EQ(std::tuple(odd.enabled(), odd.whenNotRunning(), odd.accessSetupCompleted(),
                       odd.musicAppId(), third.services->pushed),
            std::tuple(true, WhenNotRunning::launchMusic, false, "", QStringList{""}));
  EXPECT_EQ(read(), text);
  odd.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(stored().value("enabled"), "no");
  odd.setMusicAppId("");  // the default is no key at all
  EXPECT_FALSE(stored().contains("musicApplication"));
  EXPECT_EQ(stored().value("extra"), QJsonArray{1});
}

TEST_F(SettingsFile, AnythingButASmallJsonObjectIsKeptAsideOnceBeforeTheFirstWrite) {
  const QByteArray big = R"({"enabled": false, "pad": ")" + QByteArray(1 << 20, 'x') + "\"}";
  for (const auto& make : std::vector<std::function<void()>>{
           [&] { write("{\"enabled\": fals"); }, [&] { write("[false]"); }, [&] { write(big); },
           [&] { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
           [&] { QFile::link("/dev/zero", path); }}) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    make();
    // Temporary copies left by interrupted writes go at start; only ours.
    for (const QString name : {"com.tonvara.app.json.Ab12Cd", "x.json.Ab12Cd"}) write("{}", name);
    JsonUserDefaults defaults(path);  // neither blocks nor reads past the cap
    EXPECT_TRUE(defaults.object("enabled").isUndefined());
    EXPECT_EQ(names(), (QStringList{"com.tonvara.app.json", "x.json.Ab12Cd"}));
    ::testing::internal::CaptureStderr();
    defaults.setBool("enabled", true);
    defaults.setBool("accessibilityRequested", true);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(names().size(), 3);  // the unreadable copy is no temporary one
    EXPECT_TRUE(names()[1].startsWith("com.tonvara.app.json.unreadable-"));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_NE(said.find(names()[1].toStdString()), std::string::npos) << said;
    EXPECT_EQ(stored(), (QJsonObject{{"enabled", true}, {"accessibilityRequested", true}}));
  }
}

TEST_F(SettingsFile, AFailedWriteIsSaidOnceWithPathAndReasonAndTheChoiceLastsTheRun) {
  QFile blocker(dir);  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  AppHarness app;
  ::testing::internal::CaptureStderr();
  launch(app).setEnabled(false);  // the setup's completion is the first to fail
  app.model->setEnabled(false);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  EXPECT_NE(said.find((path + " (the folder " + dir).toStdString()), std::string::npos) << said;
  EXPECT_FALSE(app.model->enabled() || app.model->tapInstalled());
  EXPECT_EQ(app.services->defaults().object("enabled"), false);
}

TEST_F(SettingsFile, LaunchAtLoginRoundTripsThroughTheAutostartEntryAndSnapsBackOnFailure) {
  const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
  EXPECT_EQ(JsonUserDefaults::defaultPath("com.tonvara.app"), path);
  AppHarness app;
  AppModelDependencies linux = app.dependencies();
  linux.services = std::make_shared<LinuxPlatformServices>(std::make_unique<InMemoryDefaults>(),
                                                           app.taps, app.apps);
  AppModel model(linux);
  const QString entry = folder.path() + "/autostart/com.tonvara.app.desktop";
  for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
    model.setLoginEnabled(true);  // written afresh, and read at the next start
    EXPECT_TRUE(model.loginEnabled() && AppModel(linux).loginEnabled());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll(),
                     program = QCoreApplication::applicationFilePath().toUtf8();
    EXPECT_TRUE(text.contains("\nExec=" + LoginItem::execArgument(program).toUtf8()) &&
                text.contains("\nTryExec=" + program + '\n'))
        << text.constData();
    file.write(QByteArray(line) + '\n');
    file.close();
    EXPECT_EQ(linux.services->loginItemStatus(), 0) << line;
  }
  model.setLoginEnabled(false);
  EXPECT_FALSE(QFile::exists(entry) || model.loginEnabled());

  QDir(folder.path() + "/autostart").removeRecursively();
  QFile blocker(folder.path() + "/autostart");  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  model.setLoginEnabled(true);
  EXPECT_FALSE(model.loginEnabled());
  qputenv("XDG_CONFIG_HOME", savedConfig);
}

TEST(Permissions, TheSettingsButtonNamesTheProgramItOpensTheDesktopsOwnFirst) {
  // XDG_CURRENT_DESKTOP, installed programs -> the name shown, the program opened (first letter)
  for (const auto& [desktop, installed, name, opened] :
       std::vector<std::tuple<QString, QStringList, QString, QString>>{
           {"ubuntu:GNOME", {"systemsettings", "gnome-control-center"}, "GNOME Settings", "g"},
           {"KDE", {"gnome-control-center", "systemsettings5"}, "KDE System Settings", "s"},
           {"XFCE", {"gnome-control-center"}, "GNOME Settings", "g"},
           {"XFCE", {}, "", ""}}) {
    QStringList started;
    const auto find = [&](const QString& p) { return installed.contains(p) ? p : QString(); };
    const auto start = [&](auto& p, auto&) { return started << p.left(1), true; };
    const Permissions::Desktop fake{desktop, find, start, {}};
    Permissions::open(Permissions::kAccessibilityPaneAddress, fake);
    EXPECT_EQ(std::pair(Permissions::settingsAppName(fake), started.value(0)),
              std::pair(name, opened));
  }
}

// An update feed announcing the given versions.
QByteArray feed(const QByteArray& versions) {
  const QByteArray item = R"(<item><enclosure sparkle:version=")";
  return R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>)" +
         item + versions.split(' ').join("\"/></item>" + item) + "\"/></item></channel></rss>";
}

TEST(UpdateCheck, NewerSameMalformedFailingAndUnreachableFeedsOverHttp) {
  const QString mine = BundleInfo::version(), failed = "Couldn't check for updates";
  // Served feed, HTTP status (0: nobody listens), public key -> first words of the result.
  const std::vector<std::tuple<QByteArray, int, QString, QString>> cases{
      {feed("0.1 99.10 99.9"), 200, "key", "Tonvara 99.10 is available; you have " + mine},
      {feed(mine.toUtf8() + " 0.0.1"), 200, "key", "You're up to date: Tonvara " + mine},
      {feed("99.0").chopped(9), 200, "key", failed},
      {feed("99.0"), 500, "key", failed},
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
    AppHarness app;
    app.services->info = {{"SUPublicEDKey", key},
                          {"SUFeedURL", QString("http://127.0.0.1:%1/").arg(server.serverPort())}};
    if (status == 0) server.close();
    Updater& updater = app.build().updater();
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
    EXPECT_EQ(std::pair(canCheck.count(), app.model->canCheckForUpdates()),
              std::pair(message.isEmpty() ? qsizetype{0} : 2, !message.isEmpty()));
  }
}

}  // namespace
}  // namespace tonvara::testing
