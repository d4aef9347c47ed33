#pragma once

#include <memory>
#include <vector>

#include "EnginePlatformServices.h"
#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/EventTapPlatform.h"

namespace tonvara {

// The application core's services on macOS: the standard user defaults, the bundle's
// Info.plist, Accessibility trust, the engine's workspace services, SMAppService and
// NSProcessInfo activities.
class MacPlatformServices final : public EnginePlatformServices {
 public:
  MacPlatformServices();
  ~MacPlatformServices() override;

  UserDefaults& defaults() override { return *defaults_; }
  QVariant infoDictionaryValue(const QString& key) const override;

  void promptForAccessibility() override;

  int loginItemStatus() override;
  std::optional<QString> setLoginItemEnabled(bool enabled) override;

  void observeDidBecomeActive(std::function<void()> handler) override;
  std::unique_ptr<ProcessActivity> beginActivity(const QString& reason) override;

 private:
  std::unique_ptr<UserDefaults> defaults_;
};

}  // namespace tonvara
