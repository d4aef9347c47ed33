#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "LoginItem.h"

namespace tonvara::testing {
namespace {

struct AutostartFolder : ::testing::Test {
  LoginItem::Location location(const QString& executable = "/opt/Ton vara/bin/tonvara") const {
    return {folder.path() + QStringLiteral("/autostart/com.tonvara.app.desktop"), executable};
  }

  QString entryText() const {
    QFile file(location().entryPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  void rewriteEntry(const QString& from, const QString& to) const {
    const QString text = entryText().replace(from, to);
    QFile file(location().entryPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
  }

  QTemporaryDir folder;
};

TEST_F(AutostartFolder, RegisteringWritesAnEntryForTheProgramAndUnregisteringRemovesIt) {
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kNotRegistered);

  EXPECT_EQ(LoginItem::setEnabled(location(), true), std::nullopt);
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kEnabled);
  const QString text = entryText();
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(text.contains("\nType=Application\n"));
  EXPECT_TRUE(text.contains("\nExec=\"/opt/Ton vara/bin/tonvara\"\n")) << text.toStdString();

  EXPECT_EQ(LoginItem::setEnabled(location(), true), std::nullopt);  // again: still one entry
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kEnabled);

  EXPECT_EQ(LoginItem::setEnabled(location(), false), std::nullopt);
  EXPECT_FALSE(QFile::exists(location().entryPath));
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kNotRegistered);
  EXPECT_EQ(LoginItem::setEnabled(location(), false), std::nullopt);  // never registered
}

TEST_F(AutostartFolder, AHiddenOrDisabledEntryIsNotEnabledUntilRegisteredAgain) {
  ASSERT_EQ(LoginItem::setEnabled(location(), true), std::nullopt);
  rewriteEntry("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false");
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kNotRegistered);

  ASSERT_EQ(LoginItem::setEnabled(location(), true), std::nullopt);
  rewriteEntry("Terminal=false", "Terminal=false\nHidden=true");
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kNotRegistered);

  ASSERT_EQ(LoginItem::setEnabled(location(), true), std::nullopt);
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kEnabled);
}

TEST_F(AutostartFolder, AnUnknownProgramLocationIsNotFound) {
  EXPECT_EQ(LoginItem::status(location("")), LoginItem::kNotFound);
  EXPECT_NE(LoginItem::setEnabled(location(""), true), std::nullopt);
  EXPECT_FALSE(QFile::exists(location().entryPath));
}

TEST_F(AutostartFolder, AFolderThatCannotBeMadeIsReportedAndLeavesNothingEnabled) {
  QFile blocker(folder.path() + QStringLiteral("/autostart"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
  blocker.close();
  const auto error = LoginItem::setEnabled(location(), true);
  ASSERT_NE(error, std::nullopt);
  EXPECT_FALSE(error->isEmpty());
  EXPECT_EQ(LoginItem::status(location()), LoginItem::kNotRegistered);
}

TEST(LoginItemExec, QuotesAndEscapesOnlyWhatTheDesktopEntryFormatRequires) {
  EXPECT_EQ(LoginItem::execArgument("/usr/bin/tonvara"), "/usr/bin/tonvara");
  EXPECT_EQ(LoginItem::execArgument("/opt/a b/tonvara"), "\"/opt/a b/tonvara\"");
  EXPECT_EQ(LoginItem::execArgument("/opt/$x/tonvara"), "\"/opt/\\\\$x/tonvara\"");
  EXPECT_EQ(LoginItem::execArgument("/opt/100%/tonvara"), "/opt/100%%/tonvara");
  EXPECT_EQ(LoginItem::execArgument("/opt/a\"b"), "\"/opt/a\\\\\"b\"");
}

TEST(LoginItemLocation, LivesInTheUsersAutostartFolderAndStartsThisProgram) {
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
  const auto location = LoginItem::defaultLocation();
  EXPECT_EQ(location.entryPath, "/tmp/cfg/autostart/com.tonvara.app.desktop");
  EXPECT_EQ(location.executable, QCoreApplication::applicationFilePath());
  qputenv("XDG_CONFIG_HOME", saved);
}

}  // namespace
}  // namespace tonvara::testing
