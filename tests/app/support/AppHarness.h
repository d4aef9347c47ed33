#pragma once

#include <memory>
#include <vector>

#include "AppModel.h"
#include "FakeEngine.h"
#include "FakePlatformServices.h"

namespace tonvara::testing {

// Counts what the model asks of its Access window.
struct AccessWindowLog {
  int made = 0;
  int shows = 0;
};

// A model on fakes: the engine's fake platforms, fake services and a virtual clock shared by
// timers, the background queue and the music controller.
class AppHarness {
 public:
  AppHarness();

  // Both permissions as the system would report them.
  void grantAccessibility(bool granted) { taps->setTrusted(granted); }
  void setAutomation(std::int32_t status) { apps->setAutomationStatus(status); }
  void store(const char* key, const QJsonValue& value);
  InMemoryDefaults& defaults() { return dynamic_cast<InMemoryDefaults&>(services->defaults()); }

  AppModelDependencies dependencies();
  AppModel& build();
  AppModel& launch();  // build() then start()
  void destroyModel() { model.reset(); }

  // Advances virtual time, then lets queued main-thread calls run.
  void advance(std::chrono::milliseconds span);
  static void processMainThreadEvents();

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::shared_ptr<FakePlatformServices> services;
  std::vector<EngineSettings> routersBuiltWith;
  std::shared_ptr<AccessWindowLog> window = std::make_shared<AccessWindowLog>();
  std::unique_ptr<AppModel> model;
};

}  // namespace tonvara::testing
