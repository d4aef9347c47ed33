#include <gtest/gtest.h>

#include <QComboBox>
#include <QMessageBox>
#include <QScreen>
#include <QTest>

#include "AccessWindowController.h"
#include "FakeUiModel.h"

namespace tonvara::ui {
namespace {

using State = testing::FakeUiModel::State;
using enum AutomationAccess;
const State kAttention{
    .automationStatus = denied, .accessSetupCompleted = true, .needsAttention = true};
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
  AccessView view{model, scheduler, [] { return 820.0; }, nullptr, nullptr, macTexts()};
  // Cards show their final look at once; the spring has its own test.
  AccessViewTest() { view.reducedMotion().apply(kGnome, "enable-animations", false); }

  // "STEP n look tint: detail [button>the calls its click made]": the symbol's first word as the
  // look, the tint's initial (Green, Orange, Secondary, Accent). A card's stroke is its symbol's
  // tint, none when locked; a locked card is dimmed.
  template <typename Widget>
  QString shown(Widget& widget) {
    QString look = widget.icon().symbolName().section('.', 0, 0);
    if constexpr (std::is_same_v<Widget, StepCardWidget>) {
      EXPECT_EQ(widget.stroke(),
                look == "lock" ? std::nullopt : std::optional(widget.icon().tint()));
      EXPECT_EQ(widget.opacityEffect().opacity(), look == "lock" ? 0.68 : 1.0);
      if (widget.stepLabel().isVisibleTo(&widget)) look = widget.stepLabel().text() + " " + look;
    }
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
};

TEST_F(AccessViewTest, StepCardsUntilTheSetupIsDoneThenStatusRowsAndWhileNeededRecovery) {
  EXPECT_EQ(view.headingTitle().text() + ": " + view.accessibilityCard().titleLabel().text() +
                ", " + view.automationCard().titleLabel().text(),
            "Set up Tonvara: Accessibility, Automation for Music");
  EXPECT_FALSE(view.statusCard().isVisibleTo(&view) || view.isDoneButtonShown());
  const QString locked = "STEP 2 lock S: Complete Accessibility first.",
                ok = "checkmark G: Granted", attention = "exclamationmark O: Needs attention [",
                refused = attention + "Open Settings…>openAutomationSettings]";
  const auto orange = std::optional(style::Tint::orange);
  // State -> the step cards, then (the setup done) the status rows and the status card's stroke.
  const std::tuple<State, QString, QString, QString, QString, std::optional<style::Tint>> rows[] = {
      {with(false, undetermined),
       "STEP 1 " + kCapture + "Allow Accessibility…>requestAccessibility]", locked,
       attention + "Allow…>requestAccessibility]", "lock S: Accessibility required first", orange},
      {with(false, denied, true),
       "STEP 1 " + kCapture + "Open Accessibility Settings…>openAccessibilitySettings]", locked,
       attention + "Open Settings…>openAccessibilitySettings]", refused, orange},
      {with(true, undetermined), "STEP 1 " + ok,
       "STEP 2 circle A: Lets Tonvara send play, pause, and skip commands. Requesting access opens "
       "Music without changing playback. [Allow Automation…>requestAutomation]",
       ok, "questionmark S: Not confirmed [Allow…>requestAutomation]", std::nullopt},
      {with(true, denied), "STEP 1 " + ok, "STEP 2 " + kSettings, ok, refused, orange},
      {with(true, granted), "STEP 1 " + ok, "STEP 2 " + ok, ok, ok, style::Tint::green}};
  PermissionStatusCard& card = view.statusCard();
  for (auto [state, accessibility, automation, accessibilityRow, automationRow, stroke] : rows) {
    model.publish(state);
    EXPECT_EQ(shown(view.accessibilityCard()) + " | " + shown(view.automationCard()),
              accessibility + " | " + automation);
    state.accessSetupCompleted = true;
    model.publish(state);
    EXPECT_EQ(shown(card.accessibilityRow()) + " | " + shown(card.automationRow()),
              accessibilityRow + " | " + automationRow);
    EXPECT_EQ(card.stroke(), stroke);
  }
  EXPECT_EQ(
      view.headingTitle().text() + ": " + view.headingDetail().text() + " " +
          card.accessibilityRow().titleLabel().text() + ", " +
          card.automationRow().titleLabel().text(),
      "Permissions: Access Tonvara needs to control Music. Accessibility, Automation for Music");
  EXPECT_FALSE(view.accessibilityCard().isVisibleTo(&view) || view.isRecoveryShown());
  EXPECT_TRUE(view.isDoneButtonShown());
  model.publish(kAttention);  // unnumbered, unlocked cards to recover
  ASSERT_TRUE(view.isRecoveryShown());
  EXPECT_EQ(shown(view.recoveryAccessibilityCard()) + " | " + shown(view.recoveryAutomationCard()),
            kCapture + "Allow Accessibility…>requestAccessibility] | " + kSettings);
}

TEST_F(AccessViewTest, OnLinuxTheWordsNameThePlayerAndWhatEachButtonOpensAndNoneLeadsNowhere) {
  AccessView linux(
      model, scheduler, [] { return 820.0; }, nullptr, nullptr, linuxTexts());
  linux.reducedMotion().apply(kGnome, "enable-animations", false);
  State base{.player = "Rhythmbox",
             .settingsApp = "GNOME Settings",
             .steps = "Turn off the desktop's media shortcuts."};
  const auto at = [&](bool keys, AutomationAccess player, bool requested = false) {
    State next = base;
    std::tie(next.hasAccessibility, next.automationStatus, next.hasRequestedAccessibility) =
        std::tuple(keys, player, requested);
    return next;
  };
  const QString keys =
                    "circle A: Lets Tonvara take the media keys before the desktop and other "
                    "apps. Another program holds them now. [",
                attention = "exclamationmark O: Needs attention [";
  // State -> step 1 | step 2, then (the setup done) the two status rows.
  const std::tuple<State, QString, QString> rows[] = {
      {at(false, undetermined),
       "STEP 1 " + keys +
           "Find Who Holds the Keys…>requestAccessibility] | STEP 2 lock S: Free "
           "the media keys first.",
       attention + "Find Out…>requestAccessibility] | lock S: Media keys required first"},
      {at(false, granted, true),
       "STEP 1 " + keys +
           "Open GNOME Settings…>openAccessibilitySettings] | STEP 2 lock S: Free "
           "the media keys first.",
       attention + "Open GNOME Settings…>openAccessibilitySettings] | checkmark G: Granted"},
      {at(true, undetermined),
       "STEP 1 checkmark G: Granted | STEP 2 circle A: Lets Tonvara send play, pause, and skip "
       "commands to Rhythmbox over its media interface. Connecting starts Rhythmbox without "
       "changing playback. [Connect to Rhythmbox…>requestAutomation]",
       "checkmark G: Granted | questionmark S: Not confirmed [Connect…>requestAutomation]"},
      {at(true, denied),
       "STEP 1 checkmark G: Granted | STEP 2 circle A: A D-Bus policy on the session bus blocks "
       "Tonvara → Rhythmbox: it must let Tonvara call Rhythmbox's media interface.",
       "checkmark G: Granted | exclamationmark O: Blocked by a D-Bus policy"}};
  for (auto [state, cards, statusRows] : rows) {
    model.publish(state);
    EXPECT_EQ(shown(linux.accessibilityCard()) + " | " + shown(linux.automationCard()), cards);
    state.accessSetupCompleted = true;
    model.publish(state);
    PermissionStatusCard& card = linux.statusCard();
    EXPECT_EQ(shown(card.accessibilityRow()) + " | " + shown(card.automationRow()), statusRows);
  }
  EXPECT_EQ(
      linux.headingDetail().text() + " " + linux.statusCard().automationRow().titleLabel().text(),
      "What Tonvara needs to control Rhythmbox. Control of Rhythmbox");
  model.publish(at(false, undetermined));
  EXPECT_EQ(linux.headingDetail().text() + " " + linux.accessibilityCard().titleLabel().text(),
            "Follow the two steps below so your media keys control Rhythmbox. Media keys");

  // No player: step 2 says so and, with players to pick, offers the picker.
  base.player = base.settingsApp = "";
  model.publish(at(true, undetermined));
  EXPECT_EQ(shown(linux.automationCard()),
            "STEP 2 circle A: No music player is installed. Install one and it shows up here.");
  EXPECT_EQ(shown(linux.statusCard().automationRow()), "exclamationmark O: No player installed");
  EXPECT_FALSE(linux.stepPlayerPicker().isVisibleTo(&linux));
  base.players = {{"org.gnome.Lollypop.desktop", "Lollypop"}, {"spotify.desktop", "Spotify"}};
  model.publish(at(true, undetermined));
  EXPECT_EQ(linux.automationCard().detailLabel().text(),
            "No default music player is set. Pick one below.");
  EXPECT_EQ(linux.stepPlayerPicker().choices().itemText(0), "Default");
  // Nothing to open: the steps are shown in the window itself.
  model.publish(at(false, undetermined, true));
  EXPECT_EQ(shown(linux.accessibilityCard()), "STEP 1 " + keys + "Show the Steps>]");
  EXPECT_TRUE(linux.areAccessibilityStepsShown());
  EXPECT_EQ(linux.accessibilitySteps().text(), base.steps);
}

TEST_F(AccessViewTest, PickedPlayerGoesToTheModelAndTakingTheKeysAsksFirstThenTheyGoBack) {
  AccessView view(
      model, scheduler, [] { return 820.0; }, nullptr, nullptr, linuxTexts());
  model.publish(
      {.player = "Rhythmbox",
       .players = {{"org.gnome.Lollypop.desktop", "Lollypop"}, {"spotify.desktop", "Spotify"}}});
  for (PlayerPicker* picker : {&view.stepPlayerPicker(), &view.statusPlayerPicker()}) {
    QComboBox& choices = picker->choices();
    EXPECT_EQ(choices.itemText(0) + "|" + choices.itemText(2) + QString::number(choices.count()),
              "Default (Rhythmbox)|Spotify3");
    emit choices.activated(2);
    EXPECT_EQ(std::pair(model.state.playerId, choices.currentIndex()),
              std::pair(QString("spotify.desktop"), 2));
    emit choices.activated(0);
    EXPECT_EQ(std::pair(model.state.playerId, choices.currentText()),
              std::pair(QString(), QString("Default (Rhythmbox)")));
  }

  State holder{.takeover = KeyTakeover{"GNOME", "Unbinds Play in GNOME.", "Give them back."}};
  model.publish(holder);
  EXPECT_EQ(shown(view.accessibilityCard()),
            "STEP 1 circle A: GNOME holds the media keys now. Tonvara can take them over, and give "
            "them back whenever you like. [Take the Keys from GNOME…>]");  // asks first
  for (const auto& [answer, taken] : {std::pair{"Take the Keys", 1}, {"Cancel", 1}}) {
    if (!view.findChild<QMessageBox*>()) view.accessibilityCard().button().click();
    auto* box = view.findChild<QMessageBox*>();
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_EQ(box->text() + " " + box->informativeText(),
              "Take the media keys from GNOME? Unbinds Play in GNOME.\n\nGive them back.");
    for (QAbstractButton* button : box->buttons())
      if (button->text().remove('&') == answer) button->click();
    EXPECT_EQ(model.calls["takeOverKeys"], taken);
    delete box;
  }
  holder.accessSetupCompleted = true;
  model.publish(holder);
  EXPECT_EQ(view.statusCard().accessibilityRow().button().text(), "Take from GNOME…");
  EXPECT_FALSE(view.giveKeysBackButton().isVisibleTo(&view));
  holder.holdsKeys = true;
  model.publish(holder);
  view.giveKeysBackButton().click();
  EXPECT_EQ(model.calls["giveKeysBack"], 1);
}

TEST_F(AccessViewTest, PermissionChangesSpringUnlessADesktopAsksForLessMotion) {
  view.reducedMotion().apply(kGnome, "enable-animations", true);
  model.publish({.hasRequestedAccessibility = true});
  EXPECT_FALSE(view.isAnimating());  // not a permission
  // A setting as the portal gives it (the value maybe wrapped) -> whether the next change springs.
  const std::tuple<QString, QString, QVariant, bool> answers[] = {
      {kGnome, "enable-animations", QVariant::fromValue(QDBusVariant(true)), true},
      {kGnome, "enable-animations", false, false},
      {kGnome, "gtk-theme", "Adwaita", false},
      {kGnome, "enable-animations", true, true},
      {kKde, "AnimationDurationFactor", "0", false},  // either desktop's wish is enough
      {kKde, "AnimationDurationFactor", 0.5, true}};
  for (const auto& [group, key, value, springs] : answers) {
    view.reducedMotion().apply(group, key, value);
    model.publish({.hasAccessibility = !model.state.hasAccessibility});
    EXPECT_EQ(view.isAnimating(), springs) << key.toStdString();
  }
  EXPECT_FALSE(ReducedMotion().isReduced());  // no session bus here: animations on
}

TEST_F(AccessViewTest, ViewportFitsTheContentFocusChangesNoSizeAndTheRingNeedsTheKeyboard) {
  EXPECT_EQ(view.viewportHeight(), 820);  // measured on a later turn, never inside a layout pass
  scheduler.advance({});
  EXPECT_LT(view.viewportHeight(), 820);
  for (const auto& [content, viewport] :
       {std::pair{200.0, 260.0}, {2000.0, 820.0}, {500.0, 500.0}, {501.0, 500.0}, {502.5, 502.5}}) {
    view.fitViewport(content);
    EXPECT_EQ(std::pair(view.viewportHeight(), view.scrollArea().height()),
              std::pair(viewport, qRound(viewport)));
  }
  model.publish(
      {.hasAccessibility = true, .automationStatus = granted, .accessSetupCompleted = true});
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 0.0);
  QTest::keyClick(&view, Qt::Key_Tab);
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 1.0);
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

TEST_F(AccessWindowTest, FitsTheContentCentredThenFollowsItKeepingItsTopAndIgnoringAPoint) {
  controller.show();  // invisible until the first resize
  EXPECT_EQ(std::tuple(window().minimumSize(), window().maximumSize(), window().windowOpacity()),
            std::tuple(QSize(520, 820), QSize(520, 820), 0.0));
  EXPECT_EQ(window().focusWidget(), &window());  // no control starts focused
  scheduler.advance(ms(60));
  EXPECT_EQ(std::tuple(window().height(), window().windowOpacity(), centred()),
            std::tuple(qRound(controller.view()->viewportHeight()), 1.0, true));
  const int top = window().y(), setup = window().height();
  model.publish(kAttention);
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

TEST_F(AccessWindowTest, AppearsWithoutAHeightRefreshesWhileOpenDoneClosesAndReopensIt) {
  model.state = {.hasAccessibility = true, .accessSetupCompleted = true};
  screen = 300;  // no room beyond the 260-point minimum: no height to report
  controller.show();
  scheduler.advance(ms(299));
  EXPECT_EQ(window().windowOpacity(), 0.0);
  scheduler.advance(ms(1));  // it appears all the same
  EXPECT_EQ(std::pair(window().height(), window().windowOpacity()), std::pair(260, 1.0));
  window().move(10, 10);
  controller.show();  // again while open: centred again, still one timer
  scheduler.advance(ms(1760));
  EXPECT_EQ(std::pair(model.calls["refreshPermissions"], centred()), std::pair(3, true));

  AccessWindow* first = controller.window();
  const auto calls = model.calls;
  const int height = window().height();
  controller.scheduleResize(200);
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

TEST_F(AccessWindowTest, ShowDoesNothingOnceTheModelIsGone) {
  auto gone = std::make_unique<testing::FakeUiModel>();
  AccessWindowController orphan(*gone, scheduler, [] { return 900.0; });
  gone.reset();
  orphan.show();
  EXPECT_EQ(orphan.window(), nullptr);
}

}  // namespace
}  // namespace tonvara::ui
