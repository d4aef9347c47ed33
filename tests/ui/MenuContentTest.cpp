#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "FakeUiModel.h"
#include "MenuBarLabel.h"
#include "MenuContent.h"

namespace tonvara::ui {
namespace {

using testing::FakeUiModel;

QStringList titles(const QMenu& menu) {
  QStringList result;
  for (const QAction* action : menu.actions()) {
    result << (action->isSeparator() ? QStringLiteral("---") : action->text());
  }
  return result;
}

class MenuContentTest : public ::testing::Test {
 protected:
  FakeUiModel model;
  MenuContent menu{model};
};

TEST_F(MenuContentTest, ShowsTheNineItemsInOrderWithTheirExactTitles) {
  EXPECT_EQ(titles(menu), (QStringList{"Set Up Permissions…", "---", "Enabled",
                                       "When Music isn't running", "Launch at Login", "---",
                                       "About Tonvara", "Check for Updates…", "Quit Tonvara"}));
  EXPECT_EQ(menu.actions().at(3)->menu(), &menu.whenNotRunningMenu());
  EXPECT_EQ(titles(menu.whenNotRunningMenu()),
            (QStringList{"Launch Music", "Pass keys to other apps"}));
  EXPECT_TRUE(menu.setupItem().text().endsWith(QChar(0x2026)));
}

TEST_F(MenuContentTest, OnlyQuitHasAShortcutAndItStaysInTheMenu) {
  for (QAction* action : menu.actions()) {
    if (action != &menu.quitItem()) {
      EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    }
  }
  EXPECT_EQ(menu.quitItem().shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(menu.quitItem().menuRole(), QAction::NoRole);
}

TEST_F(MenuContentTest, ChecksShowTheModelsState) {
  model.publish(
      {.enabled = false, .whenNotRunning = WhenNotRunning::passThrough, .loginEnabled = true});
  EXPECT_FALSE(menu.enabledItem().isChecked());
  EXPECT_FALSE(menu.launchMusicItem().isChecked());
  EXPECT_TRUE(menu.passThroughItem().isChecked());
  EXPECT_TRUE(menu.launchAtLoginItem().isChecked());

  model.publish({.enabled = true, .whenNotRunning = WhenNotRunning::launchMusic});
  EXPECT_TRUE(menu.enabledItem().isChecked());
  EXPECT_TRUE(menu.launchMusicItem().isChecked());
  EXPECT_FALSE(menu.passThroughItem().isChecked());
  EXPECT_FALSE(menu.launchAtLoginItem().isChecked());
}

TEST_F(MenuContentTest, TogglesCallTheSettersOnceWithTheNewValue) {
  menu.enabledItem().trigger();
  EXPECT_EQ(model.calls.setEnabled, 1);
  EXPECT_FALSE(model.state.enabled);
  EXPECT_FALSE(menu.enabledItem().isChecked());

  menu.passThroughItem().trigger();
  EXPECT_EQ(model.calls.setWhenNotRunning, 1);
  EXPECT_EQ(model.state.whenNotRunning, WhenNotRunning::passThrough);
  EXPECT_TRUE(menu.passThroughItem().isChecked());
  EXPECT_FALSE(menu.launchMusicItem().isChecked());

  menu.launchAtLoginItem().trigger();
  EXPECT_EQ(model.calls.setLoginEnabled, 1);
  EXPECT_TRUE(menu.launchAtLoginItem().isChecked());
}

TEST_F(MenuContentTest, AFailedSetterLeavesTheCheckWhereTheModelPutIt) {
  model.loginOutcome = false;
  menu.launchAtLoginItem().trigger();
  EXPECT_EQ(model.calls.setLoginEnabled, 1);
  EXPECT_FALSE(menu.launchAtLoginItem().isChecked());
}

TEST_F(MenuContentTest, ButtonsCallTheirOperations) {
  menu.setupItem().trigger();
  menu.aboutItem().trigger();
  menu.checkForUpdatesItem().trigger();
  menu.quitItem().trigger();
  EXPECT_EQ(model.calls.showAccessWindow, 1);
  EXPECT_EQ(model.calls.showAbout, 1);
  EXPECT_EQ(model.calls.checkForUpdates, 1);
  EXPECT_EQ(model.calls.quit, 1);
}

TEST_F(MenuContentTest, UpdateItemIsGreyedWhileTheUpdaterCannotCheck) {
  model.publish({.canCheckForUpdates = false});
  EXPECT_FALSE(menu.checkForUpdatesItem().isEnabled());
  menu.checkForUpdatesItem().trigger();
  EXPECT_EQ(model.calls.checkForUpdates, 0);

  model.publish({.canCheckForUpdates = true});
  EXPECT_TRUE(menu.checkForUpdatesItem().isEnabled());
}

TEST_F(MenuContentTest, EveryOpeningRefreshesThePermissions) {
  QSignalSpy opened(&menu, &QMenu::aboutToShow);
  for (int i = 0; i < 2; ++i) {
    menu.popup(QPoint(10, 10));
    QTest::qWait(0);
    menu.close();
  }
  EXPECT_EQ(opened.count(), 2);
  EXPECT_EQ(model.calls.refreshPermissions, 2);
}

TEST_F(MenuContentTest, OpeningShowsStateChangedWhileClosed) {
  model.state.enabled = false;  // changed without a notification
  menu.popup(QPoint(10, 10));
  EXPECT_FALSE(menu.enabledItem().isChecked());
  menu.close();
}

TEST_F(MenuContentTest, CtrlQWhileTheMenuIsOpenQuitsOnce) {
  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(model.calls.quit, 1);
  menu.close();
}

TEST_F(MenuContentTest, PlainQDoesNotQuit) {
  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::keyClick(&menu, Qt::Key_Q);
  QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(model.calls.quit, 0);
  menu.close();
}

TEST(MenuBarLabelTest, IconFollowsTheModelsSymbol) {
  FakeUiModel model;
  MenuContent menu(model);
  MenuBarLabel label(model, menu);
  EXPECT_EQ(label.symbolName(), "exclamationmark.triangle.fill");
  EXPECT_FALSE(label.trayIcon().icon().isNull());
  EXPECT_TRUE(label.trayIcon().icon().isMask());
  EXPECT_EQ(label.trayIcon().contextMenu(), &menu);

  model.publish({.enabled = true, .hasAccessibility = true});
  EXPECT_EQ(label.symbolName(), "music.note");

  menu.enabledItem().trigger();
  EXPECT_EQ(label.symbolName(), "music.note.slash");
}

}  // namespace
}  // namespace tonvara::ui

namespace tonvara::ui {
namespace {

TEST(MenuGrabTest, OpenMenuCanBeCaptured) {
  testing::FakeUiModel model;
  model.state.canCheckForUpdates = false;
  MenuContent menu(model);
  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  const QPixmap shot = menu.grab();
  EXPECT_GT(shot.height(), 9 * 10);
  if (const QByteArray dir = qgetenv("TONVARA_UI_GRAB_DIR"); !dir.isEmpty()) {
    shot.save(QString::fromLocal8Bit(dir) + "/menu.png");
  }
  menu.close();
}

}  // namespace
}  // namespace tonvara::ui

#include <QMessageBox>

#include "AboutBox.h"

namespace tonvara::ui {
namespace {

TEST(AboutBoxTest, ShowsTheApplicationsNameAndVersionInFront) {
  QApplication::setApplicationName("Tonvara");
  QApplication::setApplicationVersion("1.2.3");
  showStandardAboutBox();
  QMessageBox* box = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* candidate = qobject_cast<QMessageBox*>(widget); candidate && candidate->isVisible()) {
      box = candidate;
    }
  }
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().contains("Tonvara"));
  EXPECT_TRUE(box->text().contains("1.2.3"));
  EXPECT_FALSE(box->iconPixmap().isNull());
  EXPECT_FALSE(box->isModal());
  box->close();
}

}  // namespace
}  // namespace tonvara::ui
