#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

#include "MediaKeyEngine/EngineSettings.h"
#include "MediaKeyEngine/MusicController.h"

namespace tonvara::ui {

using AutomationAccess = MusicController::AutomationAccess;
class MenuContent;

// An installed player the user may pick as the music application.
struct MusicAppChoice {
  QString id;    // its desktop file id, "org.example.Player.desktop"
  QString name;  // its desktop entry's Name
};

// Taking the media keys over from the desktop program that holds them, as the confirmation
// dialog states it.
struct KeyTakeover {
  QString holder;   // the program holding the keys, as its users know it
  QString changes;  // exactly what will change
  QString undo;     // how to undo it
};

// What the menu, the tray icon and the Access window read from the application's model and
// ask of it. The widgets hold no state of their own beyond presentation: every change the model
// publishes is announced by stateChanged(), after which they redraw from the getters.
// Main thread only.
class UiModel : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  virtual bool enabled() const = 0;
  virtual WhenNotRunning whenNotRunning() const = 0;
  virtual bool loginEnabled() const = 0;
  virtual bool canCheckForUpdates() const = 0;
  virtual bool hasAccessibility() const = 0;
  virtual bool hasRequestedAccessibility() const = 0;
  virtual AutomationAccess automationStatus() const = 0;
  virtual bool accessSetupCompleted() const = 0;
  virtual bool needsAttention() const = 0;
  virtual QString menuBarSymbolName() const = 0;

  // Setters apply, persist and publish; the widgets then show what the model publishes.
  virtual void setEnabled(bool enabled) = 0;
  virtual void setWhenNotRunning(WhenNotRunning policy) = 0;
  virtual void setLoginEnabled(bool enabled) = 0;

  virtual void refreshPermissions() = 0;
  virtual void requestAccessibility() = 0;
  virtual void requestAutomation() = 0;
  virtual void openAccessibilitySettings() = 0;
  virtual void openAutomationSettings() = 0;

  // The music application as the texts name it: the chosen player's name where the user may pick
  // one; empty when no player is installed.
  virtual QString musicAppName() const { return QStringLiteral("Music"); }
  // The players the user may pick from; empty where there is no choice to make.
  virtual QList<MusicAppChoice> musicAppChoices() const { return {}; }
  // The picked player's id; empty for the desktop's default audio player.
  virtual QString musicAppId() const { return {}; }
  virtual void setMusicAppId(const QString& id) { Q_UNUSED(id); }

  // The settings program the "Open … Settings" buttons open; empty when there is none, and the
  // window then shows accessibilitySteps() itself.
  virtual QString settingsAppName() const { return QStringLiteral("System Settings"); }
  // By-hand steps for freeing the media keys on this desktop.
  virtual QString accessibilitySteps() const { return {}; }

  // The takeover "Allow" offers: nothing when no desktop program is recognised as the holder.
  virtual std::optional<KeyTakeover> keyTakeover() const { return std::nullopt; }
  // After the user confirmed keyTakeover().
  virtual void takeOverKeys() {}
  // Whether the desktop's keys are taken over, so that they can be given back.
  virtual bool holdsDesktopKeys() const { return false; }
  virtual void giveKeysBack() {}

  // The menu's first item: the model's Access window controller, made on first use.
  virtual void showAccessWindow() = 0;
  // Brings the application forward and runs the updater's own user-driven check.
  virtual void checkForUpdates() = 0;
  // The platform's standard About box, in front of other applications.
  virtual void showAbout();
  // The application's normal termination path.
  virtual void quit();

  // While no system tray shows the icon: the menu whose items the Access window then offers, and
  // the sentence on getting a tray (empty once said). Null while a tray shows the icon.
  MenuContent* traylessMenu() const;
  const QString& trayHint() const { return trayHint_; }
  void setTrayless(MenuContent* menu, const QString& hint);

 signals:
  // After any published property was assigned.
  void stateChanged();

 private:
  QPointer<QObject> traylessMenu_;
  QString trayHint_;
};

}  // namespace tonvara::ui
