#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "AccessView.h"
#include "FakeUiModel.h"
#include "ReducedMotion.h"
#include "VirtualScheduler.h"

namespace tonvara::ui {
namespace {

using style::Tint;
using testing::FakeUiModel;
using testing::VirtualScheduler;
using State = FakeUiModel::State;
using std::chrono::milliseconds;

constexpr auto kGranted = AutomationAccess::granted;
constexpr auto kDenied = AutomationAccess::denied;
constexpr auto kUndetermined = AutomationAccess::undetermined;

class AccessViewTest : public ::testing::Test {
 protected:
  FakeUiModel model;
  VirtualScheduler scheduler;
  double maxViewport = 820;
  std::vector<double> reportedViewports;
  AccessView view{model, scheduler, [this] { return maxViewport; },
                  [this](double height) { reportedViewports.push_back(height); }};

  // Cards show their final look at once; the spring has its own tests.
  AccessViewTest() { view.setReduceMotion(true); }

  void publish(const State& state) {
    model.publish(state);
    scheduler.advance(milliseconds(0));
  }

  // What a card widget shows must be what its card says.
  static void expectShows(StepCardWidget& widget, const AccessStepCard& card) {
    EXPECT_EQ(widget.card().title, card.title);
    EXPECT_EQ(widget.stepLabel().text(), card.stepLabel());
    EXPECT_EQ(widget.stepLabel().isHidden(), !card.number.has_value());
    EXPECT_EQ(widget.titleLabel().text(), card.title);
    EXPECT_EQ(widget.detailLabel().text(), card.detail);
    EXPECT_EQ(widget.icon().symbolName(), stepSymbol(card.state));
    EXPECT_EQ(widget.icon().tint(), stepSymbolTint(card.state));
    EXPECT_FALSE(widget.icon().pixmap().isNull());
    EXPECT_EQ(widget.stroke(), stepStroke(card.state));
    EXPECT_EQ(widget.opacityEffect().opacity(), stepOpacity(card.state));
    EXPECT_EQ(widget.button().isVisibleTo(&widget), card.hasButton());
    if (card.hasButton()) {
      EXPECT_EQ(widget.button().text(), *card.actionTitle);
    }
  }

  static void expectShows(PermissionStatusRowWidget& widget, const PermissionStatusRow& row) {
    EXPECT_EQ(widget.titleLabel().text(), row.title);
    EXPECT_EQ(widget.detailLabel().text(), row.detail);
    EXPECT_EQ(widget.icon().symbolName(), row.symbol);
    EXPECT_EQ(widget.icon().tint(), row.color);
    EXPECT_EQ(widget.button().isVisibleTo(&widget), row.hasButton());
    if (row.hasButton()) {
      EXPECT_EQ(widget.button().text(), *row.actionTitle);
    }
  }
};

TEST_F(AccessViewTest, FreshStartShowsTheNumberedSetupSteps) {
  EXPECT_EQ(view.presentation(), AccessPresentation::setup);
  EXPECT_EQ(view.headingTitle().text(), "Set up Tonvara");
  EXPECT_FALSE(view.headingDetail().text().isEmpty());

  StepCardWidget& first = view.accessibilityCard();
  EXPECT_EQ(first.stepLabel().text(), "STEP 1");
  EXPECT_EQ(first.icon().symbolName(), "circle.inset.filled");
  EXPECT_EQ(first.stroke(), Tint::accent);
  EXPECT_EQ(first.strokeWidth(), 1.5);
  EXPECT_EQ(first.button().text(), "Allow Accessibility…");

  StepCardWidget& second = view.automationCard();
  EXPECT_EQ(second.stepLabel().text(), "STEP 2");
  EXPECT_EQ(second.icon().symbolName(), "lock.fill");
  EXPECT_EQ(second.detailLabel().text(), "Complete Accessibility first.");
  EXPECT_FALSE(second.button().isVisibleTo(&second));
  EXPECT_EQ(second.stroke(), std::nullopt);
  EXPECT_EQ(second.strokeWidth(), 1.0);
  EXPECT_EQ(second.strokeColor(), QColor::fromRgbF(1, 1, 1, 0.08F));
  EXPECT_DOUBLE_EQ(second.opacityEffect().opacity(), 0.68);

  EXPECT_FALSE(view.statusCard().isVisibleTo(&view));
  EXPECT_FALSE(view.isRecoveryShown());
  EXPECT_FALSE(view.isDoneButtonShown());
}

TEST_F(AccessViewTest, SetupCardsShowEveryPermissionState) {
  for (bool accessibility : {false, true}) {
    for (bool requested : {false, true}) {
      for (AutomationAccess automation : {kGranted, kDenied, kUndetermined}) {
        SCOPED_TRACE(::testing::PrintToString(accessibility) + " " +
                     ::testing::PrintToString(requested) + " " +
                     ::testing::PrintToString(static_cast<int>(automation)));
        publish({.hasAccessibility = accessibility,
                 .hasRequestedAccessibility = requested,
                 .automationStatus = automation});
        expectShows(view.accessibilityCard(), accessibilityStep(model, true));
        expectShows(view.automationCard(), automationStep(model, true));
      }
    }
  }
}

TEST_F(AccessViewTest, StatusRowsShowEveryPermissionState) {
  for (bool accessibility : {false, true}) {
    for (bool requested : {false, true}) {
      for (AutomationAccess automation : {kGranted, kDenied, kUndetermined}) {
        publish({.hasAccessibility = accessibility,
                 .hasRequestedAccessibility = requested,
                 .automationStatus = automation,
                 .accessSetupCompleted = true});
        expectShows(view.statusCard().accessibilityRow(), accessibilityPermissionStatus(model));
        expectShows(view.statusCard().automationRow(), automationPermissionStatus(model));
        EXPECT_EQ(view.statusCard().stroke(), permissionStatusStroke(model));
      }
    }
  }
}

TEST_F(AccessViewTest, CardButtonsRunTheirActions) {
  view.accessibilityCard().button().click();
  EXPECT_EQ(model.calls.requestAccessibility, 1);

  publish({.hasRequestedAccessibility = true});
  view.accessibilityCard().button().click();
  EXPECT_EQ(model.calls.openAccessibilitySettings, 1);

  publish({.hasAccessibility = true, .automationStatus = kUndetermined});
  view.automationCard().button().click();
  EXPECT_EQ(model.calls.requestAutomation, 1);

  publish({.hasAccessibility = true, .automationStatus = kDenied});
  view.automationCard().button().click();
  EXPECT_EQ(model.calls.openAutomationSettings, 1);
}

TEST_F(AccessViewTest, StatusRowButtonsRunTheirActions) {
  publish({.hasAccessibility = false, .automationStatus = kDenied, .accessSetupCompleted = true});
  view.statusCard().accessibilityRow().button().click();
  view.statusCard().automationRow().button().click();
  EXPECT_EQ(model.calls.requestAccessibility, 1);
  EXPECT_EQ(model.calls.openAutomationSettings, 1);

  publish({.hasAccessibility = true,
           .hasRequestedAccessibility = true,
           .automationStatus = kUndetermined,
           .accessSetupCompleted = true});
  view.statusCard().automationRow().button().click();
  EXPECT_EQ(model.calls.requestAutomation, 1);
}

TEST_F(AccessViewTest, CompletedSetupShowsStatusAndDoneButton) {
  publish({.hasAccessibility = true, .automationStatus = kGranted, .accessSetupCompleted = true});
  EXPECT_EQ(view.presentation(), AccessPresentation::status);
  EXPECT_EQ(view.headingTitle().text(), "Permissions");
  EXPECT_EQ(view.headingDetail().text(), "Access Tonvara needs to control Music.");
  EXPECT_FALSE(view.accessibilityCard().isVisibleTo(&view));
  EXPECT_TRUE(view.statusCard().isVisibleTo(&view));
  EXPECT_TRUE(view.isDoneButtonShown());
  EXPECT_EQ(view.doneButton().text(), "Done");

  QSignalSpy done(&view, &AccessView::doneRequested);
  view.doneButton().click();
  EXPECT_EQ(done.count(), 1);
  EXPECT_EQ(model.calls.setEnabled, 0);
}

TEST_F(AccessViewTest, RecoverySectionShowsOnlyWhileAttentionIsNeeded) {
  publish({.enabled = true,
           .hasAccessibility = true,
           .automationStatus = kDenied,
           .accessSetupCompleted = true});
  ASSERT_TRUE(model.needsAttention());
  EXPECT_TRUE(view.isRecoveryShown());
  // Unnumbered, never locked.
  expectShows(view.recoveryAccessibilityCard(), accessibilityStep(model, false));
  expectShows(view.recoveryAutomationCard(), automationStep(model, false));
  EXPECT_EQ(view.recoveryAutomationCard().stepLabel().text(), "");

  publish({.enabled = false, .hasAccessibility = false, .accessSetupCompleted = true});
  EXPECT_FALSE(view.isRecoveryShown());
  publish({.enabled = true,
           .hasAccessibility = true,
           .automationStatus = kGranted,
           .accessSetupCompleted = true});
  EXPECT_FALSE(view.isRecoveryShown());
}

TEST_F(AccessViewTest, RefreshesThePermissionsEachTimeItIsShown) {
  view.show();
  view.hide();
  view.show();
  EXPECT_EQ(model.calls.refreshPermissions, 2);
}

TEST_F(AccessViewTest, PermissionChangesSpringUnlessMotionIsReduced) {
  view.setReduceMotion(false);
  publish({.hasAccessibility = true});
  EXPECT_TRUE(view.isAnimating());

  view.setReduceMotion(true);
  publish({.hasAccessibility = false});
  EXPECT_FALSE(view.isAnimating());
  EXPECT_DOUBLE_EQ(view.automationCard().opacityEffect().opacity(), 0.68);
}

TEST_F(AccessViewTest, OtherChangesDoNotAnimate) {
  view.setReduceMotion(false);
  publish({.hasRequestedAccessibility = true});
  EXPECT_FALSE(view.isAnimating());
}

TEST_F(AccessViewTest, ViewportIsClampedAndMovesOnlyBeyondAPoint) {
  reportedViewports.clear();
  view.fitViewport(200);
  EXPECT_EQ(view.viewportHeight(), 260);
  view.fitViewport(2000);
  EXPECT_EQ(view.viewportHeight(), 820);
  view.fitViewport(500);
  view.fitViewport(501);
  EXPECT_EQ(view.viewportHeight(), 500);
  view.fitViewport(502.5);
  EXPECT_EQ(view.viewportHeight(), 502.5);
  EXPECT_EQ(reportedViewports, (std::vector<double>{260, 820, 500, 502.5}));
  EXPECT_EQ(view.scrollArea().height(), 503);
}

TEST_F(AccessViewTest, ContentHeightReachesTheViewportOnALaterTurn) {
  EXPECT_TRUE(reportedViewports.empty());
  scheduler.advance(milliseconds(0));
  ASSERT_EQ(reportedViewports.size(), 1U);
  const double setupHeight = reportedViewports.back();
  EXPECT_GT(setupHeight, 260);
  EXPECT_LT(setupHeight, 820);

  // The status layout with the recovery section is taller.
  publish({.enabled = true, .automationStatus = kDenied, .accessSetupCompleted = true});
  ASSERT_EQ(reportedViewports.size(), 2U);
  EXPECT_GT(reportedViewports.back(), setupHeight);
}

TEST_F(AccessViewTest, DoneButtonShowsItsRingOnlyWithKeyboardFocus) {
  publish({.hasAccessibility = true, .automationStatus = kGranted, .accessSetupCompleted = true});
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 0.0);
  QTest::keyClick(&view, Qt::Key_Tab);
  EXPECT_TRUE(view.doneButton().hasFocus());
  EXPECT_EQ(view.doneButton().focusRingOpacity(), 1.0);
  // The ring lies outside the filled capsule.
  EXPECT_GE(view.doneButton().capsuleRect().top(), style::kFocusRingWidth);

  if (const QByteArray dir = qgetenv("TONVARA_UI_GRAB_DIR"); !dir.isEmpty()) {
    view.grab().save(QString::fromLocal8Bit(dir) + "/access-status-focused.png");
  }
}

}  // namespace
}  // namespace tonvara::ui

namespace tonvara::ui {
namespace {

void writeFile(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

TEST(ReducedMotionTest, ReadsKdeAndGtkSettings) {
  QTemporaryDir config;
  EXPECT_FALSE(reducedMotionFromConfigFiles(config.path()));

  writeFile(config.path() + "/kdeglobals", "[KDE]\nAnimationDurationFactor=0.5\n");
  EXPECT_FALSE(reducedMotionFromConfigFiles(config.path()));
  writeFile(config.path() + "/kdeglobals", "[KDE]\nAnimationDurationFactor=0\n");
  EXPECT_TRUE(reducedMotionFromConfigFiles(config.path()));

  QFile::remove(config.path() + "/kdeglobals");
  writeFile(config.path() + "/gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=true\n");
  EXPECT_FALSE(reducedMotionFromConfigFiles(config.path()));
  writeFile(config.path() + "/gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=0\n");
  EXPECT_TRUE(reducedMotionFromConfigFiles(config.path()));
}

}  // namespace
}  // namespace tonvara::ui

#include "ContentHeightReader.h"

namespace tonvara::ui {
namespace {

class ContentHeightReaderTest : public ::testing::Test {
 protected:
  testing::VirtualScheduler scheduler;
  QWidget content;
  double height = 300;
  int measurements = 0;
  std::vector<double> reports;
  ContentHeightReader reader{content, scheduler,
                             [this] {
                               ++measurements;
                               return height;
                             },
                             [this](double reported) { reports.push_back(reported); }};

  void layoutChangesTo(double newHeight) {
    height = newHeight;
    reader.layoutChanged();
    scheduler.advance(std::chrono::milliseconds(0));
  }
};

TEST_F(ContentHeightReaderTest, ReportsOnALaterTurnNeverDuringTheLayout) {
  reader.layoutChanged();
  EXPECT_TRUE(reports.empty());
  scheduler.advance(std::chrono::milliseconds(0));
  EXPECT_EQ(reports, std::vector<double>{300});
}

TEST_F(ContentHeightReaderTest, IgnoresChangesOfAPointAndReportsLargerOnes) {
  layoutChangesTo(300);
  layoutChangesTo(301);
  layoutChangesTo(299);
  layoutChangesTo(301.5);
  layoutChangesTo(0);  // not laid out yet
  EXPECT_EQ(reports, (std::vector<double>{300, 301.5}));
  EXPECT_EQ(reader.lastHeight(), 301.5);
}

TEST_F(ContentHeightReaderTest, SeveralLayoutPassesInOneTurnMeasureOnce) {
  reader.layoutChanged();
  reader.layoutChanged();
  QEvent layoutRequest(QEvent::LayoutRequest);
  QCoreApplication::sendEvent(&content, &layoutRequest);
  scheduler.advance(std::chrono::milliseconds(0));
  EXPECT_EQ(measurements, 1);
  EXPECT_EQ(reports.size(), 1U);
}

TEST_F(ContentHeightReaderTest, ANewCallbackKeepsTheLastHeight) {
  layoutChangesTo(300);
  std::vector<double> later;
  reader.setOnChange([&later](double reported) { later.push_back(reported); });
  layoutChangesTo(300.5);
  layoutChangesTo(320);
  EXPECT_EQ(later, std::vector<double>{320});
}

}  // namespace
}  // namespace tonvara::ui
