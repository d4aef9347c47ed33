#include "EnginePlatformServices.h"

namespace tonvara {

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

}  // namespace tonvara
