#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvara {

// One running instance of an application (NSRunningApplication on macOS).
class RunningApplication {
 public:
  virtual ~RunningApplication() = default;
  // Readable from any thread.
  virtual bool isFinishedLaunching() const = 0;
  virtual bool isTerminated() const = 0;
};

// An application's scripting object (SBApplication on macOS); one is made per command.
class ScriptableApplication {
 public:
  virtual ~ScriptableApplication() = default;
  virtual bool respondsToSelector(std::string_view selector) = 0;
  virtual void performSelector(std::string_view selector) = 0;
};

// The platform services through which the engine finds, starts and drives an application.
class ApplicationPlatform {
 public:
  using RunningApplications = std::vector<std::shared_ptr<RunningApplication>>;
  // Called exactly once, on a thread of the platform's choosing: a handle, or an error text.
  using OpenCompletion =
      std::function<void(std::shared_ptr<RunningApplication>, std::optional<std::string> error)>;

  virtual ~ApplicationPlatform() = default;

  // The running instances; empty when none. Called on the tap thread: must be quick.
  virtual RunningApplications runningApplications(std::string_view bundleID) = 0;
  // Whether an instance runs. Asked for every media key: a platform that can answer without
  // listing the instances should.
  virtual bool isApplicationRunning(std::string_view bundleID) {
    return !runningApplications(bundleID).empty();
  }
  // Where the installed application is, or nothing.
  virtual std::optional<std::string> urlForApplication(std::string_view bundleID) = 0;
  // Starts the application at `url`, or brings a running one forward.
  virtual void openApplication(const std::string& url, bool activates,
                               OpenCompletion completion) = 0;
  // A scripting object for the application, or nullptr.
  virtual std::unique_ptr<ScriptableApplication> scriptableApplication(
      std::string_view bundleID) = 0;
  // Whether the application reports that it is playing; nothing when it cannot be asked.
  virtual std::optional<bool> isPlayerPlaying(std::string_view bundleID) = 0;
  // The Automation permission status for sending commands to the application: 0 granted,
  // -1743 refused, anything else undetermined. Prompts only when `askUserIfNeeded`.
  virtual std::int32_t determinePermissionToAutomate(std::string_view bundleID,
                                                     bool askUserIfNeeded) = 0;
};

inline constexpr std::int32_t kAutomationGranted = 0;
inline constexpr std::int32_t kAutomationNotPermitted = -1743;
inline constexpr std::int32_t kAutomationProcessNotFound = -600;

}  // namespace tonvara
