#include <gtest/gtest.h>

#include <QScreen>

#include "AccessWindowController.h"
#include "FakeUiModel.h"
#include "VirtualScheduler.h"

namespace tonvara::ui {
namespace {

using ms = std::chrono::milliseconds;

struct AccessWindowTest : ::testing::Test {
  testing::FakeUiModel model;
  testing::VirtualScheduler scheduler;
  std::optional<double> screen = 900;
  AccessWindowController controller{model, scheduler, [this] { return screen; }};

  QWidget& window() { return *controller.window(); }
  int offCentre() {
    const QPoint centre = window().screen()->availableGeometry().center();
    return (window().frameGeometry().center() - centre).manhattanLength();
  }
};

TEST_F(AccessWindowTest, StaysInvisibleUntilTheFirstResizeFitsTheContentAndCentresIt) {
  EXPECT_EQ(controller.window(), nullptr);
  controller.show();
  EXPECT_EQ(window().size(), QSize(520, 820));
  EXPECT_EQ(window().minimumSize(), window().maximumSize());
  EXPECT_EQ(window().windowTitle() + QString::number(window().windowOpacity()), "Tonvara0");
  EXPECT_EQ(window().focusWidget(), &window());  // no control starts focused
  scheduler.advance(ms(60));
  EXPECT_EQ(window().height(), qRound(controller.view()->viewportHeight()));
  EXPECT_LT(window().height(), 820);
  EXPECT_EQ(window().windowOpacity(), 1.0);
  EXPECT_LE(offCentre(), 2);
}

TEST_F(AccessWindowTest, WithoutAHeightReportAppearsAfterThreeTenths) {
  EXPECT_EQ(maxViewportHeight(std::nullopt), 720);
  screen = 300;  // content taller than the 260-point viewport: nothing to report
  controller.show();
  scheduler.advance(ms(299));
  EXPECT_EQ(window().windowOpacity(), 0.0);
  scheduler.advance(ms(1));
  EXPECT_EQ(window().windowOpacity(), 1.0);
  EXPECT_EQ(window().height(), 260);
}

TEST_F(AccessWindowTest, ResizesKeepTheTopEdgeIgnoreAPointAndRunOnceForABurst) {
  controller.show();
  scheduler.advance(ms(60));
  const int top = window().geometry().top();
  for (const auto& [target, height] :
       {std::pair{500.0, 500}, {400.0, 400}, {401.0, 400}, {401.5, 402}}) {
    controller.scheduleResize(target);
    scheduler.advance(ms(60));
    EXPECT_EQ(window().height(), height);
    EXPECT_EQ(window().geometry().top(), top);
  }
  for (const double target : {450.0, 470.0, 430.0}) {
    controller.scheduleResize(target);
    scheduler.advance(ms(20));
  }
  scheduler.advance(ms(29));
  EXPECT_EQ(window().height(), 402);
  scheduler.advance(ms(1));
  EXPECT_EQ(window().height(), 430);
}

TEST_F(AccessWindowTest, RefreshesEverySecondWhileOpenDoneClosesAndReopensTheSameWindow) {
  model.state = {.hasAccessibility = true,
                 .automationStatus = AutomationAccess::granted,
                 .accessSetupCompleted = true};
  controller.show();
  scheduler.advance(ms(60));
  window().move(10, 10);
  controller.show();  // again while open: recentred, still one timer
  EXPECT_LE(offCentre(), 2);
  scheduler.advance(ms(2000));
  EXPECT_EQ(model.calls["refreshPermissions"], 3);  // on showing, then each second

  QWidget* first = controller.window();
  const int height = window().height();
  const auto calls = model.calls;
  controller.scheduleResize(300);
  controller.view()->doneButton().click();
  EXPECT_FALSE(window().isVisible());
  scheduler.advance(ms(5000));
  EXPECT_EQ(model.calls, calls);         // Done records nothing; the refresh stopped
  EXPECT_EQ(window().height(), height);  // the pending resize went with the close
  controller.show();
  EXPECT_EQ(controller.window(), first);
  EXPECT_EQ(window().windowOpacity(), 1.0);  // no hidden phase when reopened
  scheduler.advance(ms(1000));
  EXPECT_EQ(model.calls["refreshPermissions"], 5);
}

TEST(AccessWindowLifetimeTest, ShowDoesNothingOnceTheModelIsGone) {
  testing::VirtualScheduler scheduler;
  auto model = std::make_unique<testing::FakeUiModel>();
  AccessWindowController controller(*model, scheduler, [] { return 900.0; });
  model.reset();
  controller.show();
  EXPECT_EQ(controller.window(), nullptr);
}

}  // namespace
}  // namespace tonvara::ui
