#include <gtest/gtest.h>

#include <QSignalSpy>

#include "AppHarness.h"
#include "MediaKeyHolders.h"
#include "Permissions.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

TEST(AccessibilityWatchdog, WithdrawnTrustRemovesTheTapWithinOneTick) {
  AppHarness app;
  AppModel& model = app.launch();
  ASSERT_TRUE(model.tapInstalled());

  app.grantAccessibility(false);
  app.advance(999ms);
  EXPECT_TRUE(model.hasAccessibility());
  app.advance(1ms);
  EXPECT_FALSE(model.hasAccessibility());
  EXPECT_FALSE(model.router().isTapInstalled());
  EXPECT_FALSE(model.tapInstalled());
  EXPECT_TRUE(model.needsAttention());
  EXPECT_EQ(model.menuBarSymbolName(), "exclamationmark.triangle.fill");

  app.grantAccessibility(true);
  app.advance(1s);
  EXPECT_TRUE(model.hasAccessibility());
  EXPECT_TRUE(model.tapInstalled());
  EXPECT_EQ(model.menuBarSymbolName(), "music.note");
}

TEST(AccessibilityWatchdog, NeverAsksForTrustWhileDisabledOrBeforeTheSetupIsDone) {
  {
    AppHarness app;
    app.store(AppModel::kAccessSetupCompletedKey, true);
    app.store(AppModel::kEnabledKey, false);
    AppModel& model = app.launch();
    QSignalSpy changes(&model, &AppModel::stateChanged);
    const int trustChecks = app.taps->trustChecks();
    app.advance(10s);
    EXPECT_EQ(app.taps->trustChecks(), trustChecks);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(model.tapInstalled());
  }
  {
    AppHarness app;
    app.setAutomation(kAutomationProcessNotFound);  // the setup cannot complete
    AppModel& model = app.launch();
    ASSERT_FALSE(model.accessSetupCompleted());
    const int trustChecks = app.taps->trustChecks();
    app.advance(10s);
    EXPECT_EQ(app.taps->trustChecks(), trustChecks);
    EXPECT_FALSE(model.tapInstalled());
  }
}

TEST(AccessibilityWatchdog, RetriesEveryTickWhileTheTapIsRefused) {
  AppHarness app;
  app.taps->setRefuseTaps(true);
  AppModel& model = app.launch();
  ASSERT_TRUE(model.accessSetupCompleted());
  ASSERT_FALSE(model.tapInstalled());

  app.advance(3s);
  EXPECT_FALSE(model.tapInstalled());
  app.taps->setRefuseTaps(false);
  app.advance(1s);
  EXPECT_TRUE(model.tapInstalled());
}

TEST(AccessibilityWatchdog, StopsWithTheModel) {
  AppHarness app;
  app.launch();
  app.destroyModel();
  EXPECT_EQ(app.services->liveTimers(), 0);
  app.advance(5s);  // nothing left to tick, and nothing touches the gone model
}

TEST(RefreshPermissions, BecomingActiveRefreshesWhileTheModelLives) {
  AppHarness app;
  app.grantAccessibility(false);
  AppModel& model = app.launch();
  ASSERT_FALSE(model.accessSetupCompleted());

  app.grantAccessibility(true);
  app.services->becomeActive();
  EXPECT_TRUE(model.hasAccessibility());
  EXPECT_TRUE(model.accessSetupCompleted());
  EXPECT_TRUE(model.tapInstalled());

  app.destroyModel();
  app.services->becomeActive();
}

TEST(RequestAccessibility, RecordsTheRequestAndLeavesTrustToTheNextRefresh) {
  AppHarness app;
  app.grantAccessibility(false);
  AppModel& model = app.launch();
  QSignalSpy spy(&model, &AppModel::hasRequestedAccessibilityChanged);

  app.grantAccessibility(true);
  model.requestAccessibility();
  model.requestAccessibility();
  EXPECT_TRUE(model.hasRequestedAccessibility());
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(app.defaults().values.value("accessibilityRequested"), QJsonValue(true));
  EXPECT_EQ(app.services->accessibilityPrompts, 2);
  EXPECT_FALSE(model.hasAccessibility());

  model.refreshPermissions();
  EXPECT_TRUE(model.hasAccessibility());
}

// A desktop where only the listed programs are installed; records what was started.
struct RecordingDesktop {
  QString desktopName;
  QStringList installed;
  std::vector<QStringList> started;  // program, then arguments

  Permissions::Desktop desktop() {
    return Permissions::Desktop{
        desktopName,
        [this](const QString& program) {
          return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
        },
        [this](const QString& program, const QStringList& arguments) {
          started.push_back(QStringList{program} + arguments);
          return true;
        },
        QUrl(QStringLiteral("file:///usr/share/doc/tonvara/README.md#freeing-the-media-keys")),
    };
  }
};

TEST(PermissionsOpen, PrivacyPanesOpenTheDesktopsKeyboardShortcuts) {
  RecordingDesktop gnome{"ubuntu:GNOME", {"gnome-control-center", "xdg-open"}, {}};
  Permissions::open(QLatin1String(Permissions::kAccessibilityPaneAddress), gnome.desktop());
  ASSERT_EQ(gnome.started.size(), 1U);
  EXPECT_EQ(gnome.started[0], (QStringList{"/usr/bin/gnome-control-center", "keyboard"}));

  RecordingDesktop kde{"KDE", {"gnome-control-center", "systemsettings"}, {}};
  Permissions::open(QLatin1String(Permissions::kAutomationPaneAddress), kde.desktop());
  ASSERT_EQ(kde.started.size(), 1U);
  EXPECT_EQ(kde.started[0], (QStringList{"/usr/bin/systemsettings", "kcm_keys"}));

  RecordingDesktop other{"", {"xfce4-keyboard-settings"}, {}};
  Permissions::open(QLatin1String(Permissions::kAutomationPaneAddress), other.desktop());
  ASSERT_EQ(other.started.size(), 1U);
  EXPECT_EQ(other.started[0], QStringList{"/usr/bin/xfce4-keyboard-settings"});
}

TEST(PermissionsOpen, WithoutShortcutSettingsTheReadmeSectionOpens) {
  RecordingDesktop bare{"", {"xdg-open"}, {}};
  Permissions::open(QLatin1String(Permissions::kAccessibilityPaneAddress), bare.desktop());
  ASSERT_EQ(bare.started.size(), 1U);
  EXPECT_EQ(bare.started[0],
            (QStringList{"/usr/bin/xdg-open",
                         "file:///usr/share/doc/tonvara/README.md#freeing-the-media-keys"}));

  RecordingDesktop nothing{"", {}, {}};
  Permissions::open(QLatin1String(Permissions::kAccessibilityPaneAddress), nothing.desktop());
  EXPECT_TRUE(nothing.started.empty());
}

TEST(PermissionsOpen, OtherUrlsOpenAsTheyAreAndNonUrlsDoNothing) {
  RecordingDesktop desktop{"GNOME", {"xdg-open", "gnome-control-center"}, {}};
  Permissions::open(QStringLiteral("https://example.org/help"), desktop.desktop());
  Permissions::open(QStringLiteral("not a url"), desktop.desktop());
  Permissions::open(QStringLiteral(""), desktop.desktop());
  Permissions::open(QStringLiteral("/tmp/no-scheme"), desktop.desktop());
  ASSERT_EQ(desktop.started.size(), 1U);
  EXPECT_EQ(desktop.started[0], (QStringList{"/usr/bin/xdg-open", "https://example.org/help"}));
}

TEST(MediaKeyHolderAdvice, NamesTheRunningHolderAndHowToFreeIt) {
  using MediaKeyHolders::adviceFor;
  const auto gnome = adviceFor({{"systemd", "gsd-media-keys", "bash"}, "GNOME", "x11"});
  EXPECT_TRUE(gnome.body.contains("gsd-media-keys"));
  EXPECT_TRUE(gnome.body.contains("gsettings set org.gnome.settings-daemon.plugins.media-keys"));

  const auto kde = adviceFor({{"kglobalaccel5"}, "", "x11"});
  EXPECT_TRUE(kde.body.contains("kglobalaccel"));
  EXPECT_TRUE(kde.body.contains("System Settings → Shortcuts"));

  const auto xfce = adviceFor({{"panel-7-pulseau"}, "", "x11"});
  EXPECT_TRUE(xfce.body.contains("PulseAudio panel plugin"));
}

TEST(MediaKeyHolderAdvice, FallsBackOnTheDesktopThenOnGeneralAdvice) {
  using MediaKeyHolders::adviceFor;
  EXPECT_TRUE(adviceFor({{"bash"}, "XFCE", "x11"}).body.contains("probably Xfce"));
  EXPECT_TRUE(adviceFor({{"bash"}, "", "x11"}).body.contains("keyboard settings"));
  EXPECT_TRUE(adviceFor({{"gsd-media-keys"}, "GNOME", "wayland"}).body.contains("X11"));
  EXPECT_EQ(adviceFor({{}, "", ""}).title, "Tonvara can't take the media keys");
}

}  // namespace
}  // namespace tonvara::testing
