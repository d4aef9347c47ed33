#pragma once

#include <QJsonObject>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakeApplicationPlatform.h"
#include "FakeEventTapPlatform.h"
#include "PlatformServices.h"
#include "VirtualClock.h"

namespace tonvara::testing {

// Settings kept in memory, counting writes.
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

// The application core's platform on fakes: trust from the fake event-tap platform, the music
// application from the fake application platform, timers and the background queue on a
// virtual clock.
class FakePlatformServices final : public PlatformServices {
 public:
  FakePlatformServices(VirtualClock& clock, std::shared_ptr<FakeEventTapPlatform> taps,
                       std::shared_ptr<FakeApplicationPlatform> apps);

  UserDefaults& defaults() override { return *storedDefaults; }
  QVariant infoDictionaryValue(const QString& key) const override;
  bool isProcessTrusted() override { return taps_->isProcessTrusted(); }
  void promptForAccessibility() override { ++accessibilityPrompts; }
  bool isApplicationRunning(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplicationInBackground(const std::string& url, Completion completion) override;
  void requestPermissionToAutomate(std::string_view bundleID) override;
  std::shared_ptr<WorkQueue> backgroundQueue() override { return queue; }
  int loginItemStatus() override { return loginStatus; }
  std::optional<QString> setLoginItemEnabled(bool enabled) override;
  std::unique_ptr<RepeatingTimer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                         std::function<void()> tick) override;
  void observeDidBecomeActive(std::function<void()> handler) override;
  std::unique_ptr<ProcessActivity> beginActivity(const QString& reason) override;

  // Tells every did-become-active observer.
  void becomeActive();
  int liveTimers() const;

  std::unique_ptr<UserDefaults> storedDefaults = std::make_unique<InMemoryDefaults>();
  std::shared_ptr<WorkQueue> queue;
  QVariantMap info;
  mutable QStringList infoKeysRead;
  int accessibilityPrompts = 0;
  int loginStatus = 0;
  // What the status becomes after a successful register or unregister.
  int loginStatusAfterRegister = 1;
  int loginStatusAfterUnregister = 0;
  std::optional<QString> loginError;
  std::vector<bool> loginRequests;
  std::vector<std::string> launchedUrls;
  std::vector<std::string> automationRequests;
  std::vector<std::function<void()>> activeHandlers;
  QStringList activityReasons;
  int timersScheduled = 0;

 private:
  VirtualClock& clock_;
  std::shared_ptr<FakeEventTapPlatform> taps_;
  std::shared_ptr<FakeApplicationPlatform> apps_;
  std::shared_ptr<int> liveTimers_ = std::make_shared<int>(0);
};

}  // namespace tonvara::testing
