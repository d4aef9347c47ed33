#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara {

// The application's standard settings domain ("com.tonvara.app").
class UserDefaults {
 public:
  virtual ~UserDefaults() = default;

  // The stored value as it is, or an undefined value when the key is absent.
  virtual QJsonValue object(const QString& key) const = 0;
  virtual void setObject(const QString& key, const QJsonValue& value) = 0;

  // The text when the stored value is a string, else nothing.
  std::optional<QString> string(const QString& key) const;
  // Booleans as themselves, numbers as "not zero"; anything else, or nothing, is false.
  bool boolean(const QString& key) const;
  void setBool(const QString& key, bool value) { setObject(key, QJsonValue(value)); }
};

// A repeating timer on the main thread; stops for good when invalidated or destroyed.
class RepeatingTimer {
 public:
  virtual ~RepeatingTimer() = default;
  virtual void invalidate() = 0;
};

// Keeps a process activity alive for as long as it exists.
class ProcessActivity {
 public:
  virtual ~ProcessActivity() = default;
  virtual QString reason() const = 0;
};

// What taking the media keys over from the desktop changes, as the confirmation states it.
struct KeyTakeoverText {
  QString holder;
  QString changes;
  QString undo;
};

// When the desktop's keys may be held. Where only the desktop can deliver them (no X11 grab),
// holding them is all or nothing, so every key must be one the engine would take: the setup
// completed (the engine runs), control not refused, and the player running or launched.
struct KeyHoldRule {
  bool interceptionOn = false;
  bool setupCompleted = false;
  bool controlRefused = false;
  bool playerRunningOrLaunch = false;
};

// The media keys taken over from the desktop program that holds them, with the user's consent,
// and given back. Main thread; the desktop is changed in the background.
class DesktopKeys {
 public:
  struct Hooks {
    std::function<void()> changed;        // a take or a restore has finished
    std::function<void()> beforeRestore;  // the X11 grab must go before the desktop grabs again
  };

  virtual ~DesktopKeys() = default;
  // What the Accessibility request offers; nothing when no holder is recognised.
  virtual std::optional<KeyTakeoverText> offer() const = 0;
  // The user's consent stands.
  virtual bool holds() const = 0;
  // A restore is on its way: no X11 grab until the desktop has its keys back.
  virtual bool restoring() const = 0;
  // Restores what a crash left, then follows consent and the rule.
  virtual void start(KeyHoldRule rule) = 0;
  virtual void takeOver(KeyHoldRule rule) = 0;
  virtual void giveBack() = 0;
  virtual void follow(KeyHoldRule rule) = 0;
};

// A music application as the user knows it.
struct MusicApp {
  QString id;    // its desktop file id where the user may pick one; else empty
  QString name;  // empty when none is installed
};

// How the media keys are freed on this desktop.
struct KeyHelp {
  QString settingsAppName;  // the program the settings buttons open; empty when none is there
  QString steps;            // what to do by hand
};

// Everything the application core asks of the operating system. The engine's own platform
// (taps, the music application) is reached through the router, not through here.
class PlatformServices {
 public:
  using Completion = std::function<void()>;

  virtual ~PlatformServices() = default;

  virtual UserDefaults& defaults() = 0;
  // The application's information dictionary: a value for `key`, or an invalid QVariant.
  virtual QVariant infoDictionaryValue(const QString& key) const = 0;

  // Accessibility trust, never prompting.
  virtual bool isProcessTrusted() = 0;
  // Asks the user to grant trust the platform's way; the answer arrives through
  // isProcessTrusted() later.
  virtual void promptForAccessibility() = 0;

  // Running applications and launching, for the Automation request.
  virtual bool isApplicationRunning(std::string_view bundleID) = 0;
  virtual std::optional<std::string> urlForApplication(std::string_view bundleID) = 0;
  // Starts the application without bringing it to the front. `completion` runs once, on any
  // thread, when the system has reported the launch, successful or not.
  virtual void openApplicationInBackground(const std::string& url, Completion completion) = 0;
  // Asks for permission to automate the application, prompting if undecided. May block while
  // the user decides; never call on the main thread. The answer is read later elsewhere.
  virtual void requestPermissionToAutomate(std::string_view bundleID) = 0;
  // The shared background queue at user-initiated quality of service.
  virtual std::shared_ptr<WorkQueue> backgroundQueue() = 0;

  // Launch at login: status 0 not registered, 1 enabled, 2 requires approval, 3 not found.
  virtual int loginItemStatus() = 0;
  // Registers or unregisters; the error's description on failure.
  virtual std::optional<QString> setLoginItemEnabled(bool enabled) = 0;

  virtual std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                                 std::function<void()> tick) = 0;
  // Calls `handler` on the main thread each time the application becomes active. Never removed.
  virtual void observeDidBecomeActive(std::function<void()> handler) = 0;
  virtual std::unique_ptr<ProcessActivity> beginActivity(const QString& reason) = 0;
  // Nothing where no desktop program holds the keys (and in tests).
  virtual std::unique_ptr<DesktopKeys> makeDesktopKeys(DesktopKeys::Hooks /*hooks*/) {
    return nullptr;
  }

  // The players the user may pick as the music application, by name; none where there is no
  // choice. Reads desktop entries and the bus: never on the main thread.
  virtual std::vector<MusicApp> musicApplications() { return {}; }
  // Empty: the platform's own music application. Never waits; the engine follows at once.
  virtual void setMusicApplication(const QString& id) { (void)id; }
  // The music application in effect. May read desktop entries: never on the main thread.
  virtual MusicApp musicApplication() { return {QString(), QStringLiteral("Music")}; }
  // Calls `handler`, on any thread, when the players to pick from may have changed. Replaces
  // the one before; none is called once the services are gone.
  virtual void observeMusicApplications(std::function<void()> handler) { (void)handler; }
  // Looks at the running processes and installed programs: never on the main thread.
  virtual KeyHelp keyHelp() { return {QStringLiteral("System Settings"), QString()}; }
};

// The services of the platform this program was built for.
std::shared_ptr<PlatformServices> makePlatformServices();

}  // namespace tonvara
