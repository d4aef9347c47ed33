#pragma once

#include <memory>
#include <vector>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "PlatformServices.h"

namespace tonvara {

// The application core's services on macOS: the standard user defaults, the bundle's
// Info.plist, Accessibility trust, the engine's workspace services, SMAppService and
// NSProcessInfo activities.
class MacPlatformServices final : public PlatformServices {
 public:
  MacPlatformServices();
  ~MacPlatformServices() override;

  UserDefaults& defaults() override { return *defaults_; }
  QVariant infoDictionaryValue(const QString& key) const override;

  bool isProcessTrusted() override;
  void promptForAccessibility() override;

  bool isApplicationRunning(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplicationInBackground(const std::string& url, Completion completion) override;
  void requestPermissionToAutomate(std::string_view bundleID) override;
  std::shared_ptr<WorkQueue> backgroundQueue() override;

  int loginItemStatus() override;
  std::optional<QString> setLoginItemEnabled(bool enabled) override;

  std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                         std::function<void()> tick) override;
  void observeDidBecomeActive(std::function<void()> handler) override;
  std::unique_ptr<ProcessActivity> beginActivity(const QString& reason) override;

 private:
  std::unique_ptr<UserDefaults> defaults_;
  std::shared_ptr<EventTapPlatform> taps_;
  std::shared_ptr<ApplicationPlatform> applications_;
};

}  // namespace tonvara
