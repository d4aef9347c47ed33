#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <memory>
#include <vector>

#include "AppModel.h"
#include "FakeEngine.h"
#include "LinuxPlatformServices.h"

namespace tonvara::testing {

struct InMemoryDefaults final : UserDefaults {
  QJsonValue object(const QString& key) const override { return values.value(key); }
  void setObject(const QString& key, const QJsonValue& value) override {
    values.insert(key, value), ++writes;
  }
  QJsonObject values;
  int writes = 0;
};

// The Linux services over the engine's fakes, with settings, update keys and launch at login
// in memory and the background queue on a virtual clock.
struct FakePlatformServices final : LinuxPlatformServices {
  FakePlatformServices(VirtualClock& clock, std::shared_ptr<FakeEventTapPlatform> taps,
                       std::shared_ptr<FakeApplicationPlatform> apps)
      : LinuxPlatformServices(nullptr, taps, apps), queue(std::make_shared<VirtualQueue>(clock)) {}
  UserDefaults& defaults() override { return *storedDefaults; }
  QVariant infoDictionaryValue(const QString& key) const override { return info.value(key); }
  std::shared_ptr<WorkQueue> backgroundQueue() override { return queue; }
  int loginItemStatus() override { return loginStatus; }
  std::optional<QString> setLoginItemEnabled(bool enabled) override {
    return loginStatus = enabled, std::nullopt;
  }
  // The watchdog ticks when a test says so.
  std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds,
                                                         std::function<void()> tick) override {
    return ticks.push_back(tick), nullptr;
  }
  void observeDidBecomeActive(std::function<void()> f) override { activeHandlers.push_back(f); }
  std::vector<MusicApp> musicApplications() override { return players; }
  void setMusicApplication(const QString& id) override { pushed.push_back(id); }
  void observeMusicApplications(std::function<void()> f) override { playersChanged = f; }
  MusicApp musicApplication() override {
    ++lookups;
    for (const auto& app : players)
      if (app.id == pushed.value(pushed.size() - 1)) return app;
    return {"default.desktop", "Default"};
  }

  std::unique_ptr<UserDefaults> storedDefaults = std::make_unique<InMemoryDefaults>();
  std::shared_ptr<WorkQueue> queue;
  QVariantMap info;
  int loginStatus = 0;
  std::vector<std::function<void()>> ticks, activeHandlers;
  std::vector<MusicApp> players;
  QStringList pushed;
  int lookups = 0;
  std::function<void()> playersChanged;
};

// A model on fakes sharing one virtual clock.
struct AppHarness {
  // Counts the Access windows the model makes and shows.
  struct Window final : AccessWindowController {
    struct Log {
      int made = 0, shows = 0;
    };
    explicit Window(std::shared_ptr<Log> log) : log(log) { ++log->made; }
    void show() override { ++log->shows; }
    std::shared_ptr<Log> log;
  };
  void store(const char* key, const QJsonValue& value) { defaults().values.insert(key, value); }
  InMemoryDefaults& defaults() { return dynamic_cast<InMemoryDefaults&>(services->defaults()); }
  AppModelDependencies dependencies() {
    return {services,
            [this](EngineSettings settings) {
              return std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(taps),
                                                      makeFakeMusicController(apps, clock));
            },
            [log = window](AppModel&) { return std::make_unique<Window>(log); }};
  }
  AppModel& build() { return *(model = std::make_unique<AppModel>(dependencies())); }
  AppModel& launch() { return build().start(), *model; }
  // Advances virtual time, then runs what was queued for the main thread.
  void advance(std::chrono::milliseconds span) { clock.advanceBy(span), qApp->sendPostedEvents(); }

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::shared_ptr<FakePlatformServices> services =
      std::make_shared<FakePlatformServices>(clock, taps, apps);
  std::shared_ptr<Window::Log> window = std::make_shared<Window::Log>();
  std::unique_ptr<AppModel> model;
};

}  // namespace tonvara::testing
