#include "EnginePlatformServices.h"

#include <QTimer>

namespace tonvara {

namespace {

class QtRepeatingTimer final : public RepeatingTimer {
 public:
  QtRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
    timer_.setInterval(interval);
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    timer_.start();
  }
  void invalidate() override { timer_.stop(); }

 private:
  QTimer timer_;
};

}  // namespace

EnginePlatformServices::EnginePlatformServices(std::shared_ptr<EventTapPlatform> taps,
                                               std::shared_ptr<ApplicationPlatform> applications)
    : taps_(std::move(taps)), applications_(std::move(applications)) {}

bool EnginePlatformServices::isProcessTrusted() { return taps_->isProcessTrusted(); }

bool EnginePlatformServices::isApplicationRunning(std::string_view bundleID) {
  return !applications_->runningApplications(bundleID).empty();
}

std::optional<std::string> EnginePlatformServices::urlForApplication(std::string_view bundleID) {
  return applications_->urlForApplication(bundleID);
}

void EnginePlatformServices::openApplicationInBackground(const std::string& url,
                                                         Completion completion) {
  applications_->openApplication(
      url, false,
      [completion = std::move(completion)](std::shared_ptr<RunningApplication> /*handle*/,
                                           std::optional<std::string> /*error*/) { completion(); });
}

void EnginePlatformServices::requestPermissionToAutomate(std::string_view bundleID) {
  applications_->determinePermissionToAutomate(bundleID, true);
}

std::shared_ptr<WorkQueue> EnginePlatformServices::backgroundQueue() {
  return DispatchQueue::global(QualityOfService::userInitiated);
}

std::unique_ptr<RepeatingTimer> EnginePlatformServices::scheduleRepeatingTimer(
    std::chrono::milliseconds interval, std::function<void()> tick) {
  return std::make_unique<QtRepeatingTimer>(interval, std::move(tick));
}

}  // namespace tonvara
