#include "AccessSteps.h"

namespace tonvara::ui {
namespace {

const QString kGranted = QStringLiteral("Granted");
const QString kNeedsAttention = QStringLiteral("Needs attention");
const QString kCheckmark = QStringLiteral("checkmark.circle.fill");
const QString kExclamation = QStringLiteral("exclamationmark.circle.fill");

}  // namespace

void perform(PermissionAction action, UiModel& model) {
  switch (action) {
    case PermissionAction::requestAccessibility:
      model.requestAccessibility();
      return;
    case PermissionAction::openAccessibilitySettings:
      model.openAccessibilitySettings();
      return;
    case PermissionAction::requestAutomation:
      model.requestAutomation();
      return;
    case PermissionAction::openAutomationSettings:
      model.openAutomationSettings();
      return;
  }
}

QString AccessStepCard::stepLabel() const {
  return number ? QStringLiteral("STEP %1").arg(*number) : QString();
}

QString stepSymbol(AccessStepState state) {
  switch (state) {
    case AccessStepState::complete:
      return kCheckmark;
    case AccessStepState::current:
      return QStringLiteral("circle.inset.filled");
    case AccessStepState::locked:
      return QStringLiteral("lock.fill");
  }
  return {};
}

style::Tint stepSymbolTint(AccessStepState state) {
  switch (state) {
    case AccessStepState::complete:
      return style::Tint::green;
    case AccessStepState::current:
      return style::Tint::accent;
    case AccessStepState::locked:
      return style::Tint::secondary;
  }
  return style::Tint::secondary;
}

std::optional<style::Tint> stepStroke(AccessStepState state) {
  switch (state) {
    case AccessStepState::complete:
      return style::Tint::green;
    case AccessStepState::current:
      return style::Tint::accent;
    case AccessStepState::locked:
      return std::nullopt;
  }
  return std::nullopt;
}

qreal stepOpacity(AccessStepState state) { return state == AccessStepState::locked ? 0.68 : 1.0; }

AccessStepCard accessibilityStep(const UiModel& model, bool ordered) {
  AccessStepCard card;
  card.number = ordered ? std::optional<int>(1) : std::nullopt;
  card.title = QStringLiteral("Accessibility");
  card.morphID = QStringLiteral("accessibility");
  if (model.hasAccessibility()) {
    card.detail = kGranted;
    card.state = AccessStepState::complete;
    return card;
  }
  card.detail = QStringLiteral("Lets Tonvara capture media keys before other apps.");
  card.state = AccessStepState::current;
  if (model.hasRequestedAccessibility()) {
    card.actionTitle = QStringLiteral("Open Accessibility Settings…");
    card.action = PermissionAction::openAccessibilitySettings;
  } else {
    card.actionTitle = QStringLiteral("Allow Accessibility…");
    card.action = PermissionAction::requestAccessibility;
  }
  return card;
}

AccessStepCard automationStep(const UiModel& model, bool ordered) {
  AccessStepCard card;
  card.number = ordered ? std::optional<int>(2) : std::nullopt;
  card.title = QStringLiteral("Automation for Music");
  card.morphID = QStringLiteral("automation");
  if (ordered && !model.hasAccessibility()) {
    card.detail = QStringLiteral("Complete Accessibility first.");
    card.state = AccessStepState::locked;
    return card;
  }
  switch (model.automationStatus()) {
    case AutomationAccess::granted:
      card.detail = kGranted;
      card.state = AccessStepState::complete;
      break;
    case AutomationAccess::denied:
      card.detail = QStringLiteral("Enable Tonvara → Music in System Settings.");
      card.state = AccessStepState::current;
      card.actionTitle = QStringLiteral("Open Automation Settings…");
      card.action = PermissionAction::openAutomationSettings;
      break;
    case AutomationAccess::undetermined:
      card.detail = QStringLiteral(
          "Lets Tonvara send play, pause, and skip commands. Requesting access opens Music "
          "without changing playback.");
      card.state = AccessStepState::current;
      card.actionTitle = QStringLiteral("Allow Automation…");
      card.action = PermissionAction::requestAutomation;
      break;
  }
  return card;
}

PermissionStatusRow accessibilityPermissionStatus(const UiModel& model) {
  PermissionStatusRow row;
  row.title = QStringLiteral("Accessibility");
  if (model.hasAccessibility()) {
    row.symbol = kCheckmark;
    row.color = style::Tint::green;
    row.detail = kGranted;
    return row;
  }
  row.symbol = kExclamation;
  row.color = style::Tint::orange;
  row.detail = kNeedsAttention;
  if (model.hasRequestedAccessibility()) {
    row.actionTitle = QStringLiteral("Open Settings…");
    row.action = PermissionAction::openAccessibilitySettings;
  } else {
    row.actionTitle = QStringLiteral("Allow…");
    row.action = PermissionAction::requestAccessibility;
  }
  return row;
}

PermissionStatusRow automationPermissionStatus(const UiModel& model) {
  PermissionStatusRow row;
  row.title = QStringLiteral("Automation for Music");
  switch (model.automationStatus()) {
    case AutomationAccess::granted:
      row.symbol = kCheckmark;
      row.color = style::Tint::green;
      row.detail = kGranted;
      break;
    case AutomationAccess::denied:
      row.symbol = kExclamation;
      row.color = style::Tint::orange;
      row.detail = kNeedsAttention;
      row.actionTitle = QStringLiteral("Open Settings…");
      row.action = PermissionAction::openAutomationSettings;
      break;
    case AutomationAccess::undetermined:
      if (model.hasAccessibility()) {
        row.symbol = QStringLiteral("questionmark.circle.fill");
        row.color = style::Tint::secondary;
        row.detail = QStringLiteral("Not confirmed");
        row.actionTitle = QStringLiteral("Allow…");
        row.action = PermissionAction::requestAutomation;
      } else {
        row.symbol = QStringLiteral("lock.fill");
        row.color = style::Tint::secondary;
        row.detail = QStringLiteral("Accessibility required first");
      }
      break;
  }
  return row;
}

std::optional<style::Tint> permissionStatusStroke(const UiModel& model) {
  if (!model.hasAccessibility()) {
    return style::Tint::orange;
  }
  switch (model.automationStatus()) {
    case AutomationAccess::denied:
      return style::Tint::orange;
    case AutomationAccess::granted:
      return style::Tint::green;
    case AutomationAccess::undetermined:
      return std::nullopt;
  }
  return std::nullopt;
}

AccessPresentation presentationFor(const UiModel& model) {
  return model.accessSetupCompleted() ? AccessPresentation::status : AccessPresentation::setup;
}

}  // namespace tonvara::ui
