#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "AccessWindowController.h"
#include "MediaKeyEngine/EngineSettings.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngine/MusicController.h"
#include "PlatformServices.h"

Q_DECLARE_METATYPE(tonvara::WhenNotRunning)
Q_DECLARE_METATYPE(tonvara::MusicController::AutomationAccess)

namespace tonvara {

class Updater;

// What the model is built from. Empty members take the platform's own.
struct AppModelDependencies {
  using RouterFactory = std::function<std::unique_ptr<MediaKeyRouter>(EngineSettings)>;

  std::shared_ptr<PlatformServices> services;
  RouterFactory makeRouter;
  AccessWindowFactory makeAccessWindow;
};

// The application's state: settings, the two permissions, the engine's router and the updater.
// Main thread only. Every assignment to a published property emits its change signal (and then
// stateChanged()), even when the value is unchanged; copies from the router are made only when
// the value differs, and then skip the signal too.
class AppModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
  Q_PROPERTY(
      tonvara::WhenNotRunning whenNotRunning READ whenNotRunning NOTIFY whenNotRunningChanged)
  Q_PROPERTY(bool loginEnabled READ loginEnabled NOTIFY loginEnabledChanged)
  Q_PROPERTY(bool hasAccessibility READ hasAccessibility NOTIFY hasAccessibilityChanged)
  Q_PROPERTY(bool automationDenied READ automationDenied NOTIFY automationDeniedChanged)
  Q_PROPERTY(tonvara::MusicController::AutomationAccess automationStatus READ automationStatus
                 NOTIFY automationStatusChanged)
  Q_PROPERTY(bool tapInstalled READ tapInstalled NOTIFY tapInstalledChanged)
  Q_PROPERTY(bool hasRequestedAccessibility READ hasRequestedAccessibility NOTIFY
                 hasRequestedAccessibilityChanged)
  Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
  Q_PROPERTY(bool accessSetupCompleted READ accessSetupCompleted NOTIFY accessSetupCompletedChanged)
  Q_PROPERTY(bool needsAttention READ needsAttention NOTIFY stateChanged)
  Q_PROPERTY(QString menuBarSymbolName READ menuBarSymbolName NOTIFY stateChanged)
  Q_PROPERTY(QString musicAppId READ musicAppId NOTIFY musicApplicationChanged)
  Q_PROPERTY(QString musicAppName READ musicAppName NOTIFY musicApplicationChanged)
  Q_PROPERTY(QString settingsAppName READ settingsAppName NOTIFY keyHelpChanged)

 public:
  static constexpr auto kEnabledKey = "enabled";
  static constexpr auto kWhenNotRunningKey = "whenNotRunning";
  static constexpr auto kAccessSetupCompletedKey = "accessSetupCompleted";
  static constexpr auto kAccessibilityRequestedKey = "accessibilityRequested";
  static constexpr auto kMusicApplicationKey = "musicApplication";
  static constexpr auto kActivityReason = "Media-key interception + accessibility watchdog";
  static constexpr std::chrono::milliseconds kWatchdogInterval{1000};
  static constexpr int kLoginItemEnabled = 1;

  explicit AppModel(AppModelDependencies dependencies, QObject* parent = nullptr);
  // Releases the members and nothing else.
  ~AppModel() override;

  AppModel(const AppModel&) = delete;
  AppModel& operator=(const AppModel&) = delete;

  bool enabled() const { return enabled_; }
  WhenNotRunning whenNotRunning() const { return whenNotRunning_; }
  bool loginEnabled() const { return loginEnabled_; }
  bool hasAccessibility() const { return hasAccessibility_; }
  bool automationDenied() const { return automationDenied_; }
  MusicController::AutomationAccess automationStatus() const { return automationStatus_; }
  bool tapInstalled() const { return tapInstalled_; }
  bool hasRequestedAccessibility() const { return hasRequestedAccessibility_; }
  bool canCheckForUpdates() const { return canCheckForUpdates_; }
  // Becomes true once both permissions have been seen granted; never goes back.
  bool accessSetupCompleted() const { return accessSetupCompleted_; }

  // Enabled, with Accessibility missing or Automation refused.
  bool needsAttention() const;
  QString menuBarSymbolName() const;
  // The settings the router is given: enabled only once the setup is completed.
  EngineSettings effectiveEngineSettings() const;

  // Once, when launching has finished.
  void start();

  // Assign, persist, push the effective engine settings, refresh permissions.
  void setEnabled(bool enabled);
  void setWhenNotRunning(WhenNotRunning policy);
  // Registers or unregisters launch at login, then publishes the real status.
  void setLoginEnabled(bool enabled);

  void refreshPermissions();
  void requestAccessibility();
  void requestAutomation();

  // Taking the media keys over from the desktop program that holds them, after the user
  // confirmed keyTakeover(); giving them back drops that consent.
  std::optional<KeyTakeoverText> keyTakeover() const;
  void takeOverKeys();
  bool holdsDesktopKeys() const;
  void giveKeysBack();
  // The music application: the user's pick (empty for the platform's own), the one in effect
  // and the players offered, read in the background when made and whenever the Access window is
  // shown or the players on the bus change, and published on the main thread.
  QString musicAppId() const { return musicAppId_; }
  QString musicAppName() const { return musicApp_.name; }
  const std::vector<MusicApp>& musicAppChoices() const { return musicAppChoices_; }
  // Assign, persist (no key for the default), push to the engine, refresh permissions.
  void setMusicAppId(const QString& id);
  // How to free the media keys on this desktop, read once in the background when made.
  QString settingsAppName() const { return keyHelp_.settingsAppName; }
  QString accessibilitySteps() const { return keyHelp_.steps; }
  // Shows the Access window and reads the players again.
  void showAccessWindow();

  // Made on first use and kept.
  AccessWindowController& accessWindow();
  Updater& updater() { return *updater_; }
  const MediaKeyRouter& router() const { return *router_; }

 signals:
  void enabledChanged(bool enabled);
  void whenNotRunningChanged(tonvara::WhenNotRunning policy);
  void loginEnabledChanged(bool loginEnabled);
  void hasAccessibilityChanged(bool hasAccessibility);
  void automationDeniedChanged(bool automationDenied);
  void automationStatusChanged(tonvara::MusicController::AutomationAccess status);
  void tapInstalledChanged(bool tapInstalled);
  void hasRequestedAccessibilityChanged(bool hasRequestedAccessibility);
  void canCheckForUpdatesChanged(bool canCheckForUpdates);
  void accessSetupCompletedChanged(bool accessSetupCompleted);
  void musicApplicationChanged();
  void keyHelpChanged();
  // After any published property was assigned.
  void stateChanged();

 private:
  template <typename T, typename Signal>
  void assign(T& field, T value, Signal signal);
  template <typename T, typename Signal>
  void assignIfDifferent(T& field, T value, Signal signal);

  void syncEngineDerivedState();
  void startAccessibilityWatchdog();
  void watchdogTick();
  void observeUpdater();
  bool readLoginEnabled();
  KeyHoldRule keyHoldRule() const;
  bool desktopKeysRestoring() const;
  void loadMusicApps();
  void loadKeyHelp();

  // Declared in construction order.
  const std::shared_ptr<PlatformServices> services_;
  UserDefaults& defaults_;
  AccessWindowFactory makeAccessWindow_;
  std::unique_ptr<AccessWindowController> accessWindow_;
  std::unique_ptr<Updater> updater_;
  std::unique_ptr<ProcessActivity> napActivity_;
  std::unique_ptr<RepeatingTimer> accessibilityWatchdog_;

  bool enabled_ = true;
  WhenNotRunning whenNotRunning_ = WhenNotRunning::launchMusic;
  bool loginEnabled_ = false;
  bool hasAccessibility_ = false;
  bool automationDenied_ = false;
  MusicController::AutomationAccess automationStatus_ =
      MusicController::AutomationAccess::undetermined;
  bool tapInstalled_ = false;
  bool hasRequestedAccessibility_ = false;
  bool canCheckForUpdates_ = false;
  bool accessSetupCompleted_ = false;

  // Before the router: destroyed after it, so the grab is gone before the desktop's keys return.
  std::unique_ptr<DesktopKeys> desktopKeys_;
  std::unique_ptr<MediaKeyRouter> router_;
  bool started_ = false;
  bool automationRequestPending_ = false;

  QString musicAppId_;
  MusicApp musicApp_;
  std::vector<MusicApp> musicAppChoices_;
  // Only the latest lookup is published: an older one may predate the last pick.
  std::uint64_t musicAppsLookup_ = 0;
  KeyHelp keyHelp_;
};

}  // namespace tonvara
