#include <gtest/gtest.h>

#include "AccessSteps.h"
#include "FakeUiModel.h"

namespace tonvara::ui {
namespace {

using style::Tint;
using testing::FakeUiModel;
using State = FakeUiModel::State;

constexpr auto kGranted = AutomationAccess::granted;
constexpr auto kDenied = AutomationAccess::denied;
constexpr auto kUndetermined = AutomationAccess::undetermined;

const QString kCaptureDetail = "Lets Tonvara capture media keys before other apps.";
const QString kAutomationDetail =
    "Lets Tonvara send play, pause, and skip commands. Requesting access opens Music without "
    "changing playback.";

struct ExpectedCard {
  QString detail;
  AccessStepState state;
  std::optional<QString> actionTitle;
  std::optional<PermissionAction> action;
};

void expectCard(const AccessStepCard& card, const ExpectedCard& expected) {
  EXPECT_EQ(card.detail, expected.detail);
  EXPECT_EQ(card.state, expected.state);
  EXPECT_EQ(card.actionTitle, expected.actionTitle);
  EXPECT_EQ(card.action, expected.action);
}

AccessStepCard accessibility(const State& state, bool ordered = true) {
  FakeUiModel model;
  model.state = state;
  return accessibilityStep(model, ordered);
}

AccessStepCard automation(const State& state, bool ordered = true) {
  FakeUiModel model;
  model.state = state;
  return automationStep(model, ordered);
}

TEST(AccessibilityStepTest, FollowsTheTableFirstMatchFirst) {
  expectCard(accessibility({.hasAccessibility = true, .hasRequestedAccessibility = true}),
             {"Granted", AccessStepState::complete, std::nullopt, std::nullopt});
  expectCard(accessibility({.hasRequestedAccessibility = true}),
             {kCaptureDetail, AccessStepState::current, "Open Accessibility Settings…",
              PermissionAction::openAccessibilitySettings});
  expectCard(accessibility({}), {kCaptureDetail, AccessStepState::current, "Allow Accessibility…",
                                 PermissionAction::requestAccessibility});
}

TEST(AccessibilityStepTest, IsNumberedOneOnlyInTheOrderedSequence) {
  const AccessStepCard ordered = accessibility({});
  EXPECT_EQ(ordered.title, "Accessibility");
  EXPECT_EQ(ordered.morphID, "accessibility");
  EXPECT_EQ(ordered.number, 1);
  EXPECT_EQ(ordered.stepLabel(), "STEP 1");
  const AccessStepCard unordered = accessibility({}, false);
  EXPECT_EQ(unordered.number, std::nullopt);
  EXPECT_EQ(unordered.stepLabel(), "");
}

TEST(AutomationStepTest, OrderedStepIsLockedUntilAccessibilityWhateverAutomationSays) {
  for (AutomationAccess status : {kGranted, kDenied, kUndetermined}) {
    const AccessStepCard card = automation({.automationStatus = status});
    expectCard(card, {"Complete Accessibility first.", AccessStepState::locked, std::nullopt,
                      std::nullopt});
    EXPECT_FALSE(card.hasButton());
  }
}

TEST(AutomationStepTest, FollowsTheAutomationPermissionOnceUnlocked) {
  for (bool ordered : {true, false}) {
    expectCard(automation({.hasAccessibility = true, .automationStatus = kGranted}, ordered),
               {"Granted", AccessStepState::complete, std::nullopt, std::nullopt});
    expectCard(automation({.hasAccessibility = true, .automationStatus = kDenied}, ordered),
               {"Enable Tonvara → Music in System Settings.", AccessStepState::current,
                "Open Automation Settings…", PermissionAction::openAutomationSettings});
    expectCard(automation({.hasAccessibility = true, .automationStatus = kUndetermined}, ordered),
               {kAutomationDetail, AccessStepState::current, "Allow Automation…",
                PermissionAction::requestAutomation});
  }
}

TEST(AutomationStepTest, UnorderedCardIsNeverLockedAndCarriesNoNumber) {
  const AccessStepCard card = automation({.automationStatus = kDenied}, false);
  EXPECT_EQ(card.state, AccessStepState::current);
  EXPECT_EQ(card.number, std::nullopt);
  EXPECT_EQ(automation({}).number, 2);
  EXPECT_EQ(automation({}).stepLabel(), "STEP 2");
  EXPECT_EQ(card.title, "Automation for Music");
  EXPECT_EQ(card.morphID, "automation");
}

TEST(StepLookTest, StateSetsSymbolColourStrokeAndOpacity) {
  EXPECT_EQ(stepSymbol(AccessStepState::complete), "checkmark.circle.fill");
  EXPECT_EQ(stepSymbolTint(AccessStepState::complete), Tint::green);
  EXPECT_EQ(stepStroke(AccessStepState::complete), Tint::green);
  EXPECT_EQ(stepOpacity(AccessStepState::complete), 1.0);

  EXPECT_EQ(stepSymbol(AccessStepState::current), "circle.inset.filled");
  EXPECT_EQ(stepSymbolTint(AccessStepState::current), Tint::accent);
  EXPECT_EQ(stepStroke(AccessStepState::current), Tint::accent);
  EXPECT_EQ(stepOpacity(AccessStepState::current), 1.0);

  EXPECT_EQ(stepSymbol(AccessStepState::locked), "lock.fill");
  EXPECT_EQ(stepSymbolTint(AccessStepState::locked), Tint::secondary);
  EXPECT_EQ(stepStroke(AccessStepState::locked), std::nullopt);
  EXPECT_EQ(stepOpacity(AccessStepState::locked), 0.68);
}

struct ExpectedRow {
  QString symbol;
  Tint color;
  QString detail;
  std::optional<QString> actionTitle;
  std::optional<PermissionAction> action;
};

void expectRow(const PermissionStatusRow& row, const ExpectedRow& expected) {
  EXPECT_EQ(row.symbol, expected.symbol);
  EXPECT_EQ(row.color, expected.color);
  EXPECT_EQ(row.detail, expected.detail);
  EXPECT_EQ(row.actionTitle, expected.actionTitle);
  EXPECT_EQ(row.action, expected.action);
}

PermissionStatusRow accessibilityRow(const State& state) {
  FakeUiModel model;
  model.state = state;
  return accessibilityPermissionStatus(model);
}

PermissionStatusRow automationRow(const State& state) {
  FakeUiModel model;
  model.state = state;
  return automationPermissionStatus(model);
}

std::optional<Tint> statusStroke(const State& state) {
  FakeUiModel model;
  model.state = state;
  return permissionStatusStroke(model);
}

TEST(PermissionStatusTest, AccessibilityRowFollowsTheTable) {
  EXPECT_EQ(accessibilityRow({}).title, "Accessibility");
  expectRow(accessibilityRow({.hasAccessibility = true, .hasRequestedAccessibility = true}),
            {"checkmark.circle.fill", Tint::green, "Granted", std::nullopt, std::nullopt});
  expectRow(accessibilityRow({.hasRequestedAccessibility = true}),
            {"exclamationmark.circle.fill", Tint::orange, "Needs attention", "Open Settings…",
             PermissionAction::openAccessibilitySettings});
  expectRow(accessibilityRow({}), {"exclamationmark.circle.fill", Tint::orange, "Needs attention",
                                   "Allow…", PermissionAction::requestAccessibility});
}

TEST(PermissionStatusTest, AutomationRowLooksAtAutomationBeforeAccessibility) {
  EXPECT_EQ(automationRow({}).title, "Automation for Music");
  for (bool accessibility : {true, false}) {
    expectRow(automationRow({.hasAccessibility = accessibility, .automationStatus = kGranted}),
              {"checkmark.circle.fill", Tint::green, "Granted", std::nullopt, std::nullopt});
    expectRow(automationRow({.hasAccessibility = accessibility, .automationStatus = kDenied}),
              {"exclamationmark.circle.fill", Tint::orange, "Needs attention", "Open Settings…",
               PermissionAction::openAutomationSettings});
  }
  expectRow(automationRow({.hasAccessibility = true, .automationStatus = kUndetermined}),
            {"questionmark.circle.fill", Tint::secondary, "Not confirmed", "Allow…",
             PermissionAction::requestAutomation});
  expectRow(
      automationRow({.hasAccessibility = false, .automationStatus = kUndetermined}),
      {"lock.fill", Tint::secondary, "Accessibility required first", std::nullopt, std::nullopt});
}

TEST(PermissionStatusTest, CardStrokeSumsUpBothPermissions) {
  EXPECT_EQ(statusStroke({.hasAccessibility = false, .automationStatus = kGranted}), Tint::orange);
  EXPECT_EQ(statusStroke({.hasAccessibility = true, .automationStatus = kDenied}), Tint::orange);
  EXPECT_EQ(statusStroke({.hasAccessibility = true, .automationStatus = kGranted}), Tint::green);
  EXPECT_EQ(statusStroke({.hasAccessibility = true, .automationStatus = kUndetermined}),
            std::nullopt);
}

TEST(PermissionActionTest, EachActionReachesItsModelOperation) {
  FakeUiModel model;
  perform(PermissionAction::requestAccessibility, model);
  perform(PermissionAction::openAccessibilitySettings, model);
  perform(PermissionAction::requestAutomation, model);
  perform(PermissionAction::openAutomationSettings, model);
  EXPECT_EQ(model.calls.requestAccessibility, 1);
  EXPECT_EQ(model.calls.openAccessibilitySettings, 1);
  EXPECT_EQ(model.calls.requestAutomation, 1);
  EXPECT_EQ(model.calls.openAutomationSettings, 1);
}

}  // namespace
}  // namespace tonvara::ui
