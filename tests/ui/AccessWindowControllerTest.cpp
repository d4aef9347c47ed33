#include <gtest/gtest.h>

#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "AccessWindowController.h"
#include "FakeUiModel.h"
#include "VirtualScheduler.h"

namespace tonvara::ui {
namespace {

using std::chrono::milliseconds;
using testing::FakeUiModel;
using testing::VirtualScheduler;

TEST(MaxViewportHeightTest, IsTheUsableScreenLessEightyAtLeast260Or720WithoutAScreen) {
  EXPECT_EQ(maxViewportHeight(900.0), 820);
  EXPECT_EQ(maxViewportHeight(300.0), 260);
  EXPECT_EQ(maxViewportHeight(std::nullopt), 720);
}

void saveGrab(QWidget& window, const char* name) {
  if (const QByteArray dir = qgetenv("TONVARA_UI_GRAB_DIR"); !dir.isEmpty()) {
    window.grab().save(QString::fromLocal8Bit(dir) + "/" + name);
  }
}

class AccessWindowControllerTest : public ::testing::Test {
 protected:
  FakeUiModel model;
  VirtualScheduler scheduler;
  std::optional<double> screenHeight = 900;
  AccessWindowController controller{model, scheduler, [this] { return screenHeight; }};

  QWidget& window() { return *controller.window(); }
  QPoint availableCentre() { return window().screen()->availableGeometry().center(); }
  // Lets the view measure its content and the debounced resize run.
  void settle() { scheduler.advance(milliseconds(60)); }
};

TEST_F(AccessWindowControllerTest, NoWindowBeforeTheFirstShow) {
  EXPECT_EQ(controller.window(), nullptr);
  EXPECT_FALSE(controller.isRefreshing());
}

TEST_F(AccessWindowControllerTest, FirstShowMakesAFixedInvisibleWindowAtTheMaximumHeight) {
  controller.show();
  ASSERT_NE(controller.window(), nullptr);
  EXPECT_EQ(window().windowTitle(), "Tonvara");
  EXPECT_EQ(window().width(), 520);
  EXPECT_EQ(window().height(), 820);
  EXPECT_EQ(window().minimumSize(), window().maximumSize());  // not resizable
  EXPECT_FALSE(window().windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(window().isVisible());
  EXPECT_EQ(window().windowOpacity(), 0.0);
  EXPECT_TRUE(controller.isPendingInitialReveal());
  EXPECT_EQ(window().focusWidget(), &window());  // no control starts focused
}

TEST_F(AccessWindowControllerTest, FirstResizeFitsTheContentCentresAndReveals) {
  controller.show();
  settle();
  const double content = controller.view()->viewportHeight();
  EXPECT_LT(content, 820);
  EXPECT_EQ(window().height(), qRound(content));
  EXPECT_EQ(window().windowOpacity(), 1.0);
  EXPECT_FALSE(controller.isPendingInitialReveal());
  EXPECT_LE((window().frameGeometry().center() - availableCentre()).manhattanLength(), 2);
  saveGrab(window(), "access-setup.png");
}

TEST_F(AccessWindowControllerTest, WithoutAHeightReportTheWindowAppearsAfterThreeTenths) {
  screenHeight = 300;  // content taller than the 260-point viewport: nothing to report
  controller.show();
  scheduler.advance(milliseconds(299));
  EXPECT_EQ(window().windowOpacity(), 0.0);
  scheduler.advance(milliseconds(1));
  EXPECT_EQ(window().windowOpacity(), 1.0);
  EXPECT_EQ(window().height(), 260);
}

TEST_F(AccessWindowControllerTest, LaterResizesKeepTheTopEdge) {
  controller.show();
  settle();
  controller.scheduleResize(500);
  settle();
  const int top = window().geometry().top();
  controller.scheduleResize(400);
  settle();
  EXPECT_EQ(window().height(), 400);
  EXPECT_EQ(window().geometry().top(), top);
}

TEST_F(AccessWindowControllerTest, ChangesOfAPointAreIgnoredAndOfMoreAreApplied) {
  controller.show();
  settle();
  controller.scheduleResize(500);
  settle();
  controller.scheduleResize(501);
  settle();
  EXPECT_EQ(window().height(), 500);
  controller.scheduleResize(501.5);
  settle();
  EXPECT_EQ(window().height(), 502);
}

TEST_F(AccessWindowControllerTest, ABurstOfReportsResizesOnceForTheLast) {
  controller.show();
  settle();
  const int before = window().height();
  controller.scheduleResize(450);
  scheduler.advance(milliseconds(20));
  controller.scheduleResize(470);
  scheduler.advance(milliseconds(20));
  controller.scheduleResize(430);
  // The first two would have run by now had they not been replaced.
  scheduler.advance(milliseconds(49));
  EXPECT_EQ(window().height(), before);
  scheduler.advance(milliseconds(1));
  EXPECT_EQ(window().height(), 430);
}

TEST_F(AccessWindowControllerTest, RefreshesEverySecondWhileOpenAndStopsOnClose) {
  controller.show();
  const int onShow = model.calls.refreshPermissions;  // the view's own refresh
  scheduler.advance(milliseconds(2500));
  EXPECT_EQ(model.calls.refreshPermissions, onShow + 2);

  controller.scheduleResize(400);
  window().close();
  EXPECT_FALSE(controller.isRefreshing());
  const int height = window().height();
  scheduler.advance(milliseconds(5000));
  EXPECT_EQ(model.calls.refreshPermissions, onShow + 2);
  EXPECT_EQ(window().height(), height);  // the pending resize went with the close
}

TEST_F(AccessWindowControllerTest, ShowingAgainReusesTheWindowAndTheTimer) {
  controller.show();
  settle();
  QWidget* first = controller.window();
  window().move(10, 10);
  controller.show();
  EXPECT_EQ(controller.window(), first);
  EXPECT_EQ(scheduler.repeatingTimersStarted, 1);
  EXPECT_LE((window().frameGeometry().center() - availableCentre()).manhattanLength(), 2);

  window().close();
  controller.show();
  EXPECT_EQ(controller.window(), first);
  EXPECT_EQ(window().windowOpacity(), 1.0);  // no hidden phase when reopened
  EXPECT_TRUE(controller.isRefreshing());
  EXPECT_EQ(scheduler.repeatingTimersStarted, 2);
}

TEST_F(AccessWindowControllerTest, DoneClosesTheWindowAndStopsTheRefresh) {
  model.state = {.hasAccessibility = true,
                 .automationStatus = AutomationAccess::granted,
                 .accessSetupCompleted = true};
  controller.show();
  settle();
  saveGrab(window(), "access-status.png");
  controller.view()->doneButton().click();
  EXPECT_FALSE(window().isVisible());
  EXPECT_FALSE(controller.isRefreshing());
}

TEST_F(AccessWindowControllerTest, ContentChangesFollowTheWindowHeight) {
  controller.show();
  settle();
  const int setupHeight = window().height();
  model.publish({.enabled = true,
                 .automationStatus = AutomationAccess::denied,
                 .accessSetupCompleted = true});
  settle();
  EXPECT_GT(window().height(), setupHeight);
  EXPECT_EQ(window().height(), qRound(controller.view()->viewportHeight()));
  saveGrab(window(), "access-status-attention.png");
}

TEST(AccessWindowControllerLifetimeTest, ShowDoesNothingOnceTheModelIsGone) {
  VirtualScheduler scheduler;
  auto model = std::make_unique<FakeUiModel>();
  AccessWindowController controller(*model, scheduler, [] { return 900.0; });
  model.reset();
  controller.show();
  EXPECT_EQ(controller.window(), nullptr);
}

}  // namespace
}  // namespace tonvara::ui

namespace tonvara::ui {
namespace {

TEST(AccessWindowDarkTest, DarkPaletteKeepsTheTextsLegible) {
  const QPalette original = QApplication::palette();
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(40, 40, 42));
  dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(235, 235, 235));
  dark.setColor(QPalette::Button, QColor(60, 60, 62));
  dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
  QApplication::setPalette(dark);
  {
    testing::FakeUiModel model;
    model.state = {.hasAccessibility = true, .automationStatus = AutomationAccess::undetermined};
    testing::VirtualScheduler scheduler;
    AccessWindowController controller(model, scheduler, [] { return 900.0; });
    controller.show();
    scheduler.advance(std::chrono::milliseconds(60));
    StepCardWidget& card = controller.view()->automationCard();
    EXPECT_EQ(card.strokeColor(), style::brandAccentDark());
    saveGrab(*controller.window(), "access-setup-dark.png");
  }
  QApplication::setPalette(original);
}

}  // namespace
}  // namespace tonvara::ui
