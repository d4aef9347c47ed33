#pragma once

#include <memory>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "PlatformServices.h"

namespace tonvara {

// What every platform answers the same way: trust, and finding, starting and asking permission
// of the music application, through the engine's own platform; timers through Qt.
class EnginePlatformServices : public PlatformServices {
 public:
  EnginePlatformServices(std::shared_ptr<EventTapPlatform> taps,
                         std::shared_ptr<ApplicationPlatform> applications);

  bool isProcessTrusted() override;
  bool isApplicationRunning(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplicationInBackground(const std::string& url, Completion completion) override;
  void requestPermissionToAutomate(std::string_view bundleID) override;
  std::shared_ptr<WorkQueue> backgroundQueue() override;
  std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                         std::function<void()> tick) override;

 protected:
  EventTapPlatform& taps() { return *taps_; }
  const std::shared_ptr<ApplicationPlatform>& applications() const { return applications_; }

 private:
  std::shared_ptr<EventTapPlatform> taps_;
  std::shared_ptr<ApplicationPlatform> applications_;
};

}  // namespace tonvara
