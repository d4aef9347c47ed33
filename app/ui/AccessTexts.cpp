#include "AccessTexts.h"

namespace tonvara::ui {

const AccessTexts& macTexts() {
  static const AccessTexts texts{
      .unnamedPlayer = QStringLiteral("Music"),
      .setupItem = QStringLiteral("Set Up Permissions…"),
      .whenNotRunning = QStringLiteral("When Music isn't running"),
      .launchPlayer = QStringLiteral("Launch Music"),
      .setupDetail =
          QStringLiteral("Grant the two permissions below so your media keys control Music."),
      .statusDetail = QStringLiteral("Access Tonvara needs to control Music."),
      .accessibilityTitle = QStringLiteral("Accessibility"),
      .accessibilityDetail = QStringLiteral("Lets Tonvara capture media keys before other apps."),
      .takeoverDetail = QStringLiteral("Lets Tonvara capture media keys before other apps."),
      .allowAccessibility = QStringLiteral("Allow Accessibility…"),
      .takeOverKeys = QStringLiteral("Allow Accessibility…"),
      .openAccessibilitySettings = QStringLiteral("Open Accessibility Settings…"),
      .showSteps = QStringLiteral("Show the Steps"),
      .rowAllowAccessibility = QStringLiteral("Allow…"),
      .rowTakeOverKeys = QStringLiteral("Allow…"),
      .rowOpenAccessibilitySettings = QStringLiteral("Open Settings…"),
      .automationTitle = QStringLiteral("Automation for Music"),
      .lockedDetail = QStringLiteral("Complete Accessibility first."),
      .rowLocked = QStringLiteral("Accessibility required first"),
      .automationDetail = QStringLiteral(
          "Lets Tonvara send play, pause, and skip commands. Requesting access opens Music "
          "without changing playback."),
      .allowAutomation = QStringLiteral("Allow Automation…"),
      .rowAllowAutomation = QStringLiteral("Allow…"),
      .deniedDetail = QStringLiteral("Enable Tonvara → Music in System Settings."),
      .rowDenied = QStringLiteral("Needs attention"),
      .openAutomationSettings = QStringLiteral("Open Automation Settings…"),
      .rowOpenAutomationSettings = QStringLiteral("Open Settings…"),
      .noPlayerDetail = QStringLiteral("Music is not installed."),
      .noPlayerPickDetail = QStringLiteral("Music is not installed."),
      .rowNoPlayer = QStringLiteral("Not installed"),
      .pickerLabel = QStringLiteral("Player:"),
      .defaultChoice = QStringLiteral("Default ({player})"),
      .defaultChoiceUnnamed = QStringLiteral("Default"),
      .stepsTitle = QStringLiteral("Allowing Accessibility"),
      .giveKeysBack = QStringLiteral("Give the Keys Back"),
      .confirmTakeover = QStringLiteral("Take the media keys from {holder}?"),
      .confirmTakeoverButton = QStringLiteral("Take the Keys"),
  };
  return texts;
}

// On Linux no permission stands between Tonvara and the keys: another program holding them
// does, and the player is reached over its MPRIS interface on the session bus.
const AccessTexts& linuxTexts() {
  static const AccessTexts texts{
      .unnamedPlayer = QStringLiteral("your player"),
      .setupItem = QStringLiteral("Set Up Media Keys…"),
      .whenNotRunning = QStringLiteral("When {player} isn't running"),
      .launchPlayer = QStringLiteral("Launch {player}"),
      .setupDetail =
          QStringLiteral("Follow the two steps below so your media keys control {player}."),
      .statusDetail = QStringLiteral("What Tonvara needs to control {player}."),
      .accessibilityTitle = QStringLiteral("Media keys"),
      .accessibilityDetail = QStringLiteral(
          "Lets Tonvara take the media keys before the desktop and other apps. Another program "
          "holds them now."),
      .takeoverDetail = QStringLiteral(
          "{holder} holds the media keys now. Tonvara can take them over, and give them back "
          "whenever you like."),
      .allowAccessibility = QStringLiteral("Find Who Holds the Keys…"),
      .takeOverKeys = QStringLiteral("Take the Keys from {holder}…"),
      .openAccessibilitySettings = QStringLiteral("Open {settings}…"),
      .showSteps = QStringLiteral("Show the Steps"),
      .rowAllowAccessibility = QStringLiteral("Find Out…"),
      .rowTakeOverKeys = QStringLiteral("Take from {holder}…"),
      .rowOpenAccessibilitySettings = QStringLiteral("Open {settings}…"),
      .automationTitle = QStringLiteral("Control of {player}"),
      .lockedDetail = QStringLiteral("Free the media keys first."),
      .rowLocked = QStringLiteral("Media keys required first"),
      .automationDetail = QStringLiteral(
          "Lets Tonvara send play, pause, and skip commands to {player} over its media "
          "interface. Connecting starts {player} without changing playback."),
      .allowAutomation = QStringLiteral("Connect to {player}…"),
      .rowAllowAutomation = QStringLiteral("Connect…"),
      .deniedDetail = QStringLiteral(
          "A D-Bus policy on the session bus blocks Tonvara → {player}: it must let Tonvara "
          "call {player}'s media interface."),
      .rowDenied = QStringLiteral("Blocked by a D-Bus policy"),
      .openAutomationSettings = std::nullopt,
      .rowOpenAutomationSettings = std::nullopt,
      .noPlayerDetail =
          QStringLiteral("No music player is installed. Install one and it shows up here."),
      .noPlayerPickDetail = QStringLiteral("No default music player is set. Pick one below."),
      .rowNoPlayer = QStringLiteral("No player installed"),
      .pickerLabel = QStringLiteral("Player:"),
      .defaultChoice = QStringLiteral("Default ({player})"),
      .defaultChoiceUnnamed = QStringLiteral("Default"),
      .stepsTitle = QStringLiteral("Freeing the media keys by hand"),
      .giveKeysBack = QStringLiteral("Give the Keys Back"),
      .confirmTakeover = QStringLiteral("Take the media keys from {holder}?"),
      .confirmTakeoverButton = QStringLiteral("Take the Keys"),
  };
  return texts;
}

}  // namespace tonvara::ui
