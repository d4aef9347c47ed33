#pragma once

#include <QString>
#include <optional>

namespace tonvara::ui {

// Every word the menu and the Access window show that differs between platforms. Texts may name
// "{player}" (the music application), "{settings}" (the settings program) and "{holder}" (the
// program that holds the media keys); the views fill them in from the model.
struct AccessTexts {
  QString unnamedPlayer;  // {player} while no player is installed

  // The menu.
  QString setupItem;
  QString whenNotRunning;
  QString launchPlayer;

  // The headings.
  QString setupDetail;
  QString statusDetail;

  // Step 1: the media keys.
  QString accessibilityTitle;
  QString accessibilityDetail;
  QString takeoverDetail;  // when a recognised program holds the keys
  QString allowAccessibility;
  QString takeOverKeys;
  QString openAccessibilitySettings;
  QString showSteps;  // when there is no settings program to open
  QString rowAllowAccessibility;
  QString rowTakeOverKeys;
  QString rowOpenAccessibilitySettings;

  // Step 2: the player.
  QString automationTitle;
  QString lockedDetail;
  QString rowLocked;
  QString automationDetail;
  QString allowAutomation;
  QString rowAllowAutomation;
  QString deniedDetail;
  QString rowDenied;
  // Absent where nothing the user can open lifts the refusal.
  std::optional<QString> openAutomationSettings;
  std::optional<QString> rowOpenAutomationSettings;
  QString noPlayerDetail;      // nothing installed to pick either
  QString noPlayerPickDetail;  // no default, but players to pick from
  QString rowNoPlayer;

  // The player picker, the by-hand steps, giving the keys back and the takeover's question.
  QString pickerLabel;
  QString defaultChoice;
  QString defaultChoiceUnnamed;  // while the default's name is unknown or there is none
  QString stepsTitle;
  QString giveKeysBack;
  QString confirmTakeover;
  QString confirmTakeoverButton;
};

const AccessTexts& macTexts();
const AccessTexts& linuxTexts();
// The table of the platform the program is built for, chosen when it is linked.
const AccessTexts& platformTexts();

}  // namespace tonvara::ui
