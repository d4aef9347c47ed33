#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <cmath>

#include "AboutBox.h"
#include "AccessView.h"
#include "FakeUiModel.h"
#include "MenuBarLabel.h"
#include "MenuContent.h"
#include "QtThreadSanitizerSuppressions.h"
#include "Symbols.h"
#include "TrayAvailability.h"

namespace tonvara::ui {
namespace {

// Items joined by "|": title, "[x]"/"[ ]" when checkable, "(off)" disabled, then shortcut, submenu.
QString items(const QMenu& menu) {
  QStringList shown;
  for (const QAction* a : menu.actions()) {
    shown << (a->isSeparator() ? "-" : a->text()) +
                 (a->isCheckable() ? a->isChecked() ? " [x]" : " [ ]" : "") +
                 (a->isEnabled() ? "" : " (off)") + a->shortcut().toString() +
                 (a->menu() ? "{" + items(*a->menu()) + "}" : "");
  }
  return shown.join('|');
}

// WCAG contrast ratio of two colours.
double contrast(QRgb a, QRgb b) {
  const auto luminance = [](QRgb c) {
    const auto linear = [](int v) {
      return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c)) + .05;
  };
  return std::max(luminance(a) / luminance(b), luminance(b) / luminance(a));
}

struct MenuTest : ::testing::Test {
  testing::FakeUiModel model;
  MenuContent menu{model};
};

TEST_F(MenuTest, EachItemMakesItsOneCallAndThenShowsWhatTheModelPublished) {
  model.loginOutcome = false;  // registration fails
  for (auto [item, call] : {std::pair{&menu.setupItem(), "showAccessWindow"},
                            {&menu.enabledItem(), "setEnabled"},
                            {&menu.passThroughItem(), "setWhenNotRunning"},
                            {&menu.launchAtLoginItem(), "setLoginEnabled"},
                            {&menu.aboutItem(), "showAbout"},
                            {&menu.checkForUpdatesItem(), "checkForUpdates"},
                            {&menu.quitItem(), "quit"}}) {
    auto expected = model.calls;
    ++expected[call];
    item->trigger();
    EXPECT_EQ(model.calls, expected) << call;
  }
  EXPECT_TRUE(
      items(menu).contains("Enabled [ ]|When Music isn't running{Launch Music [ ]|Pass "
                           "keys to other apps [x]}|Launch at Login [ ]"));
  model.publish({.canCheckForUpdates = false});  // redrawn without being opened
  EXPECT_TRUE(items(menu).contains("Enabled [x]|When") && items(menu).contains("Updates… (off)"));
}

TEST_F(MenuTest, NineItemsInOrderReadAfreshOnEachOpeningAndCtrlQAloneQuitsOnce) {
  EXPECT_EQ(items(MenuContent(model, nullptr, macTexts())),
            "Set Up Permissions…|-|Enabled [x]|When Music isn't running{Launch Music [x]|Pass keys "
            "to other apps [ ]}|Launch at Login [ ]|-|About Tonvara|Check for Updates…|Quit "
            "TonvaraCtrl+Q");
  model.state = {.enabled = false,  // changed without a notification
                 .whenNotRunning = WhenNotRunning::passThrough,
                 .loginEnabled = true,
                 .canCheckForUpdates = false,
                 .player = "Rhythmbox"};
  menu.popup({10, 10});
  menu.close();
  menu.popup({10, 10});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  EXPECT_EQ(model.calls["refreshPermissions"], 2);
  EXPECT_EQ(
      items(menu),
      "Set Up Media Keys…|-|Enabled [ ]|When Rhythmbox isn't running{Launch Rhythmbox [ ]|Pass "
      "keys to other apps [x]}|Launch at Login [x]|-|About Tonvara|Check for Updates… (off)|"
      "Quit TonvaraCtrl+Q");
  QTest::keyClick(&menu, Qt::Key_Q);
  QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(model.calls["quit"], 1);
}

// Records how the style is asked to draw each menu item: its check type and check.
struct MenuItemSpy final : QProxyStyle {
  mutable std::map<QString, std::pair<int, bool>> drawn;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
      drawn[item->text] = {item->checkType, item->checked};
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

TEST_F(MenuTest, TheChosenOptionHasACheckMarkNotARadioDotAndTheIconFollowsTheModel) {
  MenuItemSpy spy;
  menu.whenNotRunningMenu().setStyle(&spy);
  menu.whenNotRunningMenu().grab();
  menu.whenNotRunningMenu().setStyle(nullptr);
  const int check = QStyleOptionMenuItem::NonExclusive;
  EXPECT_EQ(spy.drawn["Launch Music"], std::pair(check, true));
  EXPECT_EQ(spy.drawn["Pass keys to other apps"], std::pair(check, false));

  MenuBarLabel label(model, menu);
  EXPECT_EQ(label.trayIcon().contextMenu(), &menu);
  QImage shownBefore;  // each state has its own look
  for (const char* symbol : {"music.note.slash", "exclamationmark.triangle.fill", "music.note"}) {
    model.publish({.symbol = symbol});
    EXPECT_EQ(label.symbolName(), symbol);
#ifdef Q_OS_MACOS
    EXPECT_TRUE(label.trayIcon().icon().isMask());  // the menu bar tints it
#else
    const QImage glyph = label.trayIcon().icon().pixmap(22).toImage();
    EXPECT_NE(std::exchange(shownBefore, glyph), glyph);
    for (const QRgb panel :
         {qRgb(0x2e, 0x34, 0x36), qRgb(0, 0, 0), qRgb(0xf6, 0xf5, 0xf4), qRgb(0xff, 0xff, 0xff)}) {
      QImage shown(glyph.size(), QImage::Format_RGB32);
      shown.fill(panel);
      QPainter(&shown).drawImage(0, 0, glyph);
      int covered = 0, legible = 0;
      for (int i = 0; i < 22 * 22; ++i) {
        const bool inGlyph = qAlpha(glyph.pixel(i % 22, i / 22)) >= 128;
        covered += inGlyph;
        legible += inGlyph && contrast(shown.pixel(i % 22, i / 22), panel) >= 3.0;
      }
      EXPECT_GE(legible * 3, covered) << symbol << " on " << QColor(panel).name().toStdString();
    }
#endif
  }
}

TEST_F(MenuTest, WithoutATrayTheWindowOffersTheMenuSaysOnceHowToGetOneAndTheIconReturns) {
  testing::VirtualScheduler scheduler;
  bool tray = false;
  TrayAvailability availability(scheduler, [&] { return tray; });
  AccessView view(model, scheduler, [] { return 720.0; }, {});
  MenuBarLabel label(model, menu);
  label.followTray(availability, "Get a tray.");
  EXPECT_TRUE(model.calls["showAccessWindow"] == 1 && !label.trayIcon().isVisible());
  ASSERT_TRUE(view.traylessSection());
  EXPECT_EQ(view.traylessSection()->hint().text(), "Get a tray.");
  QStringList offered;
  for (auto* button : view.traylessSection()->findChildren<QPushButton*>())
    offered << button->text() + (button->isChecked() ? " [x]" : "");
  EXPECT_EQ(offered.join("|").toStdString(),
            "Enabled [x]|Launch Music [x]|Pass keys to other apps|Launch at "
            "Login|About Tonvara|Check for Updates…|Quit Tonvara");
  QPushButton* enabled = view.traylessSection()->findChildren<QPushButton*>().first();
  enabled->click();
  EXPECT_TRUE(model.calls["setEnabled"] == 1 && !enabled->isChecked());
  model.publish({});  // enabled elsewhere: the button follows
  EXPECT_TRUE(enabled->isChecked());
  tray = true;
  scheduler.advance(TrayAvailability::kPollInterval);
  EXPECT_TRUE(label.trayIcon().isVisible() && !view.traylessSection());
  watchTrayHosts(availability);
  tray = false;  // the panel's tray window is destroyed: heard of at once, not polled for
  std::array<std::uint8_t, 32> destroyNotify{17};
  QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t",
                                                          destroyNotify.data(), nullptr);
  scheduler.advance({});
  EXPECT_TRUE(model.calls["showAccessWindow"] == 2 && !label.trayIcon().isVisible());
  ASSERT_TRUE(view.traylessSection());
  EXPECT_EQ(view.traylessSection()->hint().text(), "");  // said once
  tray = true;                                           // and back: polled for again
  scheduler.advance(TrayAvailability::kPollInterval);
  EXPECT_TRUE(label.trayIcon().isVisible());
}

TEST(AboutBoxTest, NamesTheApplicationAndItsVersionWithoutBlockingTheTray) {
  QApplication::setApplicationVersion("1.2.3");
  showStandardAboutBox();
  QMessageBox* box = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    box = top->isVisible() ? qobject_cast<QMessageBox*>(top) : box;
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().contains(QApplication::applicationName() + "</b><br>1.2.3"));
  EXPECT_FALSE(box->isModal());
  box->close();
}

TEST(StyleTest, EveryNamedSymbolIsDrawn) {
  for (const char* name : {"music.note", "music.note.slash", "exclamationmark.triangle.fill",
                           "checkmark.circle.fill", "circle.inset.filled", "lock.fill",
                           "exclamationmark.circle.fill", "questionmark.circle.fill"}) {
    const QImage image = symbolPixmap(name, 64, Qt::black, 1.0).toImage();
    int covered = 0;
    for (int i = 0; i < 64 * 64; ++i) covered += qAlpha(image.pixel(i % 64, i / 64)) > 128;
    EXPECT_TRUE(covered > 64 * 64 / 10 && covered < 64 * 64 * 8 / 10) << name;  // not a square
  }
}

}  // namespace
}  // namespace tonvara::ui

// Widgets need an application object; the offscreen platform needs no display.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
