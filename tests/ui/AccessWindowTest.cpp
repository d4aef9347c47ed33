#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>

#include "AccessWindowController.h"
#include "FakeUiModel.h"

namespace tonvara::ui {
namespace {

using State = testing::FakeUiModel::State;
constexpr auto kGranted = AutomationAccess::granted;
constexpr auto kDenied = AutomationAccess::denied;
constexpr auto kUndetermined = AutomationAccess::undetermined;
const State kAttention{
    .automationStatus = kDenied, .accessSetupCompleted = true, .needsAttention = true};
const QString kGnome = "org.gnome.desktop.interface", kKde = "org.kde.kdeglobals.KDE";
const QString kCapture = "circle A: Lets Tonvara capture media keys before other apps. [";
const QString kSettings =
    "circle A: Enable Tonvara → Music in System Settings. [Open Automation "
    "Settings…>openAutomationSettings]";

State with(bool accessibility, AutomationAccess automation, bool requested = false) {
  return {.hasAccessibility = accessibility,
          .hasRequestedAccessibility = requested,
          .automationStatus = automation};
}

struct AccessViewTest : ::testing::Test {
  testing::FakeUiModel model;
  testing::VirtualScheduler scheduler;
  AccessView view{model, scheduler, [] { return 820.0; }, nullptr};
  // Cards show their final look at once; the spring has its own test.
  AccessViewTest() { view.reducedMotion().apply(kGnome, "enable-animations", false); }

  // "look tint: detail [button>the calls its click made]", the symbol's first word as the look
  // and the tint's initial (Green, Orange, Secondary, Accent).
  template <typename Widget>
  QString shown(Widget& widget, QString look) {
    look += QString(" ") + "GOSA"[int(widget.icon().tint())] + ": " + widget.detailLabel().text();
    if (widget.button().isVisibleTo(&widget)) {
      auto before = model.calls;
      widget.button().click();
      look += " [" + widget.button().text() + ">";
      for (const auto& [call, count] : model.calls)
        look += count != before[call] ? call.c_str() : "";
      look += "]";
    }
    return look;
  }
  QString shown(PermissionStatusRowWidget& row) {
    return shown(row, row.icon().symbolName().section('.', 0, 0));
  }
  // A card's stroke is its symbol's tint, none when locked; a locked card is dimmed.
  QString shown(StepCardWidget& card) {
    const bool locked = card.icon().symbolName() == "lock.fill";
    EXPECT_EQ(card.stroke(), locked ? std::nullopt : std::optional(card.icon().tint()));
    EXPECT_EQ(card.opacityEffect().opacity(), locked ? 0.68 : 1.0);
    const QLabel& step = card.stepLabel();
    return shown(card, (step.isVisibleTo(&card) ? step.text() + " " : "") +
                           card.icon().symbolName().section('.', 0, 0));
  }
};

TEST_F(AccessViewTest, SetupStepsFollowBothPermissions) {
  EXPECT_EQ(view.headingTitle().text(), "Set up Tonvara");
  EXPECT_EQ(
      view.accessibilityCard().titleLabel().text() + view.automationCard().titleLabel().text(),
      "AccessibilityAutomation for Music");
  EXPECT_FALSE(view.statusCard().isVisibleTo(&view) || view.isDoneButtonShown());
  const QString locked = "STEP 2 lock S: Complete Accessibility first.",
                ok = "checkmark G: Granted";
  const std::tuple<State, QString, QString> rows[] = {
      {with(false, kUndetermined),
       "STEP 1 " + kCapture + "Allow Accessibility…>requestAccessibility]", locked},
      {with(false, kGranted, true),
       "STEP 1 " + kCapture + "Open Accessibility Settings…>openAccessibilitySettings]", locked},
      {with(true, kUndetermined), "STEP 1 " + ok,
       "STEP 2 circle A: Lets Tonvara send play, pause, and skip commands. Requesting access opens "
       "Music without changing playback. [Allow Automation…>requestAutomation]"},
      {with(true, kDenied), "STEP 1 " + ok, "STEP 2 " + kSettings},
      {with(true, kGranted), "STEP 1 " + ok, "STEP 2 " + ok}};
  for (const auto& [state, accessibility, automation] : rows) {
    model.publish(state);
    EXPECT_EQ(shown(view.accessibilityCard()) + " | " + shown(view.automationCard()),
              accessibility + " | " + automation);
  }
}

TEST_F(AccessViewTest, StatusRowsFollowBothPermissionsAndDoneShows) {
  const QString attention = "exclamationmark O: Needs attention [", ok = "checkmark G: Granted";
  const QString denied = attention + "Open Settings…>openAutomationSettings]";
  const auto orange = style::Tint::orange;
  const std::tuple<State, QString, QString, std::optional<style::Tint>> rows[] = {
      {with(false, kUndetermined), attention + "Allow…>requestAccessibility]",
       "lock S: Accessibility required first", orange},
      {with(false, kDenied, true), attention + "Open Settings…>openAccessibilitySettings]", denied,
       orange},
      {with(true, kUndetermined), ok, "questionmark S: Not confirmed [Allow…>requestAutomation]",
       std::nullopt},
      {with(true, kDenied), ok, denied, orange},
      {with(true, kGranted), ok, ok, style::Tint::green}};
  for (auto [state, accessibility, automation, stroke] : rows) {
    state.accessSetupCompleted = true;
    model.publish(state);
    PermissionStatusCard& card = view.statusCard();
    EXPECT_EQ(shown(card.accessibilityRow()) + " | " + shown(card.automationRow()),
              accessibility + " | " + automation);
    EXPECT_EQ(card.stroke(), stroke);
  }
  EXPECT_EQ(view.headingTitle().text() + view.headingDetail().text(),
            "PermissionsAccess Tonvara needs to control Music.");
  EXPECT_EQ(view.statusCard().accessibilityRow().titleLabel().text() +
                view.statusCard().automationRow().titleLabel().text(),
            "AccessibilityAutomation for Music");
  EXPECT_FALSE(view.accessibilityCard().isVisibleTo(&view) || view.isRecoveryShown());
  EXPECT_TRUE(view.isDoneButtonShown());
}

TEST_F(AccessViewTest, RecoveryShowsUnnumberedUnlockedCardsOnlyWhileAttentionIsNeeded) {
  model.publish(kAttention);
  ASSERT_TRUE(view.isRecoveryShown());
  EXPECT_EQ(shown(view.recoveryAccessibilityCard()) + " | " + shown(view.recoveryAutomationCard()),
            kCapture + "Allow Accessibility…>requestAccessibility] | " + kSettings);
  model.publish({.automationStatus = kDenied, .accessSetupCompleted = true});
  EXPECT_FALSE(view.isRecoveryShown());
}

TEST_F(AccessViewTest, PermissionChangesSpringUnlessThePortalAsksForLessMotion) {
  view.reducedMotion().apply(kGnome, "enable-animations", true);
  model.publish({.hasRequestedAccessibility = true});
  EXPECT_FALSE(view.isAnimating());  // not a permission
  model.publish({.hasAccessibility = true});
  EXPECT_TRUE(view.isAnimating());
  view.reducedMotion().apply(kGnome, "enable-animations", QVariant::fromValue(QDBusVariant(false)));
  model.publish({});
  EXPECT_FALSE(view.isAnimating());
  EXPECT_EQ(shown(view.automationCard()), "STEP 2 lock S: Complete Accessibility first.");
  const std::tuple<QString, QString, QVariant, std::optional<bool>> answers[] = {
      {kKde, "AnimationDurationFactor", "0", true},
      {kKde, "AnimationDurationFactor", 0.5, false},
      {kGnome, "gtk-theme", "Adwaita", std::nullopt}};
  for (const auto& [group, key, value, reduced] : answers) {
    EXPECT_EQ(reducedMotionFromSetting(group, key, value), reduced) << key.toStdString();
  }
  ReducedMotion motion;  // no session bus here: animations on
  EXPECT_FALSE(motion.isReduced());
  motion.apply(kKde, "AnimationDurationFactor", 0.0);
  motion.apply(kGnome, "enable-animations", true);
  EXPECT_TRUE(motion.isReduced());  // either desktop's wish is enough
}

TEST_F(AccessViewTest, FocusChangesNoSizeAndTheDoneRingShowsOnlyWithKeyboardFocus) {
  model.publish(
      {.hasAccessibility = true, .automationStatus = kGranted, .accessSetupCompleted = true});
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 0.0);
  QTest::keyClick(&view, Qt::Key_Tab);
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 1.0);
  EXPECT_GE(view.doneButton().capsuleRect().top(), 3.0);  // the ring lies outside the fill
  model.publish(kAttention);
  StepCardWidget& card = view.recoveryAutomationCard();
  for (QWidget* button : {&card.button(), &view.statusCard().automationRow().button()}) {
    const auto sizes = [&] {
      QApplication::processEvents();
      return std::tuple(button->sizeHint(), button->geometry(), card.sizeHint(), card.geometry());
    };
    const auto unfocused = sizes();
    button->setFocus(Qt::TabFocusReason);
    model.publish(model.state);  // a refresh while focused
    EXPECT_TRUE(sizes() == unfocused);
  }
}

TEST_F(AccessViewTest, ViewportIsTheContentHeightWithinBoundsMovingOnlyBeyondAPoint) {
  EXPECT_EQ(view.viewportHeight(), 820);  // measured on a later turn, never inside a layout pass
  scheduler.advance({});
  EXPECT_LT(view.viewportHeight(), 820);
  for (const auto& [content, viewport] :
       {std::pair{200.0, 260.0}, {2000.0, 820.0}, {500.0, 500.0}, {501.0, 500.0}, {502.5, 502.5}}) {
    view.fitViewport(content);
    EXPECT_EQ(std::pair(view.viewportHeight(), view.scrollArea().height()),
              std::pair(viewport, qRound(viewport)));
  }
}

using ms = std::chrono::milliseconds;

struct AccessWindowTest : ::testing::Test {
  testing::FakeUiModel model;
  testing::VirtualScheduler scheduler;
  std::optional<double> screen = 900;
  AccessWindowController controller{model, scheduler, [this] { return screen; }};

  QWidget& window() { return *controller.window(); }
  bool centred() {
    const QRect screenArea = window().screen()->availableGeometry();
    return (window().frameGeometry().center() - screenArea.center()).manhattanLength() <= 2;
  }
};

TEST_F(AccessWindowTest, StaysInvisibleUntilTheFirstResizeFitsTheContentAndCentresIt) {
  EXPECT_EQ(controller.window(), nullptr);
  controller.show();
  EXPECT_EQ(
      std::tuple(window().minimumSize(), window().maximumSize(), window().windowOpacity(),
                 window().windowTitle(), window().windowFlags() & Qt::WindowMinimizeButtonHint),
      std::tuple(QSize(520, 820), QSize(520, 820), 0.0, "Tonvara", 0));
  EXPECT_EQ(window().focusWidget(), &window());  // no control starts focused
  scheduler.advance(ms(60));
  EXPECT_LT(window().height(), 820);
  EXPECT_EQ(std::tuple(window().height(), window().windowOpacity(), centred()),
            std::tuple(qRound(controller.view()->viewportHeight()), 1.0, true));
}

TEST_F(AccessWindowTest, WithoutAHeightReportAppearsAfterThreeTenths) {
  EXPECT_EQ(maxViewportHeight(std::nullopt), 720);
  screen = 300;  // content taller than the 260-point viewport: nothing to report
  controller.show();
  scheduler.advance(ms(299));
  EXPECT_EQ(window().windowOpacity(), 0.0);
  scheduler.advance(ms(1));
  EXPECT_EQ(std::pair(window().height(), window().windowOpacity()), std::pair(260, 1.0));
}

TEST_F(AccessWindowTest, FollowsTheContentKeepsItsTopIgnoresAPointAndResizesOnceForABurst) {
  controller.show();
  scheduler.advance(ms(60));
  const int top = window().y(), setup = window().height();
  model.publish({.automationStatus = AutomationAccess::denied,
                 .accessSetupCompleted = true,
                 .needsAttention = true});
  scheduler.advance(ms(60));
  EXPECT_GT(window().height(), setup);  // the recovery section is taller
  for (const auto& [to, height] :
       {std::pair{500.0, 500}, {400.0, 400}, {401.0, 400}, {401.5, 402}}) {
    controller.scheduleResize(to);
    scheduler.advance(ms(60));
    EXPECT_EQ(std::pair(window().height(), window().y()), std::pair(height, top));
  }
  for (const double to : {450.0, 470.0, 430.0})
    controller.scheduleResize(to), scheduler.advance(ms(20));
  const int before = (scheduler.advance(ms(29)), window().height());
  scheduler.advance(ms(1));
  EXPECT_EQ(std::pair(before, window().height()), std::pair(402, 430));
}

TEST_F(AccessWindowTest, RefreshesEverySecondWhileOpenDoneClosesAndReopensTheSameWindow) {
  model.state = {.hasAccessibility = true, .accessSetupCompleted = true};
  controller.show();
  scheduler.advance(ms(60));
  window().move(10, 10);
  controller.show();  // again while open: centred again, still one timer
  scheduler.advance(ms(2000));
  EXPECT_EQ(std::pair(model.calls["refreshPermissions"], centred()), std::pair(3, true));

  AccessWindow* first = controller.window();
  const auto calls = model.calls;
  const int height = window().height();
  controller.scheduleResize(300);
  controller.view()->doneButton().click();
  EXPECT_FALSE(window().isVisible());
  scheduler.advance(ms(5000));
  EXPECT_EQ(model.calls, calls);         // Done records nothing; the refresh stopped
  EXPECT_EQ(window().height(), height);  // the pending resize went with the close
  controller.show();
  EXPECT_EQ(std::pair(controller.window(), window().windowOpacity()), std::pair(first, 1.0));
  scheduler.advance(ms(1000));
  EXPECT_EQ(model.calls["refreshPermissions"], 5);  // on showing, then each second
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
