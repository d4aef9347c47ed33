#include <gtest/gtest.h>

#include <QTest>

#include "AccessView.h"
#include "FakeUiModel.h"
#include "VirtualScheduler.h"

namespace tonvara::ui {
namespace {

using State = testing::FakeUiModel::State;
using Tints = std::tuple<style::Tint, std::optional<style::Tint>, double>;
constexpr auto kGranted = AutomationAccess::granted;
constexpr auto kDenied = AutomationAccess::denied;
const State kAttention{
    .automationStatus = kDenied, .accessSetupCompleted = true, .needsAttention = true};
const QString kGnome = "org.gnome.desktop.interface", kKde = "org.kde.kdeglobals.KDE";
const QString kCapture = "current: Lets Tonvara capture media keys before other apps. [";
const QString kInSettings =
    "current: Enable Tonvara → Music in System Settings. [Open Automation "
    "Settings…>openAutomationSettings]";

struct AccessViewTest : ::testing::Test {
  testing::FakeUiModel model;
  testing::VirtualScheduler scheduler;
  std::vector<double> reported;
  AccessView view{model, scheduler, [] { return 820.0; },
                  [this](double h) { reported.push_back(h); }};
  // Cards show their final look at once; the spring has its own test.
  AccessViewTest() { view.reducedMotion().apply(kGnome, "enable-animations", false); }

  // "look: detail [button>the calls its click made]".
  template <typename Widget>
  QString shown(Widget& widget, const QString& look) {
    QString text = look + ": " + widget.detailLabel().text();
    if (widget.button().isVisibleTo(&widget)) {
      auto before = model.calls;
      widget.button().click();
      text += " [" + widget.button().text() + ">";
      for (const auto& [call, count] : model.calls)
        text += count != before[call] ? call.c_str() : "";
      text += "]";
    }
    return text;
  }
  QString shown(PermissionStatusRowWidget& row) {
    const char* const tints[] = {"green", "orange", "secondary", "accent"};
    return shown(row, row.icon().symbolName() + " " + tints[int(row.icon().tint())]);
  }
  // The card's state, named by its symbol; its tint, stroke and dimming must go with it.
  QString shown(StepCardWidget& card) {
    const std::map<QString, std::pair<QString, Tints>> states{
        {"checkmark.circle.fill", {"complete", {style::Tint::green, style::Tint::green, 1.0}}},
        {"circle.inset.filled", {"current", {style::Tint::accent, style::Tint::accent, 1.0}}},
        {"lock.fill", {"locked", {style::Tint::secondary, std::nullopt, 0.68}}}};
    const auto& [state, tints] = states.at(card.icon().symbolName());
    EXPECT_EQ(Tints(card.icon().tint(), card.stroke(), card.opacityEffect().opacity()), tints);
    return shown(
        card, (card.stepLabel().isVisibleTo(&card) ? card.stepLabel().text() + " " : "") + state);
  }
};

TEST_F(AccessViewTest, SetupStepsFollowBothPermissions) {
  EXPECT_EQ(view.headingTitle().text(), "Set up Tonvara");
  EXPECT_FALSE(view.statusCard().isVisibleTo(&view) || view.isDoneButtonShown());
  const QString locked = "STEP 2 locked: Complete Accessibility first.",
                granted = "complete: Granted";
  const std::tuple<State, QString, QString> rows[] = {
      {{}, "STEP 1 " + kCapture + "Allow Accessibility…>requestAccessibility]", locked},
      {{.hasRequestedAccessibility = true, .automationStatus = kGranted},
       "STEP 1 " + kCapture + "Open Accessibility Settings…>openAccessibilitySettings]",
       locked},
      {{.hasAccessibility = true},
       "STEP 1 " + granted,
       "STEP 2 current: Lets Tonvara send play, pause, and skip commands. Requesting access opens "
       "Music without changing playback. [Allow Automation…>requestAutomation]"},
      {{.hasAccessibility = true, .automationStatus = kDenied},
       "STEP 1 " + granted,
       "STEP 2 " + kInSettings},
      {{.hasAccessibility = true, .automationStatus = kGranted},
       "STEP 1 " + granted,
       "STEP 2 " + granted}};
  for (const auto& [state, accessibility, automation] : rows) {
    model.publish(state);
    EXPECT_EQ(shown(view.accessibilityCard()), accessibility);
    EXPECT_EQ(shown(view.automationCard()), automation);
  }
}

TEST_F(AccessViewTest, StatusRowsFollowBothPermissionsAndDoneShows) {
  const QString attention = "exclamationmark.circle.fill orange: Needs attention [";
  const QString granted = "checkmark.circle.fill green: Granted";
  const QString denied = attention + "Open Settings…>openAutomationSettings]";
  const std::tuple<State, QString, QString, std::optional<style::Tint>> rows[] = {
      {{},
       attention + "Allow…>requestAccessibility]",
       "lock.fill secondary: Accessibility required first",
       style::Tint::orange},
      {{.hasRequestedAccessibility = true, .automationStatus = kDenied},
       attention + "Open Settings…>openAccessibilitySettings]",
       denied,
       style::Tint::orange},
      {{.hasAccessibility = true},
       granted,
       "questionmark.circle.fill secondary: Not confirmed [Allow…>requestAutomation]",
       std::nullopt},
      {{.hasAccessibility = true, .automationStatus = kDenied},
       granted,
       denied,
       style::Tint::orange},
      {{.hasAccessibility = true, .automationStatus = kGranted},
       granted,
       granted,
       style::Tint::green}};
  for (auto [state, accessibility, automation, stroke] : rows) {
    state.accessSetupCompleted = true;
    model.publish(state);
    EXPECT_EQ(shown(view.statusCard().accessibilityRow()), accessibility);
    EXPECT_EQ(shown(view.statusCard().automationRow()), automation);
    EXPECT_EQ(view.statusCard().stroke(), stroke);
  }
  EXPECT_EQ(view.headingTitle().text() + view.headingDetail().text(),
            "PermissionsAccess Tonvara needs to control Music.");
  EXPECT_FALSE(view.accessibilityCard().isVisibleTo(&view) || view.isRecoveryShown());
  EXPECT_TRUE(view.isDoneButtonShown());
}

TEST_F(AccessViewTest, RecoveryShowsUnnumberedUnlockedCardsOnlyWhileAttentionIsNeeded) {
  model.publish(kAttention);
  ASSERT_TRUE(view.isRecoveryShown());
  EXPECT_EQ(shown(view.recoveryAccessibilityCard()),
            kCapture + "Allow Accessibility…>requestAccessibility]");
  EXPECT_EQ(shown(view.recoveryAutomationCard()), kInSettings);
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
  EXPECT_EQ(shown(view.automationCard()), "STEP 2 locked: Complete Accessibility first.");
  const std::tuple<QString, QString, QVariant, std::optional<bool>> answers[] = {
      {kGnome, "enable-animations", true, false},
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
  EXPECT_TRUE(motion.isReduced());
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

TEST_F(AccessViewTest, ContentHeightSetsTheViewportWithinBoundsOnALaterTurn) {
  EXPECT_TRUE(reported.empty());  // never from inside a layout pass
  scheduler.advance({});
  model.publish(kAttention);
  scheduler.advance({});
  ASSERT_EQ(reported.size(), 2U);
  EXPECT_GT(reported[1], reported[0]);  // the recovery section is taller
  EXPECT_GT(reported[0], 260);
  reported.clear();
  for (const double content : {200.0, 2000.0, 500.0, 501.0, 502.5}) view.fitViewport(content);
  EXPECT_EQ(reported, (std::vector<double>{260, 820, 500, 502.5}));
  EXPECT_EQ(view.scrollArea().height(), 503);
}

}  // namespace
}  // namespace tonvara::ui
