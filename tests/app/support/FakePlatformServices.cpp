#include "FakePlatformServices.h"

namespace tonvara::testing {

namespace {

// Ticks through the virtual clock until invalidated or destroyed.
class VirtualRepeatingTimer final : public RepeatingTimer {
 public:
  VirtualRepeatingTimer(VirtualClock& clock, std::chrono::milliseconds interval,
                        std::function<void()> tick, std::shared_ptr<int> liveTimers)
      : liveTimers_(std::move(liveTimers)) {
    ++*liveTimers_;
    schedule(clock, interval, std::make_shared<std::function<void()>>(std::move(tick)), alive_);
  }
  ~VirtualRepeatingTimer() override { invalidate(); }
  void invalidate() override {
    if (*alive_) {
      *alive_ = false;
      --*liveTimers_;
    }
  }

 private:
  static void schedule(VirtualClock& clock, std::chrono::milliseconds interval,
                       std::shared_ptr<std::function<void()>> tick, std::shared_ptr<bool> alive) {
    clock.schedule(interval, [&clock, interval, tick, alive] {
      if (!*alive) {
        return;
      }
      (*tick)();
      if (*alive) {
        schedule(clock, interval, tick, alive);
      }
    });
  }

  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::shared_ptr<int> liveTimers_;
};

class FakeActivity final : public ProcessActivity {
 public:
  explicit FakeActivity(QString reason) : reason_(std::move(reason)) {}
  QString reason() const override { return reason_; }

 private:
  QString reason_;
};

}  // namespace

FakePlatformServices::FakePlatformServices(VirtualClock& clock,
                                           std::shared_ptr<FakeEventTapPlatform> taps,
                                           std::shared_ptr<FakeApplicationPlatform> apps)
    : queue(std::make_shared<VirtualQueue>(clock)),
      clock_(clock),
      taps_(std::move(taps)),
      apps_(std::move(apps)) {}

QVariant FakePlatformServices::infoDictionaryValue(const QString& key) const {
  infoKeysRead << key;
  return info.value(key);
}

bool FakePlatformServices::isApplicationRunning(std::string_view bundleID) {
  return !apps_->runningApplications(bundleID).empty();
}

std::optional<std::string> FakePlatformServices::urlForApplication(std::string_view bundleID) {
  return apps_->urlForApplication(bundleID);
}

void FakePlatformServices::openApplicationInBackground(const std::string& url,
                                                       Completion completion) {
  launchedUrls.push_back(url);
  apps_->openApplication(
      url, false,
      [completion = std::move(completion)](auto /*handle*/, auto /*error*/) { completion(); });
}

void FakePlatformServices::requestPermissionToAutomate(std::string_view bundleID) {
  automationRequests.emplace_back(bundleID);
  apps_->determinePermissionToAutomate(bundleID, true);
}

std::optional<QString> FakePlatformServices::setLoginItemEnabled(bool enabled) {
  loginRequests.push_back(enabled);
  if (loginError) {
    return loginError;
  }
  loginStatus = enabled ? loginStatusAfterRegister : loginStatusAfterUnregister;
  return std::nullopt;
}

std::unique_ptr<RepeatingTimer> FakePlatformServices::scheduleRepeatingTimer(
    std::chrono::milliseconds interval, std::function<void()> tick) {
  ++timersScheduled;
  return std::make_unique<VirtualRepeatingTimer>(clock_, interval, std::move(tick), liveTimers_);
}

void FakePlatformServices::observeDidBecomeActive(std::function<void()> handler) {
  activeHandlers.push_back(std::move(handler));
}

std::unique_ptr<ProcessActivity> FakePlatformServices::beginActivity(const QString& reason) {
  activityReasons << reason;
  return std::make_unique<FakeActivity>(reason);
}

void FakePlatformServices::becomeActive() {
  for (const auto& handler : activeHandlers) {
    handler();
  }
}

int FakePlatformServices::liveTimers() const { return *liveTimers_; }

}  // namespace tonvara::testing
