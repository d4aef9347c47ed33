#pragma once

#include <QString>
#include <optional>

#include "AccessTexts.h"
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
  // Handled by the view: the by-hand steps shown in the window, and the takeover's question.
  showAccessibilitySteps,
  confirmKeyTakeover,
};

// The model's call for an action; the view's own actions do nothing here.
void perform(PermissionAction action, UiModel& model);

// `text` with its placeholders filled in from the model.
QString say(const QString& text, const UiModel& model, const AccessTexts& texts);

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

AccessStepCard accessibilityStep(const UiModel& model, bool ordered,
                                 const AccessTexts& texts = platformTexts());
// In the ordered sequence Automation stays locked until Accessibility is granted.
AccessStepCard automationStep(const UiModel& model, bool ordered,
                              const AccessTexts& texts = platformTexts());

struct PermissionStatusRow {
  QString title;
  QString detail;
  QString symbol;
  style::Tint color = style::Tint::secondary;
  std::optional<QString> actionTitle;
  std::optional<PermissionAction> action;

  bool hasButton() const { return actionTitle.has_value() && action.has_value(); }
};

PermissionStatusRow accessibilityPermissionStatus(const UiModel& model,
                                                  const AccessTexts& texts = platformTexts());
// Looks at the Automation permission first: granted or denied shows even without Accessibility.
PermissionStatusRow automationPermissionStatus(const UiModel& model,
                                               const AccessTexts& texts = platformTexts());
std::optional<style::Tint> permissionStatusStroke(const UiModel& model);

// Which layout the view shows: the numbered steps until the setup is completed once.
enum class AccessPresentation { setup, status };
AccessPresentation presentationFor(const UiModel& model);

}  // namespace tonvara::ui
