#pragma once

#include <QString>
#include <optional>

#include "Style.h"
#include "UiModel.h"

// What the Access view shows for each permission, as plain values built afresh from the model
// on every render: the step cards of the setup sequence and the rows of the status card.
namespace tonvara::ui {

enum class AccessStepState { complete, current, locked };

// What a card's or row's button does.
enum class PermissionAction {
  requestAccessibility,
  openAccessibilitySettings,
  requestAutomation,
  openAutomationSettings,
};

void perform(PermissionAction action, UiModel& model);

struct AccessStepCard {
  std::optional<int> number;  // shown after STEP; absent on unnumbered cards
  QString title;
  QString detail;
  AccessStepState state = AccessStepState::current;
  std::optional<QString> actionTitle;
  std::optional<PermissionAction> action;
  QString morphID;

  bool hasButton() const { return actionTitle.has_value() && action.has_value(); }
  // "STEP 1", or empty when the card has no number.
  QString stepLabel() const;
};

// The card's look for its state.
QString stepSymbol(AccessStepState state);
style::Tint stepSymbolTint(AccessStepState state);
std::optional<style::Tint> stepStroke(AccessStepState state);
qreal stepOpacity(AccessStepState state);

AccessStepCard accessibilityStep(const UiModel& model, bool ordered);
// In the ordered sequence Automation stays locked until Accessibility is granted.
AccessStepCard automationStep(const UiModel& model, bool ordered);

struct PermissionStatusRow {
  QString title;
  QString detail;
  QString symbol;
  style::Tint color = style::Tint::secondary;
  std::optional<QString> actionTitle;
  std::optional<PermissionAction> action;

  bool hasButton() const { return actionTitle.has_value() && action.has_value(); }
};

PermissionStatusRow accessibilityPermissionStatus(const UiModel& model);
// Looks at the Automation permission first: granted or denied shows even without Accessibility.
PermissionStatusRow automationPermissionStatus(const UiModel& model);
std::optional<style::Tint> permissionStatusStroke(const UiModel& model);

// Which layout the view shows: the numbered steps until the setup is completed once.
enum class AccessPresentation { setup, status };
AccessPresentation presentationFor(const UiModel& model);

}  // namespace tonvara::ui
