#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "AppHarness.h"
#include "JsonUserDefaults.h"

namespace tonvara::testing {
namespace {

struct SettingsFile : ::testing::Test {
  QString path() const { return folder.path() + QStringLiteral("/tonvara/com.tonvara.app.json"); }

  void write(const QByteArray& text) const {
    QDir().mkpath(folder.path() + QStringLiteral("/tonvara"));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QByteArray read() const {
    QFile file(path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QJsonObject readObject() const { return QJsonDocument::fromJson(read()).object(); }

  QStringList keptAside() const {
    return QDir(folder.path() + QStringLiteral("/tonvara"))
        .entryList({QStringLiteral("com.tonvara.app.json.unreadable-*")}, QDir::Files);
  }

  // A harness whose settings live in the file.
  std::unique_ptr<AppHarness> harness() const {
    auto app = std::make_unique<AppHarness>();
    app->services->storedDefaults = std::make_unique<JsonUserDefaults>(path());
    return app;
  }

  QTemporaryDir folder;
};

TEST_F(SettingsFile, EveryWriteSurvivesAReloadWithExactKeysAndTypes) {
  {
    auto app = harness();
    AppModel& model = app->launch();  // both granted: completes the setup
    model.setEnabled(false);
    model.setWhenNotRunning(WhenNotRunning::passThrough);
    model.requestAccessibility();
  }
  const QJsonObject stored = readObject();
  EXPECT_EQ(stored.keys(), (QStringList{"accessSetupCompleted", "accessibilityRequested", "enabled",
                                        "whenNotRunning"}));
  EXPECT_EQ(stored.value("enabled"), QJsonValue(false));
  EXPECT_EQ(stored.value("whenNotRunning"), QJsonValue("passThrough"));
  EXPECT_EQ(stored.value("accessSetupCompleted"), QJsonValue(true));
  EXPECT_EQ(stored.value("accessibilityRequested"), QJsonValue(true));

  auto app = harness();
  app->grantAccessibility(false);
  app->setAutomation(kAutomationProcessNotFound);
  AppModel& model = app->build();
  EXPECT_FALSE(model.enabled());
  EXPECT_EQ(model.whenNotRunning(), WhenNotRunning::passThrough);
  EXPECT_TRUE(model.accessSetupCompleted());
  EXPECT_TRUE(model.hasRequestedAccessibility());
  EXPECT_EQ(app->routersBuiltWith.at(0).enabled, false);
}

TEST_F(SettingsFile, WrongTypedValuesReadAsDefaultsAndReadingNeverRewrites) {
  const QByteArray text =
      R"({"enabled": "no", "whenNotRunning": 7, "accessSetupCompleted": "true", "extra": [1]})";
  write(text);
  auto app = harness();
  app->grantAccessibility(false);
  AppModel& model = app->launch();
  EXPECT_TRUE(model.enabled());
  EXPECT_EQ(model.whenNotRunning(), WhenNotRunning::launchMusic);
  EXPECT_FALSE(model.accessSetupCompleted());
  EXPECT_EQ(read(), text);

  // A write replaces its own key and keeps the rest.
  model.setWhenNotRunning(WhenNotRunning::passThrough);
  const QJsonObject stored = readObject();
  EXPECT_EQ(stored.value("whenNotRunning"), QJsonValue("passThrough"));
  EXPECT_EQ(stored.value("enabled"), QJsonValue("no"));
  EXPECT_EQ(stored.value("extra"), QJsonValue(QJsonArray{1}));
  EXPECT_TRUE(keptAside().isEmpty());
}

TEST_F(SettingsFile, AnUnreadableFileIsKeptAsideOnceBeforeTheFirstWrite) {
  for (const QByteArray& text : {QByteArray("{\"enabled\": fals"), QByteArray("[true]")}) {
    QDir(folder.path() + QStringLiteral("/tonvara")).removeRecursively();
    write(text);
    JsonUserDefaults defaults(path());
    EXPECT_TRUE(defaults.object("enabled").isUndefined());
    EXPECT_EQ(read(), text);  // untouched until something is stored

    ::testing::internal::CaptureStderr();
    defaults.setBool("enabled", false);
    defaults.setObject("whenNotRunning", QJsonValue("passThrough"));
    const std::string said = ::testing::internal::GetCapturedStderr();

    const QStringList aside = keptAside();
    ASSERT_EQ(aside.size(), 1);
    QFile kept(folder.path() + QStringLiteral("/tonvara/") + aside[0]);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), text);
    EXPECT_EQ(readObject(), (QJsonObject{{"enabled", false}, {"whenNotRunning", "passThrough"}}));
    EXPECT_NE(said.find(aside[0].toStdString()), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  }
}

TEST_F(SettingsFile, AMissingFolderIsCreatedOnTheFirstWrite) {
  JsonUserDefaults defaults(path());
  EXPECT_TRUE(defaults.object("enabled").isUndefined());
  EXPECT_FALSE(QFile::exists(path()));
  defaults.setBool("enabled", true);
  EXPECT_EQ(readObject(), (QJsonObject{{"enabled", true}}));
}

TEST(SettingsLocation, FollowsXdgConfigHomeWhenAbsolute) {
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
  EXPECT_EQ(JsonUserDefaults::defaultPath("com.tonvara.app"),
            "/tmp/cfg/tonvara/com.tonvara.app.json");
  qputenv("XDG_CONFIG_HOME", "relative/cfg");
  EXPECT_EQ(JsonUserDefaults::defaultPath("com.tonvara.app"),
            QDir::homePath() + "/.config/tonvara/com.tonvara.app.json");
  qputenv("XDG_CONFIG_HOME", saved);
}

}  // namespace
}  // namespace tonvara::testing
