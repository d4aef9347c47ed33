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
    case PermissionAction::showAccessibilitySteps:
    case PermissionAction::confirmKeyTakeover:
      return;
  }
}

QString say(const QString& text, const UiModel& model, const AccessTexts& texts) {
  QString said = text;
  const QString player = model.musicAppName();
  said.replace(QStringLiteral("{player}"), player.isEmpty() ? texts.unnamedPlayer : player);
  said.replace(QStringLiteral("{settings}"), model.settingsAppName());
  if (said.contains(QStringLiteral("{holder}"))) {
    const auto takeover = model.keyTakeover();
    said.replace(QStringLiteral("{holder}"), takeover ? takeover->holder : QString());
  }
  return said;
}

namespace {

// What the keys' button offers before they are free: taking them from a recognised holder, the
// settings program once asked, or the by-hand steps where there is no such program.
struct KeysOffer {
  QString title;
  QString rowTitle;
  PermissionAction action;
};

KeysOffer keysOffer(const UiModel& model, const AccessTexts& texts) {
  if (model.keyTakeover()) {
    return {texts.takeOverKeys, texts.rowTakeOverKeys, PermissionAction::confirmKeyTakeover};
  }
  if (model.hasRequestedAccessibility() && !model.settingsAppName().isEmpty()) {
    return {texts.openAccessibilitySettings, texts.rowOpenAccessibilitySettings,
            PermissionAction::openAccessibilitySettings};
  }
  if (model.hasRequestedAccessibility() && !model.accessibilitySteps().isEmpty()) {
    return {texts.showSteps, texts.showSteps, PermissionAction::showAccessibilitySteps};
  }
  return {texts.allowAccessibility, texts.rowAllowAccessibility,
          PermissionAction::requestAccessibility};
}

}  // namespace

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

AccessStepCard accessibilityStep(const UiModel& model, bool ordered, const AccessTexts& texts) {
  AccessStepCard card;
  card.number = ordered ? std::optional<int>(1) : std::nullopt;
  card.title = say(texts.accessibilityTitle, model, texts);
  card.morphID = QStringLiteral("accessibility");
  if (model.hasAccessibility()) {
    card.detail = kGranted;
    card.state = AccessStepState::complete;
    return card;
  }
  const KeysOffer offer = keysOffer(model, texts);
  card.detail =
      say(model.keyTakeover() ? texts.takeoverDetail : texts.accessibilityDetail, model, texts);
  card.state = AccessStepState::current;
  card.actionTitle = say(offer.title, model, texts);
  card.action = offer.action;
  return card;
}

AccessStepCard automationStep(const UiModel& model, bool ordered, const AccessTexts& texts) {
  AccessStepCard card;
  card.number = ordered ? std::optional<int>(2) : std::nullopt;
  card.title = say(texts.automationTitle, model, texts);
  card.morphID = QStringLiteral("automation");
  if (ordered && !model.hasAccessibility()) {
    card.detail = say(texts.lockedDetail, model, texts);
    card.state = AccessStepState::locked;
    return card;
  }
  card.state = AccessStepState::current;
  if (model.musicAppName().isEmpty()) {
    card.detail =
        model.musicAppChoices().isEmpty() ? texts.noPlayerDetail : texts.noPlayerPickDetail;
    return card;
  }
  switch (model.automationStatus()) {
    case AutomationAccess::granted:
      card.detail = kGranted;
      card.state = AccessStepState::complete;
      break;
    case AutomationAccess::denied:
      card.detail = say(texts.deniedDetail, model, texts);
      if (texts.openAutomationSettings) {
        card.actionTitle = say(*texts.openAutomationSettings, model, texts);
        card.action = PermissionAction::openAutomationSettings;
      }
      break;
    case AutomationAccess::undetermined:
      card.detail = say(texts.automationDetail, model, texts);
      card.actionTitle = say(texts.allowAutomation, model, texts);
      card.action = PermissionAction::requestAutomation;
      break;
  }
  return card;
}

PermissionStatusRow accessibilityPermissionStatus(const UiModel& model, const AccessTexts& texts) {
  PermissionStatusRow row;
  row.title = say(texts.accessibilityTitle, model, texts);
  if (model.hasAccessibility()) {
    row.symbol = kCheckmark;
    row.color = style::Tint::green;
    row.detail = kGranted;
    return row;
  }
  const KeysOffer offer = keysOffer(model, texts);
  row.symbol = kExclamation;
  row.color = style::Tint::orange;
  row.detail = kNeedsAttention;
  row.actionTitle = say(offer.rowTitle, model, texts);
  row.action = offer.action;
  return row;
}

PermissionStatusRow automationPermissionStatus(const UiModel& model, const AccessTexts& texts) {
  PermissionStatusRow row;
  row.title = say(texts.automationTitle, model, texts);
  if (model.musicAppName().isEmpty()) {
    row.symbol = kExclamation;
    row.color = style::Tint::orange;
    row.detail = texts.rowNoPlayer;
    return row;
  }
  switch (model.automationStatus()) {
    case AutomationAccess::granted:
      row.symbol = kCheckmark;
      row.color = style::Tint::green;
      row.detail = kGranted;
      break;
    case AutomationAccess::denied:
      row.symbol = kExclamation;
      row.color = style::Tint::orange;
      row.detail = texts.rowDenied;
      if (texts.rowOpenAutomationSettings) {
        row.actionTitle = *texts.rowOpenAutomationSettings;
        row.action = PermissionAction::openAutomationSettings;
      }
      break;
    case AutomationAccess::undetermined:
      if (model.hasAccessibility()) {
        row.symbol = QStringLiteral("questionmark.circle.fill");
        row.color = style::Tint::secondary;
        row.detail = QStringLiteral("Not confirmed");
        row.actionTitle = texts.rowAllowAutomation;
        row.action = PermissionAction::requestAutomation;
      } else {
        row.symbol = QStringLiteral("lock.fill");
        row.color = style::Tint::secondary;
        row.detail = texts.rowLocked;
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
