#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include "AppHarness.h"
#include "JsonUserDefaults.h"
#include "LinuxPlatformServices.h"
#include "LoginItem.h"

namespace tonvara::testing {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

struct SettingsFile : ::testing::Test {
  QString path(const QString& name = "com.tonvara.app.json") const { return dir + '/' + name; }
  void write(const QByteArray& text, const QString& name = "com.tonvara.app.json") const {
    QFile out(path(name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text);
  }
  QByteArray read() const {
    QFile in(path());
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  }
  QJsonObject stored() const { return QJsonDocument::fromJson(read()).object(); }
  QStringList names() const { return QDir(dir).entryList(QDir::Files | QDir::System, QDir::Name); }
  AppModel& launch(AppHarness& app) const {
    app.services->storedDefaults = std::make_unique<JsonUserDefaults>(path());
    return app.launch();
  }
  // The number of lines said on the standard error while `run` ran, and the text.
  static std::pair<long, std::string> said(const std::function<void()>& run) {
    CaptureStderr();
    run();
    const std::string text = GetCapturedStderr();
    return {std::count(text.begin(), text.end(), '\n'), text};
  }

  QTemporaryDir folder;
  QString dir = folder.path() + "/tonvara";
};

TEST_F(SettingsFile, RoundTripsExactKeysAndTypesAndReadingNeverRewrites) {
  AppHarness first;
  AppModel& model = launch(first);  // both granted: completes the setup
  model.setEnabled(false);
  model.setWhenNotRunning(WhenNotRunning::passThrough);
  model.requestAccessibility();
  EXPECT_EQ(stored(), (QJsonObject{{"accessSetupCompleted", true},
                                   {"accessibilityRequested", true},
                                   {"enabled", false},
                                   {"whenNotRunning", "passThrough"}}));
  AppHarness second;
  AppModel& again = launch(second);
  EXPECT_EQ(std::tuple(again.enabled(), again.whenNotRunning(), again.hasRequestedAccessibility()),
            std::tuple(false, WhenNotRunning::passThrough, true));
  EXPECT_EQ(second.routersBuiltWith.at(0).enabled, false);

  // Values of the wrong type read as defaults; only a write touches the file, keeping the rest.
  const QByteArray text =
      R"({"enabled": "no", "whenNotRunning": "PassThrough", "accessSetupCompleted": "true",
          "extra": [1]})";
  write(text);
  AppHarness third;
  third.grantAccessibility(false);
  AppModel& odd = launch(third);
  EXPECT_EQ(std::tuple(odd.enabled(), odd.whenNotRunning(), odd.accessSetupCompleted()),
            std::tuple(true, WhenNotRunning::launchMusic, false));
  EXPECT_EQ(read(), text);
  odd.setWhenNotRunning(WhenNotRunning::passThrough);
  EXPECT_EQ(stored().value("enabled"), "no");
  EXPECT_EQ(stored().value("extra"), QJsonArray{1});
  EXPECT_EQ(names(), QStringList{"com.tonvara.app.json"});
}

TEST_F(SettingsFile, AnythingButASmallJsonObjectIsKeptAsideOnceBeforeTheFirstWrite) {
  const QByteArray big = R"({"enabled": false, "pad": ")" + QByteArray(1 << 20, 'x') + "\"}";
  const auto fifo = [&] { ::mkfifo(QFile::encodeName(path()).constData(), 0600); };
  for (const auto& make : std::vector<std::function<void()>>{
           [&] { write("{\"enabled\": fals"); }, [&] { write("[false]"); }, [&] { write(big); },
           fifo, [&] { QFile::link("/dev/zero", path()); }}) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    make();
    JsonUserDefaults defaults(path());  // neither blocks nor reads past the cap
    EXPECT_TRUE(defaults.object("enabled").isUndefined());
    EXPECT_EQ(names(), QStringList{"com.tonvara.app.json"});
    const auto [lines, text] = said([&] {
      defaults.setBool("enabled", true);
      defaults.setBool("accessibilityRequested", true);
    });
    ASSERT_EQ(names().size(), 2);
    EXPECT_TRUE(names()[1].startsWith("com.tonvara.app.json.unreadable-"));
    EXPECT_EQ(lines, 1);
    EXPECT_NE(text.find(names()[1].toStdString()), std::string::npos) << text;
    EXPECT_EQ(stored(), (QJsonObject{{"enabled", true}, {"accessibilityRequested", true}}));
  }
}

TEST_F(SettingsFile, AFailedWriteIsSaidOnceWithPathAndReasonAndTheChoiceLastsTheRun) {
  QFile blocker(dir);  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  AppHarness app;
  const auto [lines, text] = said([&] {
    launch(app).setEnabled(false);  // the setup's completion is the first to fail
    app.model->setEnabled(false);
  });
  EXPECT_EQ(lines, 1);
  EXPECT_NE(text.find(path().toStdString() + " (the folder " + dir.toStdString()),
            std::string::npos)
      << text;
  EXPECT_FALSE(app.model->enabled() || app.model->tapInstalled());
  EXPECT_EQ(app.services->defaults().object("enabled"), false);
}

TEST_F(SettingsFile, OnlyOurOwnLeftoverTemporaryCopiesAreRemovedAtStart) {
  QDir().mkpath(dir);
  const QStringList kept{"com.tonvara.app.json", "com.tonvara.app.json.Ab12Cd7",
                         "com.tonvara.app.json.unreadable-20260101-000000", "x.json.Ab12Cd"};
  for (const QString& name : kept + QStringList{"com.tonvara.app.json.Ab12Cd"}) {
    write("{\"enabled\": false}", name);
  }
  EXPECT_EQ(JsonUserDefaults(path()).object("enabled"), false);
  EXPECT_EQ(names(), kept);
}

TEST_F(SettingsFile, LaunchAtLoginRoundTripsThroughTheAutostartEntryAndSnapsBackOnFailure) {
  const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
  EXPECT_EQ(JsonUserDefaults::defaultPath("com.tonvara.app"), path());
  AppHarness app;
  AppModelDependencies linux = app.dependencies();
  linux.services = std::make_shared<LinuxPlatformServices>(std::make_unique<InMemoryDefaults>(),
                                                           app.taps, app.apps);
  AppModel model(linux);
  model.setLoginEnabled(true);
  EXPECT_TRUE(model.loginEnabled());
  const QString entry = folder.path() + "/autostart/com.tonvara.app.desktop";
  const QString exec = LoginItem::execArgument(QCoreApplication::applicationFilePath());
  for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_TRUE(file.readAll().contains("\nExec=" + exec.toUtf8() + '\n'));
    file.write(QByteArray(line) + '\n');
    file.close();
    EXPECT_EQ(linux.services->loginItemStatus(), LoginItem::kNotRegistered) << line;
    model.setLoginEnabled(true);  // written afresh
  }
  model.setLoginEnabled(false);
  EXPECT_FALSE(QFile::exists(entry) || model.loginEnabled());

  QDir(folder.path() + "/autostart").removeRecursively();
  QFile blocker(folder.path() + "/autostart");  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  static QStringList logged;
  const auto previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& line) { logged << line; });
  model.setLoginEnabled(true);
  qInstallMessageHandler(previous);
  EXPECT_EQ(logged.size(), 1);
  EXPECT_TRUE(logged.value(0).startsWith("LoginItem error: ")) << logged.value(0).toStdString();
  EXPECT_FALSE(model.loginEnabled());
  qputenv("XDG_CONFIG_HOME", savedConfig);
}

}  // namespace
}  // namespace tonvara::testing
