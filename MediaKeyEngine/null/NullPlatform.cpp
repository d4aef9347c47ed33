// The platform for builds without one: no tap can be installed, no music application exists,
// and nothing is ever sent. Everything stays quiet, as on a system that refuses every request.
#include "BasicRunLoop.h"
#include "MediaKeyEngine/PlatformDefaults.h"

namespace tonvara::platform {

namespace {

class NullEventTapPlatform final : public EventTapPlatform {
 public:
  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation /*location*/,
                                               EventTapPlacement /*placement*/,
                                               EventTapOptions /*options*/, EventMask /*mask*/,
                                               EventTapCallBack /*callback*/,
                                               void* /*userInfo*/) override {
    return nullptr;
  }
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& /*port*/) override {
    return std::make_shared<RunLoopSource>();
  }
  std::shared_ptr<RunLoop> currentRunLoop() override {
    return std::make_shared<detail::BasicRunLoop>();
  }
  void enableTap(EventTapPort& /*port*/, bool /*enable*/) override {}
  bool isProcessTrusted() override { return false; }
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef /*event*/) override {
    return std::nullopt;
  }
};

class NullApplicationPlatform final : public ApplicationPlatform {
 public:
  RunningApplications runningApplications(std::string_view /*bundleID*/) override { return {}; }
  std::optional<std::string> urlForApplication(std::string_view /*bundleID*/) override {
    return std::nullopt;
  }
  void openApplication(const std::string& /*url*/, bool /*activates*/,
                       OpenCompletion completion) override {
    completion(nullptr, "no applications on this platform");
  }
  std::unique_ptr<ScriptableApplication> scriptableApplication(
      std::string_view /*bundleID*/) override {
    return nullptr;
  }
  std::optional<bool> isPlayerPlaying(std::string_view /*bundleID*/) override {
    return std::nullopt;
  }
  std::int32_t determinePermissionToAutomate(std::string_view /*bundleID*/,
                                             bool /*askUserIfNeeded*/) override {
    return kAutomationProcessNotFound;
  }
};

}  // namespace

std::shared_ptr<EventTapPlatform> defaultEventTapPlatform() {
  return std::make_shared<NullEventTapPlatform>();
}

std::shared_ptr<ApplicationPlatform> defaultApplicationPlatform() {
  return std::make_shared<NullApplicationPlatform>();
}

MusicController::PlayPauseAfterLaunch defaultPlayPauseAfterLaunch() {
  return MusicController::PlayPauseAfterLaunch::toggle;
}

}  // namespace tonvara::platform
