#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <memory>
#include <vector>

#include "AppModel.h"
#include "FakeEngine.h"

namespace tonvara::testing {

class InMemoryDefaults final : public UserDefaults {
 public:
  QJsonValue object(const QString& key) const override { return values.value(key); }
  void setObject(const QString& key, const QJsonValue& value) override {
    values.insert(key, value);
    ++writes;
  }
  QJsonObject values;
  int writes = 0;
};

// The core's platform on the engine's fakes; timers and the background queue run on a clock.
class FakePlatformServices final : public PlatformServices {
 public:
  FakePlatformServices(VirtualClock& clock, std::shared_ptr<FakeEventTapPlatform> taps,
                       std::shared_ptr<FakeApplicationPlatform> apps)
      : queue(std::make_shared<VirtualQueue>(clock)), clock_(clock), taps_(taps), apps_(apps) {}
  UserDefaults& defaults() override { return *storedDefaults; }
  QVariant infoDictionaryValue(const QString& key) const override { return info.value(key); }
  bool isProcessTrusted() override { return taps_->isProcessTrusted(); }
  void promptForAccessibility() override {}
  bool isApplicationRunning(std::string_view id) override {
    return !apps_->runningApplications(id).empty();
  }
  std::optional<std::string> urlForApplication(std::string_view id) override {
    return apps_->urlForApplication(id);
  }
  void openApplicationInBackground(const std::string& url, Completion done) override {
    apps_->openApplication(url, false, [done](auto, auto) { done(); });
  }
  void requestPermissionToAutomate(std::string_view id) override {
    apps_->determinePermissionToAutomate(id, true);
  }
  std::shared_ptr<WorkQueue> backgroundQueue() override { return queue; }
  int loginItemStatus() override { return loginStatus; }
  std::optional<QString> setLoginItemEnabled(bool enabled) override {
    loginRequests.push_back(enabled);
    loginStatus = enabled ? 1 : 0;
    return std::nullopt;
  }
  std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                         std::function<void()> tick) override {
    ++timersScheduled;
    auto timer = std::make_unique<Timer>();
    repeat(interval, std::move(tick), timer->alive);
    return timer;
  }
  void observeDidBecomeActive(std::function<void()> handler) override {
    activeHandlers.push_back(std::move(handler));
  }
  std::unique_ptr<ProcessActivity> beginActivity(const QString&) override { return nullptr; }

  std::unique_ptr<UserDefaults> storedDefaults = std::make_unique<InMemoryDefaults>();
  std::shared_ptr<WorkQueue> queue;
  QVariantMap info;
  int loginStatus = 0;
  std::vector<bool> loginRequests;
  int timersScheduled = 0;
  std::vector<std::function<void()>> activeHandlers;

 private:
  struct Timer final : RepeatingTimer {
    ~Timer() override { invalidate(); }
    void invalidate() override { *alive = false; }
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  };
  void repeat(std::chrono::milliseconds interval, std::function<void()> tick,
              std::shared_ptr<bool> alive) {
    clock_.schedule(interval, [=, this] {
      if (*alive) {
        tick();
        repeat(interval, tick, alive);
      }
    });
  }
  VirtualClock& clock_;
  std::shared_ptr<FakeEventTapPlatform> taps_;
  std::shared_ptr<FakeApplicationPlatform> apps_;
};

struct AccessWindowLog {
  int made = 0;
  int shows = 0;
};

// A model on fakes sharing one virtual clock.
class AppHarness {
 public:
  void grantAccessibility(bool granted) { taps->setTrusted(granted); }
  void setAutomation(std::int32_t status) { apps->setAutomationStatus(status); }
  void store(const char* key, const QJsonValue& value) { defaults().values.insert(key, value); }
  InMemoryDefaults& defaults() { return dynamic_cast<InMemoryDefaults&>(services->defaults()); }
  AppModelDependencies dependencies() {
    return {services,
            [this](EngineSettings settings) {
              routersBuiltWith.push_back(settings);
              return std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(taps),
                                                      makeFakeMusicController(apps, clock));
            },
            [log = window](AppModel&) { return std::make_unique<Window>(log); }};
  }
  AppModel& build() { return *(model = std::make_unique<AppModel>(dependencies())); }
  AppModel& launch() { return build().start(), *model; }
  // Advances virtual time, then runs what was queued for the main thread.
  void advance(std::chrono::milliseconds span) {
    clock.advanceBy(span);
    QCoreApplication::sendPostedEvents();
  }

  VirtualClock clock;
  std::shared_ptr<FakeEventTapPlatform> taps = std::make_shared<FakeEventTapPlatform>();
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::shared_ptr<FakePlatformServices> services =
      std::make_shared<FakePlatformServices>(clock, taps, apps);
  std::vector<EngineSettings> routersBuiltWith;
  std::shared_ptr<AccessWindowLog> window = std::make_shared<AccessWindowLog>();
  std::unique_ptr<AppModel> model;

 private:
  struct Window final : AccessWindowController {
    explicit Window(std::shared_ptr<AccessWindowLog> log) : log(log) { ++log->made; }
    void show() override { ++log->shows; }
    std::shared_ptr<AccessWindowLog> log;
  };
};

}  // namespace tonvara::testing
