#pragma once

#include <memory>
#include <vector>

#include "EnginePlatformServices.h"
#include "JsonUserDefaults.h"
#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara {

class ApplicationStateObserver;
namespace mpris {
class MusicApplicationChoice;
}

// The application core's services on a Linux desktop: settings in a JSON file, trust and
// applications from the engine's platform, launch at login through XDG autostart.
class LinuxPlatformServices : public EnginePlatformServices {
 public:
  LinuxPlatformServices();
  // For tests and tools: other settings and engine platforms.
  LinuxPlatformServices(std::unique_ptr<UserDefaults> defaults,
                        std::shared_ptr<EventTapPlatform> taps,
                        std::shared_ptr<ApplicationPlatform> applications);
  ~LinuxPlatformServices() override;

  UserDefaults& defaults() override { return *defaults_; }
  QVariant infoDictionaryValue(const QString& key) const override;

  // No system prompt exists: says which program holds the media keys and how to free them,
  // on the standard error and as a desktop notification when a session bus is there.
  void promptForAccessibility() override;

  int loginItemStatus() override;
  std::optional<QString> setLoginItemEnabled(bool enabled) override;

  void observeDidBecomeActive(std::function<void()> handler) override;
  std::unique_ptr<ProcessActivity> beginActivity(const QString& reason) override;
  // The running desktop's holder, when recognised; never for the test constructor.
  std::unique_ptr<DesktopKeys> makeDesktopKeys(DesktopKeys::Hooks hooks) override;

  // The engine's player choice, where its platform offers one.
  std::vector<MusicApp> musicApplications() override;
  void setMusicApplication(const QString& id) override;
  MusicApp musicApplication() override;
  void observeMusicApplications(std::function<void()> handler) override;
  KeyHelp keyHelp() override;

 private:
  std::unique_ptr<UserDefaults> defaults_;
  bool desktopKeys_ = false;
  mpris::MusicApplicationChoice* const players_;  // null without one; owned by applications()
  std::vector<std::unique_ptr<ApplicationStateObserver>> activeObservers_;
};

}  // namespace tonvara
